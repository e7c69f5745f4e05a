#include "Platform/Pdf/Engine/PopplerDocument.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Resample.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Pdf/Engine/PageCost.h"

#include <cairo.h>
#include <poppler.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

namespace pdf::engine {

// Everything poppler hands out for one document, released together.
struct DocumentState {
    std::string path;
    std::optional<std::string> password;
    PopplerDocument* document = nullptr;
    mutable std::mutex mutex;
    int pageCount = 0;
    // The glib binding does not tell a page's /Rotate; the C++ binding does.
    std::unique_ptr<poppler::document> rotations;
    bool rotationsTried = false;
    // Every named destination, from the /Dests dictionary and the /Names tree alike: poppler's
    // own lookup stops at the dictionary when a document has one.
    GTree* dests = nullptr;

    ~DocumentState()
    {
        if (dests)
            g_tree_destroy(dests);
        if (document)
            g_object_unref(document);
    }

    poppler::document* cppDocument()
    {
        if (!rotationsTried) {
            rotationsTried = true;
            std::string pw = password.value_or("");
            rotations.reset(poppler::document::load_from_file(path, pw, pw));
        }
        return rotations.get();
    }

    int rotationOf(int index)
    {
        if (!cppDocument())
            return 0;
        std::unique_ptr<poppler::page> page(rotations->create_page(index));
        if (!page)
            return 0;
        switch (page->orientation()) {
        case poppler::page::landscape:
            return 90;
        case poppler::page::upside_down:
            return 180;
        case poppler::page::seascape:
            return 270;
        default:
            return 0;
        }
    }
};

namespace {

struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorRef = std::unique_ptr<GError, GErrorFree>;

std::string fileUri(const std::string& path)
{
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return {};
    char* uri = g_filename_to_uri(absolute.lexically_normal().c_str(), nullptr, nullptr);
    if (!uri)
        return {};
    std::string result(uri);
    g_free(uri);
    return result;
}

// Named destinations are looked up in the tree of all names (keys as poppler encodes them).
LinkTarget targetOfDest(DocumentState& state, PopplerDest* dest)
{
    if (!dest)
        return {};
    if (dest->type == POPPLER_DEST_NAMED) {
        if (!dest->named_dest)
            return {};
        if (!state.dests)
            state.dests = poppler_document_create_dests_tree(state.document);
        auto* found = state.dests ? static_cast<PopplerDest*>(g_tree_lookup(state.dests, dest->named_dest)) : nullptr;
        if (!found || found->type == POPPLER_DEST_NAMED)
            return {};
        return targetOfDest(state, found);
    }
    if (dest->page_num >= 1)
        return LinkTarget::toPage(dest->page_num);
    return {};
}

LinkTarget targetOfAction(DocumentState& state, PopplerAction* action)
{
    if (!action)
        return {};
    switch (action->type) {
    case POPPLER_ACTION_URI:
        if (action->uri.uri && *action->uri.uri)
            return LinkTarget::toUrl(action->uri.uri);
        return {};
    case POPPLER_ACTION_GOTO_DEST:
        return targetOfDest(state, action->goto_dest.dest);
    default:
        return {};
    }
}

} // namespace

void warmUpDrawing()
{
    // One page with a line in a standard face, which the system's fonts must stand in for.
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 60 20] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> "
        "/XObject << /I1 6 0 R >> /ExtGState << /G1 << /ca 0.6 >> >> >> >>",
        "<< /Length 68 >>\nstream\nBT /F1 10 Tf 2 6 Td (Warm) Tj ET q /G1 gs 40 0 0 20 20 0 cm /I1 Do Q\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        // A picture seen through, scaled down as a page's photo is.
        "<< /Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
        "/Length 24 >>\nstream\n" + std::string(24, '\x7f') + "\nendstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    GBytes* bytes = g_bytes_new(pdf.data(), pdf.size());
    PopplerDocument* document = poppler_document_new_from_bytes(bytes, nullptr, nullptr);
    g_bytes_unref(bytes);
    if (!document)
        return;
    if (PopplerPage* page = poppler_document_get_page(document, 0)) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 60, 20);
        cairo_t* cr = cairo_create(surface);
        poppler_page_render(page, cr);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        g_object_unref(page);
    }
    // The library's settings (and the fonts it found for the standard faces) last only while one
    // of its documents is open: this one stays for the worker's life, so that the first real
    // document does not make them again.
    static PopplerDocument* kept = nullptr;
    if (kept)
        g_object_unref(kept);
    kept = document;
}

