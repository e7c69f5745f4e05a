// The orders tab in a headless window over a client database from the template, the real
// order store and the loopback back end (account "alice" of fixture S): rows, kinds and
// search, submitting, older orders by pulling up, copy and delete, and the editor it opens.
#include "App/BrivantaAppDelegate.h"
#include "Classes/Order/QuoteOrderHistoryController.h"
#include "Classes/Order/QuoteOrderHistoryTableView.h"
#include "Classes/Order/QuoteOrderHistoryTableViewCell.h"
#include "Classes/Order/QuoteOrderItemsTableViewCell.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/MessageBox.h"
#include "Common/QVTextField.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/SegmentedControl.h"
#include "Platform/UI/Window.h"
#include "Protocol/RequestLogin.h"
#include "tests/Protocol/ProtocolTestSupport.h"

#include <cmath>
#include <cstdlib>

namespace {

using protocoltest::ProtocolTest;
using protocoltest::localTime;

class OrderHistoryScreenTest : public ProtocolTest {
protected:
    void SetUp() override
    {
        ProtocolTest::SetUp();
        if (HasFatalFailure())
            return;
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(false);
        base::Date::setFixedNow(localTime("12/06/2026 14:05:09"));
        auto login = LoginMode::sharedInstance();
        login->setLoginType(1);
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        login->setDeviceID("dev-1");
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        DataAccessManager::releaseDataModel();
        data = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(data->hasModels());
        db = BRDatabase::sharedDataBase();
        QuoteOrderStore::freeInstance();
        ui::Application::shared().setURLRecorder([this](const std::string& url) { opened.push_back(url); });
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
    }
    void TearDown() override
    {
        if (auto* responder = ui::Responder::currentFirstResponder())
            responder->resignFirstResponder();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        ui::AlertView::dismissAllForTesting();
        base::RunLoop::main().advance(10);
        driver.reset();
        screen.reset();
        nav.reset();
        window.reset();
        ui::Application::shared().setURLRecorder({});
        ui::View::setAnimationsEnabled(true);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        QuoteOrderStore::freeInstance();
        db.reset();
        data.reset();
        base::RunLoop::main().setManualClock(false);
        ProtocolTest::TearDown();
        DataAccessManager::releaseDataModel();
        base::Date::setFixedNow(std::nullopt);
    }

