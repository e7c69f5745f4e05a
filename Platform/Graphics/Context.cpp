#include "Platform/Graphics/Context.h"

#include "Platform/Graphics/AttributedString.h"
#include "Platform/Graphics/ImageSlice.h"

#include "Platform/Graphics/TextLayout.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cmath>

namespace gfx {

namespace {

// Caps of one axis that leave the picture a middle of at least one pixel to stretch. Caps that
// meet or pass the picture's own size shrink together in proportion; a picture of one pixel
// keeps no caps and so draws as a flat fill of it.
void fitCapsToPicture(double& first, double& second, double extent, double scale)
{
    first = std::max(0.0, first);
    second = std::max(0.0, second);
    double pixels = std::floor(extent * scale + 0.5);
    double capPixels = (first + second) * scale;
    if (capPixels < pixels)
        return;
    double room = std::max(0.0, pixels - 1);
    double a = capPixels > 0 ? std::floor(first * scale * room / capPixels) : 0;
    double b = capPixels > 0 ? std::floor(second * scale * room / capPixels) : 0;
    first = a / scale;
    second = b / scale;
}

EdgeInsets fittedCaps(EdgeInsets caps, Size size, double scale)
{
    if (scale <= 0)
        scale = 1;
    fitCapsToPicture(caps.left, caps.right, size.width, scale);
    fitCapsToPicture(caps.top, caps.bottom, size.height, scale);
    return caps;
}

// Letter, until the first page sets its own size.
constexpr double kDefaultPageWidth = 612;
constexpr double kDefaultPageHeight = 792;

cairo_status_t appendToBytes(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<base::Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

base::ErrorPtr cairoError(cairo_status_t status, const std::string& what)
{
    if (status == CAIRO_STATUS_SUCCESS)
        return nullptr;
    return base::Error::make("gfx.Context", static_cast<int>(status),
                             what + ": " + cairo_status_to_string(status));
}

void roundedRectPath(cairo_t* cr, const Rect& rect, double radius)
{
    Rect r = rect.standardized();
    double rad = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (rad <= 0) {
        cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.maxX() - rad, r.minY() + rad, rad, -M_PI / 2, 0);
    cairo_arc(cr, r.maxX() - rad, r.maxY() - rad, rad, 0, M_PI / 2);
    cairo_arc(cr, r.minX() + rad, r.maxY() - rad, rad, M_PI / 2, M_PI);
    cairo_arc(cr, r.minX() + rad, r.minY() + rad, rad, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void ellipsePath(cairo_t* cr, const Rect& rect)
{
    Rect r = rect.standardized();
    // A flat ellipse would make the scale singular and put the context in error.
    if (r.width() <= 0 || r.height() <= 0)
        return;
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    cairo_translate(cr, r.midX(), r.midY());
    cairo_scale(cr, r.width() / 2, r.height() / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_close_path(cr);
    cairo_set_matrix(cr, &saved);
}

} // namespace

std::unique_ptr<Context> Context::createBitmap(Size size, double scale)
{
    if (!(scale > 0) || size.width < 0 || size.height < 0)
        return nullptr;
    int width = static_cast<int>(std::ceil(size.width * scale - 1e-9));
    int height = static_cast<int>(std::ceil(size.height * scale - 1e-9));
    std::unique_ptr<Context> context(new Context(size, scale, false));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_set_device_scale(surface, scale, scale);
    context->attach(surface);
    if (context->error())
        return nullptr;
    return context;
}

std::unique_ptr<Context> Context::createBitmapOver(unsigned char* pixels, int width, int height, int stride,
                                                   double scaleX, double scaleY)
{
    if (!pixels || !(scaleX > 0) || !(scaleY > 0) || width < 0 || height < 0)
        return nullptr;
    std::unique_ptr<Context> context(new Context(Size{width / scaleX, height / scaleY}, scaleX, false));
    cairo_surface_t* surface = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride);
    cairo_surface_set_device_scale(surface, scaleX, scaleY);
    context->attach(surface);
    if (context->error())
        return nullptr;
    return context;
}

std::unique_ptr<Context> Context::createPdf(const std::string& path)
{
    std::unique_ptr<Context> context(new Context({kDefaultPageWidth, kDefaultPageHeight}, 1, true));
    context->attach(cairo_pdf_surface_create(path.c_str(), kDefaultPageWidth, kDefaultPageHeight));
    if (context->error())
        return nullptr;
    return context;
}

std::unique_ptr<Context> Context::createPdfInMemory()
{
    std::unique_ptr<Context> context(new Context({kDefaultPageWidth, kDefaultPageHeight}, 1, true));
    // The stream writes into the context's own buffer, which is why contexts never move.
    context->attach(cairo_pdf_surface_create_for_stream(appendToBytes, &context->m_pdfData,
                                                        kDefaultPageWidth, kDefaultPageHeight));
    if (context->error())
        return nullptr;
    return context;
}

void Context::attach(cairo_surface_t* surface)
{
    m_surface = SurfaceRef(surface);
    m_cr = CairoContextRef(cairo_create(surface));
}

Context::~Context()
{
    if (m_pdf && !m_closed)
        close();
}

base::ErrorPtr Context::error() const
{
    if (auto e = cairoError(cairo_surface_status(m_surface.get()), "surface"))
        return e;
    return cairoError(cairo_status(m_cr.get()), "drawing");
}

Image Context::makeImage() const
{
    if (m_pdf)
        return {};
    return Image::fromSurface(m_surface.get(), m_scale);
}

base::ErrorPtr Context::savePng(const std::string& path) const
{
    if (m_pdf)
        return base::Error::make("gfx.Context", 1, "a PDF context has no pixels to save");
    cairo_surface_flush(m_surface.get());
    return cairoError(cairo_surface_write_to_png(m_surface.get(), path.c_str()), "cannot write " + path);
}

void Context::beginPage(Size size)
{
    if (!m_pdf || m_closed)
        return;
    if (m_inPage)
        endPage();
    cairo_pdf_surface_set_size(m_surface.get(), size.width, size.height);
    m_size = size;
    // Each page starts from a fresh state, whatever the previous page left.
    cairo_save(m_cr.get());
    m_states.push_back(State{});
    m_baseDepth = m_states.size();
    m_inPage = true;
}

void Context::endPage()
{
    if (!m_inPage)
        return;
    while (m_states.size() > m_baseDepth)
        restore();
    m_states.pop_back();
    m_baseDepth = m_states.size();
    cairo_restore(m_cr.get());
    cairo_show_page(m_cr.get());
    m_inPage = false;
}

base::ErrorPtr Context::close()
{
    if (!m_pdf)
        return nullptr;
    if (m_closed)
        return error();
    endPage();
    auto status = cairo_status(m_cr.get());
    cairo_surface_finish(m_surface.get());
    m_closed = true;
    if (status != CAIRO_STATUS_SUCCESS)
        return cairoError(status, "drawing");
    return cairoError(cairo_surface_status(m_surface.get()), "writing the PDF");
}

void Context::omitPdfCreationDate()
{
    // Cairo stamps the time unless told a date; one it cannot read means none.
    if (m_pdf && m_surface)
        cairo_pdf_surface_set_metadata(m_surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, "");
}

void Context::save()
{
    cairo_save(m_cr.get());
    m_states.push_back(m_states.back());
}

void Context::restore()
{
    // Cairo puts the context in a permanent error on an unmatched restore.
    if (m_states.size() <= m_baseDepth)
        return;
    cairo_restore(m_cr.get());
    m_states.pop_back();
}

void Context::translate(double tx, double ty)
{
    cairo_translate(m_cr.get(), tx, ty);
}

void Context::scaleBy(double sx, double sy)
{
    if (sx == 0 || sy == 0)
        return;
    cairo_scale(m_cr.get(), sx, sy);
}

void Context::rotate(double angle)
{
    cairo_rotate(m_cr.get(), angle);
}

void Context::concat(const AffineTransform& t)
{
    if (!t.inverted())
        return;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(m_cr.get(), &m);
}

AffineTransform Context::currentTransform() const
{
    cairo_matrix_t m;
    cairo_get_matrix(m_cr.get(), &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void Context::clipToRect(const Rect& rect)
{
    cairo_t* cr = m_cr.get();
    cairo_new_path(cr);
    if (rect.isNull()) {
        cairo_rectangle(cr, 0, 0, 0, 0);
    } else {
        Rect r = rect.standardized();
        cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
    }
    cairo_clip(cr);
}

void Context::clipToRoundedRect(const Rect& rect, double radius)
{
    cairo_t* cr = m_cr.get();
    cairo_new_path(cr);
    roundedRectPath(cr, rect, radius);
    cairo_clip(cr);
}

void Context::setFillColor(const Color& color)
{
    m_states.back().fill = color;
}

void Context::setStrokeColor(const Color& color)
{
    m_states.back().stroke = color;
}

void Context::setLineWidth(double width)
{
    cairo_set_line_width(m_cr.get(), std::max(0.0, width));
}

void Context::setLineCap(LineCap cap)
{
    cairo_line_cap_t value = CAIRO_LINE_CAP_BUTT;
    if (cap == LineCap::Round)
        value = CAIRO_LINE_CAP_ROUND;
    else if (cap == LineCap::Square)
        value = CAIRO_LINE_CAP_SQUARE;
    cairo_set_line_cap(m_cr.get(), value);
}

void Context::setImageSmoothing(bool smooth)
{
    m_states.back().smoothImages = smooth;
}

void Context::setLineDash(const std::vector<double>& lengths, double phase)
{
    // Cairo rejects negative lengths and all-zero patterns; both mean a solid line here.
    bool usable = std::all_of(lengths.begin(), lengths.end(), [](double l) { return l >= 0; })
        && std::any_of(lengths.begin(), lengths.end(), [](double l) { return l > 0; });
    if (!usable) {
        cairo_set_dash(m_cr.get(), nullptr, 0, 0);
        return;
    }
    cairo_set_dash(m_cr.get(), lengths.data(), static_cast<int>(lengths.size()), phase);
}

void Context::setAlpha(double alpha)
{
    m_states.back().alpha = std::clamp(alpha, 0.0, 1.0);
}

void Context::setShadow(Size offset, double /*blur*/, const Color& color)
{
    State& s = m_states.back();
    s.hasShadow = !color.isClear();
    s.shadowOffset = offset;
    s.shadowColor = color;
}

void Context::clearShadow()
{
    m_states.back().hasShadow = false;
}

void Context::setSource(const Color& c)
{
    cairo_set_source_rgba(m_cr.get(), c.r, c.g, c.b, c.a);
}

template <typename Draw>
void Context::composite(Draw draw)
{
    const State& s = m_states.back();
    if (!s.hasShadow && s.alpha >= 1) {
        draw();
        return;
    }
    if (s.alpha <= 0) {
        cairo_new_path(m_cr.get());
        return;
    }
    cairo_t* cr = m_cr.get();
    cairo_push_group(cr);
    draw();
    PatternRef group(cairo_pop_group(cr));
    if (s.hasShadow) {
        // The shadow takes the drawing's coverage, moved by the offset in user space.
        cairo_save(cr);
        cairo_set_source_rgba(cr, s.shadowColor.r, s.shadowColor.g, s.shadowColor.b,
                              s.shadowColor.a * s.alpha);
        cairo_translate(cr, s.shadowOffset.width, s.shadowOffset.height);
        cairo_mask(cr, group.get());
        cairo_restore(cr);
    }
    cairo_set_source(cr, group.get());
    cairo_paint_with_alpha(cr, s.alpha);
}

void Context::fillRect(const Rect& rect)
{
    beginPath();
    addRect(rect);
    fillPath();
}

void Context::strokeRect(const Rect& rect)
{
    beginPath();
    addRect(rect);
    strokePath();
}

void Context::fillRoundedRect(const Rect& rect, double radius)
{
    beginPath();
    addRoundedRect(rect, radius);
    fillPath();
}

void Context::strokeRoundedRect(const Rect& rect, double radius)
{
    beginPath();
    addRoundedRect(rect, radius);
    strokePath();
}

void Context::fillEllipse(const Rect& rect)
{
    beginPath();
    addEllipse(rect);
    fillPath();
}

void Context::strokeEllipse(const Rect& rect)
{
    beginPath();
    addEllipse(rect);
    strokePath();
}

void Context::strokeLine(Point from, Point to)
{
    beginPath();
    moveTo(from);
    lineTo(to);
    strokePath();
}

void Context::beginPath()
{
    cairo_new_path(m_cr.get());
}

void Context::moveTo(Point p)
{
    cairo_move_to(m_cr.get(), p.x, p.y);
}

void Context::lineTo(Point p)
{
    cairo_line_to(m_cr.get(), p.x, p.y);
}

void Context::curveTo(Point c1, Point c2, Point end)
{
    cairo_curve_to(m_cr.get(), c1.x, c1.y, c2.x, c2.y, end.x, end.y);
}

void Context::addRect(const Rect& rect)
{
    if (rect.isNull())
        return;
    cairo_rectangle(m_cr.get(), rect.x(), rect.y(), rect.width(), rect.height());
}

void Context::addRoundedRect(const Rect& rect, double radius)
{
    if (!rect.isNull())
        roundedRectPath(m_cr.get(), rect, radius);
}

void Context::addEllipse(const Rect& rect)
{
    if (!rect.isNull())
        ellipsePath(m_cr.get(), rect);
}

void Context::closePath()
{
    cairo_close_path(m_cr.get());
}

void Context::fillPath(bool evenOdd)
{
    composite([&] {
        cairo_t* cr = m_cr.get();
        setSource(m_states.back().fill);
        cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    });
}

void Context::strokePath()
{
    composite([&] {
        setSource(m_states.back().stroke);
        cairo_stroke(m_cr.get());
    });
}

void Context::fillLinearGradient(const Rect& rect, Point start, Point end, const std::vector<GradientStop>& stops)
{
    if (rect.isEmpty() || stops.empty())
        return;
    PatternRef gradient(cairo_pattern_create_linear(start.x, start.y, end.x, end.y));
    for (const GradientStop& stop : stops)
        cairo_pattern_add_color_stop_rgba(gradient.get(), std::clamp(stop.location, 0.0, 1.0), stop.color.r,
                                          stop.color.g, stop.color.b, stop.color.a);
    cairo_pattern_set_extend(gradient.get(), CAIRO_EXTEND_PAD);
    composite([&] {
        cairo_t* cr = m_cr.get();
        cairo_set_source(cr, gradient.get());
        cairo_new_path(cr);
        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_fill(cr);
    });
}

void drawImageSlice(cairo_t* cr, const Image& image, const Rect& source, const Rect& rect, bool smooth)
{
    if (source.isEmpty() || rect.isEmpty())
        return;
    cairo_surface_t* pixels = image.cairoSurface();
    if (!pixels || cairo_surface_get_type(pixels) != CAIRO_SURFACE_TYPE_IMAGE)
        return;
    double scale = image.scale();
    // A sub-surface is not clipped to its parent: a slice reaching past the picture would read
    // beyond its pixels, so it is cut to them whatever the caller asked.
    double x0 = std::clamp(source.minX() * scale, 0.0, double(cairo_image_surface_get_width(pixels)));
    double y0 = std::clamp(source.minY() * scale, 0.0, double(cairo_image_surface_get_height(pixels)));
    double x1 = std::clamp(source.maxX() * scale, 0.0, double(cairo_image_surface_get_width(pixels)));
    double y1 = std::clamp(source.maxY() * scale, 0.0, double(cairo_image_surface_get_height(pixels)));
    if (x1 - x0 <= 0 || y1 - y0 <= 0)
        return;
    // A sub-surface pads with its own edge pixels, so a stretched slice never samples its
    // neighbours.
    SurfaceRef slice(cairo_surface_create_for_rectangle(pixels, x0, y0, x1 - x0, y1 - y0));
    PatternRef pattern(cairo_pattern_create_for_surface(slice.get()));
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern.get(), smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, (x1 - x0) / rect.width(), (y1 - y0) / rect.height());
    cairo_matrix_translate(&m, -rect.x(), -rect.y());
    cairo_pattern_set_matrix(pattern.get(), &m);
    cairo_set_source(cr, pattern.get());
    cairo_new_path(cr);
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_fill(cr);
}

void Context::drawImage(const Image& image, const Rect& rect, double alpha)
{
    if (image.isNull() || rect.isEmpty())
        return;
    // A picture on its way measures its own size; its stand-in fills that room meanwhile.
    if (Image standIn = image.standInMeasuredOtherwise()) {
        drawImage(standIn, rect, alpha);
        return;
    }
    Size size = image.size();
    if (!image.isStretchable()) {
        drawImage(image, Rect({0, 0}, size), rect, alpha);
        return;
    }
    Rect dst = rect.standardized();
    EdgeInsets caps = fittedCaps(image.capInsets(), size, image.scale());
    // Caps wider than the target shrink together; the middle then has no room.
    double fx = caps.left + caps.right > dst.width() ? dst.width() / (caps.left + caps.right) : 1;
    double fy = caps.top + caps.bottom > dst.height() ? dst.height() / (caps.top + caps.bottom) : 1;
    double srcX[4] = {0, caps.left, size.width - caps.right, size.width};
    double srcY[4] = {0, caps.top, size.height - caps.bottom, size.height};
    double dstX[4] = {dst.minX(), dst.minX() + caps.left * fx, dst.maxX() - caps.right * fx, dst.maxX()};
    double dstY[4] = {dst.minY(), dst.minY() + caps.top * fy, dst.maxY() - caps.bottom * fy, dst.maxY()};

    State& state = m_states.back();
    double savedAlpha = state.alpha;
    state.alpha *= std::clamp(alpha, 0.0, 1.0);
    composite([&] {
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                Rect source(srcX[col], srcY[row], srcX[col + 1] - srcX[col], srcY[row + 1] - srcY[row]);
                Rect target(dstX[col], dstY[row], dstX[col + 1] - dstX[col], dstY[row + 1] - dstY[row]);
                if (source.width() > 0 && source.height() > 0 && target.width() > 0 && target.height() > 0)
                    drawImageSlice(m_cr.get(), image, source, target, m_states.back().smoothImages);
            }
        }
    });
    m_states.back().alpha = savedAlpha;
}

void Context::drawImage(const Image& image, const Rect& source, const Rect& rect, double alpha)
{
    if (image.isNull() || rect.isEmpty() || source.isEmpty())
        return;
    if (Image standIn = image.standInMeasuredOtherwise()) {
        Size from = image.size(), to = standIn.size();
        double fx = to.width / from.width, fy = to.height / from.height;
        drawImage(standIn, Rect(source.x() * fx, source.y() * fy, source.width() * fx, source.height() * fy), rect, alpha);
        return;
    }
    Rect src = source.standardized();
    Rect visible = src.intersection(Rect({0, 0}, image.size()));
    if (visible.isNull())
        return;
    // Only the part of the source inside the image draws, where it would have landed.
    Rect dst = rect.standardized();
    double sx = dst.width() / src.width();
    double sy = dst.height() / src.height();
    Rect target(dst.x() + (visible.x() - src.x()) * sx, dst.y() + (visible.y() - src.y()) * sy,
                visible.width() * sx, visible.height() * sy);
    State& state = m_states.back();
    double savedAlpha = state.alpha;
    state.alpha *= std::clamp(alpha, 0.0, 1.0);
    bool whole = visible == Rect({0, 0}, image.size());
    Rect placed = target;
    SurfaceRef copy = whole ? resampledFor(image, placed) : SurfaceRef();
    if (copy)
        composite([&] { drawSurface(copy.get(), placed); });
    else
        composite([&] { drawImageSlice(m_cr.get(), image, visible, target, m_states.back().smoothImages); });
    m_states.back().alpha = savedAlpha;
}

SurfaceRef Context::resampledFor(const Image& image, Rect& rect) const
{
    cairo_t* cr = m_cr.get();
    cairo_surface_t* surface = cairo_get_target(cr);
    // Vector output keeps the original picture; rotated or skewed drawing samples it directly;
    // so does unsmoothed drawing, which must not be filtered in advance.
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE || !m_states.back().smoothImages)
        return {};
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || m.xx <= 0 || m.yy <= 0)
        return {};
    double x0 = rect.minX(), y0 = rect.minY(), x1 = rect.maxX(), y1 = rect.maxY();
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    // The device scale lies below the transformation.
    double dsx = 1, dsy = 1;
    cairo_surface_get_device_scale(surface, &dsx, &dsy);
    x0 *= dsx, x1 *= dsx, y0 *= dsy, y1 *= dsy;
    double width = x1 - x0, height = y1 - y0;
    int pixelWidth = static_cast<int>(std::lround(width)), pixelHeight = static_cast<int>(std::lround(height));
    // Drawn at its own size: nothing to resample.
    if (pixelWidth == image.pixelWidth() && pixelHeight == image.pixelHeight())
        return {};
    SurfaceRef copy = image.resampled(pixelWidth, pixelHeight, Image::Filter::Good);
    if (!copy)
        return {};
    // The copy lands on whole pixels (moved by under half a pixel), so it is copied as it is.
    double sx = width / rect.width(), sy = height / rect.height();
    rect = {rect.x() + (std::round(x0) - x0) / sx, rect.y() + (std::round(y0) - y0) / sy, pixelWidth / sx, pixelHeight / sy};
    return copy;
}

void Context::drawSurface(cairo_surface_t* pixels, const Rect& rect)
{
    cairo_t* cr = m_cr.get();
    PatternRef pattern(cairo_pattern_create_for_surface(pixels));
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_GOOD);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, cairo_image_surface_get_width(pixels) / rect.width(),
                            cairo_image_surface_get_height(pixels) / rect.height());
    cairo_matrix_translate(&m, -rect.x(), -rect.y());
    cairo_pattern_set_matrix(pattern.get(), &m);
    cairo_set_source(cr, pattern.get());
    cairo_new_path(cr);
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_fill(cr);
}

