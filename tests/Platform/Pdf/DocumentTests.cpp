#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Pdf/Engine/PopplerDocument.h"
#include "Platform/Pdf/PageWorkers.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/PdfFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace pdf {
void PrintTo(const LinkTarget& t, std::ostream* os)
{
    *os << int(t.kind) << " '" << t.url << "' " << t.page;
}
} // namespace pdf

namespace {

using pdf::Document;
using pdf::LinkTarget;

class PdfLayerTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes)
    {
        auto path = m_dir / name;
        pdffix::writeFile(path, bytes);
        return path.string();
    }
    std::shared_ptr<Document> open(const std::string& path, std::optional<std::string> password = {})
    {
        auto result = Document::open(path, password);
        EXPECT_EQ(result.status, Document::Status::Opened) << path;
        return result.document;
    }
    basetest::TempDir m_dir;
};

// How many of a process's open files are that file.
int openCopies(const std::string& path, const std::string& process = "self")
{
    int copies = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + process + "/fd", ec)) {
        std::error_code link;
        auto target = std::filesystem::read_symlink(entry.path(), link);
        copies += !link && target == std::filesystem::path(path);
    }
    return copies;
}

TEST_F(PdfLayerTest, APageDrawnFromItsSizeOpensTheFileOnce)
{
    for (int degrees : {0, 90}) {
        SCOPED_TRACE(degrees);
        std::string path = write("once.pdf", pdffix::textPdf(3));
        if (degrees) {
            ASSERT_TRUE(pdffix::rotatedCopy(path, path + ".r", degrees));
            ASSERT_EQ(std::rename((path + ".r").c_str(), path.c_str()), 0);
        }
        auto document = open(path);
        ASSERT_TRUE(document);
        auto page = document->page(2);
        ASSERT_TRUE(page);
        gfx::Size size = page->size();
        auto context = gfx::Context::createBitmap({size.width / 4, size.height / 4}, 1);
        page->draw(*context, gfx::Rect(0, 0, size.width / 4, size.height / 4));
        // Read by the page workers alone, once.
        EXPECT_EQ(openCopies(path), 0);
        int inWorkers = 0;
        for (pid_t worker : pdf::PageWorkers::shared().workerIds())
            inWorkers += openCopies(path, std::to_string(worker));
        EXPECT_EQ(inWorkers, 1);
    }
}

TEST_F(PdfLayerTest, PageCountsSizesBoxesAndRotations)
{
    std::string plain = write("plain.pdf", pdffix::textPdf(12));
    pdffix::DocumentPlan overhang;
    pdffix::PagePlan page;
    page.media = {0, 0, 600, 800};
    page.crop = pdffix::Box{-50, 100, 700, 700};
    overhang.pages = {page};
    std::string cropped = write("cropped.pdf", pdffix::build(overhang));
    for (int degrees : {90, 180, 270})
        ASSERT_TRUE(pdffix::rotatedCopy(plain, m_dir / ("r" + std::to_string(degrees) + ".pdf"), degrees));

    struct Case {
        std::string file;
        int pages;
        gfx::Rect box;
        int rotation;
        gfx::Size size;
    } cases[] = {
        {plain, 12, {0, 0, 612, 792}, 0, {612, 792}},
        {(m_dir / "r90.pdf").string(), 12, {0, 0, 612, 792}, 90, {792, 612}},
        {(m_dir / "r180.pdf").string(), 12, {0, 0, 612, 792}, 180, {612, 792}},
        {(m_dir / "r270.pdf").string(), 12, {0, 0, 612, 792}, 270, {792, 612}},
        {cropped, 1, {0, 100, 600, 600}, 0, {600, 600}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto document = open(c.file);
        ASSERT_TRUE(document);
        EXPECT_EQ(document->pageCount(), c.pages);
        EXPECT_FALSE(document->page(0));
        EXPECT_FALSE(document->page(c.pages + 1));
        auto last = document->page(c.pages);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->number(), c.pages);
        EXPECT_EQ(last->box(), c.box);
        EXPECT_EQ(last->rotation(), c.rotation);
        EXPECT_EQ(last->size(), c.size);
    }
}

