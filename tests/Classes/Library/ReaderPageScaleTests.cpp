#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfContentView.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Pdf/PageWorkers.h"
#include "tests/Classes/Library/ReaderTestSupport.h"
#include "tests/Support/HostilePdfFixtures.h"
#include "tests/Support/OnExit.h"

#include <cmath>
#include <cstdio>
#include <jpeglib.h>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using readertest::ReaderWindowTest;

constexpr double kPageW = 300, kPageH = 220;

// A picture with smooth colour, sharp edges and fine detail, so a page drawn a little too
// large, too small or off its place differs clearly from the reference.
gfx::Image photoLike(int width, int height)
{
    auto ctx = gfx::Context::createBitmap(gfx::Size{double(width), double(height)});
    ctx->fillLinearGradient(gfx::Rect(0, 0, width, height), {0, 0}, {double(width), double(height)},
                            {{0, gfx::Color{0.9, 0.4, 0.1, 1}}, {0.5, gfx::Color{0.2, 0.7, 0.3, 1}},
                             {1, gfx::Color{0.1, 0.2, 0.8, 1}}});
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i) {
        double x = random() % width, y = random() % height, r = 5 + random() % (width / 8);
        ctx->setFillColor(gfx::Color{(random() % 100) / 100.0, (random() % 100) / 100.0, (random() % 100) / 100.0, 1});
        ctx->fillEllipse(gfx::Rect(x - r, y - r, 2 * r, 2 * r));
    }
    ctx->setStrokeColor(gfx::Color::black());
    ctx->setLineWidth(width / 200.0);
    for (int i = 1; i < 12; ++i)
        ctx->strokeLine({width * i / 12.0, 0}, {width * i / 12.0, double(height)});
    return ctx->makeImage();
}

// A page drawn through Cairo's PDF output.
std::string cairoPdf(const std::function<void(gfx::Context&)>& draw)
{
    auto pdf = gfx::Context::createPdfInMemory();
    pdf->omitPdfCreationDate();
    pdf->beginPage(gfx::Size{kPageW, kPageH});
    draw(*pdf);
    pdf->endPage();
    EXPECT_FALSE(pdf->close());
    return std::string(pdf->pdfData().begin(), pdf->pdfData().end());
}

void textLines(gfx::Context& ctx, double top)
{
    ctx.drawText("Catalogue", gfx::Point{18, top}, gfx::Font::boldSystemFont(24), gfx::Color::black());
    for (int line = 0; line < 9; ++line)
        ctx.drawText("Line " + std::to_string(line + 1) + " of the price list, set small to show each letter.",
                     gfx::Point{18, top + 36 + line * 14}, gfx::Font::systemFont(9 + line % 3),
                     gfx::Color{0.1, 0.1, 0.3, 1});
}

std::string textPage()
{
    return cairoPdf([](gfx::Context& ctx) { textLines(ctx, 12); });
}

std::string vectorPage()
{
    return cairoPdf([](gfx::Context& ctx) {
        ctx.setLineWidth(0.75);
        for (int i = 0; i < 14; ++i) {
            ctx.setStrokeColor(gfx::Color{i / 14.0, 0.2, 1 - i / 14.0, 1});
            ctx.strokeLine({10, 10 + i * 14.5}, {290, 200 - i * 13.0});
        }
        ctx.setFillColor(gfx::Color{0.8, 0.1, 0.1, 1});
        ctx.fillEllipse(gfx::Rect(180, 30, 90, 60));
        ctx.setFillColor(gfx::Color{0.1, 0.5, 0.1, 1});
        ctx.beginPath();
        ctx.moveTo({30, 190});
        ctx.curveTo({60, 100}, {120, 240}, {150, 150});
        ctx.lineTo({90, 120});
        ctx.closePath();
        ctx.fillPath();
        ctx.setStrokeColor(gfx::Color::black());
        ctx.setLineWidth(2);
        ctx.strokeRect(gfx::Rect(5, 5, 290, 210));
    });
}

