#include "tests/App/MainScreenTestSupport.h"
#include "tests/Support/PicturesArrived.h"

#include "Common/SkinManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace {

using apptest::MainScreenTest;

class ReadableSkinTest : public MainScreenTest {
protected:
    // How small text in the area (in points) reads in a shot taken at `scale` pixels a point:
    // the contrast against the bar that the strongest tenth of its ink pixels (those that
    // stand out from the bar at all) reach; a stroke's core, not one lucky pixel.
    static double inkContrast(const gfx::Image& shot, const gfx::Rect& area, const gfx::Color& bar, double scale = 1)
    {
        std::vector<double> ink;
        for (int y = static_cast<int>(area.y() * scale); y < static_cast<int>(area.maxY() * scale); ++y)
            for (int x = static_cast<int>(area.x() * scale); x < static_cast<int>(area.maxX() * scale); ++x)
                if (double c = gfx::Color::contrastRatio(shot.colorAt(x, y).withAlpha(1), bar); c > 1.1)
                    ink.push_back(c);
        EXPECT_FALSE(ink.empty());
        if (ink.empty())
            return 1;
        auto tenth = ink.begin() + static_cast<long>(ink.size() * 9 / 10);
        std::nth_element(ink.begin(), tenth, ink.end());
        return *tenth;
    }

    // The most contrasting pixel of the area against the colour: what the eye picks out.
    static double bestContrast(const gfx::Image& shot, const gfx::Rect& area, const gfx::Color& against)
    {
        double best = 1;
        for (int y = static_cast<int>(area.y()); y < static_cast<int>(area.maxY()); ++y)
            for (int x = static_cast<int>(area.x()); x < static_cast<int>(area.maxX()); ++x)
                best = std::max(best, gfx::Color::contrastRatio(shot.colorAt(x, y).withAlpha(1), against));
        return best;
    }

    // How an icon reads as drawn: the middle contrast against the bar of the drawn pixels on
    // its outer strokes, the solid pixels of its picture just inside its outline (not on the
    // outline's own blended edge), whatever lighter or darker marks lie within.
    static double strokeContrast(const gfx::Image& shot, ui::Button& button, const gfx::Color& bar, double scale)
    {
        gfx::Image icon = button.currentImage();
        if (icon.isNull())
            return 21;
        int w = icon.pixelWidth(), h = icon.pixelHeight();
        auto alpha = [&](int x, int y) { return x < 0 || y < 0 || x >= w || y >= h ? 0.0 : icon.colorAt(x, y).a; };
        auto near = [&](int x, int y, int reach, double below) {
            for (int dy = -reach; dy <= reach; ++dy)
                for (int dx = -reach; dx <= reach; ++dx)
                    if (alpha(x + dx, y + dy) < below)
                        return true;
            return false;
        };
        ui::ImageView& view = button.imageView();
        gfx::Rect frame = view.convertRectToView(view.bounds(), nullptr);
        double fit = std::min(frame.width() / icon.size().width, frame.height() / icon.size().height);
        gfx::Rect drawn{frame.midX() - icon.size().width * fit / 2, frame.midY() - icon.size().height * fit / 2,
                        icon.size().width * fit, icon.size().height * fit};
        std::vector<double> contrasts;
        for (int y = static_cast<int>(drawn.y() * scale); y < static_cast<int>(drawn.maxY() * scale); ++y)
            for (int x = static_cast<int>(drawn.x() * scale); x < static_cast<int>(drawn.maxX() * scale); ++x) {
                int u = static_cast<int>(((x + 0.5) / scale - drawn.x()) / drawn.width() * w);
                int v = static_cast<int>(((y + 0.5) / scale - drawn.y()) / drawn.height() * h);
                if (alpha(u, v) < 0.9 || near(u, v, 1, 0.9) || !near(u, v, 2, 0.5))
                    continue;
                contrasts.push_back(gfx::Color::contrastRatio(shot.colorAt(x, y).withAlpha(1), bar));
            }
        EXPECT_FALSE(contrasts.empty());
        if (contrasts.empty())
            return 1;
        auto middle = contrasts.begin() + static_cast<long>(contrasts.size() / 2);
        std::nth_element(contrasts.begin(), middle, contrasts.end());
        return *middle;
    }