// A page tree written by hand: entries of the root node, of a middle node that holds every page
// but the first, and of each page; "#N" names the Nth of `objects`.
struct TreePlan {
    const char* name;
    std::string root, middle;
    std::vector<std::string> pages;
    std::vector<std::string> objects;
};

std::string treePdf(const TreePlan& plan)
{
    pdffix::Writer w;
    int catalog = w.reserve(), root = w.reserve(), middle = w.reserve();
    int contents = w.add(pdffix::Writer::stream("", "0 0 1 rg 20 20 100 100 re f"));
    std::vector<int> pages, objects;
    for (size_t i = 0; i < plan.pages.size(); ++i)
        pages.push_back(w.reserve());
    for (const auto& object : plan.objects)
        objects.push_back(w.add(object));
    auto resolve = [&](std::string text) {
        for (size_t k = objects.size(); k >= 1; --k)
            for (size_t at; (at = text.find("#" + std::to_string(k))) != std::string::npos;)
                text.replace(at, 1 + std::to_string(k).size(), std::to_string(objects[k - 1]) + " 0 R");
        return text;
    };
    std::string rootKids = std::to_string(pages[0]) + " 0 R " + std::to_string(middle) + " 0 R", middleKids;
    for (size_t i = 0; i < pages.size(); ++i) {
        int parent = i == 0 ? root : middle;
        w.set(pages[i], resolve("<< /Type /Page /Parent " + std::to_string(parent) + " 0 R /Contents " +
                                std::to_string(contents) + " 0 R /Resources << >> " + plan.pages[i] + " >>"));
        if (i > 0)
            middleKids += std::to_string(pages[i]) + " 0 R ";
    }
    w.set(root, resolve("<< /Type /Pages /Kids [" + rootKids + "] /Count " + std::to_string(pages.size()) + " " +
                        plan.root + " >>"));
    w.set(middle, resolve("<< /Type /Pages /Parent " + std::to_string(root) + " 0 R /Kids [" + middleKids +
                          "] /Count " + std::to_string(pages.size() - 1) + " " + plan.middle + " >>"));
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(root) + " 0 R >>");
    return w.finish(catalog);
}