Document::OpenResult Document::open(const std::string& path, const std::optional<std::string>& password)
{
    OpenResult result;
    if (path.empty())
        return result;
    std::string uri = fileUri(path);
    if (uri.empty())
        return result;

    GError* raw = nullptr;
    PopplerDocument* document = poppler_document_new_from_file(uri.c_str(), nullptr, &raw);
    ErrorRef error(raw);
    bool usedPassword = false;
    if (!document && error && error->domain == POPPLER_ERROR && error->code == POPPLER_ERROR_ENCRYPTED) {
        if (!password) {
            result.status = Status::Locked;
            return result;
        }
        raw = nullptr;
        document = poppler_document_new_from_file(uri.c_str(), password->c_str(), &raw);
        ErrorRef second(raw);
        if (!document) {
            result.status = Status::Locked;
            return result;
        }
        usedPassword = true;
    }
    if (!document)
        return result;

    auto state = std::make_shared<DocumentState>();
    state->path = std::filesystem::absolute(path).lexically_normal().string();
    if (usedPassword)
        state->password = password;
    state->document = document;
    int count = std::max(0, poppler_document_get_n_pages(document));
    state->pageCount = count;
    result.status = Status::Opened;
    result.document = std::shared_ptr<Document>(new Document(std::move(state)));
    return result;
}

Document::Document(std::shared_ptr<DocumentState> state)
    : m_state(std::move(state))
    , m_pageCount(m_state->pageCount)
{
}

std::mutex& Document::mutex() const
{
    return m_state->mutex;
}

std::shared_ptr<Page> Document::page(int number) const
{
    if (number < 1 || number > m_pageCount)
        return nullptr;
    std::lock_guard lock(m_state->mutex);
    // Each page object holds its own poppler page: what poppler keeps for a drawn page (its
    // text layout) goes with it, so drawing every page once does not keep every page.
    PopplerPage* page = poppler_document_get_page(m_state->document, number - 1);
    if (!page)
        return nullptr;
    return std::shared_ptr<Page>(new Page(m_state, page, number));
}

struct Page::Recording {
    // The transform into pixels it was made under: its linear part, and where the page's
    // origin falls within a pixel.
    double xx = 0, yx = 0, xy = 0, yy = 0, fx = 0, fy = 0;
    cairo_surface_t* surface = nullptr;
    ~Recording()
    {
        if (surface)
            cairo_surface_destroy(surface);
    }
};

Page::~Page()
{
    std::lock_guard lock(m_state->mutex);
    m_recording.reset();
    g_object_unref(static_cast<PopplerPage*>(m_page));
}

Page::Page(std::shared_ptr<DocumentState> state, void* page, int number)
    : m_state(std::move(state))
    , m_page(page)
    , m_number(number)
{
    auto* p = static_cast<PopplerPage*>(m_page);
    // Poppler's crop box is already clipped to the media box.
    PopplerRectangle crop{};
    poppler_page_get_crop_box(p, &crop);
    double x1 = std::min(crop.x1, crop.x2), x2 = std::max(crop.x1, crop.x2);
    double y1 = std::min(crop.y1, crop.y2), y2 = std::max(crop.y1, crop.y2);
    m_box = gfx::Rect(x1, y1, x2 - x1, y2 - y1);
    double w = 0, h = 0;
    poppler_page_get_size(p, &w, &h);
    m_size = gfx::Size{w, h};
}

int Page::rotation() const
{
    std::lock_guard lock(m_state->mutex);
    if (!m_rotation)
        m_rotation = m_state->rotationOf(m_number - 1);
    return *m_rotation;
}

gfx::AffineTransform Page::fitTransform(const gfx::Rect& into) const
{
    return pdf::fitTransform(m_size, into);
}

void Page::draw(gfx::Context& context, const gfx::Rect& into) const
{
    draw(context, fitTransform(into));
}