// Gradients, see-through fills and a picture with a soft edge over most of the page.
std::string transparencyPage()
{
    auto faded = gfx::Context::createBitmap(gfx::Size{400, 280});
    faded->fillLinearGradient(gfx::Rect(0, 0, 400, 280), {0, 0}, {400, 0},
                              {{0, gfx::Color{0.1, 0.3, 0.9, 0}}, {1, gfx::Color{0.9, 0.2, 0.5, 0.9}}});
    faded->setFillColor(gfx::Color{1, 1, 0, 0.6});
    faded->fillEllipse(gfx::Rect(40, 40, 200, 200));
    gfx::Image overlay = faded->makeImage();
    return cairoPdf([&](gfx::Context& ctx) {
        ctx.fillLinearGradient(gfx::Rect(0, 0, kPageW, kPageH), {0, 0}, {0, kPageH},
                               {{0, gfx::Color{1, 0.95, 0.8, 1}}, {1, gfx::Color{0.3, 0.6, 0.7, 1}}});
        textLines(ctx, 20);
        ctx.drawImage(overlay, gfx::Rect(20, 15, 260, 190));
        ctx.setFillColor(gfx::Color{0, 0.4, 0, 0.5});
        ctx.fillRoundedRect(gfx::Rect(150, 100, 120, 90), 12);
    });
}

// A one-page document of the picture over the whole page and a line of text; `crop` set gives
// it a crop box.
std::string picturePage(const gfx::Image& picture, std::optional<pdffix::Box> crop = {})
{
    pdffix::DocumentPlan plan;
    auto jpeg = picture.jpegData(0.9);
    plan.jpeg.assign(jpeg.begin(), jpeg.end());
    plan.jpegWidth = picture.pixelWidth();
    plan.jpegHeight = picture.pixelHeight();
    pdffix::PagePlan page;
    page.media = {0, 0, kPageW, kPageH};
    if (crop) {
        page.media = {0, 0, kPageW + 60, kPageH + 50};
        page.crop = crop;
    }
    page.imageRef = 1;
    page.label = "Photo";
    page.bodyText = false;
    plan.pages = {page};
    return pdffix::build(plan);
}

// A scanned page: one bit a pixel, black strokes on white, inflated with zlib.
std::string scanPage(int width, int height)
{
    auto ink = gfx::Context::createBitmap(gfx::Size{double(width), double(height)});
    ink->setFillColor(gfx::Color::white());
    ink->fillRect(gfx::Rect(0, 0, width, height));
    ink->scaleBy(width / kPageW, height / kPageH);
    textLines(*ink, 12);
    ink->setStrokeColor(gfx::Color::black());
    ink->setLineWidth(1.5);
    ink->strokeRect(gfx::Rect(8, 160, 280, 50));
    gfx::Image drawn = ink->makeImage();
    std::string bits(size_t((width + 7) / 8) * height, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (((drawn.pixelAt(x, y) >> 8) & 0xFF) > 128) // white is 1
                bits[size_t(y) * ((width + 7) / 8) + x / 8] |= char(0x80 >> (x % 8));
    return pdffix::onePage("q " + pdffix::num(kPageW) + " 0 0 " + pdffix::num(kPageH) + " 0 0 cm /Im1 Do Q",
                           pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width " + std::to_string(width) +
                                                      " /Height " + std::to_string(height) +
                                                      " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /FlateDecode",
                                                  pdffix::deflated(bits)),
                           pdffix::Box{0, 0, kPageW, kPageH});
}

