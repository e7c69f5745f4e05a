#pragma once
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/View.h"

#include <string>

namespace ui {

// Wrapped text that scrolls vertically when taller than the view: a finger drags it. An
// editable text view also takes focus on a tap and appends typed text.
class TextView : public View {
public:
    static constexpr double kInset = 8;

    TextView();
    explicit TextView(const gfx::Rect& frame);
    const char* className() const override { return "TextView"; }

    const std::string& text() const { return m_text; }
    void setText(const std::string& text);
    const gfx::Font& font() const { return m_font; }
    void setFont(const gfx::Font& font);
    gfx::Color textColor() const { return m_textColor; }
    void setTextColor(gfx::Color color) { m_textColor = color; }
    gfx::TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(gfx::TextAlignment alignment) { m_alignment = alignment; }
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable);
    bool isEditing() const { return isFirstResponder(); }
    // Margins between the view's edges and its text; kInset on every side by default.
    gfx::EdgeInsets contentInset() const { return m_contentInset; }
    void setContentInset(gfx::EdgeInsets inset);

    // The wrapped text with its margins; the offset is the bounds origin.
    gfx::Size contentSize() const;
    gfx::Point contentOffset() const { return bounds().origin; }
    // Clamped so the content never scrolls past its ends.
    void setContentOffset(gfx::Point offset);

    bool canBecomeFirstResponder() const override { return m_editable; }
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void keyPressed(const std::string& key) override;

    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    void touchesCancelled(const std::vector<Touch*>& touches, Event& event) override;

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::string accessibilityText() const override { return m_text; }

protected:
    void boundsDidChange(const gfx::Rect& oldBounds) override;

private:
    double maximumOffset() const;
    void textDidChange();

    std::string m_text;
    gfx::Font m_font = gfx::Font::systemFont(17);
    gfx::Color m_textColor = gfx::Color::black();
    gfx::TextAlignment m_alignment = gfx::TextAlignment::Left;
    bool m_editable = true;
    gfx::EdgeInsets m_contentInset{kInset, kInset, kInset, kInset};
    int m_touch = -1;
    gfx::Point m_touchStart;
    double m_offsetAtStart = 0;
    bool m_dragging = false;
    // The wrapped text's height, measured again only when the text, font or width change:
    // every scroll step asks for it.
    struct Measured {
        std::string text;
        gfx::Font font = gfx::Font::systemFont(17);
        double width = -1;
        double height = 0;
    };
    mutable Measured m_measured;
};

} // namespace ui
