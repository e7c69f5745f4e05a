// A client's realistic skin (tests' data) on every screen of the main bar, looked at as drawn:
// each skin picture comes, shows at the size it has, and the frames made from it are right
// from the first frame on.
#include "Widgets/BRCheckBoxView.h"
#include "Common/LanguageManager.h"
#include "Platform/UI/Label.h"
#include "tests/App/MainScreenTestSupport.h"
#include "tests/Support/PicturesArrived.h"

#include "Classes/Catalog/ProductDetailController.h"
#include "Classes/Catalog/ProductPageRoad.h"
#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "tests/Support/DamagedPictures.h"
#include "tests/Support/LargePictures.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/DecodeBudget.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>

namespace {

using apptest::MainScreenTest;

struct SkinPicture {
    std::string name;
    gfx::Size size;
    bool ownSize; // shown at its own size, not stretched over a bar or a background
};

std::filesystem::path skinData()
{
    return std::filesystem::path(BRIVANTA_TEST_DATA_DIR) / "client_skin";
}

std::vector<SkinPicture> listedPictures()
{
    std::vector<SkinPicture> out;
    std::ifstream in(skinData() / "sizes.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        SkinPicture p;
        std::string how;
        fields >> p.name >> p.size.width >> p.size.height >> how;
        p.ownSize = how == "own";
        out.push_back(p);
    }
    return out;
}

// Each view on screen that shows the picture (as an image or a button's background), with the
// size it gives it.
void viewsShowing(ui::View& view, const gfx::Image& picture, std::vector<std::pair<ui::View*, gfx::Image>>& out)
{
    if (view.isHidden())
        return;
    std::vector<gfx::Image> shown;
    if (auto* image = dynamic_cast<ui::ImageView*>(&view))
        shown.push_back(image->image());
    if (auto* button = dynamic_cast<ui::Button*>(&view))
        shown.push_back(button->currentBackgroundImage());
    for (const auto& image : shown)
        if (image.sharesArrivalWith(picture))
            out.emplace_back(&view, image);
    for (const auto& sub : view.subviews())
        viewsShowing(*sub, picture, out);
}

class ClientSkinLookTest : public MainScreenTest {
protected:
    // The screen as it is now, at its first frame and once its pictures came.
    void lookAt(ui::Window& window, const std::vector<SkinPicture>& pictures, const std::string& shot,
                std::set<std::string>& seen)
    {
        SCOPED_TRACE(shot);
        window.layoutIfNeeded();
        // Before any decode came back, frames made from a skin picture already have its size.
        for (const auto& p : pictures) {
            std::vector<std::pair<ui::View*, gfx::Image>> showing;
            viewsShowing(window, SkinManager::skinFromImageName(p.name), showing);
            for (auto& [view, image] : showing) {
                if (p.ownSize && image.awaitsPicture() && !image.isStretchable()) {
                    EXPECT_EQ(view->bounds().size, p.size) << p.name << " before it came";
                }
            }
        }
        settle();
        ASSERT_TRUE(testsupport::picturesArrived());
        settle();
        driver->screenshot(reviewPath("client_skin_" + shot + ".png"));
        for (const auto& p : pictures) {
            SCOPED_TRACE(p.name);
            gfx::Image picture = SkinManager::skinFromImageName(p.name);
            EXPECT_FALSE(picture.awaitsPicture());
            EXPECT_EQ(picture.size(), p.size);
            std::vector<std::pair<ui::View*, gfx::Image>> showing;
            viewsShowing(window, picture, showing);
            for (auto& [view, image] : showing) {
                seen.insert(p.name);
                if (p.ownSize && !image.isStretchable()) {
                    EXPECT_EQ(view->bounds().size, p.size);
                }
            }
        }
    }
};

TEST_F(ClientSkinLookTest, EverySkinPictureComesAndShowsAtItsOwnSizeOnEveryScreen)
{
    const auto pictures = listedPictures();
    ASSERT_EQ(pictures.size(), 6u);
    std::filesystem::path skin = documents() / kDemoClient / "SkinImages";
    std::filesystem::remove_all(skin);
    std::filesystem::create_directories(skin);
    for (const auto& p : pictures)
        std::filesystem::copy_file(skinData() / "SkinImages" / p.name, skin / p.name);
    loginAsDemo();
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    ui::Window& window = *app->window();

    std::set<std::string> seen;
    for (auto& item : std::vector<std::shared_ptr<TabBarItemButton>>(tabs->itmeButtonArray())) {
        if (item->isHidden() || item->tag() == 6)
            continue; // the sync tab opens the sync screen instead of selecting
        SCOPED_TRACE(item->title());
        tabs->selectTab(item->tag());
        lookAt(window, pictures, "tab" + std::to_string(item->tag()), seen);
        if (item->tag() == 4) {
            // Ticked, "Hide my documents" shows the skin's other box, at its size at once too.
            ui::View* label = driver->findByText(text("HIDELOCALFILES"));
            ASSERT_TRUE(driver->tap(label));
            lookAt(window, pictures, "tab4_ticked", seen);
            // The skin's larger box leaves its text whole beside it.
            auto* box = dynamic_cast<BRCheckBoxView*>(label->superview());
            ASSERT_NE(box, nullptr);
            EXPECT_GE(box->textLabel().frame().x(), box->checkBoxImageView().frame().maxX());
            // In Chinese too, the text whole beside the box.
            LanguageManager::sharedInstance()->setCurrentLanguage(2);
            driver->wait(0.5);
            driver->screenshot(reviewPath("client_skin_tab4_ticked_cn.png"));
            EXPECT_EQ(box->textLabel().text(), text("HIDELOCALFILES"));
            EXPECT_GE(box->textLabel().frame().x(), box->checkBoxImageView().frame().maxX());
            EXPECT_LE(box->textLabel().sizeThatFits({1000, 20}).width, box->textLabel().frame().width());
            LanguageManager::sharedInstance()->setCurrentLanguage(1);
            driver->wait(0.5);
        }
    }
    // Every picture of the skin is on some screen.
    for (const auto& p : pictures)
        EXPECT_TRUE(seen.count(p.name)) << p.name << " shown nowhere";
}

// A client's check-box pictures whose headers promise a picture as large as the screen, and
// that end as the application's own.
using PictureWriter = std::function<void(const std::filesystem::path&)>;

// A picture of a screen and more, with something on every row, as a PNG.
base::Bytes largePng()
{
    auto ctx = gfx::Context::createBitmap({1600, 1200}, 1);
    ctx->fillLinearGradient(gfx::Rect(0, 0, 1600, 1200), {0, 0}, {1600, 1200},
                            {{0, gfx::Color{0.9, 0.4, 0.1, 1}}, {1, gfx::Color{0.1, 0.2, 0.8, 1}}});
    return ctx->makeImage().pngData();
}

void writeBytes(const std::filesystem::path& path, const base::Bytes& bytes)
{
    ASSERT_TRUE(base::FileManager::writeAtomically(path, bytes));
}

// A GIF of 1600 x 1200 whose file ends in its first block of picture data.
void cutOffGif(const std::filesystem::path& path)
{
    base::Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x40, 0x06, 0xb0, 0x04, 0x80, 0, 0,
                       0, 0, 0, 0xff, 0xff, 0xff, // two colours
                       0x2c, 0, 0, 0, 0, 0x40, 0x06, 0xb0, 0x04, 0,
                       2, 0xff, 0x84, 0x8f, 0xa9, 0xcb, 0xed};
    writeBytes(path, gif);
}

