#include "Platform/Graphics/TextLayout.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <map>
#include <string>
#include <tuple>
#include <cmath>
#include <memory>
#include <vector>

namespace gfx {

namespace {

PangoFontMap* fontMap()
{
    // Our own map, not the process default, so the resolution we set cannot disturb others.
    static thread_local GObjectRef<PangoFontMap> map = [] {
        PangoFontMap* m = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(m), 72);
        return GObjectRef<PangoFontMap>(m);
    }();
    return map.get();
}

GObjectRef<PangoContext> makeContext(cairo_t* cr)
{
    GObjectRef<PangoContext> context(pango_font_map_create_context(fontMap()));
    std::unique_ptr<cairo_font_options_t, decltype(&cairo_font_options_destroy)> options(
        cairo_font_options_create(), cairo_font_options_destroy);
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context.get(), options.get());
    pango_context_set_round_glyph_positions(context.get(), FALSE);
    pango_context_set_language(context.get(), pango_language_from_string("en"));
    // Last, so that a kept layout updated for the same target later sees nothing new.
    if (cr)
        pango_cairo_update_context(cr, context.get());
    return context;
}

std::atomic<uint64_t> g_builds{0};

PangoContext* measuringContext()
{
    static thread_local GObjectRef<PangoContext> context = makeContext(nullptr);
    return context.get();
}

using FontDescription = std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)>;

FontDescription describe(const Font& font)
{
    FontDescription d(pango_font_description_new(), pango_font_description_free);
    pango_font_description_set_family(d.get(), font.families().c_str());
    pango_font_description_set_weight(d.get(), font.isBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d.get(), font.isItalic() ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d.get(), font.pointSize() * PANGO_SCALE);
    return d;
}

double points(int pangoUnits)
{
    return static_cast<double>(pangoUnits) / PANGO_SCALE;
}

bool truncates(LineBreakMode mode)
{
    return mode == LineBreakMode::TruncateHead || mode == LineBreakMode::TruncateTail
        || mode == LineBreakMode::TruncateMiddle;
}

PangoEllipsizeMode ellipsizeMode(LineBreakMode mode, int lines)
{
    // Pango ellipsizes the start or middle of a single line only; several lines end in "…".
    if (lines > 1)
        return PANGO_ELLIPSIZE_END;
    switch (mode) {
    case LineBreakMode::TruncateHead:
        return PANGO_ELLIPSIZE_START;
    case LineBreakMode::TruncateMiddle:
        return PANGO_ELLIPSIZE_MIDDLE;
    default:
        return PANGO_ELLIPSIZE_END;
    }
}

PangoAlignment pangoAlignment(TextAlignment alignment)
{
    switch (alignment) {
    case TextAlignment::Center:
        return PANGO_ALIGN_CENTER;
    case TextAlignment::Right:
        return PANGO_ALIGN_RIGHT;
    default:
        return PANGO_ALIGN_LEFT;
    }
}

struct WordRange {
    size_t start, end; // byte offsets
};

bool isHan(char32_t c)
{
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF)
        || (c >= 0x20000 && c <= 0x323AF);
}

// The code point whose UTF-8 form starts at text[i]; 0 for a stray or cut-off byte.
char32_t codePointAt(std::string_view text, size_t i, size_t* length)
{
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    *length = n;
    if (n == 1 || i + n > text.size())
        return lead < 0x80 ? lead : 0;
    char32_t c = lead & (0x7F >> n);
    for (size_t k = 1; k < n; ++k)
        c = (c << 6) | (byte(i + k) & 0x3F);
    return c;
}

size_t countHan(std::string_view text)
{
    // Han begins at U+3400, whose lead byte is 0xE3: everything below is skipped unread.
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) < 0xE3)
            continue;
        size_t length;
        count += isHan(codePointAt(text, i, &length));
        i += length - 1;
    }
    return count;
}

using BreakIteratorRef = std::unique_ptr<UBreakIterator, decltype(&ubrk_close)>;

UBreakIterator* chineseWordIterator()
{
    // Opening one loads rules and the dictionary: each thread that lays out text keeps its own.
    static thread_local BreakIteratorRef iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_WORD, "zh", nullptr, 0, &status);
        if (U_FAILURE(status) && opened) {
            ubrk_close(opened);
            opened = nullptr;
        }
        return BreakIteratorRef(opened, ubrk_close);
    }();
    return iterator.get();
}

bool endsClause(char32_t c)
{
    return c == U'。' || c == U'！' || c == U'？' || c == U'；' || c == U'：' || c == U'，' || c == U'、';
}

