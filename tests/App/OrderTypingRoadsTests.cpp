// Roads out of the order editor that the application shell takes: another tab, the logo's
// logout and a logout the program makes. A line's quantity typed and not confirmed is taken
// through the check Return runs before the road goes on.
#include "MainScreenTestSupport.h"

#include "Classes/Order/QuoteOrderItemsTableViewCell.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Common/QVTextField.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableView.h"
#include "Classes/Login/WeclomeViewController.h"

#include <functional>

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

} // namespace
