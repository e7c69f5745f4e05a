#include "Platform/UI/TextField.h"

#include "Platform/Base/NotificationCenter.h"

#include "Platform/Graphics/Context.h"

#include <algorithm>

namespace ui {

namespace {
constexpr double kClearButtonSize = 19;
constexpr double kSideMargin = 4;
constexpr double kCaretWidth = 2;
const gfx::Color kPlaceholderColor = gfx::Color::fromWhite(0.7);
const gfx::Color kCaretColor = gfx::Color::fromRgb(66, 107, 242);

double paddingFor(TextBorderStyle style)
{
    switch (style) {
    case TextBorderStyle::None: return 0;
    case TextBorderStyle::Line: return 4;
    case TextBorderStyle::Bezel: return 6;
    case TextBorderStyle::RoundedRect: return 8;
    }
    return 0;
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
}

TextField::TextField()
{
    setOpaque(false);
}

TextField::TextField(const gfx::Rect& frame) : Control(frame)
{
    setOpaque(false);
}

TextField::~TextField() = default;

void TextField::setText(const std::string& text)
{
    setNeedsDisplay();
    m_text = text;
    setNeedsLayout();
}

void TextField::setBorderStyle(TextBorderStyle style)
{
    setNeedsDisplay();
    m_borderStyle = style;
    setNeedsLayout();
}

void TextField::setClearButtonMode(TextFieldViewMode mode)
{
    setNeedsDisplay();
    m_clearButtonMode = mode;
    setNeedsLayout();
}

void TextField::setSideView(std::shared_ptr<View>& slot, std::shared_ptr<View> view)
{
    if (slot)
        slot->removeFromSuperview();
    slot = std::move(view);
    if (slot)
        addSubview(slot);
    setNeedsLayout();
}

void TextField::setLeftView(std::shared_ptr<View> view)
{
    setSideView(m_leftView, std::move(view));
}

void TextField::setRightView(std::shared_ptr<View> view)
{
    setSideView(m_rightView, std::move(view));
}

void TextField::setLeftViewMode(TextFieldViewMode mode)
{
    setNeedsDisplay();
    m_leftViewMode = mode;
    setNeedsLayout();
}

void TextField::setRightViewMode(TextFieldViewMode mode)
{
    setNeedsDisplay();
    m_rightViewMode = mode;
    setNeedsLayout();
}

bool TextField::shows(TextFieldViewMode mode) const
{
    switch (mode) {
    case TextFieldViewMode::Never: return false;
    case TextFieldViewMode::WhileEditing: return m_editing;
    case TextFieldViewMode::UnlessEditing: return !m_editing;
    case TextFieldViewMode::Always: return true;
    }
    return false;
}

bool TextField::isClearButtonVisible() const
{
    return !m_text.empty() && shows(m_clearButtonMode);
}

gfx::Rect TextField::clearButtonRect() const
{
    gfx::Rect b = bounds();
    double right = b.maxX() - paddingFor(m_borderStyle) / 2 - kSideMargin;
    if (m_rightView && shows(m_rightViewMode))
        right -= m_rightView->frame().width() + kSideMargin;
    return {right - kClearButtonSize, b.midY() - kClearButtonSize / 2, kClearButtonSize, kClearButtonSize};
}

gfx::Rect TextField::textRect() const
{
    gfx::Rect b = bounds();
    double pad = paddingFor(m_borderStyle);
    double left = b.x() + pad, right = b.maxX() - pad;
    if (m_leftView && shows(m_leftViewMode))
        left = std::max(left, b.x() + kSideMargin + m_leftView->frame().width() + kSideMargin);
    if (m_rightView && shows(m_rightViewMode))
        right = std::min(right, b.maxX() - kSideMargin - m_rightView->frame().width() - kSideMargin);
    if (isClearButtonVisible())
        right = std::min(right, clearButtonRect().x() - kSideMargin);
    return {left, b.y(), std::max(0.0, right - left), b.height()};
}

double TextField::textTop() const
{
    return textRect().midY() - m_font.lineHeight() / 2;
}

void TextField::layoutSubviews()
{
    setNeedsDisplay();
    gfx::Rect b = bounds();
    if (m_leftView) {
        gfx::Size s = m_leftView->frame().size;
        m_leftView->setFrame({b.x() + kSideMargin, b.midY() - s.height / 2, s.width, s.height});
        m_leftView->setHidden(!shows(m_leftViewMode));
    }
    if (m_rightView) {
        gfx::Size s = m_rightView->frame().size;
        m_rightView->setFrame({b.maxX() - kSideMargin - s.width, b.midY() - s.height / 2, s.width, s.height});
        m_rightView->setHidden(!shows(m_rightViewMode));
    }
}

void TextField::setEnabled(bool enabled)
{
    Control::setEnabled(enabled);
    if (!enabled && isFirstResponder())
        resignFirstResponder();
}

namespace {
// Focus going from one field straight to another keeps the keyboard up.
bool g_focusMovingBetweenFields = false;
}

bool TextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder())
        return false;
    if (m_delegate && !m_delegate->textFieldShouldBeginEditing(*this))
        return false;
    const bool fromField = dynamic_cast<TextField*>(Responder::currentFirstResponder()) != nullptr;
    g_focusMovingBetweenFields = fromField;
    const bool took = Control::becomeFirstResponder();
    g_focusMovingBetweenFields = false;
    if (took && !fromField)
        base::NotificationCenter::defaultCenter().post(kKeyboardWillShowNotification);
    else if (!took && fromField && !dynamic_cast<TextField*>(Responder::currentFirstResponder()))
        base::NotificationCenter::defaultCenter().post(kKeyboardWillHideNotification);
    return took;
}

