#include "Platform/Graphics/AttributedString.h"

#include "Platform/Graphics/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace gfx {

void AttributedString::append(std::string_view text, const Font& font, const Color& color)
{
    if (text.empty())
        return;
    m_runs.push_back(Run{m_text.size(), text.size(), font, color});
    m_text.append(text);
}

void AttributedString::append(const AttributedString& other)
{
    size_t base = m_text.size();
    m_text.append(other.m_text);
    for (Run run : other.m_runs) {
        run.start += base;
        m_runs.push_back(std::move(run));
    }
}

namespace {

// The paragraphs of a text: where each starts and ends (before its line end), and the font
// at its end, which an empty paragraph's line takes its height from.
struct Span {
    size_t start, end;
    Font font;
};

std::vector<Span> paragraphSpans(const AttributedString& text)
{
    std::vector<Span> spans;
    const std::string& all = text.string();
    const auto& runs = text.runs();
    size_t run = 0;
    auto fontAt = [&](size_t at) {
        while (run + 1 < runs.size() && runs[run].start + runs[run].length <= at)
            ++run;
        return runs.empty() ? Font::systemFont(14) : runs[run].font;
    };
    size_t start = 0;
    while (true) {
        size_t end = all.find_first_of("\r\n", start);
        size_t stop = end == std::string::npos ? all.size() : end;
        spans.push_back({start, stop, fontAt(stop < all.size() ? stop : (stop > 0 ? stop - 1 : 0))});
        if (end == std::string::npos)
            break;
        start = end + (all.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return spans;
}

AttributedString slice(const AttributedString& text, size_t start, size_t end)
{
    AttributedString piece;
    for (const auto& r : text.runs()) {
        size_t from = std::max(r.start, start), to = std::min(r.start + r.length, end);
        if (from < to)
            piece.append(std::string_view(text.string()).substr(from, to - from), r.font, r.color);
    }
    return piece;
}

} // namespace

AttributedTextLayout::AttributedTextLayout(cairo_t* cr, const AttributedString& text, double width)
{
    if (text.empty())
        return;
    TextLayout::Options options;
    options.width = width;
    double top = 0;
    for (const Span& span : paragraphSpans(text)) {
        Paragraph paragraph;
        paragraph.start = span.start;
        paragraph.top = top;
        if (span.end > span.start) {
            paragraph.layout = std::make_unique<TextLayout>(cr, slice(text, span.start, span.end), options);
            m_size.width = std::max(m_size.width, paragraph.layout->size().width);
            top += paragraph.layout->size().height;
        } else {
            top += TextLayout::lineHeight(span.font);
        }
        m_paragraphs.push_back(std::move(paragraph));
    }
    m_size.height = top;
}

AttributedTextLayout::~AttributedTextLayout() = default;
AttributedTextLayout::AttributedTextLayout(AttributedTextLayout&&) noexcept = default;
AttributedTextLayout& AttributedTextLayout::operator=(AttributedTextLayout&&) noexcept = default;

Size AttributedTextLayout::roundedSize() const
{
    return {std::ceil(m_size.width - 1e-6), std::ceil(m_size.height - 1e-6)};
}

std::vector<size_t> AttributedTextLayout::lineStarts() const
{
    std::vector<size_t> starts;
    for (const auto& paragraph : m_paragraphs) {
        if (!paragraph.layout) {
            starts.push_back(paragraph.start);
            continue;
        }
        for (size_t at : paragraph.layout->lineStarts())
            starts.push_back(paragraph.start + at);
    }
    return starts;
}

void AttributedTextLayout::draw(cairo_t* cr, Point origin) const
{
    for (const auto& paragraph : m_paragraphs)
        if (paragraph.layout)
            paragraph.layout->draw(cr, {origin.x, origin.y + paragraph.top});
}

Size suggestedSizeOfAttributedText(const AttributedString& text, double width)
{
    return AttributedTextLayout(nullptr, text, width).roundedSize();
}

} // namespace gfx
