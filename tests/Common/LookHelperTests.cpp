#include "tests/App/AppWindowTestSupport.h"
#include "tests/Support/PicturesArrived.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/Device.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using apptest::AppWindowTest;

class LookHelperTest : public AppWindowTest {
protected:
    static gfx::Image picture(gfx::Size size)
    {
        auto context = gfx::Context::createBitmap(size, 1);
        context->setFillColor(gfx::Color::blue());
        context->fillRect({{0, 0}, size});
        return context->makeImage();
    }
};

struct Style {
    const char* name;
    void (*apply)(ui::Button*);
    double height;
    gfx::EdgeInsets caps;
    gfx::EdgeInsets titleInsets;
};

const Style kStyles[] = {
    {"H30", PublicFunction::initializeToButtonHeight30, 30, {0, 5, 0, 5}, {}},
    {"H34", PublicFunction::initializeToButtonHeight34, 34, {0, 5, 0, 5}, {}},
    {"Back", PublicFunction::initializeToBackButtonHeight34, 34, {0, 16, 0, 5}, {0, 10, 0, 0}},
    {"Forward", PublicFunction::initializeToForwardButtonHeight34, 34, {0, 5, 0, 16}, {0, 0, 0, 10}},
};

TEST_F(LookHelperTest, ButtonStylesSetTitleLookAndStretchTheirPictures)
{
    auto sheet = std::make_shared<ui::View>(gfx::Rect(0, 0, 560, 60));
    sheet->setBackgroundColor(gfx::Color::fromWhite(0.93));
    window->addSubview(sheet);
    double x = 10;
    for (const Style& style : kStyles) {
        auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(x, 12, 120, style.height));
        style.apply(button.get());
        button->setTitle(style.name);
        sheet->addSubview(button);
        x += 135;
        EXPECT_EQ(button->titleColorForState(ui::ControlStateNormal), gfx::Color::white()) << style.name;
        EXPECT_EQ(button->titleLabel().font(), gfx::Font::boldSystemFont(15)) << style.name;
        EXPECT_EQ(button->contentHorizontalAlignment(), ui::ContentHorizontalAlignment::Center);
        EXPECT_EQ(button->backgroundColor(), gfx::Color::clear()) << style.name;
        gfx::Image background = button->backgroundImageForState(ui::ControlStateNormal);
        ASSERT_FALSE(background.isNull()) << style.name;
        EXPECT_EQ(background.size().height, style.height) << style.name;
        EXPECT_EQ(background.capInsets(), style.caps) << style.name;
        EXPECT_EQ(button->titleEdgeInsets(), style.titleInsets) << style.name;
    }
    gfx::Image shot = window->snapshot();
    // Every button is drawn with its picture: opaque navy in its middle.
    for (int i = 0; i < 4; ++i) {
        gfx::Color middle = shot.colorAt(10 + 135 * i + 100, 20);
        EXPECT_GT(middle.b, middle.r + 0.2) << kStyles[i].name;
    }
    // The back button's title sits 10 points further from the arrow end.
    auto* back = static_cast<ui::Button*>(sheet->subviews()[2].get());
    auto* plain = static_cast<ui::Button*>(sheet->subviews()[1].get());
    back->setTitle("H34");
    back->layoutIfNeeded();
    plain->layoutIfNeeded();
    EXPECT_NEAR(back->titleLabel().frame().midX() - plain->titleLabel().frame().midX(), 5, 0.51);
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
        EXPECT_EQ(shot.writePng(std::string(review) + "/button_styles.png"), nullptr);
    }
}

TEST_F(LookHelperTest, AClientSkinReplacesTheBundledPicture)
{
    gfx::Image bundled = SkinManager::skinFromImageName(std::string("Button-default_H34.png"));
    ASSERT_FALSE(bundled.isNull());
    auto skin = useClientSkin("Acme"); // folders are the client id in lower case
    ASSERT_EQ(skin.parent_path().filename(), "acme");
    writeSolidPng(skin / "Button-default_H34.png", {12, 34}, 0, 200, 0);
    ui::Button button;
    PublicFunction::initializeToButtonHeight34(&button);
    gfx::Image shown = button.backgroundImageForState(ui::ControlStateNormal);
    ASSERT_TRUE(testsupport::picturesArrived());
    EXPECT_EQ(shown.size(), (gfx::Size{12, 34}));
    EXPECT_EQ(shown.colorAt(6, 17), gfx::Color::fromRgb(0, 200, 0));

    // Blank names, and names that could leave the skin folder, give nothing.
    EXPECT_TRUE(SkinManager::skinFromImageName(std::string("  ")).isNull());
    EXPECT_TRUE(SkinManager::skinFromImageName(std::string("../acme/SkinImages/Button-default_H34.png")).isNull());
}