// The byte ranges of the words of two or more characters that hold an ideograph: Chinese
// writes no spaces, so only a dictionary knows where its words end. A clause's first word of
// one ideograph stays with the word after it, so that no line ends on it ("。请|检查").
std::vector<WordRange> chineseWords(std::string_view text)
{
    std::vector<WordRange> words;
    UBreakIterator* iterator = chineseWordIterator();
    if (!iterator)
        return words;
    UErrorCode status = U_ZERO_ERROR;
    UText utf8 = UTEXT_INITIALIZER;
    utext_openUTF8(&utf8, text.data(), static_cast<int64_t>(text.size()), &status);
    ubrk_setUText(iterator, &utf8, &status);
    if (U_SUCCESS(status)) {
        char32_t before = 0; // the last character of the word before
        constexpr size_t kNone = std::string_view::npos;
        size_t leading = kNone; // where a clause's one-ideograph first word starts
        int32_t start = ubrk_first(iterator);
        for (int32_t end = ubrk_next(iterator); end != UBRK_DONE; start = end, end = ubrk_next(iterator)) {
            size_t length;
            bool han = false;
            int characters = 0;
            char32_t last = 0;
            for (size_t i = static_cast<size_t>(start); i < static_cast<size_t>(end); i += length, ++characters) {
                last = codePointAt(text, i, &length);
                han = han || isHan(last);
            }
            size_t from = leading != kNone && han ? leading : static_cast<size_t>(start);
            if (han && (characters > 1 || leading != kNone))
                words.push_back({from, static_cast<size_t>(end)});
            leading = kNone;
            if (han && characters == 1 && endsClause(before))
                leading = static_cast<size_t>(start);
            before = last;
        }
    }
    utext_close(&utf8);
    return words;
}

using AttrListRef = std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)>;

// Pango forbids a break only through attributes, whose cost grows with their number times the
// paragraph's length. A word joiner between two characters forbids the break there for three
// bytes of text and nothing per line, so a word is kept whole by joining its characters.
constexpr std::string_view kWordJoiner = "\u2060";

// Where joiners go so that no line breaks inside the words: the text's byte offsets they go
// before. Only where an ideograph is on either side, for Pango breaks nowhere else inside a
// word, and never before a mark, which stays with the character it marks.
std::vector<size_t> joinsInside(std::string_view text, const std::vector<WordRange>& words)
{
    std::vector<size_t> joins;
    for (const auto& word : words) {
        size_t length;
        char32_t before = codePointAt(text, word.start, &length);
        for (size_t i = word.start + length; i < word.end; i += length) {
            char32_t c = codePointAt(text, i, &length);
            if ((isHan(before) || isHan(c)) && !g_unichar_ismark(c))
                joins.push_back(i);
            before = c;
        }
    }
    return joins;
}

std::string joined(std::string_view text, const std::vector<size_t>& joins)
{
    std::string laid;
    laid.reserve(text.size() + joins.size() * kWordJoiner.size());
    size_t from = 0;
    for (size_t at : joins) {
        laid.append(text.substr(from, at - from));
        laid.append(kWordJoiner);
        from = at;
    }
    laid.append(text.substr(from));
    return laid;
}

// An offset into the text as an offset into the joined text. A joiner at a boundary between
// attribute runs goes with the run before it, as the one ending there and the one starting
// there both move past it.
guint laidOffset(guint offset, const std::vector<size_t>& joins)
{
    if (offset == PANGO_ATTR_INDEX_TO_TEXT_END)
        return offset;
    auto before = std::upper_bound(joins.begin(), joins.end(), static_cast<size_t>(offset)) - joins.begin();
    return offset + static_cast<guint>(before) * static_cast<guint>(kWordJoiner.size());
}

// An offset into the joined text back in the text; a joiner maps to the character after it.
size_t textOffset(size_t laid, const std::vector<size_t>& joins)
{
    size_t lo = 0, hi = joins.size(); // joins before lo lie before laid; from hi on, at or after it
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (joins[mid] + mid * kWordJoiner.size() < laid)
            lo = mid + 1;
        else
            hi = mid;
    }
    return laid - lo * kWordJoiner.size();
}