    void show()
    {
        screen = std::make_shared<QuoteOrderHistoryController>();
        nav = std::make_shared<ui::NavigationController>(screen);
        window->setRootViewController(nav);
        base::RunLoop::main().advance(0.1);
    }
    // A stored order with that many lines; the next one is a second newer.
    std::shared_ptr<QuoteOrderEntity> storedOrder(const std::string& name, int lines, bool uploaded = false,
                                                  const std::string& signature = "")
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerId(0);
        order->setCurrency("USD");
        order->setSignature(signature);
        for (int i = 0; i < lines; ++i) {
            auto line = std::make_shared<QuoteOrderItemEntity>();
            brivanta_product_Entity product;
            product.product_id = 101 + i;
            product.product_sku = "SKU-" + std::to_string(101 + i);
            product.product_name = "Product " + std::to_string(101 + i);
            product.count = 1;
            line->setProduct(product);
            line->setQuantity(2);
            line->setPrice(10);
            line->setCurrency("USD");
            order->items().push_back(line);
        }
        EXPECT_NE(data->saveQuoteOrder(order), 0);
        if (uploaded)
            data->setQuoteOrdersToUploaded(order->serial());
        base::Date::setFixedNow(base::Date::now().addingTimeInterval(1));
        return order;
    }
    QuoteOrderHistoryTableView& table() { return *screen->historyOrderTable(); }
    QuoteOrderHistoryTableViewCell* row(int r)
    {
        return dynamic_cast<QuoteOrderHistoryTableViewCell*>(table().cellForRowAtIndexPath({0, r}));
    }
    int rowOf(const std::string& number)
    {
        for (size_t i = 0; i < screen->selectOrders().size(); ++i)
            if (screen->selectOrders()[i]->number() == number)
                return static_cast<int>(i);
        return -1;
    }
    std::vector<std::string> numbers()
    {
        std::vector<std::string> out;
        for (const auto& order : screen->selectOrders())
            out.push_back(order->number().value_or(""));
        return out;
    }
    void typeSearch(const std::string& text)
    {
        auto& bar = *screen->searchBar();
        ASSERT_TRUE(driver->tap(&bar.textField()));
        bar.textField().setText("");
        bar.delegate()->searchBarTextDidChange(bar, "");
        driver->type(text);
    }
    // The alert on screen once the wait box is gone.
    std::shared_ptr<ui::AlertView> alert()
    {
        return MessageBox::sharedInstance()->waitMsgBoxtag() == 0 ? ui::AlertView::visibleAlert() : nullptr;
    }
    // Taps the visible alert's button of that title.
    void answer(const std::string& key)
    {
        auto shown = alert();
        ASSERT_TRUE(shown);
        for (int i = 0; i < shown->numberOfButtons(); ++i) {
            if (shown->buttonTitleAtIndex(i) == Language::stringWithName(key)) {
                auto* button = driver->findByText(Language::stringWithName(key));
                ASSERT_TRUE(button);
                ASSERT_TRUE(driver->tap(button));
                base::RunLoop::main().advance(1);
                return;
            }
        }
        FAIL() << "no button " << key;
    }
    int count(const std::string& sql) { return db->intForQuery(sql); }
    void settle(const std::function<bool()>& done) { ASSERT_TRUE(runUntil(done)); }
    void review(const std::string& name)
    {
        if (const char* dir = std::getenv("BRIVANTA_REVIEW_DIR"))
            driver->screenshot(std::string(dir) + "/" + name + ".png");
    }

    std::shared_ptr<DataAccessManager> data;
    std::shared_ptr<BRDatabase> db;
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
    std::shared_ptr<QuoteOrderHistoryController> screen;
    std::shared_ptr<ui::NavigationController> nav;
    std::vector<std::string> opened;
};

TEST_F(OrderHistoryScreenTest, RowsFollowTheOrderAndTheLanguage)
{
    auto sent = storedOrder("Sent Co", 1, true, "c2lnbmVk");
    auto empty = storedOrder("Empty Co", 0);
    auto blank = storedOrder("  ", 2);
    auto named = storedOrder("O'Neil Ltd", 1);
    show();
    ASSERT_EQ(screen->selectOrders().size(), 4u);
    struct Case {
        std::shared_ptr<QuoteOrderEntity> order;
        bool submitShown;
        bool submitEnabled;
        bool priceSigned;
        bool badge;
    } cases[] = {
        {sent, false, true, true, true},
        {empty, true, false, false, false},
        {blank, true, false, true, false},
        {named, true, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(*c.order->customerName());
        int r = rowOf(*c.order->number());
        ASSERT_GE(r, 0);
        auto* cell = row(r);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->tag(), 4500 + r);
        EXPECT_EQ(cell->lblOrderNum().text(), *c.order->number());
        EXPECT_EQ(!cell->btnSubmit().isHidden(), c.submitShown);
        if (c.submitShown) {
            EXPECT_EQ(cell->btnSubmit().isEnabled(), c.submitEnabled);
            EXPECT_EQ(cell->btnSubmit().tag(), 4500 + r);
        }
        EXPECT_EQ(cell->lblPrice().text().find('$') != std::string::npos, c.priceSigned) << cell->lblPrice().text();
        EXPECT_EQ(!cell->signedView().isHidden(), c.badge);
    }
    // The first order was saved at 14:05:09 on December 6th.
    EXPECT_EQ(row(rowOf(*sent->number()))->lblOrderTime().text(), "14:05 12/06/26");
    // Only the blank-named order would bring SUBMIT ALL, and only with customers hidden.
    struct Visibility {
        std::vector<std::shared_ptr<QuoteOrderEntity>> removed;
        bool customersShown;
        bool submitAll;
    } visibility[] = {{{}, true, true}, {{named}, true, false}, {{named}, false, true}};
    for (const auto& v : visibility) {
        for (const auto& order : v.removed)
            ASSERT_TRUE(data->removeQuoteOrder(order->serial()));
        QuoteOrderStore::sharedQuoteOrderStore()->setIsCustomerOnShow(v.customersShown);
        screen->refreshData();
        EXPECT_EQ(!screen->btnSubmitAll()->isHidden(), v.submitAll);
        if (!v.customersShown) {
            EXPECT_TRUE(row(rowOf(*blank->number()))->btnSubmit().isEnabled());
        }
    }
    review("orders_rows_en");

    // Chinese: the date turns round and the badge and texts follow.
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    base::RunLoop::main().advance(0.1);
    auto* sentRow = row(rowOf(*sent->number()));
    EXPECT_EQ(sentRow->lblOrderTime().text(), "14:05 26/12/06");
    EXPECT_EQ(row(rowOf(*blank->number()))->btnSubmit().currentTitle(), Language::stringWithName("SUBMIT"));
    EXPECT_NE(driver->findByText(Language::stringWithName("SUBMITALL")), nullptr);
    review("orders_rows_cn");
}