// A photo of `width` x `height` written as a JPEG row by row (a poster's photo would take half
// a gigabyte as one bitmap): smooth colour across it, a checker of `cell` pixels over it.
std::string streamedJpeg(int width, int height, bool progressive, int cell, int seed, bool grey = false)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(size_t(width) * 3);
    while (info.next_scanline < info.image_height) {
        int y = int(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            bool dark = ((x / cell) + (y / cell) + seed) % 2 == 0;
            if (grey) {
                row[size_t(x)] = (unsigned char)((dark ? 30 : 150) + 100 * x / width);
                continue;
            }
            row[size_t(x) * 3] = (unsigned char)(40 + 180 * x / width);
            row[size_t(x) * 3 + 1] = (unsigned char)(dark ? 60 : 200);
            row[size_t(x) * 3 + 2] = (unsigned char)(40 + 180 * y / height + seed * 5 % 30);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

// A page of `count` pictures in a grid of `columns`, each a JPEG image object of its own (and
// a soft mask when given), as a catalogue lays products out. `inherited` goes into the page
// tree's node above the page; the instructions may come in two streams.
std::string pictureGridPage(double pageW, double pageH, int count, int columns, const std::string& jpeg, int width,
                            int height, const std::string& softMask = {}, bool grey = false,
                            const std::string& inherited = {}, bool twoStreams = false)
{
    pdffix::Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    std::string names, content;
    int rows = (count + columns - 1) / columns;
    double cellW = pageW / columns, cellH = pageH / rows;
    for (int i = 0; i < count; ++i) {
        std::string mask;
        if (!softMask.empty())
            mask = " /SMask " + std::to_string(w.add(pdffix::Writer::stream(
                                    "/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
                                        std::to_string(height) + " /ColorSpace /DeviceGray /BitsPerComponent 8 "
                                                                 "/Filter /FlateDecode",
                                    softMask))) +
                   " 0 R";
        int image = w.add(pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width " + std::to_string(width) +
                                                     " /Height " + std::to_string(height) +
                                                     (grey ? " /ColorSpace /DeviceGray" : " /ColorSpace /DeviceRGB") +
                                                     " /BitsPerComponent 8 /Filter /DCTDecode" +
                                                     mask,
                                                 jpeg));
        names += "/P" + std::to_string(i) + " " + std::to_string(image) + " 0 R ";
        // Fitted into its cell with a margin, its own proportions kept.
        double fit = std::min((cellW - 8) / width, (cellH - 8) / height);
        double x = (i % columns) * cellW + (cellW - width * fit) / 2;
        double y = pageH - (i / columns + 1) * cellH + (cellH - height * fit) / 2;
        content += "q " + pdffix::num(width * fit) + " 0 0 " + pdffix::num(height * fit) + " " + pdffix::num(x) + " " +
                   pdffix::num(y) + " cm /P" + std::to_string(i) + " Do Q\n";
    }
    std::string contents;
    if (twoStreams) {
        size_t half = content.find(" cm ") + 4;
        contents = "[" + std::to_string(w.add(pdffix::Writer::stream("", content.substr(0, half)))) + " 0 R " +
                   std::to_string(w.add(pdffix::Writer::stream("", content.substr(half)))) + " 0 R]";
    } else {
        contents = std::to_string(w.add(pdffix::Writer::stream("", content))) + " 0 R";
    }
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 " + pdffix::num(pageW) +
                     " " + pdffix::num(pageH) + "] /Resources << /XObject << " + names + ">> >> /Contents " +
                     contents + " >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 " + inherited + ">>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// A round cut-out: opaque inside the circle, soft at its rim, clear outside.
std::string roundMask(int size)
{
    std::string bytes(size_t(size) * size, '\0');
    double r = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
            bytes[size_t(y) * size + x] = char(std::clamp(int((r - d) * 32), 0, 255));
        }
    return pdffix::deflated(bytes);
}

// Runs the programs a few at a time (no shell); true when every one exits 0.
bool runAll(const std::vector<std::vector<std::string>>& commands, size_t atOnce = 4)
{
    bool ok = true;
    std::vector<pid_t> running;
    auto reap = [&] {
        int status = 0;
        pid_t done = ::waitpid(running.front(), &status, 0);
        ok = ok && done == running.front() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        running.erase(running.begin());
    };
    for (const auto& command : commands) {
        if (running.size() >= atOnce)
            reap();
        std::vector<char*> args;
        for (const auto& a : command)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_t child = ::fork();
        if (child == 0) {
            ::execvp(args[0], args.data());
            _exit(127);
        }
        if (child < 0)
            return false;
        running.push_back(child);
    }
    while (!running.empty())
        reap();
    return ok;
}

// A binary portable pixmap as the reference renderer writes it: its size and RGB bytes.
struct Pixmap {
    int width = 0, height = 0;
    std::string rgb;
};

Pixmap readPixmap(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    Pixmap map;
    in >> magic >> map.width >> map.height >> maximum;
    in.get();
    if (magic != "P6" || maximum != 255 || map.width <= 0 || map.height <= 0)
        return {};
    map.rgb.resize(size_t(map.width) * map.height * 3);
    in.read(map.rgb.data(), std::streamsize(map.rgb.size()));
    return in ? map : Pixmap{};
}

// Root mean square of the colour difference, channels from 0 to 1, between the reference and
// the same pixels of `ours` (opaque, of the reference's size), inside a border of `reach`
// pixels. With a reach, the smallest error of `ours` moved by up to that many pixels; the
// search stops at the first under `enough`.
double rmse(const gfx::Image& ours, const Pixmap& reference, int reach, double enough)
{
    cairo_surface_t* surface = ours.cairoSurface();
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    double best = 1;
    // The place itself first.
    std::vector<std::pair<int, int>> shifts{{0, 0}};
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx)
            if (dx || dy)
                shifts.emplace_back(dx, dy);
    for (auto [dx, dy] : shifts) {
        {
            double sum = 0;
            for (int row = reach; row < reference.height - reach; ++row) {
                const auto* mine = reinterpret_cast<const uint32_t*>(data + size_t(row + dy) * stride) + dx;
                const char* theirs = reference.rgb.data() + size_t(row) * reference.width * 3;
                for (int column = reach; column < reference.width - reach; ++column) {
                    uint32_t p = mine[column];
                    int r = int((p >> 16) & 0xFF) - int(uint8_t(theirs[3 * column]));
                    int g = int((p >> 8) & 0xFF) - int(uint8_t(theirs[3 * column + 1]));
                    int b = int(p & 0xFF) - int(uint8_t(theirs[3 * column + 2]));
                    sum += r * r + g * g + b * b;
                }
            }
            double count = 3.0 * (reference.width - 2 * reach) * (reference.height - 2 * reach);
            best = std::min(best, std::sqrt(sum / count) / 255.0);
        }
        if (best < enough)
            break;
    }
    return best;
}