// The file with object `number` written again in an update appended to it, as editors save.
std::string withUpdate(const std::string& base, int number, const std::string& body)
{
    size_t mark = base.rfind("startxref");
    std::string previous = base.substr(mark + 10, base.find('\n', mark + 10) - (mark + 10));
    std::string out = base;
    size_t at = out.size();
    out += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
    size_t xref = out.size();
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", at);
    out += "xref\n" + std::to_string(number) + " 1\n" + line + "trailer\n<< /Size 40 /Root 1 0 R /Prev " + previous +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

// Opening describes every page from the file's own objects where their boxes are plain, and
// from the drawing library where they are not: either way each page's box, size and rotation
// are what the drawing library reads, or pages would be laid out at one size and drawn at another.
TEST_F(PdfLayerTest, PagesDescribedAtOpeningAreWhatTheDrawingLibraryReads)
{
    const TreePlan plans[] = {
        {"inherited", "/MediaBox [0 0 500 700] /Rotate 90", "/CropBox [10 20 490 680]",
         {"", "/Rotate 0", "/MediaBox [0 0 300 300]", "/Rotate 180 /CropBox [0 0 250 350]"}, {}},
        {"corners in any order, overhanging crops", "", "",
         {"/MediaBox [612 792 0 0]", "/MediaBox [0 0 612 792] /CropBox [-50 100 700 700]",
          "/MediaBox [0 0 612 792] /CropBox [700 900 300 -20]", "/MediaBox [-100 -200 300.5 400.25]"}, {}},
        {"odd turns", "/MediaBox [0 0 400 300]", "",
         {"/Rotate -90", "/Rotate 450", "/Rotate 45", "/Rotate 270", "/Rotate -270", "/Rotate 720"}, {}},
        {"boxes by reference", "", "/MediaBox #1",
         {"/MediaBox [0 0 #2 300]", "", "/CropBox #3", "/MediaBox [0 0 200 #4]"},
         {"[0 0 200 100]", "250", "[50 10 150 90]", "(tall)"}},
        {"the first page left to the library", "", "/MediaBox [0 0 300 400]", {"", "", "/Rotate 90"}, {}},
        {"a crop box above the media box", "/MediaBox [0 0 500 500] /CropBox [10 10 200 200]", "/MediaBox [0 0 300 300]",
         {"", "", "/CropBox [5 5 100 100]", "/MediaBox [0 0 50 50]"}, {}},
        {"later pages left to the library", "/MediaBox [0 0 612 792]", "",
         {"", "/MediaBox [100 100 200 200] /CropBox [0 0 10 10]", "/MediaBox [0 0 612]", "/MediaBox [0 0 0 0]",
          "/CropBox [0 0 1e400 500]", "/MediaBox [0 0 300 200] /Rotate 90"}, {}},
    };
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& plan : plans)
        files.emplace_back(plan.name, treePdf(plan));
    // Page 2 (object 6) saved again with another size and turn: the update is what counts.
    std::string base = treePdf({"", "/MediaBox [0 0 300 400]", "", {"", "", "/Rotate 90"}, {}});
    files.emplace_back("updated", withUpdate(base, 6,
                                             "<< /Type /Page /Parent 3 0 R /Contents 4 0 R /Resources << >> "
                                             "/MediaBox [0 0 500 200] /Rotate 270 >>"));
    // A table whose places are all off: the objects are found where they are.
    files.emplace_back("misplaced", std::string(base).insert(base.find('\n') + 1, "% moved\n"));
    // The inherited boxes again, their objects packed into object streams under a table that is
    // itself a stream.
    std::string plain = write("plain-tree.pdf", files[0].second), packed = (m_dir / "packed.pdf").string();
    ASSERT_TRUE(pdffix::run({"qpdf", "--object-streams=generate", plain, packed}));
    std::ifstream packedFile(packed, std::ios::binary);
    files.emplace_back("packed", std::string(std::istreambuf_iterator<char>(packedFile), {}));
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        std::string path = write(name + ".pdf", bytes);
        auto document = open(path);
        auto library = pdf::engine::Document::open(path).document;
        ASSERT_TRUE(document && library);
        ASSERT_EQ(document->pageCount(), library->pageCount());
        ASSERT_GE(document->pageCount(), 3);
        for (int number = 1; number <= document->pageCount(); ++number) {
            SCOPED_TRACE(number);
            auto page = document->page(number);
            auto read = library->page(number);
            ASSERT_TRUE(page && read);
            EXPECT_EQ(page->box(), read->box());
            EXPECT_EQ(page->size(), read->size());
            EXPECT_EQ(page->rotation(), read->rotation());
        }
        if (name == "updated") {
            EXPECT_EQ(document->page(2)->size(), (gfx::Size{200, 500}));
        }
    }
}