namespace {

// The page is kept as drawing operations only up to this many pixels at its scale: what it
// makes to blend or mask while recorded is sized to the whole page, not to a tile.
constexpr double kMaxRecordedPixels = 36e6;

// Where the context's drawing lands: its transform, then the surface's own scale and offset,
// into the bitmap's pixels.
cairo_matrix_t pixelTransformOf(cairo_t* cr)
{
    cairo_surface_t* target = cairo_get_target(cr);
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(target, &sx, &sy);
    cairo_surface_get_device_offset(target, &ox, &oy);
    cairo_matrix_t ctm, device, result;
    cairo_get_matrix(cr, &ctm);
    cairo_matrix_init(&device, sx, 0, 0, sy, ox, oy);
    cairo_matrix_multiply(&result, &ctm, &device);
    return result;
}

struct PixelRect {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    double area() const { return x2 > x1 && y2 > y1 ? (x2 - x1) * (y2 - y1) : 0; }
};

PixelRect boundsUnder(const cairo_matrix_t& m, double x1, double y1, double x2, double y2)
{
    PixelRect r{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (auto [x, y] : {std::pair{x1, y1}, {x2, y1}, {x1, y2}, {x2, y2}}) {
        cairo_matrix_transform_point(&m, &x, &y);
        r.x1 = std::min(r.x1, x), r.y1 = std::min(r.y1, y);
        r.x2 = std::max(r.x2, x), r.y2 = std::max(r.y2, y);
    }
    return r;
}

// The page at the context's scale, and the part of it the clip leaves, in pixels.
struct PageInPixels {
    cairo_matrix_t transform;
    PixelRect page, drawn;
};

PageInPixels pageInPixels(cairo_t* cr, gfx::Size size)
{
    PageInPixels p;
    p.transform = pixelTransformOf(cr);
    p.page = boundsUnder(p.transform, 0, 0, size.width, size.height);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    PixelRect clip = boundsUnder(p.transform, x1, y1, x2, y2);
    p.drawn = {std::max(clip.x1, p.page.x1), std::max(clip.y1, p.page.y1), std::min(clip.x2, p.page.x2),
               std::min(clip.y2, p.page.y2)};
    return p;
}

// A tile of a zoomed page: more of it is drawn by other tiles.
bool spansMoreThanDrawn(const PageInPixels& p)
{
    return p.page.area() > 1.05 * p.drawn.area();
}

bool near(double a, double b, double tolerance)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

bool Page::holdsLargePictures() const
{
    // Called under the document's lock.
    // A page that draws no picture at all needs no search for them, which interprets the
    // whole page a second time (a text page would cost twice its drawing).
    if (!m_largePictures && pageDrawsPictures(m_state->path, m_number) == false)
        m_largePictures = false;
    if (!m_largePictures) {
        double covered = 0;
        GList* images = poppler_page_get_image_mapping(static_cast<PopplerPage*>(m_page));
        for (GList* item = images; item; item = item->next) {
            auto* m = static_cast<PopplerImageMapping*>(item->data);
            covered += std::abs((m->area.x2 - m->area.x1) * (m->area.y2 - m->area.y1));
        }
        poppler_page_free_image_mapping(images);
        m_largePictures = covered >= 0.25 * m_size.width * m_size.height;
    }
    return *m_largePictures;
}

namespace {

// Where a page lands in a bitmap's pixels: `s` pixels a point, its top left corner at
// (left, top), and the surface's own scale and offset undone to draw in those pixels.
struct PixelPlace {
    double s = 1, left = 0, top = 0;
    double devScaleX = 1, devScaleY = 1, devOffX = 0, devOffY = 0;
};

// A page that is one upright JPEG picture drawn far smaller than its pixels (the thumbnail of
// a photographed catalogue page): the decoder reduces the picture as it decodes it, and the
// rest is averaged down. The rasteriser would decode every pixel to average them all, several
// times the work. The decoder's reduction averages blocks of source pixels of its own, each at
// most a quarter of a drawn pixel; each drawn pixel is then the exact average of the decoded
// pixels whose area it covers. A page drawn larger (fitted on screen) is left to the rasteriser.
bool drawPhotoPage(cairo_t* cr, const std::string& path, int number, const gfx::Rect& box, gfx::Size size,
                   const PixelPlace& at)
{
    bool drawn = false;
    withPhotoPage(path, number, [&](const PhotoPage& photo) {
        // The picture's corners in the page's pixels, y down from the crop box's top. As the
        // rasteriser places a picture, it fills every pixel it touches.
        const double e = 1e-6;
        double x0 = std::floor(at.left + (photo.x - box.x()) * at.s + e);
        double y0 = std::floor(at.top + (box.maxY() - (photo.y + photo.height)) * at.s + e);
        double x1 = std::ceil(at.left + (photo.x + photo.width - box.x()) * at.s - e);
        double y1 = std::ceil(at.top + (box.maxY() - photo.y) * at.s - e);
        double w = x1 - x0, h = y1 - y0;
        if (!(w >= 1 && h >= 1))
            return;
        // Source pixels to a drawn one; the decoder's blocks are 8 / eighths of them.
        double ratio = std::min(photo.pixelWidth / w, photo.pixelHeight / h);
        int eighths = ratio >= 32 ? 1 : ratio >= 16 ? 2 : ratio >= 8 ? 4 : 0;
        if (!eighths)
            return;
        gfx::SurfaceRef decoded = gfx::Image::jpegReduced(photo.jpeg, eighths);
        if (!decoded)
            return;
        // Each drawn pixel the average of the decoded pixels whose area it covers, rounded to the
        // nearest level.
        int dw = cairo_image_surface_get_width(decoded.get()), dh = cairo_image_surface_get_height(decoded.get());
        gfx::SurfaceRef reduced;
        if (dw > w || dh > h)
            reduced = gfx::areaAveragedSurface(decoded.get(), dw, dh, int(w), int(h));
        cairo_surface_t* pixels = reduced ? reduced.get() : decoded.get();
        int pw = cairo_image_surface_get_width(pixels), ph = cairo_image_surface_get_height(pixels);
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_scale(cr, 1 / at.devScaleX, 1 / at.devScaleY);
        cairo_translate(cr, -at.devOffX, -at.devOffY);
        // White paper over the page, as the rasteriser gives it, and nothing past its box.
        cairo_rectangle(cr, at.left, at.top, std::ceil(size.width * at.s), std::ceil(size.height * at.s));
        cairo_clip(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_translate(cr, x0, y0);
        cairo_scale(cr, w / pw, h / ph);
        cairo_set_source_surface(cr, pixels, 0, 0);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(cairo_get_source(cr), pw == w && ph == h ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
        cairo_rectangle(cr, 0, 0, pw, ph);
        cairo_fill(cr);
        cairo_restore(cr);
        drawn = true;
    });
    return drawn;
}

} // namespace

// Pages made mostly of pictures (scanned catalogues) are drawn by poppler's own rasteriser,
// which scales a picture down as it decodes it; through Cairo the whole picture is decoded and
// then filtered per output pixel, which costs several times more. Only for an upright scale
// onto a bitmap, where its pixels land on whole device pixels.
bool Page::drawPicturesInto(cairo_t* cr) const
{
    cairo_surface_t* target = cairo_get_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    // The surface's pixels: the drawing transform gives its points, the surface's own scale
    // (a tile of a zoom level) and offset turn them into pixels.
    double devScaleX = 1, devScaleY = 1, devOffX = 0, devOffY = 0;
    cairo_surface_get_device_scale(target, &devScaleX, &devScaleY);
    cairo_surface_get_device_offset(target, &devOffX, &devOffY);
    auto toPixels = [&](double x, double y) {
        cairo_user_to_device(cr, &x, &y);
        return gfx::Point{x * devScaleX + devOffX, y * devScaleY + devOffY};
    };
    gfx::Point origin = toPixels(0, 0), unitX = toPixels(1, 0), unitY = toPixels(0, 1);
    double s = unitX.x - origin.x;
    if (!(s > 0) || std::abs(unitX.y - origin.y) > 1e-9 * s || std::abs(unitY.x - origin.x) > 1e-9 * s ||
        std::abs((unitY.y - origin.y) - s) > 1e-9 * s)
        return false;
    // Its scaling costs the whole picture at the drawn scale, whatever the part drawn: a tile of
    // a zoomed page is drawn in its pixels below, from the second tile on by replaying.
    if (spansMoreThanDrawn(pageInPixels(cr, m_size)))
        return false;
    // Thumbnails too: through Cairo a small picture of a photo page still decodes the whole
    // photo and filters it down, several times what finding the page's pictures costs. The
    // same holds for a smaller picture of many more pixels than it is drawn at (a photo
    // dropped into a letter): Cairo holds it whole and filters it, where the rasteriser
    // scales it down line by line.
    std::optional<double> picturePixels = pagePicturePixels(m_state->path, m_number);
    PixelPlace place{s, std::round(origin.x), std::round(origin.y), devScaleX, devScaleY, devOffX, devOffY};
    if (picturePixels && *picturePixels >= 64 && drawPhotoPage(cr, m_state->path, m_number, m_box, m_size, place))
        return true;
    bool scaledFarDown = picturePixels && *picturePixels >= 4 * m_size.width * m_size.height * s * s;
    if (!scaledFarDown && !holdsLargePictures())
        return false;
    // The page lands on whole pixels: it moves by under half a pixel rather than being resampled.
    double left = std::round(origin.x), top = std::round(origin.y);
    // The part of the page the clip leaves, in the rasteriser's pixels of the page, with a pixel
    // more on each side for the rounding.
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    int pageW = int(std::ceil(m_size.width * s)), pageH = int(std::ceil(m_size.height * s));
    int px = std::max(0, int(std::floor(x1 * s)) - 1), py = std::max(0, int(std::floor(y1 * s)) - 1);
    int pw = std::min(pageW, int(std::ceil(x2 * s)) + 1) - px;
    int ph = std::min(pageH, int(std::ceil(y2 * s)) + 1) - py;
    if (pw <= 0 || ph <= 0)
        return true;
    poppler::document* document = m_state->cppDocument();
    std::unique_ptr<poppler::page> page(document ? document->create_page(m_number - 1) : nullptr);
    if (!page)
        return false;
    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(poppler::image::format_argb32);
    poppler::image image = renderer.render_page(page.get(), 72.0 * s, 72.0 * s, px, py, pw, ph);
    if (!image.is_valid() || image.width() <= 0 || image.height() <= 0)
        return false;
    // Opaque paper: the alpha byte is not read.
    cairo_surface_t* picture = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<char*>(image.const_data())), CAIRO_FORMAT_RGB24, image.width(),
        image.height(), image.bytes_per_row());
    cairo_save(cr);
    // User space made the surface's pixels.
    cairo_identity_matrix(cr);
    cairo_scale(cr, 1 / devScaleX, 1 / devScaleY);
    cairo_translate(cr, -devOffX, -devOffY);
    cairo_set_source_surface(cr, picture, left + px, top + py);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    // The pixels belong to `image`: nothing may hold them past this call.
    cairo_surface_finish(picture);
    cairo_surface_destroy(picture);
    return true;
}

namespace {

// A context over the same pixels as `cr` but without the surface's own scale and offset: the
// page's transform into those pixels and the clip in them. The drawing then chooses how to
// filter and scale pictures by the pixels it really fills, as the reference renderer does,
// whatever scale the caller's bitmap carries.
struct PixelContext {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    ~PixelContext()
    {
        if (cr)
            cairo_destroy(cr);
        if (surface) {
            cairo_surface_flush(surface);
            cairo_surface_destroy(surface);
        }
    }
};

bool makePixelContext(cairo_t* cr, const cairo_matrix_t& transform, PixelContext& out)
{
    cairo_surface_t* target = cairo_get_target(cr);
    // The clip as rectangles that stay rectangles in pixels.
    if (!(transform.xy == 0 && transform.yx == 0) && !(transform.xx == 0 && transform.yy == 0))
        return false;
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr);
    if (clip->status != CAIRO_STATUS_SUCCESS) {
        cairo_rectangle_list_destroy(clip);
        return false;
    }
    cairo_surface_flush(target);
    out.surface = cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(target), cairo_image_surface_get_format(target),
        cairo_image_surface_get_width(target), cairo_image_surface_get_height(target),
        cairo_image_surface_get_stride(target));
    out.cr = cairo_create(out.surface);
    // The clip comes in user space, which `transform` takes into pixels.
    for (int i = 0; i < clip->num_rectangles; ++i) {
        const cairo_rectangle_t& r = clip->rectangles[i];
        PixelRect px = boundsUnder(transform, r.x, r.y, r.x + r.width, r.y + r.height);
        cairo_rectangle(out.cr, px.x1, px.y1, px.x2 - px.x1, px.y2 - px.y1);
    }
    cairo_rectangle_list_destroy(clip);
    cairo_clip(out.cr);
    cairo_set_matrix(out.cr, &transform);
    return cairo_status(out.cr) == CAIRO_STATUS_SUCCESS;
}

} // namespace

