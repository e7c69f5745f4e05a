#include "MainScreenTestSupport.h"

#include "Common/SkinManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Graphics/Context.h"

#include <algorithm>
#include <filesystem>
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

} // namespace