struct PageCase {
    const char* name;
    std::string path;
};

class ReaderPageScaleTest : public ReaderWindowTest {
protected:
    void TearDown() override
    {
        window->setScale(1);
        ReaderWindowTest::TearDown();
    }
    // Each page at the reader's four zoom steps and at one and two pixels a point, drawn
    // through the page view's own tiles, against the reference renderer's pixels for the same
    // place; no page may be refused.
    void drawnAsTheReference(const std::vector<PageCase>& cases, double bound);
    // What we drew, and the reference's command for the same pixels.
    struct Shown {
        std::string name;
        gfx::Image ours;
        int reach = 0; // pixels either way the two may place a picture apart
        std::string reference;
    };
    // Runs the reference's commands, then holds each of ours to its pixels.
    void nearTheReference(const std::vector<std::vector<std::string>>& references, const std::vector<Shown>& shown,
                          double bound);
};

// Every kind of page, at the reader's four zoom steps and at one and two pixels a point, drawn
// through the page view's own tiles, shows the part of the page the reference renderer gives
// for the same place at the same pixel size.
TEST_F(ReaderPageScaleTest, PagesAreDrawnAtTheSizeAndPlaceOfTheReferenceRenderer)
{
    std::string photo = place("photo.pdf", picturePage(photoLike(900, 660)));
    std::string turned = (home() / "turned.pdf").string();
    ASSERT_TRUE(pdffix::rotatedCopy(photo, turned, 90));
    std::vector<PageCase> cases = {
        {"text", place("text.pdf", textPage())},
        {"vector", place("vector.pdf", vectorPage())},
        {"photo", photo},
        {"transparency", place("transparency.pdf", transparencyPage())},
        {"scan", place("scan.pdf", scanPage(1250, 917))},
        {"rotated", turned},
        {"cropped", place("cropped.pdf", picturePage(photoLike(960, 720), pdffix::Box{40, 30, 40 + kPageW, 30 + kPageH}))},
    };
    // Only the two rasterisers' edges of text and lines differ.
    drawnAsTheReference(cases, 0.14);
}