TEST_F(OrderHistoryScreenTest, SegmentsAndSearchChooseTheRows)
{
    auto sent = storedOrder("Sent Co", 1, true);
    auto oneil = storedOrder("O'Neil Ltd", 1);
    auto other = storedOrder("Globex", 2);
    show();
    struct Case {
        int segment;
        const char* search;
        std::vector<std::string> rows;
    } cases[] = {
        {0, "", {*other->number(), *oneil->number(), *sent->number()}},
        {1, "", {*sent->number()}},
        {2, "", {*other->number(), *oneil->number()}},
        {0, "o'neil", {*oneil->number()}},
        {1, "o'neil", {}},
        {0, "zzz", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.segment) + " " + c.search);
        auto* segments = screen->segments();
        if (segments->selectedSegmentIndex() != c.segment) {
            gfx::Rect frame = segments->frame();
            double width = frame.size.width / 3;
            driver->tap(segments->superview()->convertPointToView(
                {frame.origin.x + width * c.segment + width / 2, frame.origin.y + frame.size.height / 2}, nullptr));
        }
        EXPECT_EQ(screen->currentShowType(), c.segment);
        typeSearch(c.search);
        EXPECT_EQ(numbers(), c.rows);
        EXPECT_EQ(table().numberOfRowsInSection(0), static_cast<int>(c.rows.size()));
        // Load-more is for the kinds that hold submitted orders.
        EXPECT_EQ(table().loadMoreEnable(), c.segment != 2);
    }
    // The search button closes the keyboard.
    driver->pressKey("\n");
    EXPECT_FALSE(screen->searchBar()->textField().isFirstResponder());
}