TEST_F(LookHelperTest, CapsAreInsetsFromVersionFiveAndWholeLeftTopCapsBefore)
{
    gfx::Image image = picture({40, 34});
    EXPECT_EQ(PublicFunction::resizeImageWithCapInsets(image, {2.7, 16.6, 0, 5}).capInsets(),
              (gfx::EdgeInsets{2.7, 16.6, 0, 5}));
    base::Device older = base::Device::current();
    older.systemVersion = "4.3.3";
    base::Device::setCurrent(older);
    gfx::EdgeInsets caps = PublicFunction::resizeImageWithCapInsets(image, {2.7, 16.6, 0, 5}).capInsets();
    base::Device::setCurrent(std::nullopt);
    EXPECT_EQ(caps.left, 16);
    EXPECT_EQ(caps.top, 2);
    EXPECT_EQ(caps.right, 40 - 16 - 1); // one stretching column
}

TEST_F(LookHelperTest, ThemeColourIsTheTopBarsPremultipliedPixelElseDarkGrey)
{
    auto skin = useClientSkin();
    writeSolidPng(skin / "topbar-bg.png", {1, 1}, 255, 0, 0, 128);
    // Once the skin's bar has arrived; the application's own is taken meanwhile.
    PublicFunction::colorOfMainTheme();
    ASSERT_TRUE(testsupport::picturesArrived());
    gfx::Color theme = PublicFunction::colorOfMainTheme();
    EXPECT_NEAR(theme.r, 0.5, 0.01);
    EXPECT_NEAR(theme.g, 0, 0.01);
    EXPECT_NEAR(theme.b, 0, 0.01);
    EXPECT_NEAR(theme.a, 0.5, 0.01);

    // The bundled bar, a navy.
    LoginMode::sharedInstance()->setClientID("");
    gfx::Color bundled = PublicFunction::colorOfMainTheme();
    EXPECT_EQ(bundled.a, 1);
    EXPECT_GT(bundled.b, bundled.r);

    basetest::TempDir emptyBundle;
    basetest::ScopedEnv noPictures("BRIVANTA_BUNDLE", emptyBundle.path().string());
    EXPECT_EQ(PublicFunction::colorOfMainTheme(), gfx::Color::darkGray());
}

TEST_F(LookHelperTest, StrikeLineSpansTheTextAsDrawnAndRemovalClearsTheLabel)
{
    const gfx::Font font = gfx::Font::systemFont(15);
    // The line runs from the first digit's ink to the last's, at most a point past either,
    // and never outside the label: a price at a cell's edge keeps its line inside the cell.
    struct Case {
        const char* name;
        double labelWidth;
        gfx::TextAlignment alignment;
    };
    const Case cases[] = {
        {"left", 200, gfx::TextAlignment::Left},
        {"right", 200, gfx::TextAlignment::Right},
        {"centre", 200, gfx::TextAlignment::Center},
        {"narrower than the text", 60, gfx::TextAlignment::Left},
    };
    constexpr double kScale = 4;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto label = std::make_shared<ui::Label>(gfx::Rect(0, 0, c.labelWidth, 30));
        label->setText("$1,250.00");
        label->setFont(font);
        label->setTextAlignment(c.alignment);
        // Where the text's ink is, as drawn.
        gfx::Image drawn = label->snapshotImage(kScale);
        ASSERT_FALSE(drawn.isNull());
        double inkLeft = c.labelWidth, inkRight = 0;
        for (int x = 0; x < drawn.pixelWidth(); ++x)
            for (int y = 0; y < drawn.pixelHeight(); ++y)
                if (gfx::Color p = drawn.colorAt(x, y); p.a * (1 - (p.r + p.g + p.b) / 3) > 0.25) {
                    inkLeft = std::min(inkLeft, x / kScale);
                    inkRight = std::max(inkRight, (x + 1) / kScale);
                }
        ASSERT_LT(inkLeft, inkRight);
        PublicFunction::addDeletionLineToLabel(label.get());
        ASSERT_EQ(label->subviews().size(), 1u);
        auto* line = dynamic_cast<ui::ImageView*>(label->subviews()[0].get());
        ASSERT_NE(line, nullptr);
        gfx::Rect f = line->frame();
        EXPECT_GE(f.x(), 0);
        EXPECT_LE(f.maxX(), c.labelWidth);
        EXPECT_LE(f.x(), inkLeft + 0.3);
        EXPECT_GE(f.x(), std::min(inkLeft, c.labelWidth) - 1);
        EXPECT_GE(f.maxX(), std::min(inkRight, c.labelWidth) - 0.3);
        if (c.labelWidth >= 200) { // a clipped text's line spans the label
            EXPECT_LE(f.maxX(), inkRight + 1) << "the line runs past the last digit";
        }
        EXPECT_EQ(f.y(), 15);
        EXPECT_EQ(f.height(), 2);
        EXPECT_FALSE(line->image().isNull());
        PublicFunction::removeDeletionLineFromLabel(label.get());
        EXPECT_TRUE(label->subviews().empty());
    }
}