// Every tile of a zoomed page would read the whole page again, its pictures decoded anew:
// from the second part drawn at one scale on, the page is recorded once at that scale, and
// each tile replays only its own part. The recording is made where the page's origin falls
// within a pixel as in the tile, so that the replay moves it by whole pixels and draws what
// drawing the tile directly would.
bool Page::drawInPixels(cairo_t* cr) const
{
    cairo_surface_t* target = cairo_get_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    PageInPixels p = pageInPixels(cr, m_size);
    if (p.drawn.area() <= 0)
        return true;
    PixelContext pixels;
    if (!makePixelContext(cr, p.transform, pixels))
        return false;
    auto* page = static_cast<PopplerPage*>(m_page);
    const cairo_matrix_t& m = p.transform;
    if (!spansMoreThanDrawn(p) || p.page.area() > kMaxRecordedPixels) {
        poppler_page_render(page, pixels.cr);
        return true;
    }
    double whole[2] = {std::floor(m.x0), std::floor(m.y0)};
    double fx = m.x0 - whole[0], fy = m.y0 - whole[1];
    double tolerance = 1e-9 * std::max({std::abs(m.xx), std::abs(m.yx), std::abs(m.xy), std::abs(m.yy)});
    auto& kept = m_recording;
    if (!kept || !near(kept->xx, m.xx, tolerance) || !near(kept->yx, m.yx, tolerance) ||
        !near(kept->xy, m.xy, tolerance) || !near(kept->yy, m.yy, tolerance) || !near(kept->fx, fx, 1e-6) ||
        !near(kept->fy, fy, 1e-6)) {
        // The first part drawn at a scale is drawn directly: recording and replaying costs more
        // than that, and a look at one zoom may never move.
        kept = std::make_unique<Recording>();
        kept->xx = m.xx, kept->yx = m.yx, kept->xy = m.xy, kept->yy = m.yy, kept->fx = fx, kept->fy = fy;
        poppler_page_render(page, pixels.cr);
        return true;
    }
    if (!kept->surface) {
        cairo_matrix_t at = m;
        at.x0 = fx, at.y0 = fy;
        PixelRect bounds = boundsUnder(at, 0, 0, m_size.width, m_size.height);
        cairo_rectangle_t extents{std::floor(bounds.x1), std::floor(bounds.y1),
                                  std::ceil(bounds.x2) - std::floor(bounds.x1),
                                  std::ceil(bounds.y2) - std::floor(bounds.y1)};
        cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
        cairo_t* recorder = cairo_create(surface);
        cairo_set_matrix(recorder, &at);
        poppler_page_render(page, recorder);
        bool ok = cairo_status(recorder) == CAIRO_STATUS_SUCCESS && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(recorder);
        if (!ok) {
            cairo_surface_destroy(surface);
            kept.reset();
            poppler_page_render(page, pixels.cr);
            return true;
        }
        kept->surface = surface;
    }
    cairo_identity_matrix(pixels.cr);
    cairo_set_source_surface(pixels.cr, kept->surface, whole[0], whole[1]);
    cairo_pattern_set_filter(cairo_get_source(pixels.cr), CAIRO_FILTER_NEAREST);
    cairo_paint(pixels.cr);
    return true;
}