    // The bar's own colour at a height (pixels): the colour most of that row of pixels has.
    static gfx::Color barColorAt(const gfx::Image& shot, int y)
    {
        std::map<uint32_t, int> counts;
        for (int x = 0; x < shot.pixelWidth(); ++x)
            ++counts[shot.pixelAt(x, y)];
        auto most = std::max_element(counts.begin(), counts.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
        return gfx::Color::fromPremultipliedArgb(most->first).withAlpha(1);
    }

    // Every tab's caption (small text) at 4.5:1 at least and icon at 3:1, plain and selected,
    // and the logo's words, against the bar around them, as drawn at one and two pixels a
    // point; in both languages. `logoWords` is where the logo's words are, inside the logo's
    // frame.
    void expectEveryTabReads(UITabBarControllerExt& tabs, const std::string& shotName,
                             std::optional<gfx::Rect> logoWords)
    {
        ui::Window& window = *app->window();
        const double scaleBefore = window.scale();
        for (double scale : {1.0, 2.0}) {
            window.setScale(scale);
            for (int language : {1, 2}) {
                SCOPED_TRACE(std::string(language == 1 ? "English" : "Chinese") + " at scale " + std::to_string(int(scale)));
                LanguageManager::sharedInstance()->setCurrentLanguage(language);
                for (auto& item : tabs.itmeButtonArray()) {
                    if (item->isHidden() || item->tag() == 6)
                        continue; // the sync tab opens the sync screen instead of selecting
                    SCOPED_TRACE(item->title());
                    tabs.selectTab(item->tag());
                    settle();
                    std::string name = shotName + "_tab" + std::to_string(item->tag()) + "_" +
                                       (language == 1 ? "en" : "cn") + "_x" + std::to_string(int(scale)) + ".png";
                    ASSERT_TRUE(driver->screenshot(reviewPath(name)));
                    gfx::Image shot = gfx::Image::fromFile(reviewPath(name));
                    ASSERT_FALSE(shot.isNull());
                    auto barAt = [&](double y) { return barColorAt(shot, static_cast<int>(y * scale)); };
                    for (auto& other : tabs.itmeButtonArray()) {
                        if (other->isHidden())
                            continue;
                        SCOPED_TRACE(other->title() + (other->isSelected() ? " selected" : ""));
                        gfx::Rect caption = other->lableTitle()->convertRectToView(other->lableTitle()->bounds(), nullptr);
                        gfx::Rect icon = other->btn()->convertRectToView(other->btn()->bounds(), nullptr);
                        // The caption's label reaches up under the icon; its text lies below it.
                        double top = std::max(caption.y(), icon.maxY());
                        gfx::Rect text{caption.x(), top, caption.width(), caption.maxY() - top};
                        EXPECT_GE(inkContrast(shot, text, barAt(text.midY()), scale), 4.5) << "caption";
                        EXPECT_GE(strokeContrast(shot, *other->btn(), barAt(icon.midY()), scale), 3.0) << "icon";
                    }
                    if (logoWords) {
                        gfx::Rect logo = tabs.btnLogo()->frame();
                        gfx::Rect words = logoWords->offsetBy(logo.x(), logo.y());
                        EXPECT_GE(inkContrast(shot, words, barAt(words.midY()), scale), 4.5) << "the logo's words";
                    }
                }
            }
        }
        window.setScale(scaleBefore);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
    }

    static void writeSolid(const std::filesystem::path& path, const gfx::Color& color)
    {
        auto ctx = gfx::Context::createBitmap({1024, 66}, 1);
        ctx->setFillColor(color);
        ctx->fillRect({0, 0, 1024, 66});
        std::filesystem::create_directories(path.parent_path());
        ASSERT_EQ(ctx->makeImage().writePng(path.string()), nullptr);
    }
};

TEST_F(ReadableSkinTest, TheSkinnedDemoBarReadsInBothLanguages)
{
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    loginAsDemo("1,1,1,1,1,1,1", 3, "wendloft_");
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    for (int language : {1, 2}) {
        SCOPED_TRACE(language == 1 ? "English" : "Chinese");
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        settle();
        std::string name = std::string("tabbar_wendloft_") + (language == 1 ? "en" : "cn") + ".png";
        ASSERT_TRUE(driver->screenshot(reviewPath(name)));
        gfx::Image shot = gfx::Image::fromFile(reviewPath(name));
        ASSERT_FALSE(shot.isNull());
        for (auto& item : tabs->itmeButtonArray()) {
            if (item->isHidden())
                continue;
            SCOPED_TRACE(item->title());
            gfx::Rect caption = item->lableTitle()->convertRectToView(item->lableTitle()->bounds(), app->window().get());
            gfx::Rect icon = item->btn()->convertRectToView(item->btn()->bounds(), app->window().get());
            // The bar itself, beside the logo and left of the first item, at the same height.
            gfx::Color besideCaption = shot.colorAt(290, static_cast<int>(caption.midY())).withAlpha(1);
            gfx::Color besideIcon = shot.colorAt(290, static_cast<int>(icon.midY())).withAlpha(1);
            EXPECT_GE(bestContrast(shot, caption, besideCaption), 4.5) << "caption";
            EXPECT_GE(bestContrast(shot, icon, besideIcon), 4.5) << "icon";
        }
        // The logo's name, right of its round mark.
        gfx::Rect logo = tabs->btnLogo()->frame();
        gfx::Rect name2{logo.x() + 70, logo.y(), logo.width() - 70, logo.height()};
        EXPECT_GE(bestContrast(shot, name2, shot.colorAt(290, static_cast<int>(logo.midY())).withAlpha(1)), 4.5) << "logo";
    }
}

TEST_F(ReadableSkinTest, ASkinTooDarkOrTooLightForItsCaptionsFallsBackAndSaysSo)
{
    struct Case {
        const char* name;
        std::optional<gfx::Color> bar;        // the client's own bar picture, if any
        std::optional<std::string> caption;   // the skin's caption colour, if any
        gfx::Color expected;
        bool logged;
    };
    const gfx::Color grey = TabBarItemButton::captionColor(false);
    loginAsDemo();
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    const Case cases[] = {
        {"bundled bar", std::nullopt, std::nullopt, grey, false},
        {"dark bar, no colour", gfx::Color::fromRgb(16, 16, 16), std::nullopt, gfx::Color::white(), true},
        {"dark bar, light colour", gfx::Color::fromRgb(16, 16, 16), "#F0E0C0", *gfx::Color::fromHex("#F0E0C0"), false},
        {"dark bar, dark colour", gfx::Color::fromRgb(16, 16, 16), "#303030", gfx::Color::white(), true},
        {"light bar, light colour", gfx::Color::fromRgb(240, 240, 240), "#E0E0E0", grey, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::path skin = documents() / kDemoClient / "SkinImages";
        std::filesystem::remove_all(skin);
        if (c.bar)
            writeSolid(skin / "btmbar-bg.png", *c.bar);
        if (c.caption) {
            base::Dictionary colors;
            colors.set("TabTitleColor", base::Value(*c.caption));
            ASSERT_TRUE(base::PropertyList::writeFile(skin / "colors.plist", base::Value(std::move(colors))));
        }
        base::ScopedLogCapture log;
        tabs->setBackgroundView(); // as after a login that brought the skin
        ASSERT_TRUE(testsupport::picturesArrived()); // the bar chooses again once its picture came
        for (auto& item : tabs->itmeButtonArray()) {
            if (!item->isHidden() && !item->isSelected()) {
                EXPECT_EQ(item->lableTitle()->textColor(), c.expected) << item->title();
            }
        }
        EXPECT_EQ(log.contains("tab bar: tab label colour"), c.logged);
    }
}

TEST_F(ReadableSkinTest, TheDefaultSkinReadsOnEveryTab)
{
    // The Tolbernix demo has no skin: the application's own bar, icons and logo, whose small
    // second line is checked.
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    loginAsDemo("1,1,1,1,1,1,1", 3, "tolbernix_");
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    expectEveryTabReads(*tabs, "tabbar_default", gfx::Rect{50, 33, 172, 18});
}

TEST_F(ReadableSkinTest, TheWendloftSkinReadsOnEveryTab)
{
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    loginAsDemo("1,1,1,1,1,1,1", 3, "wendloft_");
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    expectEveryTabReads(*tabs, "tabbar_wendloft", gfx::Rect{70, 0, 152, 51});
}

TEST_F(ReadableSkinTest, ADarkServerBarGetsReadableDefaultIcons)
{
    // A server's skin of a dark bar alone: the application's own icons would be dark on dark.
    loginAsDemo();
    std::filesystem::path skin = documents() / kDemoClient / "SkinImages";
    std::filesystem::remove_all(skin);
    writeSolid(skin / "btmbar-bg.png", gfx::Color::fromRgb(28, 30, 34));
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    base::ScopedLogCapture log;
    tabs->setBackgroundView();
    EXPECT_TRUE(log.contains("tab bar: icon btn-home.png"));
    // The logo comes with a server's skin; the bar alone leaves the default one, unchecked.
    expectEveryTabReads(*tabs, "tabbar_dark_server", std::nullopt);
    // Turned over or not, the Orders clipboard keeps its inner shapes: its sheet and marks are
    // not filled into one block of colour.
    for (auto& item : tabs->itmeButtonArray()) {
        if (item->tag() != 5)
            continue;
        for (bool selected : {false, true}) {
            tabs->selectTab(selected ? 5 : 0);
            settle();
            gfx::Image icon = item->btn()->currentImage();
            ASSERT_FALSE(icon.isNull());
            std::map<uint32_t, int> colours;
            int opaque = 0;
            for (int y = 0; y < icon.pixelHeight(); ++y)
                for (int x = 0; x < icon.pixelWidth(); ++x)
                    if (icon.colorAt(x, y).a >= 0.9) {
                        ++opaque;
                        ++colours[icon.pixelAt(x, y) | 0xff000000u];
                    }
            int commonest = 0;
            for (const auto& [colour, count] : colours)
                commonest = std::max(commonest, count);
            EXPECT_LT(commonest * 10, opaque * 9) << (selected ? "selected" : "plain") << ": " << commonest << " of " << opaque;
        }
    }
}

} // namespace
