// The compare and favourites popups, presented over a root screen as the catalogue tab
// presents them, over the catalogue fixture.
#include "CatalogTestSupport.h"

#include "Classes/Catalog/CatalogLayOut.h"
#include "Widgets/IconButton.h"
#include "Classes/Catalog/ProductCompareController.h"
#include "Classes/Catalog/ProductFavoriteController.h"
#include "Common/BadgeButton.h"
#include "Common/UIToast.h"
#include "Database/CompareModel.h"
#include "Database/FavoriteModel.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TextView.h"
#include "Platform/UI/ViewController.h"

#include <algorithm>
#include <functional>

namespace {

using catalogtest::CatalogTest;
namespace fx = catalogfixture::small;

// The opener: dismisses the popup when asked, and hears the list changes.
class Opener : public PopControllerDelegate, public ProductCompareDelegate, public ProductFavoriteDelegate {
public:
    explicit Opener(std::shared_ptr<ui::ViewController> root) : root(std::move(root)) {}
    void dismissPopController(bool) override
    {
        ++dismissals;
        root->dismissViewController(false);
    }
    void changeAddCompareButtonState() override { ++compareChanges; }
    void changeAddFavoriteButtonState() override { ++favoriteChanges; }
    std::shared_ptr<ui::ViewController> root;
    int dismissals = 0, compareChanges = 0, favoriteChanges = 0;
};

class ProductPopupTest : public CatalogTest {
protected:
    ProductPopupTest()
    {
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        opener = std::make_shared<Opener>(root);
        token = base::NotificationCenter::defaultCenter().addObserver(
            CatalogLayOut::kNotification, nullptr, [this](const base::Notification& n) {
                auto layout = std::static_pointer_cast<CatalogLayOut>(n.object);
                std::string line = std::to_string(layout->index) + ":";
                for (auto& p : layout->products)
                    line += " " + std::to_string(p.product_id);
                opened.push_back(line);
            });
    }
    ~ProductPopupTest() override { window->setRootViewController(nullptr); }

    std::shared_ptr<ProductCompareController> showCompare(const std::vector<int>& ids)
    {
        for (int id : ids)
            data->comparemodel()->saveToDatabaseCompareSkuName(id, "SKU-" + std::to_string(id), "P");
        // In the order given; a row getCompares no longer lists stands for a product withdrawn since.
        auto stored = data->getCompares();
        std::vector<brivanta_compare_Entity> rows;
        for (int id : ids) {
            auto it = std::find_if(stored.begin(), stored.end(), [id](auto& r) { return r.product_id == id; });
            rows.push_back(it != stored.end() ? *it : brivanta_compare_Entity{0, id, "SKU-" + std::to_string(id), std::string("P")});
        }
        auto popup = std::make_shared<ProductCompareController>();
        popup->setCompareProductsArray(rows);
        popup->setDelegate(opener);
        popup->setCompareDelegate(opener);
        root->presentViewController(popup, false);
        popup->view()->layoutIfNeeded();
        return popup;
    }
    std::shared_ptr<ProductFavoriteController> showFavorites(const std::vector<int>& ids)
    {
        std::vector<brivanta_favorite_Entity> favorites;
        for (int id : ids) {
            data->favoritemodel()->saveToDatabaseFavoriteSkuName(id, "SKU-" + std::to_string(id), "Fav " + std::to_string(id));
            brivanta_favorite_Entity f;
            f.product_id = id;
            f.product_sku = "SKU-" + std::to_string(id);
            f.product_name = "Fav " + std::to_string(id);
            favorites.push_back(f);
        }
        auto popup = std::make_shared<ProductFavoriteController>();
        popup->setFavArray(favorites);
        popup->setDelegate(opener);
        popup->setFavDelegate(opener);
        root->presentViewController(popup, false);
        popup->view()->layoutIfNeeded();
        return popup;
    }
    bool isShown(const ui::ViewController& popup) const { return root->presentedViewController().get() == &popup; }
    static bool wiggles(ui::View& v) { return v.animationForKey("wiggle") != nullptr; }
    // The text of the toast on the window, if any.
    std::string toast()
    {
        std::function<std::string(ui::View&, bool)> find = [&](ui::View& v, bool inToast) -> std::string {
            inToast = inToast || dynamic_cast<UIToast*>(&v);
            if (inToast && !v.accessibilityText().empty())
                return v.accessibilityText();
            for (auto& sub : v.subviews())
                if (auto text = find(*sub, inToast); !text.empty())
                    return text;
            return {};
        };
        return find(*window, false);
    }

    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<Opener> opener;
    base::ObserverToken token;
    std::vector<std::string> opened;
};

TEST_F(ProductPopupTest, CompareColumnsEditModeRemovalsAndPages)
{
    auto one = showCompare({fx::kTwoValues});
    EXPECT_EQ(one->compareScrollView()->contentSize().width, 720);
    ASSERT_EQ(one->columns().size(), 1u);
    EXPECT_EQ(one->columns()[0]->frame().x(), 0);
    EXPECT_TRUE(one->columns()[0]->devideImageView().isHidden()) << "the last column";
    root->dismissViewController(false);
    EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("delete from brivanta_compare"));