void Page::draw(gfx::Context& context, const gfx::AffineTransform& pageToContext) const
{
    context.save();
    context.concat(pageToContext);
    {
        std::lock_guard lock(m_state->mutex);
        cairo_t* cr = context.cairo();
        if (!drawPicturesInto(cr) && !drawInPixels(cr))
            poppler_page_render(static_cast<PopplerPage*>(m_page), cr);
        cairo_surface_mark_dirty(cairo_get_target(cr));
    }
    context.restore();
}

void Page::forgetDrawing() const
{
    std::lock_guard lock(m_state->mutex);
    m_recording.reset();
}

std::vector<Link> Page::links(const gfx::Rect& into) const
{
    return links(fitTransform(into));
}

std::string Page::text() const
{
    std::lock_guard lock(m_state->mutex);
    char* raw = poppler_page_get_text(static_cast<PopplerPage*>(m_page));
    std::string out = raw ? raw : "";
    g_free(raw);
    return out;
}

std::vector<Link> Page::links(const gfx::AffineTransform& pageToView) const
{
    std::vector<Link> result;
    std::lock_guard lock(m_state->mutex);
    GList* mapping = poppler_page_get_link_mapping(static_cast<PopplerPage*>(m_page));
    for (GList* item = mapping; item; item = item->next) {
        auto* m = static_cast<PopplerLinkMapping*>(item->data);
        // Poppler gives the upright page with y up; views have y down.
        double left = std::min(m->area.x1, m->area.x2), right = std::max(m->area.x1, m->area.x2);
        double bottom = std::min(m->area.y1, m->area.y2), top = std::max(m->area.y1, m->area.y2);
        gfx::Rect upright(left, m_size.height - top, right - left, top - bottom);
        result.push_back(Link{pageToView.apply(upright), targetOfAction(*m_state, m->action)});
    }
    poppler_page_free_link_mapping(mapping);
    // Poppler lists the page's annotations last first.
    std::reverse(result.begin(), result.end());
    return result;
}

} // namespace pdf::engine