// The drawn colour of each link's fill must lie under the area the layer reports, on every
// rotation; targets and document order stay the same.
TEST_F(PdfLayerTest, LinkAreasFollowTheDrawingAndTargetsResolve)
{
    std::string upright = write("links.pdf", pdffix::linkPdf());
    std::vector<LinkTarget> expected = {
        // Poppler completes a "www." address as the reader would.
        LinkTarget::toUrl("http://www.example.org/x"), LinkTarget::toPage(3), LinkTarget::toPage(5), LinkTarget::none(),
        LinkTarget::toUrl("http://under.example.org/"), LinkTarget::toUrl("http://over.example.org/"),
        LinkTarget::toPage(2),
    };
    // The fill colours in the same order (red, green, blue bytes).
    std::vector<uint32_t> colours = {0xFF0000, 0x009900, 0x0000FF, 0x808000, 0xFF8000, 0x800080, 0x008080};
    for (int degrees : {0, 90, 180, 270}) {
        SCOPED_TRACE(degrees);
        std::string path = upright;
        if (degrees) {
            path = (m_dir / ("links" + std::to_string(degrees) + ".pdf")).string();
            ASSERT_TRUE(pdffix::rotatedCopy(upright, path, degrees));
        }
        auto document = open(path);
        ASSERT_TRUE(document);
        auto page = document->page(1);
        ASSERT_TRUE(page);
        // Half size, offset: the areas must follow the same transform as the drawing.
        gfx::Rect into(10, 20, page->size().width / 2, page->size().height / 2);
        auto bitmap = gfx::Context::createBitmap(gfx::Size{into.maxX() + 10, into.maxY() + 10});
        bitmap->setFillColor(gfx::Color::white());
        bitmap->fillRect(gfx::Rect(gfx::Point{}, bitmap->size()));
        page->draw(*bitmap, into);
        auto image = bitmap->makeImage();

        auto links = page->links(into);
        ASSERT_EQ(links.size(), expected.size());
        for (size_t i = 0; i < links.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(links[i].target, expected[i]);
            // The overlapped link shows its own colour only in its corner farthest from the later one.
            gfx::Point probe = links[i].area.center();
            if (i == 4) {
                const gfx::Rect& a = links[i].area;
                gfx::Point over = links[5].area.center();
                double best = -1;
                for (gfx::Point corner : {gfx::Point{a.minX() + 3, a.minY() + 3}, gfx::Point{a.maxX() - 3, a.minY() + 3},
                                          gfx::Point{a.minX() + 3, a.maxY() - 3}, gfx::Point{a.maxX() - 3, a.maxY() - 3}}) {
                    double d = std::hypot(corner.x - over.x, corner.y - over.y);
                    if (d > best) {
                        best = d;
                        probe = corner;
                    }
                }
            }
            uint32_t pixel = image.pixelAt(int(probe.x), int(probe.y)) & 0xFFFFFF;
            auto near = [](uint32_t a, uint32_t b) {
                for (int shift : {0, 8, 16})
                    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 3)
                        return false;
                return true;
            };
            EXPECT_TRUE(near(pixel, colours[i])) << std::hex << pixel << " at " << probe.x << "," << probe.y;
        }
        // Sizes turn with the page: the first link is 200 x 50 upright, at half scale.
        bool turned = degrees == 90 || degrees == 270;
        EXPECT_NEAR(links[0].area.width(), turned ? 25 : 100, 0.01);
        EXPECT_NEAR(links[0].area.height(), turned ? 100 : 25, 0.01);
    }
}

// Pages made of a picture take poppler's own rasteriser: each quarter of the picture must land
// where the reference renderer puts it, on every rotation and under an offset fit.
TEST_F(PdfLayerTest, PicturePagesLandInPlaceOnEveryRotation)
{
    // Quarters red, green / blue, yellow.
    auto quarters = gfx::Context::createBitmap(gfx::Size{200, 150});
    const gfx::Color colours[] = {gfx::Color{1, 0, 0, 1}, gfx::Color{0, 1, 0, 1}, gfx::Color{0, 0, 1, 1},
                                  gfx::Color{1, 1, 0, 1}};
    for (int q = 0; q < 4; ++q) {
        quarters->setFillColor(colours[q]);
        quarters->fillRect(gfx::Rect(q % 2 * 100, q / 2 * 75, 100, 75));
    }
    auto jpeg = quarters->makeImage().jpegData(0.9);
    for (int degrees : {0, 90, 180, 270}) {
        SCOPED_TRACE(degrees);
        pdffix::DocumentPlan plan;
        plan.jpeg.assign(jpeg.begin(), jpeg.end());
        plan.jpegWidth = 200;
        plan.jpegHeight = 150;
        pdffix::PagePlan p;
        p.media = {0, 0, 400, 300};
        p.rotate = degrees;
        p.imageRef = 1;
        plan.pages = {p};
        std::string path = write("picture" + std::to_string(degrees) + ".pdf", pdffix::build(plan));
        auto document = open(path);
        ASSERT_TRUE(document);
        auto page = document->page(1);
        ASSERT_TRUE(page);
        gfx::Rect into(10.4, 20.3, page->size().width * 2, page->size().height * 2);
        auto bitmap = gfx::Context::createBitmap(gfx::Size{into.maxX() + 10, into.maxY() + 10});
        bitmap->setFillColor(gfx::Color::white());
        bitmap->fillRect(gfx::Rect(gfx::Point{}, bitmap->size()));
        page->draw(*bitmap, into);
        auto image = bitmap->makeImage();
        std::string reference = (m_dir / ("ref" + std::to_string(degrees))).string();
        ASSERT_TRUE(pdffix::run({"pdftocairo", "-png", "-singlefile", "-scale-to-x", std::to_string(int(into.width())),
                                 "-scale-to-y", std::to_string(int(into.height())), path, reference}));
        gfx::Image ref = gfx::Image::fromFile(reference + ".png");
        ASSERT_TRUE(ref);
        for (double fy : {0.25, 0.75})
            for (double fx : {0.25, 0.75}) {
                gfx::Color a = image.colorAt(int(into.x() + fx * into.width()), int(into.y() + fy * into.height()));
                gfx::Color b = ref.colorAt(int(fx * ref.pixelWidth()), int(fy * ref.pixelHeight()));
                EXPECT_LT(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b), 0.15) << fx << "," << fy;
            }
        // The page's edges: paper outside, picture just inside.
        EXPECT_GT(image.colorAt(int(into.x()) - 2, int(into.y() + into.height() / 2)).b, 0.95);
        EXPECT_LT(image.colorAt(int(into.x()) + 2, int(into.y() + into.height() / 2)).b +
                      image.colorAt(int(into.x()) + 2, int(into.y() + into.height() / 2)).g,
                  1.5);
    }
}