Size Context::drawText(std::string_view text, const Rect& rect, const Font& font, const Color& color,
                       TextAlignment alignment, LineBreakMode mode, int numberOfLines)
{
    if (text.empty())
        return {};
    TextLayout::Options options;
    options.width = rect.width();
    options.mode = mode;
    options.maxLines = numberOfLines;
    options.maxHeight = rect.height();
    options.alignment = alignment;
    Size used;
    composite([&] {
        TextLayout layout(m_cr.get(), text, font, options);
        setSource(color);
        layout.draw(m_cr.get(), rect.origin);
        used = layout.roundedSize();
    });
    return used;
}

void Context::drawText(const TextLayout& layout, Point origin, const Color& color)
{
    composite([&] {
        setSource(color);
        layout.draw(m_cr.get(), origin);
    });
}

Size Context::drawAttributedText(const AttributedString& text, const Rect& rect)
{
    if (text.empty())
        return {};
    AttributedTextLayout layout(m_cr.get(), text, rect.width());
    composite([&] {
        setSource(Color::black());
        layout.draw(m_cr.get(), rect.origin);
    });
    return layout.roundedSize();
}

Size Context::drawText(std::string_view text, Point point, const Font& font, const Color& color)
{
    if (text.empty())
        return {};
    Size used;
    composite([&] {
        TextLayout layout(m_cr.get(), text, font, TextLayout::Options{});
        setSource(color);
        layout.draw(m_cr.get(), point);
        used = layout.roundedSize();
    });
    return used;
}

} // namespace gfx