    auto popup = showCompare({fx::kTwoValues, fx::kActiveDiscount, fx::kUnpublished, fx::kSingleValue, fx::kBlankList, fx::kSixAttributes});
    // The withdrawn product's row is gone from the table, as an unpublishing sync leaves it.
    EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("delete from brivanta_compare where product_id = 16"));
    auto columns = popup->columns();
    ASSERT_EQ(columns.size(), 5u) << "the withdrawn product builds no column";
    EXPECT_EQ(popup->compareScrollView()->contentSize().width, 900);
    EXPECT_EQ(columns[2]->tag(), 4003) << "tags follow the list";
    EXPECT_EQ(columns[2]->frame().x(), 360);
    EXPECT_EQ(popup->nameLabel()->text(), "Name:");
    EXPECT_EQ(popup->priceLabel()->textColor(), gfx::Color::fromRgb(176, 48, 96));
    EXPECT_EQ(columns[0]->productNameLabel().text(), "50% Off Chair");
    EXPECT_EQ(columns[0]->shortDesTextView().text(), "Short description of 50% Off Chair");

    // The discounted column: struck price, discount 20 points right of the price text.
    CompareCell& sale = *columns[1];
    EXPECT_EQ(sale.discountprice(), std::optional<std::string>("$80.00"));
    EXPECT_FALSE(sale.priceLabel().subviews().empty());
    double w = gfx::sizeOfText("$100.00", sale.priceLabel().font()).width;
    EXPECT_NEAR(sale.disCountpriceLabel().frame().x(), w + 20, 1);
    EXPECT_EQ(sale.disCountpriceLabel().textColor(), gfx::Color::fromRgb(176, 48, 96));

    // Sideways scrolling.
    driver->drag({800, 300}, {500, 300});
    base::RunLoop::main().advance(2);
    EXPECT_GT(popup->compareScrollView()->contentOffset().x, 0);
    popup->compareScrollView()->setContentOffset({0, 0});

    // A long press of 0.7 s on an image enters edit mode.
    driver->longPress(driver->centerOf(&columns[0]->productImageView()), 0.8);
    ASSERT_TRUE(popup->inEdit());
    for (CompareCell* c : popup->columns()) {
        EXPECT_TRUE(wiggles(c->productImageView()));
        EXPECT_FALSE(c->smallCloseBtn().isHidden());
        EXPECT_FALSE(c->addOrderBtn().isEnabled());
    }
    EXPECT_TRUE(popup->btnEdit()->isHidden());
    EXPECT_FALSE(popup->removeAllBtn()->isHidden());
    driver->screenshot(reviewPath("compare_edit_mode.png"));

    // In edit mode: another long press and a tap on an image change nothing.
    driver->longPress(driver->centerOf(&columns[1]->productImageView()), 0.8);
    ASSERT_TRUE(driver->tap(&columns[1]->productImageView()));
    EXPECT_TRUE(popup->inEdit());
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(isShown(*popup));

    // The application's background and foreground stop and restart the shaking.
    auto& center = base::NotificationCenter::defaultCenter();
    center.post("AppWillEnterBackgound");
    EXPECT_FALSE(wiggles(columns[0]->productImageView()));
    center.post("AppWillEnterForegroud");
    EXPECT_TRUE(wiggles(columns[0]->productImageView()));

    // Deleting one: 4 columns, 4 rows, the opener told.
    ASSERT_TRUE(driver->tap(&popup->columnWithTag(4001)->smallCloseBtn()));
    EXPECT_EQ(popup->columns().size(), 4u);
    EXPECT_EQ(count("select count(*) from brivanta_compare"), 4);
    EXPECT_EQ(opener->compareChanges, 1);
    EXPECT_TRUE(popup->inEdit()) << "still shaking after the rebuild";
    EXPECT_TRUE(wiggles(popup->columns()[0]->productImageView()));

    // A background tap leaves edit mode; then an image opens its own product.
    driver->tap(gfx::Point{100, 700});
    EXPECT_FALSE(popup->inEdit());
    EXPECT_FALSE(wiggles(popup->columns()[0]->productImageView()));
    center.post("AppWillEnterForegroud");
    EXPECT_FALSE(wiggles(popup->columns()[0]->productImageView())) << "only in edit mode";
    CompareCell* lamp = popup->columnWithTag(4003);
    ASSERT_NE(lamp, nullptr);
    ASSERT_TRUE(driver->tap(&lamp->productImageView()));
    EXPECT_FALSE(isShown(*popup));
    EXPECT_EQ(opened, std::vector<std::string>{"2: 3 2 4 6"}) << "index in the readable list";
}

