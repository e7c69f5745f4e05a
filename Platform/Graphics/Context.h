#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"
#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Text.h"

#include <memory>
#include <string>
#include <vector>

namespace gfx {

class TextLayout;
class AttributedString;

enum class LineCap { Butt, Round, Square };

struct GradientStop {
    double location = 0; // 0..1 along the gradient
    Color color;
};

// A drawing context over Cairo, in points with y pointing down: a bitmap of some scale, or a
// PDF document drawn page by page.
class Context {
public:
    // Transparent pixels of ceil(size * scale); points are the unit of every drawing call.
    static std::unique_ptr<Context> createBitmap(Size size, double scale = 1);
    // Over pixels owned elsewhere (ARGB32, premultiplied), which outlive the context.
    static std::unique_ptr<Context> createBitmapOver(unsigned char* pixels, int width, int height, int stride,
                                                     double scaleX, double scaleY);
    static std::unique_ptr<Context> createPdf(const std::string& path);
    // The document collects in memory; pdfData() holds it once closed.
    static std::unique_ptr<Context> createPdfInMemory();

    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    bool isPdf() const { return m_pdf; }
    double scale() const { return m_scale; }
    Size size() const { return m_size; } // the bitmap, or the current page
    // Nothing while drawing succeeds; Cairo's first failure after that.
    base::ErrorPtr error() const;

    // Bitmap contexts.
    Image makeImage() const;
    base::ErrorPtr savePng(const std::string& path) const;

    // PDF contexts: draw between beginPage and endPage; close ends an open page.
    // Leaves the creation date out of the document information, so that the same drawing
    // gives the same bytes.
    void omitPdfCreationDate();
    void beginPage(Size size);
    void endPage();
    base::ErrorPtr close();
    const base::Bytes& pdfData() const { return m_pdfData; }

    void save();
    void restore();

    void translate(double tx, double ty);
    void scaleBy(double sx, double sy);
    void rotate(double angle);
    void concat(const AffineTransform& transform);
    AffineTransform currentTransform() const;

    void clipToRect(const Rect& rect);
    void clipToRoundedRect(const Rect& rect, double radius);

    void setFillColor(const Color& color);
    void setStrokeColor(const Color& color);
    void setLineWidth(double width);
    void setLineCap(LineCap cap);
    // Off: pictures are drawn with nearest-neighbour sampling, so a stretched one-pixel rule
    // keeps hard edges. Saved and restored with the state.
    void setImageSmoothing(bool smooth);
    bool imageSmoothing() const { return m_states.back().smoothImages; }
    // Alternating on/off lengths; empty for solid lines.
    void setLineDash(const std::vector<double>& lengths, double phase = 0);
    void setAlpha(double alpha);
    // The shadow is an offset copy in the shadow colour; blur is not rendered.
    void setShadow(Size offset, double blur, const Color& color);
    void clearShadow();

    void fillRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    void fillRoundedRect(const Rect& rect, double radius);
    void strokeRoundedRect(const Rect& rect, double radius);
    // A soft shadow: the rounded rectangle in the colour, spread by a Gaussian blur whose
    // deviation is half of `blur` points; under the current transform, clip and alpha.
    void fillBlurredRoundedRect(const Rect& rect, double radius, double blur, const Color& color);
    void fillEllipse(const Rect& rect);
    void strokeEllipse(const Rect& rect);
    void strokeLine(Point from, Point to);

    void beginPath();
    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point control1, Point control2, Point end);
    void addRect(const Rect& rect);
    void addRoundedRect(const Rect& rect, double radius);
    void addEllipse(const Rect& rect);
    void closePath();
    // Fill and stroke consume the current path.
    void fillPath(bool evenOdd = false);
    void strokePath();

    // Fills rect with the gradient from start to end, padded beyond both ends.
    void fillLinearGradient(const Rect& rect, Point start, Point end, const std::vector<GradientStop>& stops);

    // Scaled into rect; an image with caps is drawn in nine slices that keep the caps unscaled.
    void drawImage(const Image& image, const Rect& rect, double alpha = 1);
    // The part source (in the image's points) scaled into rect.
    void drawImage(const Image& image, const Rect& source, const Rect& rect, double alpha = 1);

    // Draws the lines that fit rect (and numberOfLines, 0 for any) from its top; returns the
    // size they take, as sizeOfText would measure it.
    Size drawText(std::string_view text, const Rect& rect, const Font& font, const Color& color,
                  TextAlignment alignment = TextAlignment::Left,
                  LineBreakMode mode = LineBreakMode::WordWrap, int numberOfLines = 0);
    // One unwrapped line with its top-left at point.
    Size drawText(std::string_view text, Point point, const Font& font, const Color& color);
    // A layout made beforehand (and prepared for this context), its box's top-left at origin.
    void drawText(const TextLayout& layout, Point origin, const Color& color);
    // Wrapped to rect's width from its top, all of it (drawn beyond rect's height when taller);
    // returns the size suggestedSizeOfAttributedText gives for that width.
    Size drawAttributedText(const AttributedString& text, const Rect& rect);

    cairo_t* cairo() const { return m_cr.get(); }

private:
    struct State {
        Color fill = Color::black();
        Color stroke = Color::black();
        double alpha = 1;
        bool hasShadow = false;
        bool smoothImages = true;
        Size shadowOffset;
        Color shadowColor;
    };

    Context(Size size, double scale, bool pdf) : m_size(size), m_scale(scale), m_pdf(pdf) {}
    void attach(cairo_surface_t* surface);
    // Runs a drawing step under the global alpha and the shadow.
    template <typename Draw>
    void composite(Draw draw);
    void setSource(const Color& color);
    // The picture resampled to the pixels rect covers here, when drawing it scaled to a bitmap;
    // rect becomes the whole pixels the copy goes to.
    SurfaceRef resampledFor(const Image& image, Rect& rect) const;
    // Pixels already at their drawn size, placed over rect.
    void drawSurface(cairo_surface_t* pixels, const Rect& rect);

    SurfaceRef m_surface;
    CairoContextRef m_cr;
    Size m_size;
    double m_scale = 1;
    bool m_pdf = false;
    bool m_inPage = false;
    bool m_closed = false;
    std::vector<State> m_states{State{}};
    size_t m_baseDepth = 1; // restore never pops below the page's own state
    base::Bytes m_pdfData;
};

} // namespace gfx