TEST_F(OrderHistoryScreenTest, SubmitSendsOnceAndAnswersEachOutcome)
{
    auto first = storedOrder("Acme", 2);
    auto second = storedOrder("Acme", 1);
    auto third = storedOrder("Named Co", 0);
    show();
    // The demo login sends nothing.
    LoginMode::sharedInstance()->setLoginType(3);
    ASSERT_TRUE(driver->tap(screen->btnSubmitAll()));
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->tag(), QuoteOrderHistoryController::kDemoAlertTag);
    answer("SIGNUPNOW");
    EXPECT_EQ(opened, std::vector<std::string>{BrivantaAppDelegate::kRegistrationPageAddress});
    EXPECT_TRUE(logged("518").empty());
    LoginMode::sharedInstance()->setLoginType(1);

    // A lost login offers the way back to the login page.
    ASSERT_TRUE(backend().setFault("518", "status", 1, R"("status": "101")"));
    ASSERT_TRUE(driver->tap(&row(rowOf(*first->number()))->btnSubmit()));
    settle([&] { return alert() != nullptr; });
    EXPECT_EQ(alert()->tag(), QuoteOrderHistoryController::kLoginLostAlertTag);
    EXPECT_EQ(alert()->message(), Language::stringWithName("101"));
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    answer("CANCEL");
    ASSERT_TRUE(backend().reset());
    size_t before = logged("518").size();

    // SUBMIT ALL, then more taps while the answer is on its way: one upload holds all three.
    ASSERT_TRUE(driver->tap(screen->btnSubmitAll()));
    EXPECT_NE(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    screen->btnSubmitAllClick();
    screen->btnSubmitClick(4500 + rowOf(*second->number()));
    settle([&] { return alert() != nullptr; });
    EXPECT_EQ(alert()->message(), Language::stringWithName("SUCCESSFULLYSUBMIT"));
    auto sent = logged("518");
    ASSERT_EQ(sent.size(), before + 1);
    std::string document = JSONFragment(sent.back()["syncData"]).value_or("");
    for (const auto& order : {first, second, third})
        EXPECT_NE(document.find(*order->number()), std::string::npos) << *order->number();
    answer("OK");
    for (const auto& order : screen->selectOrders())
        EXPECT_TRUE(order->isUploaded()) << *order->number();
    EXPECT_TRUE(screen->btnSubmitAll()->isHidden());
    review("orders_submitted");
}

TEST_F(OrderHistoryScreenTest, PullingUpLoadsTenOlderOrdersAtATime)
{
    show();
    auto pullUp = [&] {
        // A finger held the whole way up, past the end of the list (or of the empty table).
        driver->press({500, 670});
        for (int i = 1; i <= 12; ++i) {
            driver->moveTo({500, 670 - 500.0 * i / 12});
            driver->wait(1.0 / 60);
        }
        driver->release();
        driver->wait(1.1);
    };
    struct Page {
        size_t rows;
        bool scrolledToEnd;
    } pages[] = {{10, true}, {12, true}, {12, false}};
    gfx::Point offset;
    for (const auto& page : pages) {
        SCOPED_TRACE(page.rows);
        size_t sent = logged("265-history").size();
        pullUp();
        settle([&] { return !table().pullTableIsLoadingMore() && logged("265-history").size() > sent; });
        base::RunLoop::main().advance(1);
        EXPECT_EQ(logged("265-history").back()["parameters"]["numberOfOrder"].toString(), "10");
        EXPECT_EQ(screen->selectOrders().size(), page.rows);
        if (page.scrolledToEnd) {
            gfx::Rect last = table().rectForRowAtIndexPath({0, static_cast<int>(page.rows) - 1});
            EXPECT_LE(last.maxY(), table().contentOffset().y + table().bounds().size.height + 1);
            // The top row is whole, not cut by the column header.
            EXPECT_DOUBLE_EQ(std::fmod(table().contentOffset().y, 50), 0) << table().contentOffset().y;
            offset = table().contentOffset();
        } else {
            // reachEnd: rows and offset stay.
            EXPECT_EQ(table().contentOffset().y, offset.y);
        }
    }
    review("orders_loaded");
    // Under the demo login, or in UNSUBMITTED, pulling up asks for nothing.
    size_t sent = logged("265-history").size();
    LoginMode::sharedInstance()->setLoginType(3);
    screen->refreshData();
    EXPECT_FALSE(table().loadMoreEnable());
    pullUp();
    EXPECT_EQ(logged("265-history").size(), sent);
}

