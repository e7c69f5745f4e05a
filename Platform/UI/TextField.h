#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/Control.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace base {
class Timer;
}

namespace ui {

class TextField;

// Posted when the on-screen keyboard is about to come up or go away: when a field takes
// focus from no field, and when focus leaves the fields altogether.
inline constexpr char kKeyboardWillShowNotification[] = "ui.KeyboardWillShow";
inline constexpr char kKeyboardWillHideNotification[] = "ui.KeyboardWillHide";

// Answers and notices about a field's editing; the defaults allow everything.
// Ranges are UTF-8 byte offsets into the field's text.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField&) { return true; }
    virtual void textFieldDidBeginEditing(TextField&) {}
    virtual bool textFieldShouldEndEditing(TextField&) { return true; }
    virtual void textFieldDidEndEditing(TextField&) {}
    virtual bool textFieldShouldChangeCharactersInRange(TextField&, size_t location, size_t length,
                                                        const std::string& replacement)
    {
        return true;
    }
    virtual bool textFieldShouldClear(TextField&) { return true; }
    virtual bool textFieldShouldReturn(TextField&) { return true; }
};

enum class TextBorderStyle { None, Line, Bezel, RoundedRect };
enum class TextFieldViewMode { Never, WhileEditing, UnlessEditing, Always };
enum class KeyboardType { Default, ASCIICapable, NumbersAndPunctuation, URL, NumberPad, PhonePad, EmailAddress, DecimalPad };
enum class ReturnKeyType { Default, Go, Next, Search, Send, Done };
enum class TextAutocapitalizationType { None, Words, Sentences, AllCharacters };
enum class TextAutocorrectionType { Default, No, Yes };

// One line of editable text. Tapping it takes keyboard focus and puts the caret at the nearest
// character; typing and pasting replace the selection; the line scrolls to keep the caret in view.
class TextField : public Control {
public:
    TextField();
    explicit TextField(const gfx::Rect& frame);
    ~TextField() override;
    const char* className() const override { return "TextField"; }

