#pragma once
#include "Platform/UI/TableViewCell.h"

#include <memory>

namespace ui {
class ImageView;
class Label;
}

// A row of the library category panel: title, file count, separator and sub-category arrow.
class LibraryCatalogCell : public ui::TableViewCell {
public:
    explicit LibraryCatalogCell(const std::string& reuseIdentifier);
    const char* className() const override { return "LibraryCatalogCell"; }

    ui::Label& lbTitle() const { return *m_lbTitle; }
    ui::Label& lbcount() const { return *m_lbcount; }
    ui::ImageView& imgline() const { return *m_imgline; }
    ui::ImageView& imgicon() const { return *m_imgicon; }
    bool isFirstLine() const { return m_isFirstLine; }
    // YES makes it the ALL row; NO changes nothing.
    void setIsFirstLine(bool firstLine);
    void layoutSubviews() override;

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    std::shared_ptr<ui::Label> m_lbTitle;
    std::shared_ptr<ui::Label> m_lbcount;
    std::shared_ptr<ui::ImageView> m_imgline;
    std::shared_ptr<ui::ImageView> m_imgicon;
    bool m_isFirstLine = false;
};
