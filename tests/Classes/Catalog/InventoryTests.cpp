// The inventory tab over the catalogue fixture, on a headless window with the main tab bar:
// the title row, the stock text, the thumbnails (missing files, no picture, fast scrolling),
// the product page it opens and leaves, re-reading on return, and its texts in both languages.
#include "CatalogTestSupport.h"

#include "Classes/Catalog/InventoryViewController.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TabBarController.h"

#include <gtest/gtest.h>

namespace {

using catalogtest::CatalogTest;
namespace fx = catalogfixture::small;

class InventoryTest : public CatalogTest {
protected:
    // The main bar on the inventory tab.
    std::shared_ptr<InventoryViewController> openTab()
    {
        tabs = UITabBarControllerExt::create();
        window->setRootViewController(tabs);
        tabs->setSelectedIndex(3);
        settle();
        nav = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[3]);
        EXPECT_TRUE(nav);
        auto screen = std::dynamic_pointer_cast<InventoryViewController>(nav->viewControllers().front());
        EXPECT_TRUE(screen);
        return screen;
    }
    void settle() { base::RunLoop::main().advance(0.6); }
    // Until every visible picture button shows a picture (the reads run on worker threads).
    bool thumbnailsShown(InventoryViewController& screen)
    {
        return base::RunLoop::main().runUntil([&] {
            for (auto* button : imageButtons(screen))
                if (button->subviews().empty())
                    return false;
            return true;
        }, 20);
    }
    std::vector<ui::Button*> imageButtons(InventoryViewController& screen)
    {
        std::vector<ui::Button*> buttons;
        for (auto* row : screen.tblView()->tblView()->visibleCells()) {
            auto& cells = static_cast<BRMultiColumnTableViewCell*>(row)->columnCells();
            buttons.push_back(static_cast<ui::Button*>(cells[1]->subviews().front().get()));
        }
        return buttons;
    }
    // A pixel near the corner of a picture: the fixture's pictures are their product's colour
    // there, whatever they draw in the middle.
    static gfx::Color cornerColour(const gfx::Image& picture) { return picture.colorAt(5, 5); }
    static gfx::Color shownColour(ui::Button& button)
    {
        auto* image = dynamic_cast<ui::ImageView*>(button.subviews().front().get());
        return cornerColour(image ? image->image() : gfx::Image());
    }
    static bool sameColour(gfx::Color a, gfx::Color b)
    {
        return std::abs(a.r - b.r) < 0.1 && std::abs(a.g - b.g) < 0.1 && std::abs(a.b - b.b) < 0.1;
    }
    // The product's thumbnail as the file holds it, or the default picture.
    gfx::Color expectedColour(int productId)
    {
        auto image = data->getImageByKeyId(productId);
        gfx::Image picture;
        if (image && image->image_thumb_address)
            if (auto path = PublicFunction::filePathWithNameFiletype(image->image_thumb_address, 1))
                picture = gfx::Image::fromFile(*path);
        if (picture.isNull())
            picture = SkinManager::bundledImageNamed("fileDefault.png");
        return cornerColour(picture);
    }
    int rowOf(InventoryViewController& screen, int productId)
    {
        auto& products = screen.multiColumnTableData();
        for (size_t i = 0; i < products.size(); ++i)
            if (products[i].product_id == productId)
                return static_cast<int>(i);
        return -1;
    }
    void expectEveryVisibleRowShowsItsOwnPicture(InventoryViewController& screen, const std::string& when)
    {
        ASSERT_TRUE(thumbnailsShown(screen)) << when;
        auto buttons = imageButtons(screen);
        ASSERT_FALSE(buttons.empty());
        for (auto* button : buttons) {
            int id = screen.multiColumnTableData()[button->tag()].product_id;
            EXPECT_TRUE(sameColour(shownColour(*button), expectedColour(id))) << when << ": product " << id;
        }
    }
    std::shared_ptr<UITabBarControllerExt> tabs;
    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(InventoryTest, TheSheetShowsTitlesStockAndPicturesAndReadsAgainOnReturn)
{
    // Stock as the sheet shows it, saved before the tab opens.
    struct Stock {
        int product;
        int stock;
        const char* shown;
    };
    const Stock stocks[] = {{fx::kSingleValue, 1234567, "1,234,567"}, {fx::kTwoValues, 0, "0"}, {fx::kBlankList, -5, "0"},
                            {fx::kAbsentList, 999, "999"}};
    std::vector<brivanta_product_Entity> changed;
    for (const Stock& s : stocks) {
        auto p = product(s.product);
        p.product_stock = s.stock;
        changed.push_back(p);
    }
    ASSERT_TRUE(data->saveToDatabaseProduct(changed));

    auto screen = openTab();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(nav->isNavigationBarHidden());
    EXPECT_EQ(screen->titleLabel()->text(), "Inventory");
    // The title row: titles through the column records, at the column widths.
    const std::vector<std::pair<std::string, double>> titles{
        {"SKU", 105}, {"Image", 200}, {"Product Name", 200}, {"Description", 390}, {"Quantity", 100}};
    ASSERT_EQ(screen->labelArray().size(), titles.size());
    double x = 0;
    for (size_t k = 0; k < titles.size(); ++k) {
        EXPECT_EQ(screen->labelArray()[k]->text(), titles[k].first);
        EXPECT_EQ(screen->multiColumnTableHeaderInfos()[k].cellWidth, titles[k].second);
        EXPECT_EQ(screen->labelArray()[k]->frame().x(), x + screen->multiColumnTableHeaderInfos()[k].leftMargin);
        x += titles[k].second;
    }
    EXPECT_EQ(screen->tblView()->frame(), gfx::Rect(0, 85, 1024, 768 - 66 - 85));
    // Every published product, in the database's order.
    EXPECT_EQ(screen->multiColumnTableData().size(), static_cast<size_t>(fx::kProductCount - 1));

    for (const Stock& s : stocks) {
        int row = rowOf(*screen, s.product);
        ASSERT_GE(row, 0);
        screen->tblView()->tblView()->scrollToRowAtIndexPath({0, row}, ui::TableViewScrollPosition::Top, false);
        window->layoutIfNeeded();
        auto* cell = static_cast<BRMultiColumnTableViewCell*>(screen->tblView()->tblView()->cellForRowAtIndexPath({0, row}));
        ASSERT_TRUE(cell);
        auto* quantity = dynamic_cast<ui::Label*>(cell->columnCells()[4]->subviews().front().get());
        ASSERT_TRUE(quantity);
        EXPECT_EQ(quantity->text(), s.shown) << s.stock;
        EXPECT_EQ(screen->tblView()->tblView()->rectForRowAtIndexPath({0, row}).height(), 120);
    }

    // The pictures, with the file-less product, the picture-less ones and the others.
    for (int id : {fx::kNoAttributes, fx::kBlanksList, fx::kNoImages, fx::kSixAttributes}) {
        screen->tblView()->tblView()->scrollToRowAtIndexPath({0, rowOf(*screen, id)}, ui::TableViewScrollPosition::Top, false);
        window->layoutIfNeeded();
        expectEveryVisibleRowShowsItsOwnPicture(*screen, "near product " + std::to_string(id));
    }
    screen->tblView()->tblView()->setContentOffset({0, 0});
    window->layoutIfNeeded();
    ASSERT_TRUE(thumbnailsShown(*screen));
    driver->screenshot(reviewPath("inventory_tab.png"));
    // Odd rows grey 249.
    gfx::Rect second = screen->tblView()->tblView()->rectForRowAtIndexPath({0, 1});
    EXPECT_TRUE(near(pixelAt(screen->tblView()->tblView()->convertPointToView({700, second.maxY() - 3}, nullptr)),
                     gfx::Color::fromRgb(249, 249, 249), 2));

    // A product saved while another tab shows is there when the tab comes back.
    tabs->setSelectedIndex(1);
    settle();
    auto renamed = product(fx::kTwoValues);
    renamed.product_name = "Renamed Chair";
    ASSERT_TRUE(data->saveToDatabaseProduct(std::vector{renamed}));
    tabs->setSelectedIndex(3);
    settle();
    EXPECT_TRUE(nav->isNavigationBarHidden());
    int row = rowOf(*screen, fx::kTwoValues);
    screen->tblView()->tblView()->scrollToRowAtIndexPath({0, row}, ui::TableViewScrollPosition::Top, false);
    window->layoutIfNeeded();
    EXPECT_NE(driver->findByText("Renamed Chair"), nullptr);
}

TEST_F(InventoryTest, TheImageOpensTheProductPageOnceWithBackAndTheSkuDoesNothing)
{
    auto screen = openTab();
    ASSERT_TRUE(screen);
    auto* body = screen->tblView()->tblView();
    auto* sku = dynamic_cast<ui::Button*>(
        static_cast<BRMultiColumnTableViewCell*>(body->cellForRowAtIndexPath({0, 0}))->columnCells()[0]->subviews().front().get());
    ASSERT_TRUE(sku);
    EXPECT_EQ(sku->currentTitle(), screen->multiColumnTableData()[0].product_sku.value_or(""));
    ASSERT_TRUE(driver->tap(sku));
    settle();
    EXPECT_EQ(nav->viewControllers().size(), 1u);

    for (int opening = 0; opening < 10; ++opening) {
        int row = opening % 3;
        auto* cell = static_cast<BRMultiColumnTableViewCell*>(body->cellForRowAtIndexPath({0, row}));
        ASSERT_TRUE(cell);
        ASSERT_TRUE(driver->tap(cell->columnCells()[1]->subviews().front().get()));
        settle();
        auto page = std::dynamic_pointer_cast<ProductDetailController>(nav->topViewController());
        ASSERT_TRUE(page) << opening;
        EXPECT_EQ(page->productID(), screen->multiColumnTableData()[row].product_id);
        EXPECT_FALSE(nav->isNavigationBarHidden());
        auto left = page->leftBarButtonItem();
        ASSERT_TRUE(left && left->customView());
        auto* back = dynamic_cast<ui::Button*>(left->customView().get());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->currentTitle(), "Back");
        EXPECT_EQ(back->frame().size, (gfx::Size{78, 34}));
        if (opening == 0) {
            EXPECT_TRUE(!page->_tapToLeftProduct() || page->_tapToLeftProduct()->isHidden());
            EXPECT_TRUE(!page->_tapToRightProduct() || page->_tapToRightProduct()->isHidden());
            driver->swipe({800, 400}, {200, 400});
            settle();
            EXPECT_EQ(page->productID(), screen->multiColumnTableData()[row].product_id);
            driver->screenshot(reviewPath("inventory_product_page.png"));
        }
        int backgrounds = 0;
        for (auto& sub : nav->navigationBar()->subviews())
            backgrounds += sub->tag() == InventoryViewController::kBarBackgroundTag;
        EXPECT_EQ(backgrounds, 1) << opening;
        ASSERT_TRUE(driver->tap(back));
        settle();
        EXPECT_EQ(nav->topViewController(), screen) << opening;
        EXPECT_TRUE(nav->isNavigationBarHidden());
    }
    // Back on the sheet, read again: every row has its picture.
    expectEveryVisibleRowShowsItsOwnPicture(*screen, "after coming back");
}