void ReaderPageScaleTest::drawnAsTheReference(const std::vector<PageCase>& cases, double bound)
{
    // What is asked here is how the pages look: a checked build beside a heavy load may take a
    // worker past its usual time limit on the largest pictures.
    pdf::PageWorkers::Limits limits;
    limits.secondsPerPage = 600;
    pdf::PageWorkers::shared().setLimits(limits);
    testsupport::OnExit usual([] { pdf::PageWorkers::shared().setLimits(pdf::PageWorkers::Limits{}); });
    std::vector<Shown> shown;
    std::vector<std::vector<std::string>> references;
    for (double scale : {1.0, 2.0}) {
        window->setScale(scale);
        for (const auto& c : cases) {
            auto view = std::make_shared<PdfContentView>(gfx::Rect(0, 0, 320, 240), c.path, 1, std::nullopt);
            auto page = view->contentPage();
            ASSERT_TRUE(page) << c.name;
            window->addSubview(view);
            window->layoutIfNeeded();
            double minimum = view->minimumZoomScale(), maximum = view->maximumZoomScale();
            for (int step = 0; step < 4; ++step) {
                std::string name = std::string(c.name) + "-" + std::to_string(int(scale)) + "x-zoom" + std::to_string(step);
                SCOPED_TRACE(name);
                view->setZoomScale(minimum + (maximum - minimum) * step / 3);
                // Zoomed in, the far corner of the page: tiles other than the first.
                gfx::Size content = view->contentSize();
                view->setContentOffset({std::max(0.0, content.width - view->bounds().width() + 4),
                                        std::max(0.0, content.height - view->bounds().height() + 4)});
                window->layoutIfNeeded();
                page->drawVisibleTilesNow();
                drainMain();
                ASSERT_EQ(view->contentPage(), page) << "drawn, not refused";
                ASSERT_EQ(view->messageLabel(), nullptr);
                gfx::Image shot = window->snapshot();

                // Where the page lies on screen, in pixels: fitted into the view's even bounds.
                gfx::Size size = page->pageSize();
                gfx::Rect box = page->bounds();
                double fit = std::min(box.width() / size.width, box.height() / size.height);
                gfx::Rect fitted(box.x() + (box.width() - size.width * fit) / 2,
                                 box.y() + (box.height() - size.height * fit) / 2, size.width * fit,
                                 size.height * fit);
                gfx::Rect onScreen = page->convertRectToView(fitted, nullptr);
                gfx::Rect visible = onScreen.intersection(view->frame());
                double pixelsAPoint = onScreen.width() * scale / size.width;
                int x0 = int(std::ceil(visible.minX() * scale)) + 1, y0 = int(std::ceil(visible.minY() * scale)) + 1;
                int x1 = int(std::floor(visible.maxX() * scale)) - 1, y1 = int(std::floor(visible.maxY() * scale)) - 1;
                ASSERT_GT(x1 - x0, 100);
                ASSERT_GT(y1 - y0, 100);
                int left = int(std::lround(onScreen.minX() * scale)), top = int(std::lround(onScreen.minY() * scale));
                std::string reference = (home() / name).string();
                references.push_back({"pdftoppm", "-singlefile", "-cropbox", "-r", std::to_string(72 * pixelsAPoint),
                                      "-x", std::to_string(x0 - left), "-y", std::to_string(y0 - top), "-W",
                                      std::to_string(x1 - x0), "-H", std::to_string(y1 - y0), c.path, reference});
                // At rest the page is drawn at just the pixels it shows; zoomed, tiles of the
                // nearest level are resampled, and both renderers put a picture's pixels on their
                // own grid: a pixel or two either way.
                shown.push_back({name, shot.cropped(gfx::Rect(x0, y0, x1 - x0, y1 - y0)), step == 0 ? 0 : 2,
                                 reference + ".ppm"});
            }
            view->removeFromSuperview();
        }
    }
    nearTheReference(references, shown, bound);
}

