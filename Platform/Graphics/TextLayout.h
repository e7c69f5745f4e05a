#pragma once
#include "Platform/Graphics/AttributedString.h"
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Text.h"

#include <pango/pangocairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gfx {

// Text laid out by Pango. Measuring and drawing build it the same way (one font map at 72 dpi,
// unhinted metrics, unrounded glyph positions), so the measured size is the drawn size at any
// scale and on any surface.
class TextLayout {
public:
    struct Options {
        double width = -1; // below zero: unwrapped lines
        LineBreakMode mode = LineBreakMode::WordWrap;
        int maxLines = 0; // 0: no limit
        double maxHeight = -1; // below zero: no limit
        TextAlignment alignment = TextAlignment::Left;
        bool operator==(const Options&) const = default;
    };

    // cr is where the text will be drawn (its matrix picks the glyph resolution), or nullptr to
    // measure only.
    TextLayout(cairo_t* cr, std::string_view text, const Font& font, const Options& options);
    // Runs of font and colour; the colours of the runs win over the colour drawn with.
    TextLayout(cairo_t* cr, const AttributedString& text, const Options& options);

    // Exact extent of the kept lines, in points.
    Size size() const { return {m_width, m_height}; }
    // What measuring reports: rounded up to whole points.
    Size roundedSize() const;
    int lineCount() const { return m_keptLines; }
    // Where each kept line starts, in bytes into the text.
    std::vector<size_t> lineStarts() const;
    // From the top of the first line to its baseline, in points.
    double baseline() const;
    // Where the glyphs' ink starts and ends across the kept lines (unwrapped text: its one
    // line), in points from the box's left: narrower than size() by the glyphs' side bearings.
    std::pair<double, double> inkSpan() const;

    // Draws the kept lines with the current source of cr, their box's top-left at origin.
    void draw(cairo_t* cr, Point origin) const;

    // Fits a kept layout to drawing with cr (its scale, its surface's font options); lays it
    // out again only when they change what Pango produces. Not for measuring-only layouts.
    void prepareFor(cairo_t* cr);
    bool isMeasuringOnly() const { return m_measuringOnly; }

    static double lineHeight(const Font& font);

    // Layouts built or laid out again since the process started.
    static uint64_t buildCount();

private:
    // What a drawing context gives the layout: the surface's kind and scale, the linear part
    // of the transformation (translation does not matter).
    struct Target {
        int surfaceType = -1;
        double deviceScaleX = 1, deviceScaleY = 1;
        double xx = 1, yx = 0, xy = 0, yy = 1;
        bool operator==(const Target&) const = default;
    };
    static Target targetOf(cairo_t* cr);
    void setUp(cairo_t* cr, std::string_view text, const Font& font, PangoAttrList* attributes);
    void limitLines();

    bool m_measuringOnly = false;
    Target m_target;
    GObjectRef<PangoContext> m_context;
    GObjectRef<PangoLayout> m_layout;
    Options m_options;
    bool m_unwrapped = false;
    // Byte offsets into the text before which the laid-out text has a word joiner.
    std::vector<size_t> m_joins;
    int m_keptLines = 0;
    double m_width = 0;
    double m_height = 0;
};

// A layout kept between draws (by a label, a button title, a field): built again only when its
// text, font or options change, and shared by the measuring and the drawing of a view.
class CachedTextLayout {
public:
    // The layout for these inputs; with cr, ready to draw there (nullptr: for measuring).
    TextLayout& get(cairo_t* cr, std::string_view text, const Font& font, const TextLayout::Options& options);
    void reset() { m_layout.reset(); }

private:
    std::unique_ptr<TextLayout> m_layout;
    std::string m_text;
    std::optional<Font> m_font;
    TextLayout::Options m_options;
};

} // namespace gfx