TEST_F(LookHelperTest, ShakingAddsTheEndlessWiggleAndStoppingRemovesIt)
{
    auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, 60, 60));
    view->addAnimation(ui::LayerAnimation::make("opacity"), "fade");
    PublicFunction::setViewShakingShaking(view.get(), true);
    auto wiggle = view->animationForKey("wiggle");
    ASSERT_NE(wiggle, nullptr);
    EXPECT_EQ(view->animationForKey("fade"), nullptr);
    EXPECT_EQ(wiggle->values, (std::vector<double>{-0.03, 0.03}));
    EXPECT_EQ(wiggle->duration, 0.1);
    EXPECT_TRUE(wiggle->autoreverses);
    EXPECT_TRUE(std::isinf(wiggle->repeatCount));
    PublicFunction::setViewShakingShaking(view.get(), false);
    EXPECT_EQ(view->animationForKey("wiggle"), nullptr);
}

TEST_F(LookHelperTest, DialIsAddedOnceAndHidingRestoresTouches)
{
    auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, 200, 200));
    auto cover = std::make_shared<ui::View>(gfx::Rect(0, 0, 200, 200));
    auto indicator = std::make_shared<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::Gray);
    view->addSubview(indicator);
    view->addSubview(cover);
    PublicFunction::showDialIndicatorView(view.get(), indicator);
    PublicFunction::showDialIndicatorView(view.get(), indicator);
    EXPECT_EQ(view->subviews().size(), 2u);
    EXPECT_EQ(view->subviews().back(), indicator);
    EXPECT_FALSE(view->isUserInteractionEnabled());

    auto fresh = std::make_shared<ui::ActivityIndicator>();
    PublicFunction::showDialIndicatorView(view.get(), fresh);
    EXPECT_TRUE(fresh->isAnimating());
    PublicFunction::hideDialIndicatorView(view.get(), fresh);
    EXPECT_EQ(fresh->superview(), nullptr);
    EXPECT_FALSE(fresh->isAnimating());
    EXPECT_TRUE(view->isUserInteractionEnabled());
}

TEST_F(LookHelperTest, FindsTheNthSubviewOfAClassOrItsSubclasses)
{
    auto view = std::make_shared<ui::View>();
    auto first = std::make_shared<ui::Label>();
    auto button = std::make_shared<ui::Button>();
    auto second = std::make_shared<ui::Label>();
    for (auto v : std::vector<std::shared_ptr<ui::View>>{first, button, second})
        view->addSubview(v);
    EXPECT_EQ(PublicFunction::findSubViewInOfClassIndex<ui::Label>(view.get(), 0), first);
    EXPECT_EQ(PublicFunction::findSubViewInOfClassIndex<ui::Label>(view.get(), 1), second);
    EXPECT_EQ(PublicFunction::findSubViewInOfClassIndex<ui::Label>(view.get(), 2), nullptr);
    EXPECT_EQ(PublicFunction::findSubViewInOfClassIndex<ui::Control>(view.get(), 0), button);
    EXPECT_EQ(PublicFunction::findSubViewInOfClassIndex<ui::View>(view.get(), 2), second);

    ui::AlertView alert("Title", "Message", nullptr, "OK");
    PublicFunction::setTextAlignmentForAlertView(gfx::TextAlignment::Left, &alert);
    EXPECT_EQ(alert.messageLabel().textAlignment(), gfx::TextAlignment::Left);
    EXPECT_EQ(alert.titleLabel().textAlignment(), gfx::TextAlignment::Center);
}