TEST_F(OrderHistoryScreenTest, TheWheelReachingTheEndLoadsOlderOrders)
{
    show();
    // A desktop user rolls the wheel down over the list: no pull past the end exists.
    auto rollDown = [&] {
        for (int i = 0; i < 40; ++i)
            window->scrollWheel({500, 400}, 0, 40);
    };
    for (size_t rows : {10u, 12u, 12u}) {
        SCOPED_TRACE(rows);
        size_t sent = logged("265-history").size();
        rollDown();
        settle([&] { return !table().pullTableIsLoadingMore() && logged("265-history").size() > sent; });
        base::RunLoop::main().advance(1);
        EXPECT_EQ(logged("265-history").size(), sent + 1);
        EXPECT_EQ(screen->selectOrders().size(), rows);
    }
    // Rolling up at the top, or where nothing more can come, asks for nothing.
    size_t sent = logged("265-history").size();
    for (int i = 0; i < 40; ++i)
        window->scrollWheel({500, 400}, 0, -40);
    base::RunLoop::main().advance(1);
    EXPECT_EQ(logged("265-history").size(), sent);
    LoginMode::sharedInstance()->setLoginType(3);
    screen->refreshData();
    rollDown();
    base::RunLoop::main().advance(1);
    EXPECT_EQ(logged("265-history").size(), sent);
}

TEST_F(OrderHistoryScreenTest, AnotherFilterStartsAtItsFirstRowBelowTheHeader)
{
    for (int i = 0; i < 16; ++i)
        storedOrder("Globex " + std::to_string(i), 1);
    show();
    // Half a row down the whole list, then the unsubmitted ones.
    table().setContentOffset({0, 25});
    driver->wait(0.5);
    auto* segments = screen->segments();
    gfx::Rect frame = segments->frame();
    double width = frame.size.width / 3;
    driver->tap(segments->superview()->convertPointToView(
        {frame.origin.x + width * 2 + width / 2, frame.origin.y + frame.size.height / 2}, nullptr));
    driver->wait(0.5);
    ASSERT_EQ(screen->currentShowType(), 2);
    ASSERT_GT(table().numberOfRowsInSection(0), 0);
    gfx::Rect first = table().convertRectToView(table().rectForRowAtIndexPath({0, 0}), nullptr);
    EXPECT_GE(first.minY(), table().convertRectToView(table().bounds(), nullptr).minY() - 0.5)
        << "the first row sits under the column header";
    review("orders_filter_switched");
}

