// Roads out of the order editor that the application shell takes: another tab, the logo's
// logout, a logout the program makes and one after a lock. A line's quantity typed and not
// confirmed is taken through the check Return runs before the road goes on.
#include "MainScreenTestSupport.h"

#include "Classes/Order/QuoteOrderItemsTableViewCell.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Common/QVTextField.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableView.h"
#include "Classes/Login/WeclomeViewController.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace {

using apptest::MainScreenTest;

class OrderTypingRoadsTest : public MainScreenTest {
protected:
    // The orders tab showing a new order of one demo product, its quantity 1 replaced by TYPED
    // and not confirmed.
    std::shared_ptr<QuoteOrderViewController> typeIntoANewOrder(const std::shared_ptr<UITabBarControllerExt>& tabs,
                                                                const std::string& typed)
    {
        brivanta_product_Entity product;
        product.product_id = BRDatabase::sharedDataBase()->intForQuery("select min(product_id) from brivanta_product");
        product.count = 1;
        EXPECT_TRUE(QuoteOrderStore::sharedQuoteOrderStore()->addToOrder(product));
        EXPECT_TRUE(driver->tap(tabs->buttonWithTag(5).get()));
        settle();
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(tabs->selectedViewController());
        auto editor = std::dynamic_pointer_cast<QuoteOrderViewController>(nav ? nav->topViewController() : nullptr);
        if (!editor)
            return nullptr;
        auto* cell = dynamic_cast<QuoteOrderItemsTableViewCell*>(editor->tableView().cellForRowAtIndexPath({0, 0}));
        if (!cell)
            return nullptr;
        driver->tap(&cell->quantityTextField());
        driver->pressKey("\b");
        driver->type(typed);
        quantity = &cell->quantityTextField();
        return editor;
    }

    // The editor and tab bar a case held let go, and a logout: the next case starts afresh.
    void logOutOf(std::shared_ptr<QuoteOrderViewController>& editor, std::shared_ptr<UITabBarControllerExt>& tabs)
    {
        ui::AlertView::dismissAllForTesting();
        editor.reset();
        quantity = nullptr;
        tabs.reset();
        app->showLoginPage();
        settle();
        ui::AlertView::dismissAllForTesting();
        freeSharedModels();
    }

    QVTextField* quantity = nullptr;
};

TEST_F(OrderTypingRoadsTest, ATabOrALogoutTakesTheLineValueBeingTyped)
{
    struct Road {
        const char* name;
        std::function<void(UITabBarControllerExt&)> take;
        // The road can be stopped: a refused value keeps the screen where it is, its alert up.
        bool stops;
    };
    const Road roads[] = {
        {"the catalogue's tab", [this](UITabBarControllerExt& tabs) { driver->tap(tabs.buttonWithTag(1).get()); }, true},
        {"the logo's logout", [this](UITabBarControllerExt& tabs) {
             driver->longPress(driver->centerOf(tabs.btnLogo().get()));
             settle();
             driver->tap(driver->findByText(text("GOBACKTOLOGIN")));
         }, true},
        {"a logout the program makes", [this](UITabBarControllerExt&) { app->showLoginPage(); }, false},
    };
    for (const Road& road : roads) {
        for (const std::string typed : {"4", "4.5"}) {
            bool refused = typed == "4.5";
            SCOPED_TRACE(std::string(road.name) + ", typed " + typed);
            loginAsDemo();
            auto tabs = showMain();
            auto editor = typeIntoANewOrder(tabs, typed);
            ASSERT_NE(editor, nullptr);
            ASSERT_TRUE(quantity->isFirstResponder());
            auto order = editor->quoteOrder();
            road.take(*tabs);
            settle();
            bool loggedOut = std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()) != nullptr;
            bool stayed = !loggedOut && tabs->selectedIndex() == 5;
            if (refused && road.stops) {
                ASSERT_NE(alert(), nullptr);
                EXPECT_EQ(alert()->tag(), QVTextField::kAlertTag);
                EXPECT_TRUE(stayed) << "the road stopped at the field";
                EXPECT_TRUE(quantity->isFirstResponder());
                EXPECT_EQ(order->items()[0]->quantity(), 1);
            } else {
                // Taken before the screen went: nothing is left to end later, over another
                // screen or another user's data. (The login screen may ask its own questions.)
                EXPECT_TRUE(!alert() || alert()->tag() != QVTextField::kAlertTag);
                EXPECT_FALSE(stayed);
                EXPECT_FALSE(quantity->isFirstResponder());
                EXPECT_EQ(order->items()[0]->quantity(), refused ? 1 : 4);
            }
            ui::AlertView::dismissAllForTesting();
            editor.reset();
            app->showLoginPage();
            settle();
            ui::AlertView::dismissAllForTesting();
            freeSharedModels();
        }
    }
}

// Unsubmitted orders of the signed-in account with a line at QUANTITY.
int storedOrdersWithQuantity(int quantity)
{
    int found = 0;
    for (const auto& order : DataAccessManager::sharedDataModel()->fetchQuoteOrdersCondition(2, std::nullopt)) {
        const auto& lines = order->items();
        found += std::any_of(lines.begin(), lines.end(), [&](const auto& line) { return line->quantity() == quantity; });
    }
    return found;
}

