#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class ImageView;
class Label;
}

// A white panel under a skinned title bar with a centred title.
class SyncItemView : public ui::View {
public:
    explicit SyncItemView(const gfx::Rect& frame);
    const char* className() const override { return "SyncItemView"; }

    std::string title() const;
    // None writes the empty text.
    void setTitle(const std::optional<std::string>& title);

    const std::shared_ptr<ui::ImageView>& imatitle() const { return m_imatitle; }
    const std::shared_ptr<ui::Label>& lblTitle() const { return m_lblTitle; }

protected:
    // Builds the title bar; subclasses add their own content in their constructors.
    void initializationView(const gfx::Rect& frame);

private:
    std::shared_ptr<ui::ImageView> m_imatitle;
    std::shared_ptr<ui::Label> m_lblTitle;
};