TEST_F(OrderHistoryScreenTest, CopyAndDeleteActOnTheOrderTheyNamed)
{
    for (int i = 0; i < 12; ++i)
        storedOrder("Customer " + std::to_string(i), 1);
    show();
    auto pressRow = [&](int r) {
        gfx::Rect rect = table().rectForRowAtIndexPath({0, r});
        gfx::Point point = table().convertPointToView({300, rect.origin.y + 25}, nullptr);
        driver->longPress(point, 1.0);
    };
    struct Case {
        int row;
        ui::PopoverArrowDirection arrow;
    } cases[] = {{1, ui::PopoverArrowDirectionUp}, {9, ui::PopoverArrowDirectionDown}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        pressRow(c.row);
        ASSERT_TRUE(screen->popCellEdit());
        ASSERT_TRUE(screen->popCellEdit()->isPopoverVisible());
        EXPECT_EQ(screen->popCellEdit()->popoverArrowDirection(), c.arrow);
        gfx::Rect box = screen->popCellEdit()->popoverFrame();
        gfx::Rect rowRect = table().convertRectToView(table().rectForRowAtIndexPath({0, c.row}), nullptr);
        if (c.arrow == ui::PopoverArrowDirectionUp)
            EXPECT_GE(box.origin.y, rowRect.origin.y);
        else
            EXPECT_LE(box.maxY(), rowRect.maxY());
        EXPECT_EQ(screen->selectedRow(), c.row);
        EXPECT_TRUE(row(c.row)->isTouched());
        if (c.row == 9)
            review("orders_popover");
        // Touching another row lets the held one go.
        gfx::Point other = table().convertPointToView({300, table().rectForRowAtIndexPath({0, 0}).origin.y + 25}, nullptr);
        driver->tap(other);
        EXPECT_FALSE(screen->popCellEdit() && screen->popCellEdit()->isPopoverVisible());
        EXPECT_FALSE(row(c.row)->isTouched());
        EXPECT_FALSE(table().cellIsSelected());
        while (nav->viewControllers().size() > 1)
            nav->popViewController(false);
    }

    // COPY adds an order with a number of its own.
    std::string copied = *screen->selectOrders()[2]->number();
    pressRow(2);
    base::RunLoop::main().advance(1.5);
    auto* content = dynamic_cast<HistoryEditPopController*>(screen->popCellEdit()->contentViewController().get());
    ASSERT_TRUE(content);
    ASSERT_TRUE(driver->tap(content->btnCopy()));
    EXPECT_EQ(screen->selectOrders().size(), 13u);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where customer_name = 'Customer 9'"), 2);
    EXPECT_EQ(count("select count(distinct order_number) from brivanta_quote_order"), 13);
    EXPECT_FALSE(table().cellIsSelected());

    // DELETE asks; a list fetched again meanwhile does not change which order goes.
    std::string doomed = *screen->selectOrders()[4]->number();
    pressRow(4);
    content = dynamic_cast<HistoryEditPopController*>(screen->popCellEdit()->contentViewController().get());
    ASSERT_TRUE(content);
    ASSERT_TRUE(driver->tap(content->btnDelete()));
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->tag(), 4504);
    storedOrder("Newest", 1);
    storedOrder("Newer still", 1);
    screen->refreshData();
    ASSERT_EQ(rowOf(doomed), 6);
    answer("OK");
    EXPECT_EQ(rowOf(doomed), -1);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where order_number = '" + doomed + "'"), 0);
    EXPECT_EQ(screen->selectOrders().size(), 14u);
    EXPECT_FALSE(table().cellIsSelected());
    EXPECT_NE(rowOf(copied), -1);
}

// An upload (the list's SUBMIT ALL, or one order's SUBMIT) answers while an editor holds one of
// its orders in edit: the answer moves the stored order to the server's id under the editor.
TEST_F(OrderHistoryScreenTest, AnEditorOpenWhenTheUploadAnswersSavesToTheOrdersRow)
{
    for (bool single : {false, true}) {
        SCOPED_TRACE(single ? "one order" : "every order");
        auto order = storedOrder("Acme", 1);
        const std::string numbered = "select count(*) from brivanta_quote_order where order_number = '" +
                                     *order->number() + "'";
        show();
        ASSERT_TRUE(driver->tap(row(rowOf(*order->number()))));
        base::RunLoop::main().advance(1);
        auto editor = std::dynamic_pointer_cast<QuoteOrderViewController>(nav->topViewController());
        ASSERT_TRUE(editor);
        ASSERT_EQ(editor->state(), 2);
        ASSERT_TRUE(driver->tap(&editor->saveButton())); // EDIT
        auto* cell = dynamic_cast<QuoteOrderItemsTableViewCell*>(editor->tableView().cellForRowAtIndexPath({0, 0}));
        ASSERT_TRUE(cell);
        auto& quantity = cell->quantityTextField();
        ASSERT_TRUE(driver->tap(&quantity));
        for (size_t i = quantity.text().size(); i > 0; --i)
            driver->pressKey("\b");
        driver->type("40");
        driver->pressKey("\n");
        ASSERT_EQ(editor->quoteOrder()->items().front()->quantity(), 40);

        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        ASSERT_TRUE(store->startUploadQuoteOrder(single ? order->serial() : 0));
        settle([&] { return !store->submitting(); });
        int current = data->getLocalOrderIdWithOrderNumber(order->number());
        ASSERT_GT(current, 0) << "the server's id";
        EXPECT_TRUE(editor->quoteOrder()->isInEdit());
        ui::AlertView::dismissAllForTesting();

        ASSERT_EQ(editor->saveCurrentOrder(), current);
        EXPECT_EQ(count(numbered), 1);
        EXPECT_EQ(count("select count(*) from brivanta_quote_order_item where order_id = " + std::to_string(current)), 1);
        EXPECT_EQ(count("select uploaded from brivanta_quote_order where order_id = " + std::to_string(current)), 0);
        EXPECT_EQ(editor->state(), 2);

        // The next upload carries the edit.
        size_t before = logged("518").size();
        ASSERT_TRUE(store->startUploadQuoteOrder(single ? current : 0));
        settle([&] { return !store->submitting(); });
        auto sent = logged("518");
        ASSERT_EQ(sent.size(), before + 1);
        const auto& orders = sent.back()["syncData"]["order"].asArray();
        ASSERT_EQ(orders.size(), 1u);
        EXPECT_EQ(orders[0]["order_number"], base::Value(*order->number()));
        EXPECT_EQ(orders[0]["order_item"]["order_items"].asArray()[0]["product_quantity"].toString(), "40");
        EXPECT_EQ(count("select uploaded from brivanta_quote_order where order_id = " + std::to_string(current)), 1);
        EXPECT_EQ(count(numbered), 1);

        ui::AlertView::dismissAllForTesting();
        nav->popViewController(false);
        base::RunLoop::main().advance(1);
        ASSERT_TRUE(data->removeQuoteOrder(current));
        ASSERT_TRUE(backend().reset());
    }
}

