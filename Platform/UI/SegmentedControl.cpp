#include "Platform/UI/SegmentedControl.h"

#include "Platform/Graphics/Context.h"

#include <cmath>

namespace ui {

namespace {
constexpr double kRadius = 6;
const gfx::Color kDefaultTint = gfx::Color::fromRgb(62, 110, 180);
}

SegmentedControl::SegmentedControl(std::vector<std::string> items) : SegmentedControl(std::move(items), {})
{
}

SegmentedControl::SegmentedControl(std::vector<std::string> items, const gfx::Rect& frame)
    : Control(frame), m_items(std::move(items))
{
    setOpaque(false);
}

void SegmentedControl::insertSegmentWithTitle(const std::string& title, size_t index)
{
    setNeedsDisplay();
    index = std::min(index, m_items.size());
    m_items.insert(m_items.begin() + long(index), title);
    if (m_images.size() >= index)
        m_images.insert(m_images.begin() + long(index), gfx::Image());
    if (m_selected >= int(index))
        ++m_selected;
}

void SegmentedControl::removeSegmentAtIndex(size_t index)
{
    setNeedsDisplay();
    if (index >= m_items.size())
        return;
    m_items.erase(m_items.begin() + long(index));
    if (index < m_images.size())
        m_images.erase(m_images.begin() + long(index));
    if (m_selected == int(index))
        m_selected = kNoSegment;
    else if (m_selected > int(index))
        --m_selected;
}

void SegmentedControl::removeAllSegments()
{
    setNeedsDisplay();
    m_items.clear();
    m_images.clear();
    m_selected = kNoSegment;
}

void SegmentedControl::setTitleForSegmentAtIndex(const std::string& title, size_t index)
{
    setNeedsDisplay();
    if (index < m_items.size())
        m_items[index] = title;
}

void SegmentedControl::setImageForSegmentAtIndex(const gfx::Image& image, size_t index)
{
    if (index >= m_items.size())
        return;
    if (m_images.size() < m_items.size())
        m_images.resize(m_items.size());
    m_images[index] = image;
    setNeedsDisplay();
}

gfx::Image SegmentedControl::imageForSegmentAtIndex(size_t index) const
{
    return index < m_images.size() ? m_images[index] : gfx::Image();
}

void SegmentedControl::setBackgroundImage(const gfx::Image& image)
{
    m_background = image;
    setNeedsDisplay();
}

std::string SegmentedControl::titleForSegmentAtIndex(size_t index) const
{
    return index < m_items.size() ? m_items[index] : std::string();
}

void SegmentedControl::setSelectedSegmentIndex(int index)
{
    setNeedsDisplay();
    m_selected = index >= 0 && index < int(m_items.size()) ? index : kNoSegment;
}

gfx::Color SegmentedControl::tint() const
{
    return m_tint.value_or(kDefaultTint);
}

gfx::Rect SegmentedControl::segmentRect(size_t index) const
{
    gfx::Rect b = bounds();
    if (m_items.empty())
        return gfx::Rect::null();
    double width = b.width() / double(m_items.size());
    return {b.x() + width * double(index), b.y(), width, b.height()};
}

int SegmentedControl::segmentAtPoint(gfx::Point point) const
{
    gfx::Rect b = bounds();
    if (m_items.empty() || !b.contains(point))
        return kNoSegment;
    int index = int((point.x - b.x()) / (b.width() / double(m_items.size())));
    return std::min(index, int(m_items.size()) - 1);
}

bool SegmentedControl::beginTracking(gfx::Point point, const Touch&)
{
    setNeedsDisplay();
    m_pressed = segmentAtPoint(point);
    return m_pressed != kNoSegment;
}

void SegmentedControl::continueTracking(gfx::Point point, const Touch&)
{
    setNeedsDisplay();
    m_pressed = segmentAtPoint(point);
}

void SegmentedControl::endTracking(gfx::Point point, bool inside)
{
    setNeedsDisplay();
    int segment = segmentAtPoint(point);
    m_pressed = kNoSegment;
    if (segment == kNoSegment || (segment == m_selected && !m_momentary))
        return;
    m_selected = segment;
    sendActionsForControlEvents(ControlEventValueChanged);
    // Actions read the tapped segment; afterwards a momentary control shows none.
    if (m_momentary)
        m_selected = kNoSegment;
}

std::string SegmentedControl::accessibilityText() const
{
    std::string all;
    for (size_t i = 0; i < m_items.size(); ++i)
        all += (i ? "\n" : "") + m_items[i];
    return all;
}

gfx::Rect SegmentedControl::accessibilityRectOfText(const std::string& text) const
{
    // A whole title first, so "Submitted" does not land on "Unsubmitted".
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == text)
            return segmentRect(i);
    for (size_t i = 0; i < m_items.size(); ++i)
        if (!text.empty() && m_items[i].find(text) != std::string::npos)
            return segmentRect(i);
    return gfx::Rect::null();
}

void SegmentedControl::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    if (m_items.empty())
        return;
    gfx::Rect b = bounds();
    gfx::Rect outline = b.insetBy(0.5, 0.5);
    gfx::Color color = tint();
    gfx::Font font = gfx::Font::boldSystemFont(13);
    ctx.save();
    ctx.clipToRoundedRect(outline, kRadius);
    if (m_background)
        ctx.drawImage(m_background, b);
    else
        ctx.fillLinearGradient(b, {b.x(), b.y()}, {b.x(), b.maxY()},
                               {{0, gfx::Color::white()}, {1, gfx::Color::fromWhite(0.9)}});
    for (size_t i = 0; i < m_items.size(); ++i) {
        gfx::Rect r = segmentRect(i);
        bool selected = int(i) == m_selected;
        bool pressed = int(i) == m_pressed;
        if (selected || (pressed && m_momentary)) {
            ctx.setFillColor(color);
            ctx.fillRect(r);
        } else if (pressed) {
            ctx.setFillColor(gfx::Color::fromWhite(0.8));
            ctx.fillRect(r);
        }
        gfx::Color textColor = selected || (pressed && m_momentary) ? gfx::Color::white() : gfx::Color::fromWhite(0.3);
        if (gfx::Image image = imageForSegmentAtIndex(i)) {
            gfx::Size size = image.size();
            ctx.drawImage(image, {std::round(r.midX() - size.width / 2), std::round(r.midY() - size.height / 2),
                                  size.width, size.height});
        } else {
            double lh = font.lineHeight();
            ctx.drawText(m_items[i], {r.x() + 4, r.midY() - lh / 2, r.width() - 8, lh}, font, textColor,
                         gfx::TextAlignment::Center, gfx::LineBreakMode::TruncateTail, 1);
        }
        if (i > 0) {
            ctx.setStrokeColor(color);
            ctx.setLineWidth(1);
            double x = std::round(r.x()) + 0.5;
            ctx.strokeLine({x, b.y()}, {x, b.maxY()});
        }
    }
    ctx.restore();
    ctx.setStrokeColor(color);
    ctx.setLineWidth(1);
    ctx.strokeRoundedRect(outline, kRadius);
}

} // namespace ui