void ReaderPageScaleTest::nearTheReference(const std::vector<std::vector<std::string>>& references,
                                           const std::vector<Shown>& shown, double bound)
{
    ASSERT_TRUE(runAll(references));
    const char* review = std::getenv("BRIVANTA_REVIEW_DIR");
    for (const auto& s : shown) {
        SCOPED_TRACE(s.name);
        Pixmap ref = readPixmap(s.reference);
        ASSERT_EQ(ref.width, s.ours.pixelWidth());
        ASSERT_EQ(ref.height, s.ours.pixelHeight());
        double error = rmse(s.ours, ref, s.reach, bound);
        if (review && *review) {
            s.ours.writePng(reviewPath(s.name + "-ours.png"));
            std::filesystem::copy_file(s.reference, reviewPath(s.name + "-reference.ppm"),
                                       std::filesystem::copy_options::overwrite_existing);
            std::printf("%s rmse %.4f\n", s.name.c_str(), error);
        }
        EXPECT_LT(error, bound);
    }
}

// Catalogue pages whose pictures add up to hundreds of megabytes decoded, though each is drawn
// in tens: product photos, cut-outs with soft masks, phone photos, a poster's photo and a
// progressive scan. Each is drawn as the reference draws it, none refused.
TEST_F(ReaderPageScaleTest, CataloguePagesOfLargePicturesAreDrawnNotRefused)
{
    const double a4W = 595, a4H = 842;
    std::string product = streamedJpeg(2000, 2000, false, 100, 1);
    std::string cutOut = streamedJpeg(1200, 1200, false, 60, 2);
    std::string phone = streamedJpeg(4032, 3024, false, 200, 3);
    std::vector<PageCase> cases = {
        {"products", place("products.pdf", pictureGridPage(a4W, a4H, 24, 4, product, 2000, 2000))},
        {"cut-outs", place("cut-outs.pdf", pictureGridPage(a4W, a4H, 24, 4, cutOut, 1200, 1200, roundMask(1200)))},
        {"phone-photos", place("phone-photos.pdf", pictureGridPage(a4W, a4H, 8, 2, phone, 4032, 3024))},
        // A0 with one photo at 300 dots an inch over it.
        {"poster", place("poster.pdf", pictureGridPage(2384, 3370, 1, 1, streamedJpeg(9933, 14042, false, 400, 4), 9933,
                                                       14042))},
        // A4 scanned in colour at 600 dots an inch, written progressive.
        {"progressive-scan", place("scan.pdf", pictureGridPage(a4W, a4H, 1, 1, streamedJpeg(4960, 7016, true, 240, 5),
                                                               4960, 7016))},
        // A photographed page in grey, within margins of paper: the decoder reduces it itself.
        {"grey-photographed-page", place("grey.pdf", pictureGridPage(a4W, a4H, 1, 1, streamedJpeg(2480, 3508, false, 90, 6, true),
                                                                      2480, 3508, {}, true))},
    };
    drawnAsTheReference(cases, 0.15);
}