// A PNG whose picture data no longer matches its checksums: a byte of it changed, as a
// transfer that garbles one would leave it.
void pngFailingItsChecksum(const std::filesystem::path& path)
{
    base::Bytes png = largePng();
    std::string text(png.begin(), png.end());
    size_t data = text.find("IDAT");
    ASSERT_NE(data, std::string::npos);
    png[data + 4 + 40] ^= 0x5a;
    writeBytes(path, png);
}

void wholePng(const std::filesystem::path& path)
{
    writeBytes(path, largePng());
}

struct FailingBox {
    const char* name;
    PictureWriter write;
    size_t budget; // the decode budget while the pictures come (0: as it is)
};

const FailingBox kFailingBoxes[] = {
    {"cut_off_gif", cutOffGif, 0},
    {"png_failing_its_checksum", pngFailingItsChecksum, 0},
    {"refused_by_the_budget", wholePng, size_t(4) << 20},
};

void PrintTo(const FailingBox& box, std::ostream* os)
{
    *os << box.name;
}

class FailingCheckBoxTest : public ClientSkinLookTest, public ::testing::WithParamInterface<FailingBox> {};

// The "Hide my documents" box measured the size the pictures' headers gave while they were on
// their way; once they fail, it is drawn at the application's own box's size with its text
// beside it, ticked as unticked, and the log says why each picture was left out.
TEST_P(FailingCheckBoxTest, IsDrawnAtItsStandInsSizeWithItsTextBesideIt)
{
    const FailingBox& failing = GetParam();
    std::filesystem::path skin = documents() / kDemoClient / "SkinImages";
    std::filesystem::remove_all(skin);
    std::filesystem::create_directories(skin);
    for (const char* name : {"cb_box_off", "cb_box_on"})
        failing.write(skin / name);
    base::ScopedLogCapture log;
    struct Budget {
        size_t was = gfx::DecodeBudget::shared().limit();
        ~Budget() { gfx::DecodeBudget::shared().setLimit(was); }
    } budget;
    if (failing.budget)
        gfx::DecodeBudget::shared().setLimit(failing.budget);
    loginAsDemo();
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    tabs->selectTab(4);
    auto* box = dynamic_cast<BRCheckBoxView*>(driver->findByClass("BRCheckBoxView"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->textLabel().text(), text("HIDELOCALFILES"));
    for (bool ticked : {false, true}) {
        SCOPED_TRACE(ticked ? "ticked" : "unticked");
        if (ticked) {
            // Its text takes the tap; a box drawn over it would take it instead.
            ASSERT_TRUE(driver->tap(&box->textLabel()));
        }
        settle();
        ASSERT_TRUE(testsupport::picturesArrived());
        settle();
        driver->screenshot(reviewPath(std::string("failing_box_") + failing.name + (ticked ? "_ticked" : "") + ".png"));
        gfx::Image standIn = SkinManager::bundledImageNamed(ticked ? "cb_box_on" : "cb_box_off");
        ASSERT_FALSE(standIn.isNull());
        EXPECT_EQ(box->checked(), ticked);
        EXPECT_EQ(box->checkBoxImageView().image().size(), standIn.size());
        EXPECT_EQ(box->checkBoxImageView().frame(), BRCheckBoxView::imageViewFrameForCheckBoxImage(standIn));
        EXPECT_GE(box->textLabel().frame().x(), box->checkBoxImageView().frame().maxX());
        EXPECT_LE(box->textLabel().sizeThatFits({1000, 20}).width, box->textLabel().frame().width());
    }
    for (const char* name : {"cb_box_off", "cb_box_on"})
        EXPECT_TRUE(log.contains(std::string("SkinManager: ") + name + " is left out")) << name;
}

INSTANTIATE_TEST_SUITE_P(Pictures, FailingCheckBoxTest, ::testing::ValuesIn(kFailingBoxes),
                         [](const ::testing::TestParamInfo<FailingBox>& info) { return std::string(info.param.name); });

// A picture of the given shape, both as the client's check-box pictures and as every
// product's main picture.
struct PictureShape {
    const char* name;
    std::function<base::Bytes()> bytes;
    std::optional<gfx::Size> ownBox; // shown at this size in the box; none: left out for the stand-in
    bool productDefault;             // on the product page, the default picture shows instead
};

base::Bytes smallBoxPng()
{
    auto ctx = gfx::Context::createBitmap({30, 30}, 1);
    ctx->setFillColor(gfx::Color{0.1, 0.6, 0.3, 1});
    ctx->fillRect(gfx::Rect(0, 0, 30, 30));
    return ctx->makeImage().pngData();
}

const PictureShape kPictureShapes[] = {
    {"sound_small_png", smallBoxPng, gfx::Size{30, 30}, false},
    {"sound_4000_png", [] { return largepictures::png(4000, 3, 8); }, std::nullopt, false},
    // The rows a cut-off photo never reached stay clear on the product page, as before.
    {"cut_off_baseline_jpeg", [] { return damagedpictures::cutOff(largepictures::jpeg(1600, false), 0.5); }, std::nullopt,
     false},
    {"cut_off_progressive_jpeg", [] { return damagedpictures::cutOff(largepictures::jpeg(1600, true), 0.5); },
     std::nullopt, false},
    // Too large for a box; on the product page its first frame, whole, is drawn in its corner
    // over a clear screen.
    {"gif_of_10000_frames_ending_early",
     [] { return damagedpictures::cutOff(damagedpictures::manyFrameGif(1024, 768, 10000, 16), 0.6); }, std::nullopt,
     false},
    // Small enough for a box; its first frame, a corner of it, is drawn over a clear screen.
    {"small_gif_of_10000_frames", [] { return damagedpictures::manyFrameGif(40, 30, 10000, 8); }, gfx::Size{40, 30},
     false},
    // Every frame over the whole screen, none of them with a pixel.
    {"gif_of_10000_frames_without_pixels",
     [] { return damagedpictures::framesWithoutPixels(300, 200, 10000, damagedpictures::GifFrame::Data::Absent); },
     std::nullopt, true},
};

void PrintTo(const PictureShape& shape, std::ostream* os)
{
    *os << shape.name;
}

class PictureShapeTest : public ClientSkinLookTest, public ::testing::WithParamInterface<PictureShape> {
protected:
    ~PictureShapeTest() override { ProductDetailController::installPageMaker(); }
};

// Log lines about a skin picture: those that name it, and the decoder's own, which name none.
int linesAbout(const base::ScopedLogCapture& log, const std::string& name)
{
    int count = 0;
    for (const auto& line : log.lines())
        count += line.find(name) != std::string::npos || line.rfind("Image: ", 0) == 0;
    return count;
}

// "Hide my documents" is drawn at its skin picture's size when that is a sound box, else at
// the application's own box's size with one log line for each picture left out; the same
// picture as a product's shows on its page, or the default picture where it cannot be drawn.
TEST_P(PictureShapeTest, SetsTheBoxTheLogAndTheProductPage)
{
    const PictureShape& shape = GetParam();
    const base::Bytes bytes = shape.bytes();
    ASSERT_FALSE(bytes.empty());
    // The demo's catalogue, for its products' pages.
    std::filesystem::create_directories(documents());
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    std::filesystem::path skin = documents() / kDemoClient / "SkinImages";
    std::filesystem::remove_all(skin);
    std::filesystem::create_directories(skin);
    const char* const boxes[] = {"cb_box_off", "cb_box_on"};
    for (const char* name : boxes)
        writeBytes(skin / name, bytes);
    auto log = std::make_unique<base::ScopedLogCapture>();
    loginAsDemo();
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    tabs->selectTab(4);
    auto* box = dynamic_cast<BRCheckBoxView*>(driver->findByClass("BRCheckBoxView"));
    ASSERT_NE(box, nullptr);
    for (bool ticked : {false, true}) {
        SCOPED_TRACE(ticked ? "ticked" : "unticked");
        if (ticked) {
            ASSERT_TRUE(driver->tap(&box->textLabel()));
        }
        settle();
        ASSERT_TRUE(testsupport::picturesArrived());
        settle();
        driver->screenshot(reviewPath(std::string("picture_shape_box_") + shape.name + (ticked ? "_ticked" : "") + ".png"));
        gfx::Image standIn = SkinManager::bundledImageNamed(ticked ? "cb_box_on" : "cb_box_off");
        ASSERT_FALSE(standIn.isNull());
        EXPECT_EQ(box->checked(), ticked);
        gfx::Size expected = shape.ownBox.value_or(standIn.size());
        EXPECT_EQ(box->checkBoxImageView().image().size(), expected);
        EXPECT_EQ(box->checkBoxImageView().frame().size, expected);
        EXPECT_LE(box->frame().maxY(), box->superview()->bounds().height()) << "the box stays on its screen";
        EXPECT_GE(box->textLabel().frame().x(), box->checkBoxImageView().frame().maxX());
        EXPECT_LE(box->textLabel().sizeThatFits({1000, 20}).width, box->textLabel().frame().width());
    }
    for (const char* name : boxes) {
        SCOPED_TRACE(name);
        if (shape.ownBox) {
            EXPECT_EQ(linesAbout(*log, name), 0);
        } else {
            EXPECT_EQ(linesAbout(*log, name), 1) << "one line for each picture left out";
            EXPECT_TRUE(log->contains(std::string("SkinManager: ") + name + " is left out"));
        }
    }
    log.reset();

    // Every product's main picture becomes the shape; a product tapped in the grid opens.
    auto data = DataAccessManager::sharedDataModel();
    ASSERT_TRUE(data);
    int written = 0;
    for (const auto& product : data->getAllProducts()) {
        auto record = data->getImageByKeyId(product.product_id);
        auto path = PublicFunction::filePathWithNameFiletype(record ? record->image_full_address : std::nullopt, 1);
        if (!path)
            continue;
        writeBytes(*path, bytes);
        ++written;
    }
    ASSERT_GT(written, 0);
    std::shared_ptr<ProductDetailController> page;
    ProductPageRoad::setMaker([&page](const ProductPageRequest& request) -> std::shared_ptr<ui::ViewController> {
        page = ProductDetailController::pageForRequest(request);
        return page;
    });
    tabs->selectTab(1);
    settle();
    ASSERT_TRUE(testsupport::picturesArrived());
    ui::View* cell = driver->findByClass("DetailCell");
    ASSERT_NE(cell, nullptr);
    ASSERT_TRUE(driver->tap(cell));
    settle();
    ASSERT_TRUE(page);
    auto record = data->getImageByKeyId(page->productID());
    ASSERT_TRUE(record && record->image_full_address);
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return ScreenPicture::pending() == 0 && page->productImageView(); }, 120));
    settle();
    driver->screenshot(reviewPath(std::string("picture_shape_product_") + shape.name + ".png"));
    gfx::Image shown = page->productImageView()->image();
    ASSERT_FALSE(shown.isNull());
    gfx::Image fallback = PublicFunction::getLocalImageFiletype(std::nullopt, 1);
    ASSERT_FALSE(fallback.isNull());
    bool isDefault = shown.size() == fallback.size() && shown.pngData() == fallback.pngData();
    EXPECT_EQ(isDefault, shape.productDefault);
    EXPECT_EQ(page->mainImageShown(), !shape.productDefault);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PictureShapeTest, ::testing::ValuesIn(kPictureShapes),
                         [](const ::testing::TestParamInfo<PictureShape>& info) { return std::string(info.param.name); });

} // namespace
