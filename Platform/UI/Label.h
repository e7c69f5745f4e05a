#pragma once
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/View.h"

#include <optional>
#include <string>

namespace ui {

// Static text, vertically centred in its bounds. The background is clear unless set.
class Label : public View, public Highlightable {
public:
    Label();
    explicit Label(const gfx::Rect& frame);
    const char* className() const override { return "Label"; }
    Highlightable* highlightable() override { return this; }

    const std::string& text() const { return m_text; }
    void setText(const std::string& text);
    const gfx::Font& font() const { return m_font; }
    void setFont(const gfx::Font& font);
    gfx::Color textColor() const { return m_textColor; }
    void setTextColor(gfx::Color color) { m_textColor = color; setNeedsDisplay(); }
    std::optional<gfx::Color> highlightedTextColor() const { return m_highlightedTextColor; }
    void setHighlightedTextColor(std::optional<gfx::Color> color) { m_highlightedTextColor = color; setNeedsDisplay(); }
    bool isHighlighted() const override { return m_highlighted; }
    void setHighlighted(bool highlighted) override { m_highlighted = highlighted; setNeedsDisplay(); }
    gfx::TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(gfx::TextAlignment alignment) { m_alignment = alignment; setNeedsDisplay(); }
    // 0 allows any number of lines.
    int numberOfLines() const { return m_numberOfLines; }
    void setNumberOfLines(int lines) { m_numberOfLines = lines; setNeedsDisplay(); }
    gfx::LineBreakMode lineBreakMode() const { return m_lineBreakMode; }
    void setLineBreakMode(gfx::LineBreakMode mode) { m_lineBreakMode = mode; setNeedsDisplay(); }
    // Single-line labels shrink their font down to minimumFontSize to fit the width.
    bool adjustsFontSizeToFitWidth() const { return m_adjustsFontSize; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { m_adjustsFontSize = adjusts; setNeedsDisplay(); }
    double minimumFontSize() const { return m_minimumFontSize; }
    void setMinimumFontSize(double size) { m_minimumFontSize = size; setNeedsDisplay(); }
    std::optional<gfx::Color> shadowColor() const { return m_shadowColor; }
    void setShadowColor(std::optional<gfx::Color> color) { m_shadowColor = color; setNeedsDisplay(); }
    gfx::Size shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(gfx::Size offset) { m_shadowOffset = offset; setNeedsDisplay(); }

    // The font the text is drawn with at the current width.
    gfx::Font fontForDrawing() const;

    // The text on one unwrapped line, rounded up to whole points (kept until text or font change).
    gfx::Size singleLineSize() const;

    gfx::Size sizeThatFits(gfx::Size size) const override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::string accessibilityText() const override { return m_text; }

private:
    std::string m_text;
    gfx::Font m_font = gfx::Font::systemFont(17);
    gfx::Color m_textColor = gfx::Color::black();
    std::optional<gfx::Color> m_highlightedTextColor;
    bool m_highlighted = false;
    gfx::TextAlignment m_alignment = gfx::TextAlignment::Left;
    int m_numberOfLines = 1;
    gfx::LineBreakMode m_lineBreakMode = gfx::LineBreakMode::TruncateTail;
    bool m_adjustsFontSize = false;
    double m_minimumFontSize = 0;
    std::optional<gfx::Color> m_shadowColor;
    gfx::Size m_shadowOffset{0, -1};
    // Layouts kept between passes; each is made again only when its inputs change.
    gfx::CachedTextLayout m_drawLayout;
    mutable gfx::CachedTextLayout m_lineLayout;
    mutable gfx::CachedTextLayout m_fitLayout;
    struct FittedFont {
        std::string text;
        std::optional<gfx::Font> font;
        double width = -1;
        double minimum = -1;
        std::optional<gfx::Font> result;
    };
    mutable FittedFont m_fitted;
};

} // namespace ui