// Lays out the text with joiners at joins, its attributes moved with the characters.
void layOutJoined(PangoLayout* layout, std::string_view text, PangoAttrList* attributes,
                  const std::vector<size_t>& joins)
{
    std::string laid = joined(text, joins);
    pango_layout_set_text(layout, laid.data(), static_cast<int>(laid.size()));
    if (!attributes)
        return;
    AttrListRef moved(pango_attr_list_new(), pango_attr_list_unref);
    GSList* all = pango_attr_list_get_attributes(attributes);
    for (GSList* item = all; item; item = item->next) {
        auto* attribute = static_cast<PangoAttribute*>(item->data);
        attribute->start_index = laidOffset(attribute->start_index, joins);
        attribute->end_index = laidOffset(attribute->end_index, joins);
        pango_attr_list_insert(moved.get(), attribute); // the list takes it
    }
    g_slist_free(all);
    pango_layout_set_attributes(layout, moved.get());
}

// A whole word wider than the line would run past it, and one that fills a line up to
// punctuation that may not start the next would make Pango start the next there all the same.
// Either way the words of that line may break again, as Pango alone would break them.
// Returns the joins kept.
std::vector<size_t> releaseCrampedWords(PangoLayout* layout, std::string_view text, PangoAttrList* attributes,
                                        std::vector<WordRange> words, std::vector<size_t> joins)
{
    int width = pango_layout_get_width(layout);
    for (int round = 0; !joins.empty(); ++round) {
        int count = 0;
        const PangoLogAttr* breaks = pango_layout_get_log_attrs_readonly(layout, &count);
        const char* laid = pango_layout_get_text(layout);
        std::vector<bool> released(words.size(), false);
        bool any = false;
        size_t word = 0;
        long at = 0; // characters before the line
        for (GSList* item = pango_layout_get_lines_readonly(layout); item; item = item->next) {
            auto* line = static_cast<PangoLayoutLine*>(item->data);
            size_t start = textOffset(static_cast<size_t>(line->start_index), joins);
            size_t end = textOffset(static_cast<size_t>(line->start_index + line->length), joins);
            PangoRectangle logical;
            pango_layout_line_get_extents(line, nullptr, &logical);
            bool cramped = logical.width > width;
            if (item->next) {
                auto* next = static_cast<PangoLayoutLine*>(item->next->data);
                at += g_utf8_strlen(laid + line->start_index, next->start_index - line->start_index);
                cramped = cramped || (at < count && !breaks[at].is_line_break);
            }
            for (; word < words.size() && words[word].start < end; ++word) {
                if (cramped && words[word].end > start) {
                    released[word] = true;
                    any = true;
                }
            }
        }
        if (!any)
            return joins;
        // Rarely needed twice; past that, Pango breaks as it would alone.
        std::vector<WordRange> kept;
        for (size_t i = 0; round < 3 && i < words.size(); ++i)
            if (!released[i])
                kept.push_back(words[i]);
        words = std::move(kept);
        joins = joinsInside(text, words);
        layOutJoined(layout, text, attributes, joins);
    }
    return joins;
}

bool breaksInsideWords(PangoLayout* layout, const std::vector<WordRange>& words)
{
    size_t word = 0;
    for (GSList* item = pango_layout_get_lines_readonly(layout); item; item = item->next) {
        auto start = static_cast<size_t>(static_cast<PangoLayoutLine*>(item->data)->start_index);
        while (word < words.size() && words[word].end <= start)
            ++word;
        if (word < words.size() && words[word].start < start)
            return true;
    }
    return false;
}

// Pango breaks between any two ideographs; Chinese words are kept whole instead. Returns
// where joiners went into the laid-out text (see joinsInside).
std::vector<size_t> keepWordsWhole(PangoLayout* layout, std::string_view text, double fontSize,
                                   PangoAttrList* attributes)
{
    size_t ideographs = countHan(text);
    if (ideographs == 0)
        return {};
    // Ideographs are an em wide. Text with too few to fill a line may not wrap at all, which
    // the layout as it stands tells for less than looking its words up costs.
    bool laidOut = static_cast<double>(ideographs) * fontSize <= points(pango_layout_get_width(layout));
    if (laidOut && !pango_layout_is_wrapped(layout))
        return {};
    std::vector<WordRange> words = chineseWords(text);
    if (words.empty() || (laidOut && !breaksInsideWords(layout, words)))
        return {};
    std::vector<size_t> joins = joinsInside(text, words);
    if (joins.empty())
        return {};
    layOutJoined(layout, text, attributes, joins);
    return releaseCrampedWords(layout, text, attributes, std::move(words), std::move(joins));
}

} // namespace

TextLayout::TextLayout(cairo_t* cr, std::string_view text, const Font& font, const Options& options)
    : m_options(options)
{
    setUp(cr, text, font, nullptr);
}

