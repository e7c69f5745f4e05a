#include "Platform/UI/TextField.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Pasteboard.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Keyboard.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ui {

namespace {
constexpr double kClearButtonSize = 19;
constexpr double kSideMargin = 4;
constexpr double kCaretWidth = 2;
constexpr double kBlinkInterval = 0.5;
constexpr double kDoubleTapInterval = 0.35;
constexpr double kDoubleTapDistance = 10;
const gfx::Color kSelectionColor = gfx::Color::fromRgb(180, 206, 250);
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

// The bytes the bullets of a hidden text take for this part of it.
size_t displayTextLength(const std::string& text)
{
    size_t bullets = 0;
    for (char c : text)
        if (!isContinuationByte(c))
            ++bullets;
    return bullets * std::string("\u2022").size();
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

TextField::~TextField()
{
    stopBlink();
}

void TextField::setText(const std::string& text)
{
    setNeedsDisplay();
    m_text = text;
    m_caret = m_anchor = m_text.size();
    setNeedsLayout();
}

// MARK: Caret and selection

size_t TextField::previousBoundary(size_t position) const
{
    if (position == 0)
        return 0;
    size_t p = std::min(position, m_text.size()) - 1;
    while (p > 0 && isContinuationByte(m_text[p]))
        --p;
    return p;
}

size_t TextField::nextBoundary(size_t position) const
{
    if (position >= m_text.size())
        return m_text.size();
    size_t p = position + 1;
    while (p < m_text.size() && isContinuationByte(m_text[p]))
        ++p;
    return p;
}

void TextField::setSelectedRange(size_t location, size_t length)
{
    auto boundary = [this](size_t p) {
        p = std::min(p, m_text.size());
        while (p > 0 && p < m_text.size() && isContinuationByte(m_text[p]))
            --p;
        return p;
    };
    m_anchor = boundary(location);
    m_caret = boundary(location + std::min(length, m_text.size()));
    restartBlink();
    setNeedsDisplay();
}

void TextField::moveCaret(size_t position, bool extend)
{
    m_caret = position;
    if (!extend)
        m_anchor = position;
    restartBlink();
    setNeedsDisplay();
}

void TextField::selectWordAt(size_t position)
{
    auto isWord = [](unsigned char c) { return c >= 0x80 || std::isalnum(c) || c == '_'; };
    size_t start = std::min(position, m_text.size());
    size_t end = start;
    while (start > 0 && isWord(static_cast<unsigned char>(m_text[start - 1])))
        --start;
    while (end < m_text.size() && isWord(static_cast<unsigned char>(m_text[end])))
        ++end;
    setSelectedRange(start, end - start);
}

void TextField::setMarkedText(const std::string& text)
{
    // A hidden text is typed key by key: a composition would show it in clear.
    if (!m_editing || m_secure)
        return;
    m_markedText = text;
    restartBlink();
    setNeedsDisplay();
}

double TextField::widthUpTo(size_t index) const
{
    std::string shown = m_text.substr(0, std::min(index, m_text.size()));
    if (m_secure) {
        std::string bullets;
        for (char c : shown)
            if (!isContinuationByte(c))
                bullets += "\u2022";
        shown = bullets;
    }
    return shown.empty() ? 0 : gfx::sizeOfText(shown, m_font).width;
}

double TextField::lineOriginX() const
{
    gfx::Rect area = textRect();
    double width = widthUpTo(m_text.size()) + (m_editing ? gfx::sizeOfText(m_markedText, m_font).width : 0);
    if (m_editing && width + kCaretWidth > area.width())
        return area.x() - m_scrollX;
    if (m_alignment == gfx::TextAlignment::Center)
        return area.midX() - width / 2;
    if (m_alignment == gfx::TextAlignment::Right)
        return area.maxX() - width;
    return area.x();
}

double TextField::xForCharacterIndex(size_t index) const
{
    return lineOriginX() + widthUpTo(index);
}

size_t TextField::characterIndexForX(double x) const
{
    double origin = lineOriginX();
    size_t best = 0;
    double bestDistance = std::abs(x - origin);
    for (size_t p = nextBoundary(0); p <= m_text.size(); p = nextBoundary(p)) {
        double distance = std::abs(x - (origin + widthUpTo(p)));
        if (distance < bestDistance) {
            best = p;
            bestDistance = distance;
        }
        if (p == m_text.size())
            break;
    }
    return best;
}

void TextField::keepCaretInView()
{
    gfx::Rect area = textRect();
    double caret = widthUpTo(m_caret) + gfx::sizeOfText(m_markedText, m_font).width;
    double total = widthUpTo(m_text.size()) + gfx::sizeOfText(m_markedText, m_font).width;
    double room = std::max(0.0, area.width() - kCaretWidth);
    if (total <= room) {
        m_scrollX = 0;
        return;
    }
    if (caret - m_scrollX > room)
        m_scrollX = caret - room;
    if (caret < m_scrollX)
        m_scrollX = caret;
    m_scrollX = std::clamp(m_scrollX, 0.0, total - room);
}

std::optional<gfx::Rect> TextField::caretRectInWindow() const
{
    if (!m_editing)
        return std::nullopt;
    double x = xForCharacterIndex(m_caret) + gfx::sizeOfText(m_markedText, m_font).width;
    return convertRectToView({x, textTop(), kCaretWidth, m_font.lineHeight()}, nullptr);
}

void TextField::restartBlink()
{
    m_caretShown = true;
    if (!m_editing) {
        stopBlink();
        return;
    }
    stopBlink();
    std::weak_ptr<Responder> weak = weak_from_this();
    m_blink = base::Timer::scheduled(kBlinkInterval, true, [weak](base::Timer&) {
        if (auto self = std::static_pointer_cast<TextField>(weak.lock())) {
            self->m_caretShown = !self->m_caretShown;
            self->setNeedsDisplay();
        }
    });
}

void TextField::stopBlink()
{
    if (m_blink)
        m_blink->invalidate();
    m_blink.reset();
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
        Keyboard::show();
    else if (!took && fromField && !dynamic_cast<TextField*>(Responder::currentFirstResponder()))
        Keyboard::hide();
    return took;
}

void TextField::setSecureTextEntry(bool secure)
{
    m_secure = secure;
    if (secure)
        m_markedText.clear();
    setNeedsDisplay();
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
    restartBlink();
    setNeedsLayout();
    if (m_delegate)
        m_delegate->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
}

void TextField::didResignFirstResponder()
{
    setNeedsDisplay();
    if (!g_focusMovingBetweenFields)
        Keyboard::hide();
    m_editing = false;
    m_markedText.clear();
    m_scrollX = 0;
    stopBlink();
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
    bool wasEditing = m_editing;
    Responder* before = Responder::currentFirstResponder();
    if (!becomeFirstResponder()) {
        // Clicked away from the field being typed in, the user means to type elsewhere: its
        // typing ends, as when a field takes the caret, so the next keys never go on into it.
        auto* typing = dynamic_cast<View*>(before);
        if (typing && typing != this && typing == Responder::currentFirstResponder() && typing->window() == window())
            typing->resignFirstResponder();
        return;
    }
    double now = base::RunLoop::main().now();
    bool second = wasEditing && m_lastTapTime >= 0 && now - m_lastTapTime <= kDoubleTapInterval &&
                  std::abs(point.x - m_lastTapPoint.x) <= kDoubleTapDistance &&
                  std::abs(point.y - m_lastTapPoint.y) <= kDoubleTapDistance;
    m_lastTapTime = second ? -1 : now;
    m_lastTapPoint = point;
    if (!wasEditing)
        return; // the first tap only takes focus, the caret staying where it was
    size_t index = characterIndexForX(point.x);
    if (second)
        selectWordAt(index);
    else
        moveCaret(index, false);
}

void TextField::clear()
{
    setNeedsDisplay();
    if (m_delegate && !m_delegate->textFieldShouldClear(*this))
        return;
    m_text.clear();
    m_caret = m_anchor = 0;
    setNeedsLayout();
    sendActionsForControlEvents(ControlEventEditingChanged);
}

void TextField::replace(size_t location, size_t length, const std::string& replacement)
{
    setNeedsDisplay();
    if (m_delegate && !m_delegate->textFieldShouldChangeCharactersInRange(*this, location, length, replacement))
        return;
    m_text.replace(location, length, replacement);
    m_caret = m_anchor = location + replacement.size();
    restartBlink();
    setNeedsLayout();
    sendActionsForControlEvents(ControlEventEditingChanged);
}

bool TextField::replaceSelection(const std::string& text)
{
    size_t before = m_text.size();
    std::string old = m_text;
    replace(selectionStart(), selectionLength(), text);
    return m_text != old || m_text.size() != before;
}

void TextField::insertText(const std::string& text)
{
    if (!m_editing)
        return;
    m_markedText.clear();
    // One line only: line breaks that arrive inside text are dropped.
    std::string line;
    std::copy_if(text.begin(), text.end(), std::back_inserter(line), [](char c) { return c != '\n' && c != '\r'; });
    if (!line.empty())
        replaceSelection(line);
}

void TextField::deleteBackward()
{
    if (!m_editing)
        return;
    if (selectionLength() > 0) {
        replaceSelection({});
        return;
    }
    if (m_caret == 0)
        return;
    size_t start = previousBoundary(m_caret);
    replace(start, m_caret - start, {});
}

void TextField::keyPressed(const std::string& key)
{
    if (!m_editing)
        return;
    bool extend = key.rfind("shift+", 0) == 0;
    std::string name = extend ? key.substr(6) : key;
    if (name == "left") {
        moveCaret(!extend && selectionLength() > 0 ? selectionStart() : previousBoundary(m_caret), extend);
        return;
    }
    if (name == "right") {
        moveCaret(!extend && selectionLength() > 0 ? selectionStart() + selectionLength() : nextBoundary(m_caret), extend);
        return;
    }
    if (name == "home" || name == "end") {
        moveCaret(name == "home" ? 0 : m_text.size(), extend);
        return;
    }
    if (name == "delete") {
        if (selectionLength() > 0)
            replaceSelection({});
        else if (m_caret < m_text.size())
            replace(m_caret, nextBoundary(m_caret) - m_caret, {});
        return;
    }
    if (key == "ctrl+a") {
        setSelectedRange(0, m_text.size());
        return;
    }
    if (key == "ctrl+c" || key == "ctrl+x") {
        // A hidden text never leaves the field.
        if (selectionLength() == 0 || m_secure)
            return;
        base::Pasteboard::general()->setValueForType(base::Value(selectedText()), base::Pasteboard::kTextType);
        if (key == "ctrl+x")
            replaceSelection({});
        return;
    }
    if (key == "ctrl+v") {
        auto value = base::Pasteboard::general()->valueForType(base::Pasteboard::kTextType);
        if (value && value->isString())
            insertText(value->asString());
        return;
    }
    if (key != "\n")
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

gfx::Font TextField::drawnFont() const
{
    std::string shown = displayText();
    if (!m_adjustsFontSize || shown.empty() || m_editing)
        return m_font;
    double width = textRect().width();
    gfx::Font font = m_font;
    double floor = std::max(1.0, m_minimumFontSize);
    // Whole points down, then the floor itself: few layouts, and the largest size that fits.
    while (font.pointSize() > floor && gfx::sizeOfText(shown, font).width > width)
        font = font.withSize(std::max(floor, std::ceil(font.pointSize()) - 1));
    return font;
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
    gfx::TextLayout::Options boxed;
    boxed.width = area.width();
    boxed.maxHeight = lineHeight;
    boxed.mode = gfx::LineBreakMode::TruncateTail;
    boxed.maxLines = 1;
    boxed.alignment = m_alignment;

    if (!m_editing) {
        if (!shown.empty())
            ctx.drawText(m_boxLayout.get(cr, shown, drawnFont(), boxed), {area.x(), area.midY() - drawnFont().lineHeight() / 2},
                         m_textColor);
        else if (!m_placeholder.empty())
            ctx.drawText(m_boxLayout.get(cr, m_placeholder, m_font, boxed), {area.x(), y}, kPlaceholderColor);
    } else {
        keepCaretInView();
        double x = lineOriginX();
        double selectionFrom = widthUpTo(selectionStart());
        double selectionTo = widthUpTo(selectionStart() + selectionLength());
        double caretAt = widthUpTo(m_caret);
        // The composition sits at the caret, before the rest of the line.
        size_t split = m_secure ? displayTextLength(m_text.substr(0, m_caret)) : m_caret;
        std::string line = shown.substr(0, split) + m_markedText + shown.substr(split);
        double markedWidth = m_markedText.empty() ? 0 : gfx::sizeOfText(m_markedText, m_font).width;
        ctx.save();
        ctx.clipToRect(area);
        if (selectionTo > selectionFrom) {
            ctx.setFillColor(kSelectionColor);
            ctx.fillRect({x + selectionFrom, y, selectionTo - selectionFrom, lineHeight});
        }
        if (line.empty() && !m_placeholder.empty())
            ctx.drawText(m_boxLayout.get(cr, m_placeholder, m_font, boxed), {area.x(), y}, kPlaceholderColor);
        else if (!line.empty())
            ctx.drawText(m_lineLayout.get(cr, line, m_font, gfx::TextLayout::Options{}), {x, y}, m_textColor);
        if (markedWidth > 0) {
            ctx.setStrokeColor(m_textColor);
            ctx.setLineWidth(1);
            ctx.strokeLine({x + caretAt, y + lineHeight - 0.5}, {x + caretAt + markedWidth, y + lineHeight - 0.5});
        }
        ctx.restore();
        if (m_caretShown && selectionLength() == 0) {
            double caretX = std::min(x + caretAt + markedWidth, area.maxX() - kCaretWidth);
            if (line.empty() && m_alignment == gfx::TextAlignment::Center)
                caretX = area.midX();
            ctx.setFillColor(kCaretColor);
            ctx.fillRect({caretX, y, kCaretWidth, lineHeight});
        }
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
