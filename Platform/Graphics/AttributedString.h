#pragma once
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"

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

// The size the whole text takes wrapped to `width`, with no limit on its height, rounded up
// to whole points; drawing it with Context::drawAttributedText in a rectangle that wide takes
// the same size.
Size suggestedSizeOfAttributedText(const AttributedString& text, double width);

} // namespace gfx