// The resident size of every page worker together is held to a limit. Small pictures of
// photographed pages read their photos from the file itself: those pages of the file must not
// stay counted in the workers' size, or a catalogue read through would pass the limit.
TEST_F(PdfLayerTest, SmallPicturesOfPhotoPagesLeaveTheFileOutOfTheWorkersSize)
{
    // Noise compresses badly: each photo takes megabytes of the file.
    auto noise = gfx::Context::createBitmap(gfx::Size{3000, 2000});
    cairo_surface_t* surface = cairo_get_target(noise->cairo());
    cairo_surface_flush(surface);
    std::mt19937 random(11);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (size_t i = 0, n = size_t(cairo_image_surface_get_stride(surface)) * 2000; i < n; ++i)
        data[i] = (i % 4 == 3) ? 0xFF : (unsigned char)(random() & 0xFF);
    cairo_surface_mark_dirty(surface);
    auto jpeg = noise->makeImage().jpegData(0.9);
    ASSERT_GT(jpeg.size(), size_t(4) << 20);
    pdffix::DocumentPlan plan;
    plan.jpeg.assign(jpeg.begin(), jpeg.end());
    plan.jpegWidth = 3000;
    plan.jpegHeight = 2000;
    plan.jpegPerPage = true;
    for (int i = 0; i < 4; ++i) {
        pdffix::PagePlan page;
        page.media = {0, 0, 600, 400};
        page.imageRef = 1;
        plan.pages.push_back(page);
    }
    std::string path = write("photos.pdf", pdffix::build(plan));
    auto document = open(path);
    ASSERT_TRUE(document);
    auto fileResident = [] {
        size_t total = 0;
        for (pid_t worker : pdf::PageWorkers::shared().workerIds()) {
            std::ifstream status("/proc/" + std::to_string(worker) + "/status");
            for (std::string line; std::getline(status, line);)
                if (line.rfind("RssFile:", 0) == 0)
                    total += size_t(std::stoull(line.substr(8))) << 10;
        }
        return total;
    };
    ASSERT_TRUE(document->page(1));
    size_t before = fileResident();
    for (int number = 1; number <= 4; ++number) {
        auto page = document->page(number);
        ASSERT_TRUE(page);
        auto context = gfx::Context::createBitmap(gfx::Size{60, 40});
        ASSERT_EQ(page->drawOnPaper(*context, gfx::Rect(0, 0, 60, 40)), pdf::DrawOutcome::Drawn);
        // Drawn, not left blank.
        gfx::Color middle = context->makeImage().colorAt(30, 20);
        EXPECT_LT(middle.r + middle.g + middle.b, 2.9);
    }
    EXPECT_LT(fileResident(), before + jpeg.size());
}