TextLayout::TextLayout(cairo_t* cr, const AttributedString& text, const Options& options) : m_options(options)
{
    std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)> list(pango_attr_list_new(), pango_attr_list_unref);
    auto channel = [](double v) { return static_cast<guint16>(std::clamp(v, 0.0, 1.0) * 65535.0 + 0.5); };
    for (const auto& run : text.runs()) {
        auto place = [&](PangoAttribute* attribute) {
            attribute->start_index = static_cast<guint>(run.start);
            attribute->end_index = static_cast<guint>(run.start + run.length);
            pango_attr_list_insert(list.get(), attribute);
        };
        FontDescription description = describe(run.font);
        place(pango_attr_font_desc_new(description.get()));
        place(pango_attr_foreground_new(channel(run.color.r), channel(run.color.g), channel(run.color.b)));
        place(pango_attr_foreground_alpha_new(channel(run.color.a)));
    }
    Font base = text.runs().empty() ? Font::systemFont(14) : text.runs().front().font;
    setUp(cr, text.string(), base, list.get());
}

void TextLayout::setUp(cairo_t* cr, std::string_view text, const Font& font, PangoAttrList* attributes)
{
    const Options& options = m_options;
    g_builds.fetch_add(1, std::memory_order_relaxed);
    m_measuringOnly = !cr;
    if (cr)
        m_target = targetOf(cr);
    m_context = cr ? makeContext(cr) : GObjectRef<PangoContext>(PANGO_CONTEXT(g_object_ref(measuringContext())));
    m_layout = GObjectRef<PangoLayout>(pango_layout_new(m_context.get()));
    PangoLayout* layout = m_layout.get();
    FontDescription description = describe(font);
    pango_layout_set_font_description(layout, description.get());
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    if (attributes)
        pango_layout_set_attributes(layout, attributes);

    // One clipped line is cut at the edge rather than wrapped.
    // So is a width past what Pango's units can hold (an "unlimited" FLT_MAX), as unbounded.
    m_unwrapped = options.width < 0 || !(options.width * PANGO_SCALE < INT_MAX)
                  || (options.mode == LineBreakMode::Clip && options.maxLines == 1);
    if (!m_unwrapped) {
        pango_layout_set_width(layout, static_cast<int>(options.width * PANGO_SCALE));
        pango_layout_set_wrap(layout, options.mode == LineBreakMode::CharWrap ? PANGO_WRAP_CHAR
                                                                                : PANGO_WRAP_WORD_CHAR);
        pango_layout_set_alignment(layout, pangoAlignment(options.alignment));
    }
    // Lines wrapped at words keep Chinese words whole; one truncated line is cut by character.
    if (!m_unwrapped && options.mode != LineBreakMode::CharWrap && !(truncates(options.mode) && options.maxLines == 1))
        m_joins = keepWordsWhole(layout, text, font.pointSize(), attributes);
    limitLines();
}

void TextLayout::prepareFor(cairo_t* cr)
{
    if (m_measuringOnly || !cr)
        return;
    // Updating the context always makes Pango lay out again, so it is updated only when what
    // it takes from cr has changed.
    Target target = targetOf(cr);
    if (target == m_target)
        return;
    m_target = target;
    pango_cairo_update_context(cr, m_context.get());
    g_builds.fetch_add(1, std::memory_order_relaxed);
    PangoLayout* layout = m_layout.get();
    pango_layout_context_changed(layout);
    // Back to the untruncated text before the lines are counted again.
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
    pango_layout_set_height(layout, -1);
    limitLines();
}

TextLayout::Target TextLayout::targetOf(cairo_t* cr)
{
    Target t;
    cairo_surface_t* surface = cairo_get_target(cr);
    t.surfaceType = cairo_surface_get_type(surface);
    cairo_surface_get_device_scale(surface, &t.deviceScaleX, &t.deviceScaleY);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    t.xx = m.xx;
    t.yx = m.yx;
    t.xy = m.xy;
    t.yy = m.yy;
    return t;
}

uint64_t TextLayout::buildCount()
{
    return g_builds.load(std::memory_order_relaxed);
}

TextLayout& CachedTextLayout::get(cairo_t* cr, std::string_view text, const Font& font, const TextLayout::Options& options)
{
    bool same = m_layout && m_text == text && m_font == font && m_options == options;
    // A layout made only for measuring shares one context; drawing needs one of its own.
    if (!same || (cr && m_layout->isMeasuringOnly())) {
        m_layout = std::make_unique<TextLayout>(cr, text, font, options);
        m_text.assign(text);
        m_font = font;
        m_options = options;
        return *m_layout;
    }
    if (cr)
        m_layout->prepareFor(cr);
    return *m_layout;
}