TEST_F(ProductPopupTest, CompareRemoveAllAndLanguage)
{
    auto popup = showCompare({fx::kNoAttributes, fx::kSingleValue});
    // A column's add button: the total is read again first (3 added since the columns were built).
    ASSERT_TRUE(store->addToOrder(product(fx::kNoAttributes, 3)));
    ASSERT_TRUE(driver->tap(&popup->columnWithTag(4000)->addOrderBtn()));
    EXPECT_EQ(popup->columnWithTag(4000)->addOrderBtn().badgeLabel()->text(), "4");
    ASSERT_TRUE(driver->tap(&popup->columnWithTag(4001)->addOrderBtn()));
    EXPECT_EQ(popup->columnWithTag(4001)->addOrderBtn().badgeLabel()->text(), "1");
    EXPECT_EQ(store->curQuoteOrder()->items().back()->attributes(), std::optional<std::string>("Colour:Red"));
    ASSERT_TRUE(driver->tap(popup->btnEdit().get()));
    EXPECT_TRUE(popup->inEdit());
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    popup->updateLanguage(nullptr);
    EXPECT_EQ(popup->priceLabel()->text(), Language::stringWithName("PRICE") + ":");
    EXPECT_EQ(popup->priceLabel()->text(), "价格:");
    EXPECT_EQ(popup->removeAllBtn()->currentTitle(), "全部移除");
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
    popup->updateLanguage(nullptr);
    ASSERT_TRUE(driver->tap(popup->removeAllBtn().get()));
    EXPECT_EQ(count("select count(*) from brivanta_compare"), 0);
    EXPECT_EQ(toast(), "All comparisons removed");
    EXPECT_FALSE(isShown(*popup));
    EXPECT_EQ(opener->compareChanges, 1);
}

