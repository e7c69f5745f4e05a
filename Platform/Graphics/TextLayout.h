#pragma once
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Text.h"

#include <pango/pangocairo.h>

#include <string_view>

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
    };

    // cr is where the text will be drawn (its matrix picks the glyph resolution), or nullptr to
    // measure only.
    TextLayout(cairo_t* cr, std::string_view text, const Font& font, const Options& options);

    // Exact extent of the kept lines, in points.
    Size size() const { return {m_width, m_height}; }
    // What measuring reports: rounded up to whole points.
    Size roundedSize() const;
    int lineCount() const { return m_keptLines; }
    // From the top of the first line to its baseline, in points.
    double baseline() const;

    // Draws the kept lines with the current source of cr, their box's top-left at origin.
    void draw(cairo_t* cr, Point origin) const;

    static double lineHeight(const Font& font);

private:
    void limitLines();

    GObjectRef<PangoContext> m_context;
    GObjectRef<PangoLayout> m_layout;
    Options m_options;
    bool m_unwrapped = false;
    int m_keptLines = 0;
    double m_width = 0;
    double m_height = 0;
};

} // namespace gfx