// The page bar's pictures of photographed pages, from its smallest to the page's own, are as
// sharp and as placed as the reference renderer's at the same pixel size: a picture reduced
// by the decoder must lose no more of its edges than the reference's averaging does.
TEST_F(ReaderPageScaleTest, PicturesOfPhotographedPagesAreAsSharpAsTheReference)
{
    // Pages whose sides keep whole pixels at every size drawn, so that both renderers scale
    // them alike each way.
    struct Photo {
        const char* name;
        std::string path;
        std::vector<gfx::Size> sizes;
        bool turned = false; // the reference scales a turned page by its sides before the turn
    };
    std::string greyPhoto = streamedJpeg(2480, 3508, false, 300, 6, true);
    std::string grey = place("grey.pdf", pictureGridPage(500, 700, 1, 1, greyPhoto, 2480, 3508, {}, true));
    std::string turned = (home() / "turned.pdf").string();
    ASSERT_TRUE(pdffix::rotatedCopy(grey, turned, 90));
    Photo photos[] = {
        {"grey", grey, {{20, 28}, {30, 42}, {100, 140}, {180, 252}, {500, 700}}},
        // Turned by the page, or by the node above it: the picture is not drawn upright.
        {"turned", turned, {{28, 20}, {140, 100}}, true},
        {"turned-above", place("turned-above.pdf", pictureGridPage(500, 700, 1, 1, greyPhoto, 2480, 3508, {}, true,
                                                                   "/Rotate 90")),
         {{28, 20}, {140, 100}}, true},
        // The same picture drawn by instructions split over two streams.
        {"two-streams", place("two-streams.pdf", pictureGridPage(500, 700, 1, 1, greyPhoto, 2480, 3508, {}, true, {},
                                                                 true)),
         {{20, 28}, {100, 140}}},
        {"colour", place("colour.pdf", pictureGridPage(700, 500, 1, 1, streamedJpeg(4032, 3024, false, 350, 3), 4032, 3024)),
         {{28, 20}, {42, 30}, {140, 100}, {252, 180}, {700, 500}}},
        // A photo whose file was cut off half-way: what its data never reached is the paper's.
        {"cut-off", place("cut-off.pdf", pictureGridPage(500, 700, 1, 1, greyPhoto.substr(0, greyPhoto.size() / 2), 2480,
                                                         3508, {}, true)),
         {{20, 28}, {30, 42}, {100, 140}, {180, 252}, {500, 700}}},
        {"progressive", place("progressive.pdf", pictureGridPage(500, 700, 1, 1, streamedJpeg(2480, 3508, true, 250, 5),
                                                                 2480, 3508)),
         {{20, 28}, {30, 42}, {100, 140}, {180, 252}}},
    };
    std::vector<Shown> drawn;
    std::vector<std::vector<std::string>> references;
    for (const auto& photo : photos) {
        auto opened = pdf::Document::open(photo.path);
        ASSERT_TRUE(opened.document) << photo.name;
        auto page = opened.document->page(1);
        ASSERT_TRUE(page) << photo.name;
        for (gfx::Size size : photo.sizes) {
            std::string name = std::string(photo.name) + "-" + std::to_string(int(size.width));
            SCOPED_TRACE(name);
            auto context = gfx::Context::createBitmap(size, 1);
            ASSERT_EQ(page->drawOnPaper(*context, gfx::Rect(gfx::Point{}, size)), pdf::DrawOutcome::Drawn);
            std::string reference = (home() / name).string();
            gfx::Size unturned = photo.turned ? gfx::Size{size.height, size.width} : size;
            references.push_back({"pdftoppm", "-singlefile", "-scale-to-x", std::to_string(int(unturned.width)),
                                  "-scale-to-y", std::to_string(int(unturned.height)), photo.path, reference});
            drawn.push_back({name, context->makeImage(), 0, reference + ".ppm"});
        }
    }
    nearTheReference(references, drawn, 0.02);
}

} // namespace