TEST_F(LookHelperTest, PicturesShrinkToFitTwiceTheSizeOnADoubleScreen)
{
    EXPECT_FALSE(PublicFunction::isRetinaDisplay());
    gfx::Image wide = picture({400, 200});
    EXPECT_EQ(PublicFunction::scaleImageToFitSize(wide, {100, 100}).size(), (gfx::Size{100, 50}));
    gfx::Image small = picture({50, 50});
    EXPECT_EQ(PublicFunction::scaleImageToFitSize(small, {100, 100}).cairoSurface(), small.cairoSurface());
    EXPECT_TRUE(PublicFunction::imageIsNeedToScaleToFitSize(small, {100, 100}));
    window->setScale(2);
    EXPECT_TRUE(PublicFunction::isRetinaDisplay());
    gfx::Image doubled = PublicFunction::scaleImageToFitSize(wide, {100, 100});
    EXPECT_EQ(doubled.size(), (gfx::Size{200, 100}));
    EXPECT_EQ(doubled.scale(), 1);
}

TEST_F(LookHelperTest, ImageViewsFitOrCentreTheirPictures)
{
    ui::ImageView imageView(gfx::Rect(0, 0, 100, 80));
    PublicFunction::ImageViewFitImgImg(&imageView, picture({40, 30}));
    EXPECT_EQ(imageView.contentMode(), ui::ContentMode::Center);
    PublicFunction::ImageViewFitImgImg(&imageView, picture({40, 80})); // as high as the view
    EXPECT_EQ(imageView.contentMode(), ui::ContentMode::ScaleAspectFit);

    auto holder = std::make_shared<ui::View>(gfx::Rect(10, 10, 100, 100));
    holder->addSubview(std::make_shared<ui::Label>());
    PublicFunction::ImageViewSetImgImg(holder.get(), picture({300, 100}));
    ASSERT_EQ(holder->subviews().size(), 1u);
    auto* shown = dynamic_cast<ui::ImageView*>(holder->subviews()[0].get());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->frame().size, (gfx::Size{100, 34}));
    EXPECT_EQ(shown->center(), (gfx::Point{50, 50}));
    // Small pictures keep their size, centred on whole points.
    auto odd = std::make_shared<ui::View>(gfx::Rect(0, 0, 61, 61));
    PublicFunction::ImageViewSetImgImg(odd.get(), picture({20, 10}));
    EXPECT_EQ(odd->subviews()[0]->frame(), gfx::Rect(20, 25, 20, 10));
    PublicFunction::ImageViewSetImgImg(odd.get(), gfx::Image());
    EXPECT_TRUE(odd->subviews().empty());
}

TEST_F(LookHelperTest, Diagnostics)
{
    EXPECT_FALSE(PublicFunction::isContainChinese(std::string("abc")));
    EXPECT_FALSE(PublicFunction::isContainChinese(std::string("")));
    EXPECT_FALSE(PublicFunction::isContainChinese(std::nullopt));
    EXPECT_TRUE(PublicFunction::isContainChinese(std::string("价格")));

    {
        base::ScopedLogCapture log;
        PublicFunction::showCurrentMemory();
        ASSERT_EQ(log.lines().size(), 1u);
        std::smatch match;
        std::string line = log.lines()[0];
        ASSERT_TRUE(std::regex_match(line, match, std::regex(R"(Memory used: ([0-9.]+)M)"))) << line;
        EXPECT_GT(std::stod(match[1]), 1.0);
    }

    PublicFunction::LOGFunctionLineNumberFormat("/src/Catalog/ProductPage.cpp", "loadPrices", 42, "%d rows, %s", 7,
                                                "done");
    PublicFunction::LOGFunctionLineNumberFormat("Other.cpp", "second", 9, "again");
    std::vector<std::filesystem::path> logs;
    for (auto& entry : std::filesystem::directory_iterator(m_home.path() / "Documents"))
        if (std::regex_match(entry.path().filename().string(), std::regex(R"(\d{8}_\d{6}\.txt)")))
            logs.push_back(entry.path());
    ASSERT_EQ(logs.size(), 1u);
    std::ifstream in(logs[0]);
    std::stringstream content;
    content << in.rdbuf();
    std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})";
    EXPECT_TRUE(std::regex_match(content.str(), std::regex(stamp + " ProductPage.cpp:42 loadPrices \n7 rows, done\n\n"
                                                           + stamp + " Other.cpp:9 second \nagain\n\n")))
        << content.str();
}

} // namespace