TEST_F(PdfLayerTest, DamagedAndForeignFilesAreNotPdf)
{
    std::string good = pdffix::textPdf(3);
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (auto& c : noise)
        c = char(random());
    struct Case {
        std::string name;
        std::string bytes;
    } cases[] = {
        {"random.pdf", noise},
        {"empty.pdf", ""},
        {"header-only.pdf", good.substr(0, 20)},
        {"torn.pdf", good.substr(0, 200)},
        {"text.pdf", "%PDF-1.4\nthis is not a document at all\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto result = Document::open(write(c.name, c.bytes));
        EXPECT_EQ(result.status, Document::Status::NotPdf);
        EXPECT_FALSE(result.document);
    }
    EXPECT_EQ(Document::open((m_dir / "missing.pdf").string()).status, Document::Status::NotPdf);
    EXPECT_EQ(Document::open("").status, Document::Status::NotPdf);
}

TEST_F(PdfLayerTest, PasswordsUnlockOnlyWhatTheyShould)
{
    std::string plain = write("plain.pdf", pdffix::textPdf(2));
    auto user = m_dir / "user.pdf";
    auto owner = m_dir / "owner.pdf";
    ASSERT_TRUE(pdffix::encryptedCopy(plain, user, "secret", "boss"));
    ASSERT_TRUE(pdffix::encryptedCopy(plain, owner, "", "boss"));
    struct Case {
        std::string path;
        std::optional<std::string> password;
        Document::Status status;
    } cases[] = {
        {user.string(), std::nullopt, Document::Status::Locked},
        {user.string(), "wrong", Document::Status::Locked},
        {user.string(), "secret", Document::Status::Opened},
        {user.string(), "boss", Document::Status::Opened},
        {owner.string(), std::nullopt, Document::Status::Opened},
        {plain, "anything", Document::Status::Opened},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " " + c.password.value_or("(none)"));
        auto result = Document::open(c.path, c.password);
        EXPECT_EQ(result.status, c.status);
        if (c.status == Document::Status::Opened) {
            ASSERT_TRUE(result.document);
            EXPECT_EQ(result.document->pageCount(), 2);
            EXPECT_TRUE(result.document->page(1));
        }
    }
}

TEST_F(PdfLayerTest, RelativePathsOpen)
{
    write("rel.pdf", pdffix::textPdf(1));
    auto here = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path());
    auto result = Document::open("rel.pdf");
    std::filesystem::current_path(here);
    EXPECT_EQ(result.status, Document::Status::Opened);
}

// Eight threads each render every page of their own copy; the sanitizer runs watch for races
// in poppler's shared state.
TEST_F(PdfLayerTest, ThreadsRenderTheirOwnCopies)
{
    pdf::warmUp();
    std::string bytes = pdffix::linkPdf();
    std::vector<std::string> paths;
    for (int i = 0; i < 8; ++i)
        paths.push_back(write("copy" + std::to_string(i) + ".pdf", bytes));
    std::vector<int> inked(paths.size(), 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < paths.size(); ++i) {
        threads.emplace_back([&, i] {
            auto result = Document::open(paths[i]);
            if (!result.document)
                return;
            for (int n = 1; n <= result.document->pageCount(); ++n) {
                auto page = result.document->page(n);
                auto bitmap = gfx::Context::createBitmap(gfx::Size{153, 198});
                page->draw(*bitmap, gfx::Rect(0, 0, 153, 198));
                (void)page->links(gfx::Rect(0, 0, 153, 198));
                auto image = bitmap->makeImage();
                // The title's ink at the top left.
                for (int y = 0; y < 40; ++y)
                    for (int x = 0; x < 100; ++x)
                        if ((image.pixelAt(x, y) >> 24) > 0x80) {
                            ++inked[i];
                            x = 100;
                            y = 40;
                        }
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int count : inked)
        EXPECT_EQ(count, 6);
}

} // namespace
