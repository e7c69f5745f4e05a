#include "tests/App/SkinTestSupport.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/ImageView.h"
#include "tests/Support/DamagedPictures.h"
#include "tests/Support/LargePictures.h"
#include "tests/Support/Sanitizers.h"

namespace fs = std::filesystem;
using skintest::SkinTest;
using skintest::arrived;
using skintest::picturesArrived;
using skintest::makeZip;
using skintest::writePng;

namespace {

TEST_F(SkinTest, LookupPrefersTheClientsDoubleThenPlainPictureThenTheBundle)
{
    writePng(client / "SkinImages" / "homelogo.png", 10, gfx::Color::red());
    writePng(client / "SkinImages" / "homelogo@2x.png", 20, gfx::Color::blue());
    writePng(client / "SkinImages" / "x.@2x.png", 30, gfx::Color::green());

    atScale(1);
    EXPECT_EQ(arrived(SkinManager::skinFromImageName("homelogo.png")).size(), (gfx::Size{10, 10}));
    atScale(2);
    EXPECT_EQ(arrived(SkinManager::skinFromImageName("homelogo.png")).pixelWidth(), 20);
    // A four-letter extension loses only its last four characters.
    EXPECT_EQ(arrived(SkinManager::skinFromImageName("x.jpeg")).pixelWidth(), 30);
    EXPECT_FALSE(SkinManager::skinFromImageName("x.jpeg.missing"));
    // Then the double picture under the name's own extension, then the plain one.
    writePng(client / "SkinImages" / "x@2x.jpeg", 40, gfx::Color::red());
    writePng(client / "SkinImages" / "x.jpeg", 50, gfx::Color::red());
    EXPECT_EQ(arrived(SkinManager::skinFromImageName("x.jpeg")).pixelWidth(), 30);
    fs::remove(client / "SkinImages" / "x.@2x.png");
    EXPECT_EQ(arrived(SkinManager::skinFromImageName("x.jpeg")).pixelWidth(), 40);
    fs::remove(client / "SkinImages" / "x@2x.jpeg");
    EXPECT_EQ(arrived(SkinManager::skinFromImageName("x.jpeg")).pixelWidth(), 50);
    atScale(1);
    writePng(client / "SkinImages" / "x@2x.jpeg", 40, gfx::Color::red());
    EXPECT_EQ(arrived(SkinManager::skinFromImageName("x.jpeg")).pixelWidth(), 50);
    atScale(2);
    // A name shorter than the cut never reaches beside the skin folder.
    writePng(client / "SkinImage@2x.png", 60, gfx::Color::red());
    EXPECT_FALSE(SkinManager::skinFromImageName("ab"));
    EXPECT_TRUE(SkinManager::hasCustomerImage("homelogo.png"));
    EXPECT_FALSE(SkinManager::hasCustomerImage("topbar-bg.png"));
    EXPECT_FALSE(SkinManager::hasCustomerImage("  "));
    // Not the client's: the application's own.
    gfx::Image bundled = SkinManager::skinFromImageName("topbar-bg.png");
    ASSERT_TRUE(bundled);
    EXPECT_EQ(bundled.pixelWidth(), ui::imageNamed("topbar-bg").pixelWidth());
    EXPECT_FALSE(SkinManager::skinFromImageName(" "));
    EXPECT_FALSE(SkinManager::skinFromImageName(std::nullopt));

    EXPECT_EQ(arrived(SkinManager::getLogoWithClientId("AbC")).pixelWidth(), 20); // the folder is lower case
    EXPECT_FALSE(SkinManager::getLogoWithClientId(""));
    EXPECT_FALSE(SkinManager::getLogoWithClientId("other"));
}

TEST_F(SkinTest, HugeSkinPicturesAreDecodedToTheScreenOrLeftOutForTheDefault)
{
    // A skin of 7990 x 7990 pictures: a 16-bit logo, a high-dynamic-range bar, a GIF, an RGB
    // PNG and a bitmap under the names the screens ask for.
    constexpr int kSide = 7990;
    struct Case {
        const char* name;
        std::function<base::Bytes()> make;
        bool drawn; // else left out, the application's own picture in its place
    };
    const std::vector<Case> cases = {
        {"homelogo.png", [] { return largepictures::png(kSide, 4, 16); }, true},
        {"topbar-bg.png", [] { return largepictures::hdr(kSide); }, true},
        // Over what a picture may hold when decoded whole: left out.
        {"bg-home.png", [] { return largepictures::bmp(kSide); }, false},
        {"input.png", [] { return largepictures::gif(kSide); }, true},
        {"btn_tag.png", [] { return largepictures::png(kSide, 3, 8); }, true},
    };
    fs::create_directories(client / "SkinImages");
    for (const auto& c : cases)
        ASSERT_TRUE(largepictures::writeFile((client / "SkinImages" / c.name).string(), c.make())) << c.name;
    atScale(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gfx::Image picture = arrived(SkinManager::skinFromImageName(std::string(c.name)));
        ASSERT_TRUE(picture);
        gfx::Image own = ui::imageNamed(fs::path(c.name).stem().string());
        if (c.drawn) {
            // At the screen's size, never the file's.
            EXPECT_EQ(picture.pixelWidth(), 1024);
            EXPECT_EQ(picture.pixelHeight(), 1024);
        } else {
            EXPECT_EQ(picture.size(), own.size());
        }
    }
    // The deep logo is read row by row into the screen's size.
    EXPECT_EQ(arrived(SkinManager::getLogoWithClientId("AbC")).pixelWidth(), 1024);

#if !defined(BRIVANTA_TEST_ASAN) && !defined(BRIVANTA_TEST_TSAN)
    // Every screen of a login holding its skin pictures at once stays well inside the bound a
    // login must keep (600 MB for the whole application).
    struct Held {
        int pictures;
    } held {};
    long grown = -1;
    ASSERT_TRUE(largepictures::inChild<Held>([&](Held& h) {
        // Off the main thread, where the lookup decodes at once (a forked child has no workers).
        std::thread([&] {
            std::vector<gfx::Image> screens;
            for (int round = 0; round < 2; ++round)
                for (const auto& c : cases)
                    screens.push_back(SkinManager::skinFromImageName(std::string(c.name)));
            screens.push_back(SkinManager::getLogoWithClientId("AbC"));
            for (auto& picture : screens)
                h.pictures += picture ? 1 : 0;
        }).join();
    }, held, grown));
    EXPECT_EQ(held.pictures, 11) << "the left-out one shows the application's own picture";
    EXPECT_LT(grown, 500L << 20) << grown / 1048576 << " MB";
    std::printf("skin pictures held at their peak: %ld MB\n", grown / 1048576);
#endif
}

TEST_F(SkinTest, UnreadableSkinPicturesAreLeftOutAndTheLogSaysWhy)
{
    struct Case {
        const char* name;
        base::Bytes bytes;
        const char* said;
    };
    const std::vector<Case> cases = {
        {"input.png", {}, "input.png is left out: it is not a picture that can be read (0 bytes)"},
        {"btn_tag.png", {'n', 'o', 't'}, "btn_tag.png is left out: it is not a picture that can be read (3 bytes)"},
    };
    atScale(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(client / "SkinImages");
        ASSERT_TRUE(largepictures::writeFile((client / "SkinImages" / c.name).string(), c.bytes));
        base::ScopedLogCapture log;
        gfx::Image picture = arrived(SkinManager::skinFromImageName(std::string(c.name)));
        EXPECT_EQ(picture.size(), ui::imageNamed(fs::path(c.name).stem().string()).size());
        EXPECT_TRUE(log.contains(c.said));
        EXPECT_FALSE(log.contains("MB")) << "no size for what is no picture";
    }
}

// A failing logo is asked for by the saved-login tile (no stand-in) and the home bar (the
// application's logo in its place), on the main thread and off it: whichever screens show it,
// one line says why it is left out, and a new file under its name has a line of its own.
TEST_F(SkinTest, AFailingSkinPictureIsLoggedOnceWhicheverScreensShowIt)
{
    struct Case {
        const char* what;
        std::function<base::Bytes()> make;
        const char* said;
    };
    const std::vector<Case> cases = {
        {"not a picture", [] { return base::Bytes{'n', 'o', 't'}; }, "it is not a picture that can be read"},
        {"a photo cut off", [] { return damagedpictures::cutOff(largepictures::jpeg(1600, false), 0.5); },
         "ends before the picture does"},
        {"frames without pixels",
         [] { return damagedpictures::framesWithoutPixels(200, 100, 10'000, damagedpictures::GifFrame::Data::Absent); },
         "first frame carries no pixels"},
    };
    atScale(1);
    const fs::path logo = client / "SkinImages" / "homelogo.png";
    fs::create_directories(logo.parent_path());
    auto linesAboutLogo = [](const base::ScopedLogCapture& log) {
        int count = 0;
        for (const auto& line : log.lines())
            count += line.find("homelogo.png") != std::string::npos || line.rfind("Image: ", 0) == 0;
        return count;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (int file = 0; file < 2; ++file) {
            SCOPED_TRACE(file == 0 ? "first file" : "a new file under the name");
            base::Bytes bytes = c.make();
            bytes.resize(bytes.size() + size_t(file)); // another size: another file
            ASSERT_TRUE(largepictures::writeFile(logo.string(), bytes));
            base::ScopedLogCapture log;
            gfx::Image tile = SkinManager::getLogoWithClientId("AbC");
            gfx::Image bar = SkinManager::skinFromImageName(std::string("homelogo.png"));
            ASSERT_TRUE(picturesArrived());
            EXPECT_FALSE(arrived(tile));
            EXPECT_EQ(arrived(bar).size(), ui::imageNamed("homelogo").size());
            std::thread([] {
                EXPECT_FALSE(SkinManager::getLogoWithClientId("AbC"));
                EXPECT_TRUE(SkinManager::skinFromImageName(std::string("homelogo.png")));
            }).join();
            EXPECT_EQ(linesAboutLogo(log), 1);
            EXPECT_TRUE(log.contains("homelogo.png is left out")) << (log.lines().empty() ? "" : log.lines().front());
            EXPECT_TRUE(log.contains(c.said));
        }
    }
}

TEST_F(SkinTest, TheMainThreadShowsTheDefaultAtOnceAndTheSkinWhenItsDecodeEnds)
{
    // Two skin pictures over a small budget: one it takes, one over what a picture may hold.
    struct BudgetBack {
        size_t limit = gfx::DecodeBudget::shared().limit();
        ~BudgetBack() { gfx::DecodeBudget::shared().setLimit(limit); }
    } budgetBack;
    gfx::DecodeBudget::shared().setLimit(size_t(24) << 20);
    writePng(client / "SkinImages" / "topbar-bg.png", 1200, gfx::Color::blue());
    writePng(client / "SkinImages" / "bg-home.png", 2000, gfx::Color::red());
    atScale(1);
    int arrivals = 0;
    auto observer = base::NotificationCenter::defaultCenter().addObserver(
        SkinManager::kPicturesArrivedNotification, nullptr, [&](const base::Notification&) { ++arrivals; });

    struct Case {
        const char* name;
        gfx::Rect frame;
        bool drawn; // else left out: the application's picture stays
        gfx::Color skin;
    };
    const std::vector<Case> cases = {
        {"topbar-bg.png", {0, 0, 1024, 44}, true, gfx::Color::blue()},
        {"bg-home.png", {0, 100, 1024, 600}, false, gfx::Color::red()},
    };
    auto centre = [&](const Case& c) {
        return window->snapshot().colorAt(int(c.frame.midX()), int(c.frame.midY()));
    };
    std::vector<gfx::Image> shown;
    int before = ScreenPicture::pending();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gfx::Image own = ui::imageNamed(fs::path(c.name).stem().string());
        gfx::Image picture = SkinManager::skinFromImageName(std::string(c.name));
        // At once, undecoded: the application's own picture, pixel for pixel, measuring the
        // size the skin's picture will have (fitted to the screen), read from its header.
        ASSERT_TRUE(picture.awaitsPicture());
        EXPECT_EQ(picture.size(), (gfx::Size{1024, 1024}));
        EXPECT_EQ(picture.pixelAt(2, 2), own.pixelAt(2, 2));
        // Asked again meanwhile, the same picture: one decode per file.
        EXPECT_EQ(SkinManager::skinFromImageName(std::string(c.name)).cairoSurface(), picture.cairoSurface());
        auto view = ui::View::make<ui::ImageView>(c.frame);
        view->setImage(picture);
        window->addSubview(view);
        shown.push_back(picture);
    }
    EXPECT_EQ(ScreenPicture::pending(), before + 2);
    for (const auto& c : cases)
        EXPECT_NE(centre(c), c.skin) << c.name;
    EXPECT_TRUE(window->dirtyRegion().isEmpty());

    ASSERT_TRUE(picturesArrived());
    EXPECT_EQ(arrivals, 1) << "one notice for the burst";
    EXPECT_FALSE(window->dirtyRegion().isEmpty()) << "the window is drawn again";
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shown[i].awaitsPicture(), !c.drawn);
        EXPECT_EQ(centre(c) == c.skin, c.drawn);
        // One left out measures as the application's picture it stays.
        gfx::Size measured = c.drawn ? gfx::Size{1024, 1024} : ui::imageNamed(fs::path(c.name).stem().string()).size();
        EXPECT_EQ(shown[i].size(), measured);
        // Kept: a later screen gets the decoded picture at once.
        gfx::Image again = SkinManager::skinFromImageName(std::string(c.name));
        EXPECT_EQ(again.cairoSurface(), shown[i].cairoSurface());
        EXPECT_EQ(ScreenPicture::pending(), 0);
    }
    EXPECT_EQ(shown[0].pixelWidth(), 1024) << "decoded to the screen's size";
}