bool TextField::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    if (m_delegate && !m_delegate->textFieldShouldEndEditing(*this))
        return false;
    return Control::resignFirstResponder();
}

void TextField::didBecomeFirstResponder()
{
    setNeedsDisplay();
    m_editing = true;
    setNeedsLayout();
    if (m_delegate)
        m_delegate->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
}

void TextField::didResignFirstResponder()
{
    setNeedsDisplay();
    if (!g_focusMovingBetweenFields)
        base::NotificationCenter::defaultCenter().post(kKeyboardWillHideNotification);
    m_editing = false;
    setNeedsLayout();
    if (m_delegate)
        m_delegate->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
}

void TextField::endTracking(gfx::Point point, bool inside)
{
    if (!inside)
        return;
    if (isClearButtonVisible() && clearButtonRect().insetBy(-kSideMargin, -kSideMargin).contains(point)) {
        clear();
        return;
    }
    becomeFirstResponder();
}

void TextField::clear()
{
    setNeedsDisplay();
    if (m_delegate && !m_delegate->textFieldShouldClear(*this))
        return;
    m_text.clear();
    setNeedsLayout();
    sendActionsForControlEvents(ControlEventEditingChanged);
}

void TextField::replace(size_t location, size_t length, const std::string& replacement)
{
    setNeedsDisplay();
    if (m_delegate && !m_delegate->textFieldShouldChangeCharactersInRange(*this, location, length, replacement))
        return;
    m_text.replace(location, length, replacement);
    setNeedsLayout();
    sendActionsForControlEvents(ControlEventEditingChanged);
}

void TextField::insertText(const std::string& text)
{
    if (!m_editing)
        return;
    // One line only: line breaks that arrive inside text are dropped.
    std::string line;
    std::copy_if(text.begin(), text.end(), std::back_inserter(line), [](char c) { return c != '\n' && c != '\r'; });
    if (!line.empty())
        replace(m_text.size(), 0, line);
}

void TextField::deleteBackward()
{
    if (!m_editing || m_text.empty())
        return;
    size_t start = m_text.size() - 1;
    while (start > 0 && isContinuationByte(m_text[start]))
        --start;
    replace(start, m_text.size() - start, {});
}

void TextField::keyPressed(const std::string& key)
{
    if (!m_editing || key != "\n")
        return;
    if (m_delegate && !m_delegate->textFieldShouldReturn(*this))
        return;
    auto keep = weak_from_this().lock();
    // Editing ends only when someone listens for the return key's event.
    bool ends = hasTargetsForEvents(ControlEventEditingDidEndOnExit);
    sendActionsForControlEvents(ControlEventEditingDidEndOnExit);
    if (ends)
        resignFirstResponder();
}

