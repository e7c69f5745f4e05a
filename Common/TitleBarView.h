#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <string>

namespace ui {
class ImageView;
class Label;
}

// The skinned bar across the top of a tab screen, with the screen's title in the middle.
class TitleBarView : public ui::View {
public:
    static constexpr double kHeight = 44;

    explicit TitleBarView(double width);
    const char* className() const override { return "TitleBarView"; }

    void setTitle(const std::string& title);
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_titleLabel; }

private:
    std::shared_ptr<ui::ImageView> m_background;
    std::shared_ptr<ui::Label> m_titleLabel;
};
