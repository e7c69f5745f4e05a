#pragma once
// The small catalogue fixture in a fresh home, the real client database and order store, and
// a key window on the manual clock. An application delegate with the main tab bar (not
// launched: no welcome screen) lets the order store set the orders tab's badge.
#include "tests/App/AppWindowTestSupport.h"

#include "CatalogFixture.h"

#include "App/BrivantaAppDelegate.h"
#include "App/TabBarItemButton.h"
#include "App/UITabBarControllerExt.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Protocol/LoginMode.h"

#include <memory>
#include <string>

namespace catalogtest {

namespace fx = catalogfixture::small;

// Main bar only: the launch's own screens stay out of these tests.
class BarOnlyAppDelegate : public BrivantaAppDelegate {
public:
    bool didFinishLaunching(ui::Application&) override
    {
        setTabBarController(UITabBarControllerExt::create());
        return true;
    }
};

class RecordingStoreDelegate : public QuoteOrderStoreDelegate {
public:
    void popSelfView() override { ++pops; }
    int pops = 0;
};

class CatalogTest : public apptest::AppWindowTest {
protected:
    CatalogTest()
    {
        ui::Application::shared().resetForTesting();
        DataAccessManager::releaseDataModel();
        ConfigManager::freeInstance();
        QuoteOrderStore::freeInstance();
        catalogfixture::build({});
        data = DataAccessManager::sharedDataModel();
        EXPECT_TRUE(data && data->hasModels());
        store = QuoteOrderStore::sharedQuoteOrderStore();
        store->setDelegate(storeDelegate);
    }
    ~CatalogTest() override
    {
        store.reset();
        QuoteOrderStore::freeInstance();
        data.reset();
        DataAccessManager::releaseDataModel();
        ConfigManager::freeInstance();
        app.reset();
        ui::Application::shared().resetForTesting();
        LoginMode::freeInstance();
    }

    // The orders tab's badge becomes visible to the store's adds.
    void withMainBar()
    {
        app = std::make_shared<BarOnlyAppDelegate>();
        ASSERT_TRUE(ui::Application::shared().launch(app));
        ASSERT_TRUE(app->tabBarController());
    }
    std::string ordersBadge() const
    {
        auto button = app->tabBarController()->buttonWithTag(5);
        return button && !button->badgeView()->isHidden() ? button->badgeLabel()->text() : std::string();
    }

    brivanta_product_Entity product(int id, int count = 1, std::optional<std::string> attributes = {})
    {
        auto p = data->getProductByProductId(id);
        EXPECT_TRUE(p) << id;
        brivanta_product_Entity chosen = p.value_or(brivanta_product_Entity{});
        chosen.count = count;
        chosen.attributes = std::move(attributes);
        return chosen;
    }
    int count(const std::string& sql) { return BRDatabase::sharedDataBase()->intForQuery(sql); }

    // The colour of a window pixel after drawing, straight components 0..255.
    struct Rgb {
        int r, g, b;
    };
    Rgb pixelAt(gfx::Point p)
    {
        gfx::Image shot = window->snapshot();
        gfx::Color c = shot.colorAt(static_cast<int>(p.x), static_cast<int>(p.y));
        return {static_cast<int>(c.r * 255 + 0.5), static_cast<int>(c.g * 255 + 0.5), static_cast<int>(c.b * 255 + 0.5)};
    }
    static bool near(Rgb a, gfx::Color b, int tolerance = 24)
    {
        auto close = [&](int x, double y) { return std::abs(x - static_cast<int>(y * 255 + 0.5)) <= tolerance; };
        return close(a.r, b.r) && close(a.g, b.g) && close(a.b, b.b);
    }

    std::shared_ptr<DataAccessManager> data;
    std::shared_ptr<QuoteOrderStore> store;
    std::shared_ptr<RecordingStoreDelegate> storeDelegate = std::make_shared<RecordingStoreDelegate>();
    std::shared_ptr<BarOnlyAppDelegate> app;
};

} // namespace catalogtest