TEST_F(OrderTypingRoadsTest, ALockThatRemovesTheAccountsDataKeepsNothingOfTheOrderBeingWritten)
{
    const struct {
        const char* status;
        // The account's data stays: the order being written is stored as a logout stores it.
        bool kept;
    } locks[] = {{"207", true}, {"11411", false}};
    for (const auto& lock : locks) {
        SCOPED_TRACE(lock.status);
        loginAsDemo("1,1,1,1,1,1,1", 1);
        auto tabs = showMain();
        auto editor = typeIntoANewOrder(tabs, "4");
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(quantity->isFirstResponder());
        auto order = editor->quoteOrder();
        ASSERT_NE(order, nullptr);
        ASSERT_EQ(order->serial(), 0);

        app->logoutWithLockedUserMessage(lock.status, std::string("Locked."));
        ASSERT_NE(alert(), nullptr);
        EXPECT_EQ(alert()->tag(), BrivantaAppDelegate::LockedAlert);
        answer(text("OK"));
        ASSERT_NE(std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()), nullptr);
        EXPECT_EQ(std::filesystem::exists(documents() / kDemoClient), lock.kept) << "the account's folder";
        EXPECT_FALSE(quantity->isFirstResponder());
        // Stored nowhere, not even in the removed folder's database, still open as it went.
        EXPECT_EQ(order->serial() != 0, lock.kept) << "the order was stored";

        // The same company logs in again, then the program ends before its main screen shows:
        // the screens the logout left behind store nothing into it.
        loginAsDemo("1,1,1,1,1,1,1", 1);
        EXPECT_EQ(storedOrdersWithQuantity(4), lock.kept ? 1 : 0);
        app->willTerminate(ui::Application::shared());
        EXPECT_EQ(storedOrdersWithQuantity(4), lock.kept ? 1 : 0) << "after the program's end";

        logOutOf(editor, tabs);
        std::filesystem::remove_all(documents() / kDemoClient);
    }
}

TEST_F(OrderTypingRoadsTest, TheProgramsEndKeepsTheOrderUnderADocumentPushedAboveTheTabBar)
{
    loginAsDemo();
    auto tabs = showMain();
    auto editor = typeIntoANewOrder(tabs, "10");
    ASSERT_NE(editor, nullptr);
    // A document opened from the library or a product goes onto the window's own navigation,
    // above the tab bar: the main screen is still there beneath it.
    auto root = std::dynamic_pointer_cast<ui::NavigationController>(app->window()->rootViewController());
    ASSERT_NE(root, nullptr);
    root->pushViewController(std::make_shared<ui::ViewController>(), false);
    settle();
    app->showMainController();
    EXPECT_EQ(root->viewControllers().size(), 2u) << "the main screen is not made again beneath the document";
    EXPECT_EQ(app->window()->rootViewController(), root);

    app->willTerminate(ui::Application::shared());
    EXPECT_EQ(storedOrdersWithQuantity(10), 1);
    app->willTerminate(ui::Application::shared());
    EXPECT_EQ(storedOrdersWithQuantity(10), 1) << "kept once";

    logOutOf(editor, tabs);
}

// The settings sheet opened over a field being typed in takes the keys: "77" and Backspace
// typed over it reach neither the line's quantity nor the customer behind it, which still
// show, and once stored keep, what was typed before.
TEST_F(OrderTypingRoadsTest, KeysTypedOverTheSettingsSheetNeverReachTheFieldItCovers)
{
    struct Case {
        const char* what;
        std::function<ui::TextField*(QuoteOrderViewController&)> type; // types into a field, returns it
        const char* shown;
        std::function<void(const QuoteOrderEntity&)> check; // the stored order
    };
    const Case cases[] = {
        {"a line's quantity", [&](QuoteOrderViewController&) -> ui::TextField* { return quantity; }, "3",
         [](const QuoteOrderEntity& stored) {
             ASSERT_EQ(stored.items().size(), 1u);
             EXPECT_EQ(stored.items()[0]->quantity(), 3);
         }},
        {"the order's customer",
         [&](QuoteOrderViewController& editor) -> ui::TextField* {
             driver->tap(&editor.customerField());
             driver->type("Delta");
             driver->pressKey("escape"); // the list of matches goes, the caret stays
             return &editor.customerField();
         },
         "Delta", [](const QuoteOrderEntity& stored) { EXPECT_EQ(stored.customerName(), "Delta"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loginAsDemo();
        auto tabs = showMain();
        auto editor = typeIntoANewOrder(tabs, "3");
        ASSERT_NE(editor, nullptr);
        ui::TextField* field = c.type(*editor);
        ASSERT_NE(field, nullptr);
        ASSERT_TRUE(field->isFirstResponder());
        auto order = editor->quoteOrder();

        ASSERT_TRUE(driver->tap(tabs->buttonWithTag(7)->btn().get()));
        settle();
        ASSERT_NE(tabs->presentedViewController(), nullptr) << "the settings sheet is not up";
        driver->type("77");
        driver->pressKey("\b");
        EXPECT_EQ(field->text(), c.shown) << "typed over the sheet";
        ASSERT_TRUE(driver->tap(driver->findByText(text("DONE"))));
        settle();
        ASSERT_EQ(tabs->presentedViewController(), nullptr);
        EXPECT_EQ(field->text(), c.shown);

        QuoteOrderStore::keepOpenOrder();
        ASSERT_NE(order->serial(), 0) << "the order was not stored";
        std::shared_ptr<QuoteOrderEntity> stored;
        for (const auto& o : DataAccessManager::sharedDataModel()->fetchQuoteOrdersCondition(2, std::nullopt))
            if (o->serial() == order->serial())
                stored = o;
        ASSERT_NE(stored, nullptr);
        c.check(*stored);

        logOutOf(editor, tabs);
    }
}

} // namespace