TEST_F(OrderHistoryScreenTest, RowsAndNewOrderOpenTheEditor)
{
    auto sent = storedOrder("Sent Co", 1, true);
    auto open = storedOrder("Open Co", 1);
    show();
    EXPECT_TRUE(nav->isNavigationBarHidden());
    struct Case {
        std::shared_ptr<QuoteOrderEntity> order;
        int state;
    } cases[] = {{sent, 1}, {open, 2}, {nullptr, 0}};
    for (const auto& c : cases) {
        if (c.order)
            ASSERT_TRUE(driver->tap(row(rowOf(*c.order->number()))));
        else
            ASSERT_TRUE(driver->tap(screen->btnNewOrder()));
        base::RunLoop::main().advance(1);
        auto editor = std::dynamic_pointer_cast<QuoteOrderViewController>(nav->topViewController());
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->state(), c.state);
        ASSERT_TRUE(editor->quoteOrder());
        if (c.order) {
            EXPECT_EQ(editor->quoteOrder()->number(), c.order->number());
        }
        EXPECT_FALSE(QuoteOrderStore::sharedQuoteOrderStore()->addQuoteOrder());
        nav->popViewController(false);
        base::RunLoop::main().advance(1);
    }
    // A new order the catalogue left opens by itself, marked changed.
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    store->setAddQuoteOrder(store->createNewQuoteOrder());
    screen->viewWillAppear(false);
    // It opens on the next turn, once the list has appeared.
    base::RunLoop::main().runPending();
    auto editor = std::dynamic_pointer_cast<QuoteOrderViewController>(nav->topViewController());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->state(), 0);
    EXPECT_TRUE(editor->isOrderChanged());
    EXPECT_FALSE(store->addQuoteOrder());

    // Out of sight, a memory warning lets the list go; back on top it is built again.
    driver->simulateMemoryWarning();
    EXPECT_EQ(screen->historyOrderTable(), nullptr);
    nav->popViewController(false);
    base::RunLoop::main().advance(1);
    ASSERT_NE(screen->historyOrderTable(), nullptr);
    EXPECT_EQ(table().numberOfRowsInSection(0), 2);
    EXPECT_NE(row(0)->lblOrderNum().text(), "");
}

} // namespace