TEST_F(SkinTest, SkinArchiveUnpacksOnceAndOnlyItsSkinFolder)
{
    fs::path work = m_home.path() / "work";
    writePng(work / "homelogo.png", 8, gfx::Color::red());
    writePng(work / "topbar-bg.png", 8, gfx::Color::blue());
    std::ofstream(work / "evil.sqlite") << "not a database";
    fs::create_directories(client);
    std::ofstream(client / "brivanta_lite.sqlite") << "the client's database";
    makeZip(client / "SkinImages.zip", {{"SkinImages/homelogo.png", work / "homelogo.png"},
                                        {"SkinImages/topbar-bg.png", work / "topbar-bg.png"},
                                        {"brivanta_lite.sqlite", work / "evil.sqlite"},
                                        {"../x", work / "evil.sqlite"}});
    auto skins = SkinManager::sharedInstance();
    skins->initializeSkinImage();
    std::ifstream db(client / "brivanta_lite.sqlite");
    std::string content((std::istreambuf_iterator<char>(db)), {});
    EXPECT_EQ(content, "the client's database");
    EXPECT_FALSE(fs::exists(client.parent_path() / "x"));
    EXPECT_FALSE(fs::exists(client / "x"));

    // A clean archive installs, and the folder then stays without the archive.
    fs::remove_all(client / "SkinImages");
    makeZip(client / "SkinImages.zip", {{"SkinImages/homelogo.png", work / "homelogo.png"},
                                        {"SkinImages/topbar-bg.png", work / "topbar-bg.png"}});
    EXPECT_TRUE(skins->initializeSkinImage());
    EXPECT_TRUE(gfx::Image::fromFile((client / "SkinImages" / "topbar-bg.png").string()));
    fs::remove(client / "SkinImages.zip");
    EXPECT_TRUE(skins->initializeSkinImage());
    for (auto& entry : fs::directory_iterator(client))
        EXPECT_NE(entry.path().filename().string().rfind(".skin-", 0), 0u) << "staging left behind";

    // A truncated archive leaves no skin folder, so the next login tries again.
    fs::remove_all(client / "SkinImages");
    makeZip(client / "SkinImages.zip", {{"SkinImages/homelogo.png", work / "homelogo.png"}});
    fs::resize_file(client / "SkinImages.zip", fs::file_size(client / "SkinImages.zip") / 2);
    EXPECT_FALSE(skins->initializeSkinImage());
    EXPECT_FALSE(fs::exists(client / "SkinImages"));
}

TEST_F(SkinTest, SignaturePicturesGoToTextAndBack)
{
    auto ctx = gfx::Context::createBitmap({300, 150}, 1);
    ctx->setFillColor(gfx::Color::white());
    ctx->fillRect({0, 0, 300, 150});
    ctx->setStrokeColor(gfx::Color::black());
    ctx->setLineWidth(3);
    ctx->strokeLine({20, 100}, {280, 40});
    auto text = SkinManager::image2String(ctx->makeImage());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("/9j/", 0), 0u);
    EXPECT_EQ(SkinManager::string2Image(text).size(), (gfx::Size{300, 150}));
    EXPECT_FALSE(SkinManager::image2String(gfx::Image()));
    EXPECT_FALSE(SkinManager::string2Image(std::nullopt));
    EXPECT_FALSE(SkinManager::string2Image("not base64 at all!"));
}

} // namespace
