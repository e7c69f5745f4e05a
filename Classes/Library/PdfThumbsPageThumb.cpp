#include "Classes/Library/PdfThumbsPageThumb.h"

#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"

#include <cmath>

namespace {
constexpr double kContentInset = 8;
}

PdfThumbsPageThumb::PdfThumbsPageThumb(const gfx::Rect& frame)
    : PdfThumbView(frame)
{
    imageView()->setContentMode(ui::ContentMode::Center);
    m_defaultRect = bounds().insetBy(kContentInset, kContentInset);
    m_maximumSize = m_defaultRect.size;
    double width = std::floor(m_defaultRect.width() * 0.75);
    m_defaultRect = gfx::Rect(m_defaultRect.x() + (m_defaultRect.width() - width) / 2, m_defaultRect.y(), width,
                              m_defaultRect.height());
    imageView()->setFrame(m_defaultRect);

    m_text = ui::View::make<ui::Label>(m_defaultRect);
    m_text->setAutoresizesSubviews(false);
    m_text->setUserInteractionEnabled(false);
    m_text->setContentMode(ui::ContentMode::Redraw);
    m_text->setAutoresizingMask(ui::AutoresizingNone);
    m_text->setTextAlignment(gfx::TextAlignment::Center);
    m_text->setFont(gfx::Font::systemFont(19));
    m_text->setTextColor(gfx::Color::fromWhite(0.24));
    m_text->setBackgroundColor(gfx::Color::white());
    insertSubviewBelowSubview(m_text, imageView().get());

    m_back = ui::View::make<ui::View>(m_defaultRect);
    m_back->setAutoresizesSubviews(false);
    m_back->setUserInteractionEnabled(false);
    m_back->setContentMode(ui::ContentMode::Redraw);
    m_back->setAutoresizingMask(ui::AutoresizingNone);
    m_back->setBackgroundColor(gfx::Color::white());
    setBackBounds(m_defaultRect);
    insertSubviewBelowSubview(m_back, m_text.get());

    m_tint = ui::View::make<ui::View>(imageView()->bounds());
    m_tint->setHidden(true);
    m_tint->setAutoresizesSubviews(false);
    m_tint->setUserInteractionEnabled(false);
    m_tint->setContentMode(ui::ContentMode::Redraw);
    m_tint->setAutoresizingMask(ui::AutoresizingNone);
    m_tint->setBackgroundColor(gfx::Color::fromWhite(0, 0.25));
    imageView()->addSubview(m_tint);

    m_mark = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, 34, 34));
    m_mark->setImage(ui::imageNamed("Pdf-Mark-Y"));
    if (m_mark->image())
        m_mark->setFrame(gfx::Rect(gfx::Point{}, m_mark->image().size()));
    m_mark->setHidden(true);
    m_mark->setAutoresizesSubviews(false);
    m_mark->setUserInteractionEnabled(false);
    m_mark->setContentMode(ui::ContentMode::Center);
    m_mark->setAutoresizingMask(ui::AutoresizingNone);
    m_mark->setFrame(markRectInImageView());
    imageView()->addSubview(m_mark);
}

gfx::Rect PdfThumbsPageThumb::markRectInImageView() const
{
    gfx::Rect frame = m_mark->frame();
    double imageWidth = m_mark->image() ? m_mark->image().size().width : frame.width();
    return gfx::Rect(imageView()->bounds().width() - imageWidth - 8, -2, frame.width(), frame.height());
}

void PdfThumbsPageThumb::setBackBounds(const gfx::Rect& frame)
{
    m_back->setFrame(frame);
    ui::View::Shadow shadow;
    shadow.offset = {0, 1};
    shadow.radius = 3;
    shadow.opacity = 1;
    shadow.path = m_back->bounds();
    m_back->setShadow(shadow);
}

void PdfThumbsPageThumb::showImage(const gfx::Image& image)
{
    gfx::Size s = image ? image.size() : gfx::Size{0, 0};
    gfx::Point c{std::floor(bounds().width() / 2), std::floor(bounds().height() / 2)};
    gfx::Rect box(c.x - s.width / 2, c.y - s.height / 2, s.width, s.height);
    m_text->setFrame(box);
    imageView()->setFrame(box);
    PdfThumbView::showImage(image);
    m_mark->setFrame(markRectInImageView());
    m_tint->setFrame(imageView()->bounds());
    setBackBounds(box);
}

void PdfThumbsPageThumb::reuse()
{
    PdfThumbView::reuse();
    m_text->setText("");
    m_text->setFrame(m_defaultRect);
    imageView()->setImage(gfx::Image());
    imageView()->setFrame(m_defaultRect);
    m_mark->setHidden(true);
    m_mark->setFrame(markRectInImageView());
    m_tint->setHidden(true);
    m_tint->setFrame(imageView()->bounds());
    setBackBounds(m_defaultRect);
}

void PdfThumbsPageThumb::showTouched(bool touched)
{
    m_tint->setHidden(!touched);
}

void PdfThumbsPageThumb::showBookmark(bool show)
{
    m_mark->setHidden(!show);
}

void PdfThumbsPageThumb::showText(const std::string& text)
{
    m_text->setText(text);
}
