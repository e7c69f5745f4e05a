#pragma once
#include "Classes/Library/Reader/PdfThumbView.h"

namespace ui {
class Label;
}

// A cell of the thumbnail grid: the page's picture on a white card with a shadow, its number
// underneath until the picture covers it, a veil while touched and the bookmark mark.
class PdfThumbsPageThumb : public PdfThumbView {
public:
    explicit PdfThumbsPageThumb(const gfx::Rect& frame);
    const char* className() const override { return "PdfThumbsPageThumb"; }

    void showImage(const gfx::Image& image) override;
    void reuse() override;
    void showTouched(bool touched) override;
    void showBookmark(bool show);
    void showText(const std::string& text);
    gfx::Size maximumContentSize() const { return m_maximumSize; }

    const std::shared_ptr<ui::Label>& textLabel() const { return m_text; }
    const std::shared_ptr<ui::View>& backView() const { return m_back; }
    const std::shared_ptr<ui::View>& tintView() const { return m_tint; }
    const std::shared_ptr<ui::ImageView>& bookMark() const { return m_mark; }
    const gfx::Rect& defaultRect() const { return m_defaultRect; }

private:
    gfx::Rect markRectInImageView() const;
    void setBackBounds(const gfx::Rect& frame);

    gfx::Rect m_defaultRect;
    gfx::Size m_maximumSize;
    std::shared_ptr<ui::Label> m_text;
    std::shared_ptr<ui::View> m_back;
    std::shared_ptr<ui::View> m_tint;
    std::shared_ptr<ui::ImageView> m_mark;
};