    const std::string& text() const { return m_text; }
    // Sets the text without asking the delegate or sending events.
    void setText(const std::string& text);
    const std::string& placeholder() const { return m_placeholder; }
    void setPlaceholder(const std::string& placeholder) { m_placeholder = placeholder; setNeedsDisplay(); }
    const gfx::Font& font() const { return m_font; }
    void setFont(const gfx::Font& font) { m_font = font; setNeedsDisplay(); }
    // A text wider than the field is drawn in a smaller size, down to the minimum.
    bool adjustsFontSizeToFitWidth() const { return m_adjustsFontSize; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { m_adjustsFontSize = adjusts; setNeedsDisplay(); }
    double minimumFontSize() const { return m_minimumFontSize; }
    void setMinimumFontSize(double size) { m_minimumFontSize = size; setNeedsDisplay(); }
    // The font the text is drawn in now.
    gfx::Font drawnFont() const;
    gfx::Color textColor() const { return m_textColor; }
    void setTextColor(gfx::Color color) { m_textColor = color; setNeedsDisplay(); }
    gfx::TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(gfx::TextAlignment alignment) { m_alignment = alignment; setNeedsDisplay(); }
    TextBorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(TextBorderStyle style);
    // Drawn stretched over the bounds under the text; when set it takes the border style's place.
    const gfx::Image& background() const { return m_background; }
    void setBackground(const gfx::Image& image) { m_background = image; setNeedsDisplay(); }
    TextFieldViewMode clearButtonMode() const { return m_clearButtonMode; }
    void setClearButtonMode(TextFieldViewMode mode);
    bool isSecureTextEntry() const { return m_secure; }
    // A secure field shows bullets, keeps its text off the pasteboard and takes no input
    // method composition: only characters typed directly.
    void setSecureTextEntry(bool secure);
    bool acceptsComposition() const override { return !m_secure; }
    KeyboardType keyboardType() const { return m_keyboardType; }
    void setKeyboardType(KeyboardType type) { m_keyboardType = type; }
    ReturnKeyType returnKeyType() const { return m_returnKeyType; }
    void setReturnKeyType(ReturnKeyType type) { m_returnKeyType = type; }
    // Traits of an on-screen keyboard; keys typed on this platform's keyboard go in as they are.
    TextAutocapitalizationType autocapitalizationType() const { return m_autocapitalization; }
    void setAutocapitalizationType(TextAutocapitalizationType type) { m_autocapitalization = type; }
    TextAutocorrectionType autocorrectionType() const { return m_autocorrection; }
    void setAutocorrectionType(TextAutocorrectionType type) { m_autocorrection = type; }

    std::shared_ptr<View> leftView() const { return m_leftView; }
    void setLeftView(std::shared_ptr<View> view);
    TextFieldViewMode leftViewMode() const { return m_leftViewMode; }
    void setLeftViewMode(TextFieldViewMode mode);
    std::shared_ptr<View> rightView() const { return m_rightView; }
    void setRightView(std::shared_ptr<View> view);
    TextFieldViewMode rightViewMode() const { return m_rightViewMode; }
    void setRightViewMode(TextFieldViewMode mode);

    TextFieldDelegate* delegate() const { return m_delegate; }
    void setDelegate(TextFieldDelegate* delegate) { m_delegate = delegate; }

    bool isEditing() const { return m_editing; }
    // The caret and the selection, in UTF-8 byte offsets at character boundaries; the caret is
    // the selection's moving end.
    size_t caretPosition() const { return m_caret; }
    size_t selectionStart() const { return std::min(m_caret, m_anchor); }
    size_t selectionLength() const { return std::max(m_caret, m_anchor) - selectionStart(); }
    std::string selectedText() const { return m_text.substr(selectionStart(), selectionLength()); }
    // Out-of-range ends are clamped; ends inside a character move to its start.
    void setSelectedRange(size_t location, size_t length);
    const std::string& markedText() const { return m_markedText; }
    void setMarkedText(const std::string& text) override;
    std::optional<gfx::Rect> caretRectInWindow() const override;
    // Blinks every half second on the loop's clock while editing; shown again on every change.
    bool isCaretShown() const { return m_caretShown; }
    // How far the line is scrolled sideways while editing.
    double horizontalScroll() const { return m_scrollX; }
    // The character boundary nearest to x (bounds coordinates) on the line as laid out.
    size_t characterIndexForX(double x) const;
    // Where the boundary at a byte offset is drawn, in bounds coordinates.
    double xForCharacterIndex(size_t index) const;
    // Where the text and the clear button go, in bounds coordinates.
    gfx::Rect textRect() const;
    // The top of the line of text as drawn, in bounds coordinates.
    double textTop() const;
    gfx::Rect clearButtonRect() const;
    bool isClearButtonVisible() const;

    void setEnabled(bool enabled) override;
    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void keyPressed(const std::string& key) override;

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::string accessibilityText() const override;

protected:
    void endTracking(gfx::Point point, bool inside) override;
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    bool shows(TextFieldViewMode mode) const;
    // Replaces a byte range when the delegate agrees; sends EditingChanged.
    void replace(size_t location, size_t length, const std::string& replacement);
    void clear();
    std::string displayText() const;
    // Replaces the selection with text the delegate agrees to; the caret goes after it.
    bool replaceSelection(const std::string& text);
    void moveCaret(size_t position, bool extend);
    size_t previousBoundary(size_t position) const;
    size_t nextBoundary(size_t position) const;
    void selectWordAt(size_t position);
    // The shown line's width up to a byte offset of the text (bullets when secure).
    double widthUpTo(size_t index) const;
    double lineOriginX() const;
    void keepCaretInView();
    void restartBlink();
    void stopBlink();
    void setSideView(std::shared_ptr<View>& slot, std::shared_ptr<View> view);

    std::string m_text;
    std::string m_placeholder;
    gfx::Font m_font = gfx::Font::systemFont(17);
    gfx::Color m_textColor = gfx::Color::black();
    gfx::TextAlignment m_alignment = gfx::TextAlignment::Left;
    TextBorderStyle m_borderStyle = TextBorderStyle::None;
    gfx::Image m_background;
    TextFieldViewMode m_clearButtonMode = TextFieldViewMode::Never;
    bool m_secure = false;
    KeyboardType m_keyboardType = KeyboardType::Default;
    ReturnKeyType m_returnKeyType = ReturnKeyType::Default;
    TextAutocapitalizationType m_autocapitalization = TextAutocapitalizationType::Sentences;
    TextAutocorrectionType m_autocorrection = TextAutocorrectionType::Default;
    std::shared_ptr<View> m_leftView;
    std::shared_ptr<View> m_rightView;
    TextFieldViewMode m_leftViewMode = TextFieldViewMode::Never;
    TextFieldViewMode m_rightViewMode = TextFieldViewMode::Never;
    TextFieldDelegate* m_delegate = nullptr;
    bool m_adjustsFontSize = false;
    double m_minimumFontSize = 0;
    bool m_editing = false;
    size_t m_caret = 0;
    size_t m_anchor = 0;
    std::string m_markedText;
    double m_scrollX = 0;
    bool m_caretShown = true;
    std::shared_ptr<base::Timer> m_blink;
    double m_lastTapTime = -1;
    gfx::Point m_lastTapPoint;
    // Kept between draws, made again only when the text, font or room change.
    gfx::CachedTextLayout m_lineLayout;
    gfx::CachedTextLayout m_boxLayout;
};

} // namespace ui
