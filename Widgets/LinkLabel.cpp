#include "Widgets/LinkLabel.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"

#include <algorithm>

LinkLabel::LinkLabel()
{
    setUp();
}

LinkLabel::LinkLabel(const gfx::Rect& frame) : ui::Label(frame)
{
    setUp();
}

void LinkLabel::setUp()
{
    setLineBreakMode(gfx::LineBreakMode::TruncateTail);
    setFont(gfx::Font("Verdana-Italic", 18));
    setBackgroundColor(std::nullopt);
    setNumberOfLines(0);
    setUserInteractionEnabled(true);
    setHighlightedTextColor(gfx::Color::fromRgb(0, 122, 255));
}

void LinkLabel::drawRect(gfx::Context& context, const gfx::Rect& rect)
{
    ui::Label::drawRect(context, rect);
    if (text().empty())
        return;
    gfx::Rect b = bounds();
    double textWidth = std::min(b.width(), gfx::sizeOfText(text(), fontForDrawing(), {b.width(), font().lineHeight()},
                                                           lineBreakMode(), 1).width);
    double from = textAlignment() == gfx::TextAlignment::Right ? b.maxX() - textWidth : b.x();
    context.setFillColor(isHighlighted() && highlightedTextColor() ? *highlightedTextColor() : textColor());
    context.fillRect({from, b.maxY() - 2, textWidth, 1});
}

void LinkLabel::touchesBegan(const std::vector<ui::Touch*>&, ui::Event&)
{
    setNeedsDisplay();
    setHighlighted(true);
}

void LinkLabel::touchesEnded(const std::vector<ui::Touch*>&, ui::Event&)
{
    setNeedsDisplay();
    touchFinished();
}

void LinkLabel::touchesCancelled(const std::vector<ui::Touch*>&, ui::Event&)
{
    setNeedsDisplay();
    touchFinished();
}

void LinkLabel::touchFinished()
{
    setNeedsDisplay();
    setHighlighted(false);
    if (auto delegate = m_delegate.lock())
        delegate->linkLabelToucheTouchesWtihTag(*this, tag());
}