std::string TextField::displayText() const
{
    if (!m_secure)
        return m_text;
    std::string bullets;
    for (char c : m_text)
        if (!isContinuationByte(c))
            bullets += "\u2022";
    return bullets;
}

std::string TextField::accessibilityText() const
{
    return m_text.empty() ? m_placeholder : displayText();
}

void TextField::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    switch (m_background.isNull() ? m_borderStyle : TextBorderStyle::None) {
    case TextBorderStyle::None:
        if (!m_background.isNull())
            ctx.drawImage(m_background, b);
        break;
    case TextBorderStyle::Line:
        ctx.setStrokeColor(gfx::Color::fromWhite(0.2));
        ctx.setLineWidth(1);
        ctx.strokeRect(b.insetBy(0.5, 0.5));
        break;
    case TextBorderStyle::Bezel:
        ctx.setFillColor(gfx::Color::white());
        ctx.fillRect(b);
        ctx.setStrokeColor(gfx::Color::fromWhite(0.45));
        ctx.setLineWidth(1);
        ctx.strokeRect(b.insetBy(0.5, 0.5));
        ctx.setStrokeColor(gfx::Color::fromWhite(0.75));
        ctx.strokeLine({b.x() + 1, b.y() + 1.5}, {b.maxX() - 1, b.y() + 1.5});
        break;
    case TextBorderStyle::RoundedRect:
        ctx.setFillColor(gfx::Color::white());
        ctx.fillRoundedRect(b.insetBy(0.5, 0.5), 7);
        ctx.setStrokeColor(gfx::Color::fromWhite(0.65));
        ctx.setLineWidth(1);
        ctx.strokeRoundedRect(b.insetBy(0.5, 0.5), 7);
        break;
    }

    gfx::Rect area = textRect();
    double lineHeight = m_font.lineHeight();
    double y = textTop();
    std::string shown = displayText();
    cairo_t* cr = ctx.cairo();
    // The line as typed: measured for the caret and drawn while editing.
    const gfx::TextLayout& line = m_lineLayout.get(cr, shown, m_font, gfx::TextLayout::Options{});
    double width = shown.empty() ? 0 : line.roundedSize().width;
    gfx::TextLayout::Options boxed;
    boxed.width = area.width();
    boxed.maxHeight = lineHeight;
    boxed.mode = gfx::LineBreakMode::TruncateTail;
    boxed.maxLines = 1;
    boxed.alignment = m_alignment;
    double x = area.x();
    if (m_alignment == gfx::TextAlignment::Center)
        x = area.midX() - width / 2;
    else if (m_alignment == gfx::TextAlignment::Right)
        x = area.maxX() - width;
    if (m_editing && width > area.width())
        x = area.maxX() - width; // keep the end, where typing happens, in view

    if (shown.empty()) {
        if (!m_placeholder.empty())
            ctx.drawText(m_boxLayout.get(cr, m_placeholder, m_font, boxed), {area.x(), y}, kPlaceholderColor);
    } else if (m_editing) {
        ctx.save();
        ctx.clipToRect(area);
        ctx.drawText(line, {x, y}, m_textColor);
        ctx.restore();
    } else {
        ctx.drawText(m_boxLayout.get(cr, shown, m_font, boxed), {area.x(), y}, m_textColor);
    }

    if (m_editing) {
        double caretX = std::min(x + width, area.maxX() - kCaretWidth);
        if (shown.empty() && m_alignment == gfx::TextAlignment::Center)
            caretX = area.midX();
        ctx.setFillColor(kCaretColor);
        ctx.fillRect({caretX, y, kCaretWidth, lineHeight});
    }

    if (isClearButtonVisible()) {
        gfx::Rect c = clearButtonRect();
        ctx.setFillColor(gfx::Color::fromWhite(0.7));
        ctx.fillEllipse(c);
        ctx.setStrokeColor(gfx::Color::white());
        ctx.setLineWidth(2);
        gfx::Rect cross = c.insetBy(6, 6);
        ctx.strokeLine(cross.origin, {cross.maxX(), cross.maxY()});
        ctx.strokeLine({cross.maxX(), cross.y()}, {cross.x(), cross.maxY()});
    }
}

} // namespace ui