TEST_F(InventoryTest, FlingingThroughFiveThousandProductsLeavesEveryRowItsOwnPicture)
{
    data.reset();
    DataAccessManager::releaseDataModel();
    catalogfixture::build({.seed = 3, .products = 5000}, "large");
    data = DataAccessManager::sharedDataModel();
    auto screen = openTab();
    ASSERT_TRUE(screen);
    ASSERT_GE(screen->multiColumnTableData().size(), 4000u);
    auto* body = screen->tblView()->tblView();
    gfx::Point top = body->convertPointToView({500, 60}, nullptr), bottom = body->convertPointToView({500, 560}, nullptr);
    // Quick flicks down, a jump far down, and back up, without waiting for the pictures.
    for (int i = 0; i < 6; ++i)
        driver->drag(bottom, top, 0.05, 4);
    body->setContentOffset({0, body->contentSize().height / 2});
    window->layoutIfNeeded();
    for (int i = 0; i < 6; ++i)
        driver->drag(top, bottom, 0.05, 4);
    base::RunLoop::main().advance(5);
    window->layoutIfNeeded();
    expectEveryVisibleRowShowsItsOwnPicture(*screen, "after the fling");
}

TEST_F(InventoryTest, TheTitlesReadBothLanguages)
{
    // Every key the screen reads, in both tables.
    std::vector<std::string> keys = InventoryViewController::columnTitleKeys();
    keys.insert(keys.end(), {"INVENTORY_", "BACK"});
    for (int language : {2, 1}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        for (const auto& key : keys)
            EXPECT_FALSE(Language::stringWithName(key).empty()) << key << " in language " << language;
    }
    auto screen = openTab();
    ASSERT_TRUE(screen);
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    screen->updateLanguage(nullptr);
    EXPECT_EQ(screen->titleLabel()->text(), "库存");
    std::vector<std::string> shown;
    for (auto& label : screen->labelArray())
        shown.push_back(label->text());
    EXPECT_EQ(shown, (std::vector<std::string>{"货号", "图片", "产品名称", "描述", "数量"}));
    driver->screenshot(reviewPath("inventory_tab_chinese.png"));
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

} // namespace
