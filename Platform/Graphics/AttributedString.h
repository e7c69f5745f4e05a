#pragma once
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"

#include <cairo.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

// One UTF-8 text with runs of font and colour over it; line breaks in the text are kept.
class AttributedString {
public:
    struct Run {
        size_t start = 0; // byte offsets into the text
        size_t length = 0;
        Font font;
        Color color;
    };

    AttributedString() = default;
    AttributedString(std::string_view text, const Font& font, const Color& color) { append(text, font, color); }

    void append(std::string_view text, const Font& font, const Color& color);
    void append(const AttributedString& other);

    const std::string& string() const { return m_text; }
    const std::vector<Run>& runs() const { return m_runs; }
    size_t length() const { return m_text.size(); }
    bool empty() const { return m_text.empty(); }

private:
    std::string m_text;
    std::vector<Run> m_runs;
};

class TextLayout;

// An attributed text wrapped to a width with no limit on its height, laid out paragraph by
// paragraph (at "\n", "\r\n" or "\r"): however long the text, keeping its Chinese words
// whole costs what its longest paragraph does.
class AttributedTextLayout {
public:
    // cr is where the text will be drawn, or nullptr to measure only.
    AttributedTextLayout(cairo_t* cr, const AttributedString& text, double width);
    ~AttributedTextLayout();
    AttributedTextLayout(AttributedTextLayout&&) noexcept;
    AttributedTextLayout& operator=(AttributedTextLayout&&) noexcept;

    Size size() const { return m_size; }
    // Rounded up to whole points.
    Size roundedSize() const;
    // Where each line starts, in bytes into the whole text.
    std::vector<size_t> lineStarts() const;
    // Draws with the current source of cr, the text's top-left at origin.
    void draw(cairo_t* cr, Point origin) const;

private:
    struct Paragraph {
        size_t start = 0;
        double top = 0;
        std::unique_ptr<TextLayout> layout; // none for an empty paragraph
    };
    std::vector<Paragraph> m_paragraphs;
    Size m_size;
};

Size suggestedSizeOfAttributedText(const AttributedString& text, double width);

} // namespace gfx