TEST_F(ProductPopupTest, FavouritesTilesTapsAndEditMode)
{
    auto popup = showFavorites({1, 2, 3, 4, 5, 6, 7});
    auto tiles = popup->tiles();
    ASSERT_EQ(tiles.size(), 7u);
    const double xs[] = {5, 206.8, 408.6, 610.4, 812.2, 5, 206.8};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_NEAR(tiles[i]->frame().x(), xs[i], 1e-9) << i;
        EXPECT_EQ(tiles[i]->frame().y(), i < 5 ? 0 : 215) << i;
        EXPECT_EQ(tiles[i]->frame().size, (gfx::Size{220, 215}));
        EXPECT_EQ(tiles[i]->devideImageView().isHidden(), i == 4) << i;
        EXPECT_EQ(tiles[i]->smallCloseBtn().frame(), gfx::Rect(150, -10, 50, 50));
    }
    EXPECT_EQ(popup->favoriteScrollView()->contentSize().height, 713);
    EXPECT_EQ(tiles[3]->catalogNameLabel().text(), "Fav 4");
    driver->screenshot(reviewPath("favourites.png"));

    // Edit mode by a long press on an image; taps on an image, a name, between tiles.
    driver->longPress(driver->centerOf(&tiles[1]->bgImageView()), 0.8);
    ASSERT_TRUE(popup->inEdit());
    EXPECT_TRUE(wiggles(tiles[1]->productImageView()));
    EXPECT_FALSE(tiles[1]->addOrderBtn().isEnabled());
    ASSERT_TRUE(driver->tap(&tiles[2]->bgImageView()));
    EXPECT_DOUBLE_EQ(tiles[2]->productImageView().alpha(), 0.4) << "dimmed by the tile";
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(popup->inEdit());
    ASSERT_TRUE(driver->tap(&tiles[2]->catalogNameLabel()));
    EXPECT_TRUE(popup->inEdit()) << "a tap on a name does nothing";
    driver->tap(gfx::Point{300, 700});
    EXPECT_FALSE(popup->inEdit()) << "a tap between tiles leaves edit mode";

    // Ten points left of remove-all only leaves edit mode; on it, everything goes.
    ASSERT_TRUE(driver->tap(popup->btnEdit().get()));
    driver->tap(gfx::Point{5, 20});
    EXPECT_FALSE(popup->inEdit());
    EXPECT_EQ(count("select count(*) from brivanta_favorite"), 7);
    ASSERT_TRUE(driver->tap(popup->btnEdit().get()));
    ASSERT_TRUE(driver->tap(popup->removeAllBtn().get()));
    EXPECT_EQ(count("select count(*) from brivanta_favorite"), 0);
    EXPECT_EQ(toast(), "All favorites removed");
    EXPECT_FALSE(isShown(*popup));
    EXPECT_EQ(opener->favoriteChanges, 1);
}

TEST_F(ProductPopupTest, FavouritesOpenTheirOwnProductsAndAddWithTheTotalReadAgain)
{
    // Opened from another tab: the catalogue tab is chosen before the page is asked for.
    withMainBar();
    auto tabs = app->tabBarController();
    tabs->selectTab(0);
    int tabWhenPosted = -1;
    auto watch = base::NotificationCenter::defaultCenter().addObserver(
        CatalogLayOut::kNotification, nullptr, [&](const base::Notification&) { tabWhenPosted = tabs->iCurSelectTab(); });
    auto popup = showFavorites({1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(driver->tap(&popup->tiles()[6]->bgImageView()));
    EXPECT_FALSE(isShown(*popup));
    EXPECT_EQ(opened, std::vector<std::string>{"6: 1 2 3 4 5 6 7"});
    EXPECT_EQ(tabWhenPosted, 1);
    opened.clear();

    // A withdrawn favourite builds no tile; another still opens its own product.
    popup = showFavorites({1, fx::kUnpublished, 3});
    ASSERT_EQ(popup->tiles().size(), 2u);
    EXPECT_EQ(popup->tiles()[1]->tag(), 3002);
    ASSERT_TRUE(popup->tileWithTag(3002));
    ASSERT_TRUE(store->addToOrder(product(3, 3, "Colour:Red")));
    ASSERT_TRUE(store->addToOrder(product(1, 3)));
    ASSERT_TRUE(driver->tap(&popup->tileWithTag(3000)->addOrderBtn()));
    EXPECT_EQ(popup->tileWithTag(3000)->addOrderBtn().badgeLabel()->text(), "4") << "3 in the order, read again, then 1";
    ASSERT_TRUE(driver->tap(&popup->tileWithTag(3002)->bgImageView()));
    EXPECT_EQ(opened, std::vector<std::string>{"1: 1 3"});
}

} // namespace
