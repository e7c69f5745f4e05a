#pragma once
#include "Platform/UI/TableViewCell.h"

#include <memory>
#include <string>

namespace ui {
class ImageView;
class Label;
}

// A row of the catalogue panel's lists: title, count, sub-category arrow and a separator.
class ProductBigCatalog : public ui::TableViewCell {
public:
    explicit ProductBigCatalog(const std::string& reuseIdentifier);
    const char* className() const override { return "ProductBigCatalog"; }

    ui::Label& lbTitle() const { return *m_lbTitle; }
    ui::Label& lbcount() const { return *m_lbcount; }
    ui::ImageView& imgicon() const { return *m_imgicon; }
    ui::ImageView& imgline() const { return *m_imgline; }

    bool isFirstLine() const { return m_isFirstLine; }
    // YES also titles the row with the text of "ALL" in bold; NO changes nothing else.
    void setIsFirstLine(bool firstLine);
    void layoutSubviews() override;

private:
    std::shared_ptr<ui::Label> m_lbTitle;
    std::shared_ptr<ui::Label> m_lbcount;
    std::shared_ptr<ui::ImageView> m_imgicon;
    std::shared_ptr<ui::ImageView> m_imgline;
    bool m_isFirstLine = false;
};
