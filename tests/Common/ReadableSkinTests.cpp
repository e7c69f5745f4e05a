#include "tests/App/MainScreenTestSupport.h"

#include "Common/SkinManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Graphics/Context.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

namespace {

using apptest::MainScreenTest;

class ReadableSkinTest : public MainScreenTest {
protected:
    // The most contrasting pixel of the area against the colour: what the eye picks out.
    static double bestContrast(const gfx::Image& shot, const gfx::Rect& area, const gfx::Color& against)
    {
        double best = 1;
        for (int y = static_cast<int>(area.y()); y < static_cast<int>(area.maxY()); ++y)
            for (int x = static_cast<int>(area.x()); x < static_cast<int>(area.maxX()); ++x)
                best = std::max(best, gfx::Color::contrastRatio(shot.colorAt(x, y).withAlpha(1), against));
        return best;
    }

    // The bar's own colour at a height: the colour most of that row of pixels has.
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
    // and the logo's words, against the bar around them; in both languages. `logoWords` is
    // where the logo's words are, inside the logo's frame.
    void expectEveryTabReads(UITabBarControllerExt& tabs, const std::string& shotName,
                             std::optional<gfx::Rect> logoWords)
    {
        for (int language : {1, 2}) {
            SCOPED_TRACE(language == 1 ? "English" : "Chinese");
            LanguageManager::sharedInstance()->setCurrentLanguage(language);
            for (auto& item : tabs.itmeButtonArray()) {
                if (item->isHidden() || item->tag() == 6)
                    continue; // the sync tab opens the sync screen instead of selecting
                SCOPED_TRACE(item->title());
                tabs.selectTab(item->tag());
                settle();
                std::string name = shotName + "_tab" + std::to_string(item->tag()) + "_" + (language == 1 ? "en" : "cn") + ".png";
                ASSERT_TRUE(driver->screenshot(reviewPath(name)));
                gfx::Image shot = gfx::Image::fromFile(reviewPath(name));
                ASSERT_FALSE(shot.isNull());
                for (auto& other : tabs.itmeButtonArray()) {
                    if (other->isHidden())
                        continue;
                    SCOPED_TRACE(other->title() + (other->isSelected() ? " selected" : ""));
                    gfx::Rect caption = other->lableTitle()->convertRectToView(other->lableTitle()->bounds(), app->window().get());
                    gfx::Rect icon = other->btn()->convertRectToView(other->btn()->bounds(), app->window().get());
                    EXPECT_GE(bestContrast(shot, caption, barColorAt(shot, static_cast<int>(caption.midY()))), 4.5) << "caption";
                    EXPECT_GE(bestContrast(shot, icon, barColorAt(shot, static_cast<int>(icon.midY()))), 3.0) << "icon";
                }
                if (logoWords) {
                    gfx::Rect logo = tabs.btnLogo()->frame();
                    gfx::Rect words = logoWords->offsetBy(logo.x(), logo.y());
                    EXPECT_GE(bestContrast(shot, words, barColorAt(shot, static_cast<int>(words.midY()))), 4.5)
                        << "the logo's words";
                }
            }
        }
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
}

} // namespace