void TextLayout::limitLines()
{
    PangoLayout* layout = m_layout.get();
    auto keptLines = [&] {
        int limit = m_options.maxLines > 0 ? m_options.maxLines : INT_MAX;
        int count = 0;
        std::unique_ptr<PangoLayoutIter, decltype(&pango_layout_iter_free)> iter(
            pango_layout_get_iter(layout), pango_layout_iter_free);
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iter.get(), nullptr, &logical);
            bool fits = m_options.maxHeight < 0 || points(logical.y + logical.height) <= m_options.maxHeight + 0.001;
            // The first line always shows, even in a rect too short for it.
            if (count > 0 && (!fits || count >= limit))
                break;
            ++count;
        } while (pango_layout_iter_next_line(iter.get()));
        return count;
    };

    m_keptLines = keptLines();
    if (!m_unwrapped && truncates(m_options.mode)
        && (m_keptLines < pango_layout_get_line_count(layout) || m_options.maxLines == 1)) {
        pango_layout_set_ellipsize(layout, ellipsizeMode(m_options.mode, m_keptLines));
        pango_layout_set_height(layout, -m_keptLines);
        m_keptLines = keptLines();
    }

    m_width = 0;
    m_height = 0;
    std::unique_ptr<PangoLayoutIter, decltype(&pango_layout_iter_free)> iter(pango_layout_get_iter(layout),
                                                                             pango_layout_iter_free);
    int line = 0;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter.get(), nullptr, &logical);
        m_width = std::max(m_width, points(logical.width));
        m_height = points(logical.y + logical.height);
    } while (++line < m_keptLines && pango_layout_iter_next_line(iter.get()));
    if (m_unwrapped && m_options.width >= 0)
        m_width = std::min(m_width, m_options.width);
}

void TextLayout::draw(cairo_t* cr, Point origin) const
{
    double x = origin.x;
    if (m_unwrapped && m_options.width >= 0) {
        PangoRectangle logical;
        pango_layout_get_extents(m_layout.get(), nullptr, &logical);
        double slack = std::max(0.0, m_options.width - points(logical.width));
        if (m_options.alignment == TextAlignment::Center)
            x += slack / 2;
        else if (m_options.alignment == TextAlignment::Right)
            x += slack;
    }
    cairo_save(cr);
    bool clipsWidth = m_unwrapped && m_options.width >= 0;
    bool clipsHeight = m_keptLines < pango_layout_get_line_count(m_layout.get());
    if (clipsWidth || clipsHeight) {
        double left = clipsWidth ? origin.x : origin.x - 1e6;
        double width = clipsWidth ? m_options.width : 2e6;
        cairo_rectangle(cr, left, origin.y, width, clipsHeight ? m_height : 1e6);
        cairo_clip(cr);
    }
    cairo_move_to(cr, x, origin.y);
    pango_cairo_show_layout(cr, m_layout.get());
    cairo_restore(cr);
}

std::vector<size_t> TextLayout::lineStarts() const
{
    std::vector<size_t> starts;
    int line = 0;
    for (GSList* item = pango_layout_get_lines_readonly(m_layout.get()); item && line < m_keptLines;
         item = item->next, ++line)
        starts.push_back(textOffset(static_cast<size_t>(static_cast<PangoLayoutLine*>(item->data)->start_index), m_joins));
    return starts;
}

double TextLayout::baseline() const
{
    return points(pango_layout_get_baseline(m_layout.get()));
}

std::pair<double, double> TextLayout::inkSpan() const
{
    PangoRectangle ink;
    pango_layout_get_extents(m_layout.get(), &ink, nullptr);
    return {points(ink.x), points(ink.x + ink.width)};
}

Size TextLayout::roundedSize() const
{
    // The epsilon keeps exact whole sizes from rounding up through float noise.
    return {std::ceil(m_width - 1e-6), std::ceil(m_height - 1e-6)};
}

double TextLayout::lineHeight(const Font& font)
{
    // Asked on every draw of a field; fonts in use are few.
    using Key = std::tuple<std::string, double, bool, bool>;
    static thread_local std::map<Key, double> heights;
    Key key{font.families(), font.pointSize(), font.isBold(), font.isItalic()};
    if (auto it = heights.find(key); it != heights.end())
        return it->second;
    if (heights.size() >= 256)
        heights.clear();
    TextLayout layout(nullptr, "", font, Options{});
    heights.emplace(std::move(key), layout.m_height);
    return layout.m_height;
}

} // namespace gfx
