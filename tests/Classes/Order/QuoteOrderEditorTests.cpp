// The order editor on a navigation stack in the headless window, over a real client database
// and the real order store: states, totals and the order discount, lines, save and leave.
#include "Classes/Order/AddressTableViewController.h"
#include "Classes/Order/QuoteOrderItemsTableViewCell.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Widgets/IconButton.h"
#include "Classes/Catalog/ProductDetailController.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/MessageBox.h"
#include "Common/PublicFunction.h"
#include "Common/QVTextField.h"
#include "Database/DataAccessManager.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/PopoverController.h"
#include "Protocol/LoginMode.h"
#include "tests/App/AppWindowTestSupport.h"

#include <functional>

namespace {

std::shared_ptr<QuoteOrderItemEntity> line(int productId, const std::string& name, double price, int quantity)
{
    auto item = std::make_shared<QuoteOrderItemEntity>();
    brivanta_product_Entity product;
    product.product_id = productId;
    product.product_name = name;
    product.product_sku = "SKU-" + std::to_string(productId);
    item->setProduct(product);
    item->setSku(product.product_sku);
    item->setCurrency("USD");
    item->setPrice(price);
    item->setFinalPrice(price);
    item->setQuantity(quantity);
    return item;
}

class EditorTest : public apptest::AppWindowTest {
protected:
    EditorTest()
    {
        ui::View::setAnimationsEnabled(false);
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
        QuoteOrderStore::freeInstance();
        ConfigManager::freeInstance();
        ui::Keyboard::resetForTesting();
        LoginMode::sharedInstance()->setClientID("AcMe");
        data = DataAccessManager::sharedDataModel();
        ConfigEntity modify;
        modify.configType = "modify_price";
        modify.desc = "1";
        ConfigManager::sharedInstance()->syncConfigData(std::vector{modify});
        ConfigManager::sharedInstance()->setModelDescArray(std::vector<std::string>(7, "1"));
        root = std::make_shared<ui::ViewController>();
        nav = std::make_shared<ui::NavigationController>(root);
        window->setRootViewController(nav);
    }
    ~EditorTest() override
    {
        ui::AlertView::dismissAllForTesting();
        editor.reset();
        nav.reset();
        root.reset();
        data.reset();
        QuoteOrderStore::freeInstance();
        ConfigManager::freeInstance();
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
        ui::Keyboard::resetForTesting();
    }
    // The new order of the store with the lines, opened as the order list opens it.
    void open(int state, std::vector<std::shared_ptr<QuoteOrderItemEntity>> lines, bool inEdit = true)
    {
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        order = store->createNewQuoteOrder();
        store->setAddQuoteOrder(nullptr);
        order->setItems(std::move(lines));
        if (order->hasItems())
            order->setCurrency("USD");
        order->setIsInEdit(inEdit);
        editor = std::make_shared<QuoteOrderViewController>();
        editor->setState(state);
        editor->setQuoteOrder(order);
        nav->pushViewController(editor, false);
        driver->wait(1);
        window->layoutIfNeeded();
    }
    void typeInto(ui::TextField& field, const std::string& text)
    {
        driver->tap(&field);
        for (size_t i = field.text().size(); i > 0; --i)
            driver->pressKey("\b");
        driver->type(text);
        driver->pressKey("\n");
    }
    QuoteOrderItemsTableViewCell* cellAt(int row)
    {
        return dynamic_cast<QuoteOrderItemsTableViewCell*>(editor->tableView().cellForRowAtIndexPath({0, row}));
    }
    void answer(int tag, int index)
    {
        auto alert = ui::AlertView::visibleAlert();
        ASSERT_NE(alert, nullptr);
        ASSERT_EQ(alert->tag(), tag);
        ASSERT_NE(alert->delegate(), nullptr);
        alert->delegate()->alertViewClickedButtonAtIndex(*alert, index);
        ui::AlertView::dismissAllForTesting();
    }
    void review(const std::string& name)
    {
        if (const char* folder = std::getenv("BRIVANTA_REVIEW_DIR"))
            driver->screenshot(std::string(folder) + "/" + name);
    }

    std::shared_ptr<DataAccessManager> data;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<QuoteOrderViewController> editor;
    std::shared_ptr<QuoteOrderEntity> order;
};

TEST_F(EditorTest, ControlsFollowTheStateTheLinesAndTheCustomer)
{
    open(0, {});
    EXPECT_FALSE(editor->pdfButton().isEnabled());
    EXPECT_FALSE(editor->submitButton().isEnabled());
    EXPECT_TRUE(editor->discountButton().isHidden());
    EXPECT_EQ(editor->totalLabel().text(), "");
    EXPECT_EQ(editor->discountField().text(), "");
    nav->popViewController(false);

    open(0, {line(7, "Widget", 60, 2)});
    EXPECT_TRUE(editor->pdfButton().isEnabled());
    EXPECT_FALSE(editor->submitButton().isEnabled()) << "customers shown and none named";
    EXPECT_FALSE(editor->discountButton().isHidden());
    EXPECT_EQ(editor->totalLabel().text(), "$120.00");
    typeInto(editor->customerField(), "ACME Ltd");
    EXPECT_TRUE(editor->submitButton().isEnabled());
    EXPECT_EQ(order->customerName(), "ACME Ltd");
    EXPECT_TRUE(editor->isOrderChanged());
    review("order_editor_state0.png");
    nav->popViewController(false);

    // A saved order not in edit: read-only lines, EDIT while unsigned, no EDIT once signed.
    for (bool signedOrder : {false, true}) {
        open(2, {line(7, "Widget", 60, 2)}, false);
        if (signedOrder) {
            order->setSignature("c2lnbmVk");
            editor->viewWillAppear(false);
        }
        EXPECT_EQ(editor->saveButton().tag(), QuoteOrderViewController::kTagEditButton);
        EXPECT_EQ(editor->saveButton().isEnabled(), !signedOrder);
        EXPECT_EQ(editor->signedStamp().isHidden(), !signedOrder);
        ASSERT_NE(cellAt(0), nullptr);
        EXPECT_FALSE(cellAt(0)->quantityTextField().isEnabled());
        EXPECT_EQ(editor->canEditRowAtIndexPath(editor->tableView(), {0, 0}), !signedOrder);
        if (signedOrder)
            review("order_editor_state2_signed.png");
        nav->popViewController(false);
    }

    open(1, {line(7, "Widget", 60, 2)}, false);
    EXPECT_TRUE(editor->saveButton().isHidden());
    EXPECT_TRUE(editor->submitButton().isHidden());
    EXPECT_TRUE(editor->discountButton().isHidden());
    EXPECT_FALSE(editor->canEditRowAtIndexPath(editor->tableView(), {0, 0}));
    review("order_editor_state1.png");
}

TEST_F(EditorTest, TheDiscountedTotalAndTheRateStayTogether)
{
    open(0, {line(7, "Widget", 60, 2)});
    struct Case {
        const char* typed;
        const char* shown;
        double rate;
        bool alert;
    };
    for (const Case& c : {Case{"90.00", "90.00", 25, false}, Case{"150.00", "120.00", 0, false},
                          Case{"12.5", "12.5", 0, true}}) {
        typeInto(editor->discountField(), c.typed);
        EXPECT_EQ(editor->discountField().text(), c.shown) << c.typed;
        EXPECT_DOUBLE_EQ(order->discountRat(), c.rate) << c.typed;
        EXPECT_EQ(ui::AlertView::visibleAlert() != nullptr, c.alert) << c.typed;
        ui::AlertView::dismissAllForTesting();
        // The footer is back in its place after the lift.
        EXPECT_EQ(editor->footerBar().frame(), QuoteOrderViewController::footerFrame());
        EXPECT_EQ(editor->tableView().frame(), QuoteOrderViewController::tableFrame());
    }
    EXPECT_DOUBLE_EQ(order->discount(), 120);

    // The popup: 150 is taken as 100, the discounted total 0; a later quantity change resets it.
    driver->tap(&editor->discountButton());
    ASSERT_TRUE(editor->discountPopover()->isPopoverVisible());
    QVTextField& rate = *editor->discountPopup()->txtDiscountRat();
    EXPECT_EQ(rate.text(), "0.00");
    typeInto(rate, "150");
    EXPECT_FALSE(editor->discountPopover()->isPopoverVisible());
    EXPECT_EQ(editor->discountField().text(), "0.00");
    EXPECT_DOUBLE_EQ(order->discountRat(), 100);
    ASSERT_NE(cellAt(0), nullptr);
    typeInto(cellAt(0)->quantityTextField(), "3");
    EXPECT_EQ(order->items()[0]->quantity(), 3);
    EXPECT_EQ(editor->totalLabel().text(), "$180.00");
    // A rate of 100 works out to 0, which resets the rate itself: the discounted total is the total.
    EXPECT_EQ(editor->discountField().text(), "180.00");
    EXPECT_DOUBLE_EQ(order->discountRat(), 0);
    typeInto(cellAt(0)->quantityTextField(), "4");
    EXPECT_EQ(editor->discountField().text(), "240.00");
}

TEST_F(EditorTest, AZeroQuantityAsksAndTheAnswerKeepsOrRemovesTheLine)
{
    open(0, {line(7, "Widget", 60, 2), line(8, "Gadget", 10, 1)});
    ASSERT_NE(cellAt(0), nullptr);
    typeInto(cellAt(0)->quantityTextField(), "0");
    answer(QuoteOrderViewController::kLineTagBase, 0);
    EXPECT_EQ(cellAt(0)->quantityTextField().text(), "2");
    EXPECT_EQ(order->items().size(), 2u);
    EXPECT_EQ(order->items()[0]->quantity(), 2);

    typeInto(cellAt(1)->quantityTextField(), "0");
    answer(QuoteOrderViewController::kLineTagBase + 1, 1);
    ASSERT_EQ(order->items().size(), 1u);
    EXPECT_EQ(order->items()[0]->product()->product_name, "Widget");
    EXPECT_EQ(editor->totalLabel().text(), "$120.00");

    // The last line gone: empty totals, no currency.
    typeInto(cellAt(0)->quantityTextField(), "0");
    answer(QuoteOrderViewController::kLineTagBase, 1);
    EXPECT_TRUE(order->items().empty());
    EXPECT_EQ(editor->totalLabel().text(), "");
    EXPECT_EQ(order->currency(), std::nullopt);
    EXPECT_FALSE(editor->pdfButton().isEnabled());
}

TEST_F(EditorTest, TheProductPagesLineEditChangesOrMergesTheLine)
{
    auto first = line(7, "Widget", 60, 2), second = line(7, "Widget", 60, 1);
    first->setAttributes("Colour:Red");
    second->setAttributes("Colour:Blue");
    open(0, {first, second});
    typeInto(editor->discountField(), "100.00");
    brivanta_product_Entity page;
    page.product_sku = "SKU-7";
    page.attributes = "Colour:Blue";
    page.count = 3;
    // Line 1 edited to three: the discounted total is worked out again from the rate the
    // typed total gave (100 of 180: 44.44 % off), not kept at 100.
    editor->saveOrderItemIndex(page, 1);
    ASSERT_EQ(order->items().size(), 2u);
    EXPECT_EQ(order->items()[1]->quantity(), 3);
    EXPECT_EQ(editor->discountField().text(), "166.67");
    // Line 1 given line 0's attributes: the two merge into line 0.
    page.attributes = "Colour:Red";
    page.count = 4;
    editor->saveOrderItemIndex(page, 1);
    ASSERT_EQ(order->items().size(), 1u);
    EXPECT_EQ(order->items()[0]->quantity(), 6);
    EXPECT_EQ(order->items()[0]->product()->count, 6);
    EXPECT_EQ(editor->totalLabel().text(), "$360.00");
    EXPECT_EQ(editor->discountField().text(), "200.00");
    editor->saveOrderItemIndex(page, 5); // no such line
    EXPECT_EQ(order->items().size(), 1u);
}

// A line's picture opens its product page in line-edit mode with the line's count; saving
// there changes the line and brings the editor back. A SKU opens a plain page, a saved
// order's line a page that only shows.
TEST_F(EditorTest, ALinesPictureOrSkuOpensItsProductPage)
{
    open(0, {line(7, "Widget", 60, 2)});
    auto pageOnTop = [&] { return std::dynamic_pointer_cast<ProductDetailController>(nav->topViewController()); };
    editor->tapImage(QuoteOrderViewController::kLineTagBase + 5); // no such line
    EXPECT_EQ(nav->topViewController(), editor);

    editor->tapImage(QuoteOrderViewController::kLineTagBase);
    driver->wait(1);
    auto page = pageOnTop();
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->isInEdit());
    EXPECT_EQ(page->itemIndex(), 0);
    EXPECT_EQ(page->countTextField()->text(), "2");
    EXPECT_TRUE(page->_tapToLeftProduct()->isHidden());
    page->countTextField()->setText("5");
    ASSERT_TRUE(driver->tap(page->addToOrderBtn().get()));
    driver->wait(1);
    EXPECT_EQ(nav->topViewController(), editor);
    EXPECT_EQ(order->items()[0]->quantity(), 5);

    editor->tapSKU(QuoteOrderViewController::kLineTagBase);
    driver->wait(1);
    page = pageOnTop();
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->isInEdit());
    EXPECT_EQ(page->delegate(), nullptr);
    nav->popViewController(false);
    driver->wait(1);

    order->setIsInEdit(false);
    editor->tapImage(QuoteOrderViewController::kLineTagBase);
    driver->wait(1);
    page = pageOnTop();
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->isInEdit());
    EXPECT_TRUE(page->countTextField()->isHidden());
}

TEST_F(EditorTest, SavingTurnsTheScreenToASavedOrderAndLeavingAsksFirst)
{
    open(0, {line(7, "Widget", 60, 2)});
    typeInto(editor->noteField(), "Deliver before noon");
    driver->tap(&editor->saveButton());
    EXPECT_EQ(editor->state(), 2);
    EXPECT_EQ(editor->saveButton().tag(), QuoteOrderViewController::kTagEditButton);
    EXPECT_FALSE(editor->isOrderChanged());
    EXPECT_FALSE(cellAt(0)->quantityTextField().isEnabled());
    auto stored = data->fetchQuoteOrdersCondition(0, std::nullopt);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->customerNote(), "Deliver before noon");
    EXPECT_EQ(data->fetchQuoteOrderItemsWithQuoteOrder(stored[0]->serial()).size(), 1u);

    // EDIT reopens; a change then asks before leaving, and NOTSAVE leaves without writing.
    driver->tap(&editor->saveButton());
    EXPECT_EQ(editor->saveButton().tag(), QuoteOrderViewController::kTagSaveButton);
    EXPECT_TRUE(cellAt(0)->quantityTextField().isEnabled());
    typeInto(cellAt(0)->quantityTextField(), "5");
    driver->tap(driver->findByText(Language::stringWithName("ORDERLIST")));
    answer(QuoteOrderViewController::kAskSaveChanges, 0);
    driver->wait(1);
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_EQ(data->fetchQuoteOrderItemsWithQuoteOrder(stored[0]->serial())[0]->quantity(), 2);
}

// The program ends while the editor is open: what leaving would ask to save is stored as Save
// stores it, with the text still being typed, and nothing is asked; an order with nothing to
// keep writes nothing.
TEST_F(EditorTest, WhatLeavingWouldAskToSaveIsStoredWhenTheProgramEnds)
{
    struct Case {
        const char* name;
        bool withLine;
        ui::TextField& (*field)(QuoteOrderViewController&);
        const char* typing;
        bool stored;
        const char* note;
        double discount;
        bool inPopup = false;
    };
    auto none = static_cast<ui::TextField& (*)(QuoteOrderViewController&)>(nullptr);
    auto note = +[](QuoteOrderViewController& e) -> ui::TextField& { return e.noteField(); };
    auto discount = +[](QuoteOrderViewController& e) -> ui::TextField& { return e.discountField(); };
    auto rate = +[](QuoteOrderViewController& e) -> ui::TextField& { return *e.discountPopup()->txtDiscountRat(); };
    for (const Case& c : {Case{"a line, nothing typed", true, none, "", true, "", 0},
                          Case{"nothing at all", false, none, "", false, "", 0},
                          Case{"no line, a note being typed", false, note, "Call first", true, "Call first", 0},
                          Case{"a discount being typed", true, discount, "100", true, "", 100},
                          Case{"a rate being typed in the discount popup", true, rate, "10", true, "", 108, true},
                          Case{"a refused rate being typed in the discount popup", true, rate, "12.5", true, "", 0, true},
                          // Last: the refused text keeps its field from giving up the keyboard.
                          Case{"a refused discount being typed", true, discount, "12.5", true, "", 0}}) {
        SCOPED_TRACE(c.name);
        open(0, c.withLine ? std::vector{line(7, "Widget", 60, 2)} : std::vector<std::shared_ptr<QuoteOrderItemEntity>>{});
        if (c.inPopup) {
            ASSERT_TRUE(driver->tap(&editor->discountButton()));
        }
        if (c.field) {
            // The popup's field has the caret as it opens.
            if (!c.inPopup)
                driver->tap(&c.field(*editor));
            for (size_t i = c.field(*editor).text().size(); i > 0; --i)
                driver->pressKey("\b");
            driver->type(c.typing);
            ASSERT_TRUE(c.field(*editor).isFirstResponder());
        }
        QuoteOrderStore::keepOpenOrder();
        EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr) << "nothing is asked";
        auto stored = data->fetchQuoteOrdersCondition(0, std::nullopt);
        ASSERT_EQ(stored.size(), c.stored ? 1u : 0u);
        if (c.stored) {
            EXPECT_EQ(stored[0]->customerNote(), c.note);
            EXPECT_DOUBLE_EQ(stored[0]->discount(), c.discount);
            EXPECT_FALSE(stored[0]->isUploaded()) << "kept, never sent";
            EXPECT_EQ(data->fetchQuoteOrderItemsWithQuoteOrder(stored[0]->serial()).size(), c.withLine ? 1u : 0u);
            // Stored once: the store does not store it again behind the editor.
            QuoteOrderStore::keepOpenOrder();
            EXPECT_EQ(data->fetchQuoteOrdersCondition(0, std::nullopt).size(), 1u);
            EXPECT_TRUE(QuoteOrderStore::sharedQuoteOrderStore()->removeQuoteOrder(stored[0]->serial()));
        }
        ui::AlertView::dismissAllForTesting();
        nav->popToRootViewController(false);
        editor.reset();
        QuoteOrderStore::freeInstance();
    }
}

// A line's quantity typed and not confirmed, then a road out of the editor: the road takes it
// through the check Return runs. An accepted quantity is what the screen shows, the database
// holds and the next screen sees; a refused one stops the road with the check's alert, the
// field still in edit, and nothing is stored; a quantity of 0 stops it at the question whether
// the line goes. The program's end cannot stop: it keeps the last accepted quantity, asking
// nothing.
TEST_F(EditorTest, EveryRoadOutTakesTheLineValueBeingTyped)
{
    struct Road {
        const char* name;
        std::function<void()> take;
        bool stops;
    };
    auto tapText = [this](const char* key) {
        return [this, key] { ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName(key)))); };
    };
    const Road roads[] = {
        {"Save", tapText("SAVE"), true},
        {"Submit", tapText("SUBMIT"), true},
        {"View as PDF", tapText("VIEWINPDF"), true},
        {"Order List", tapText("ORDERLIST"), true},
        {"the program's end", [] { QuoteOrderStore::keepOpenOrder(); }, false},
    };
    auto storedQuantities = [this] {
        std::vector<int> quantities;
        for (const auto& stored : data->fetchQuoteOrdersCondition(0, std::nullopt))
            for (const auto& item : data->fetchQuoteOrderItemsWithQuoteOrder(stored->serial()))
                quantities.push_back(item->quantity());
        return quantities;
    };
    // Customers hidden: lines alone make an order one can submit, with no question about them.
    ConfigManager::sharedInstance()->setModelDescArray(std::vector<std::string>{"1", "1", "0", "1", "1", "1", "1"});
    for (const Road& road : roads) {
        // 4.5 is refused by the check; 0 passes it and asks whether the line goes.
        for (const std::string typed : {"4", "4.5", "0"}) {
            bool refused = typed != "4";
            SCOPED_TRACE(std::string(road.name) + ", typed " + typed);
            open(0, {line(7, "Widget", 60, 2)});
            QVTextField& quantity = cellAt(0)->quantityTextField();
            driver->tap(&quantity);
            driver->pressKey("\b");
            driver->type(typed);
            road.take();
            driver->wait(1);
            auto alert = ui::AlertView::visibleAlert();
            if (refused && road.stops) {
                ASSERT_NE(alert, nullptr);
                EXPECT_EQ(alert->tag(), typed == "0" ? QuoteOrderViewController::kLineTagBase : QVTextField::kAlertTag);
                EXPECT_EQ(quantity.isFirstResponder(), typed != "0") << "a refused value stays in its field";
                EXPECT_EQ(nav->topViewController(), editor);
                EXPECT_EQ(editor->state(), 0);
                EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0) << "nothing sent";
                EXPECT_TRUE(storedQuantities().empty());
                // The program ends before it is answered: the 0 was never taken, the line keeps 2.
                QuoteOrderStore::keepOpenOrder();
                EXPECT_EQ(storedQuantities(), std::vector<int>{2});
            } else if (refused) {
                EXPECT_EQ(alert, nullptr);
                EXPECT_EQ(storedQuantities(), std::vector<int>{2});
                EXPECT_EQ(quantity.text(), "2");
            } else {
                // Leaving asks about the changes; SAVE stores them and leaves. (Submit's answer here
                // is the missing network's.)
                ASSERT_TRUE(!alert || alert->tag() != QVTextField::kAlertTag);
                if (alert && alert->tag() == QuoteOrderViewController::kAskSaveChanges)
                    answer(QuoteOrderViewController::kAskSaveChanges, 1);
                EXPECT_FALSE(quantity.isFirstResponder());
                EXPECT_EQ(order->items()[0]->quantity(), 4);
                EXPECT_EQ(editor->totalLabel().text(), "$240.00");
                bool stores = std::string(road.name) != "View as PDF";
                EXPECT_EQ(storedQuantities(), stores ? std::vector<int>{4} : std::vector<int>{});
                if (!stores) {
                    EXPECT_NE(nav->topViewController(), editor) << "the order form shows the order as typed";
                }
            }
            nav->popToRootViewController(false);
            driver->wait(1);
            ui::AlertView::dismissAllForTesting();
            MessageBox::sharedInstance()->dismissAllMsgBox();
            for (const auto& stored : data->fetchQuoteOrdersCondition(0, std::nullopt))
                QuoteOrderStore::sharedQuoteOrderStore()->removeQuoteOrder(stored->serial());
            editor.reset();
            QuoteOrderStore::freeInstance();
        }
    }
}

TEST_F(EditorTest, TheFooterRisesAboveTheKeyboardOfTheInputLanguage)
{
    open(0, {line(7, "Widget", 60, 2)});
    driver->setInputLanguage("zh-Hans");
    driver->tap(&editor->discountField());
    driver->wait(1);
    EXPECT_EQ(editor->footerBar().frame(), gfx::Rect(0, 292, 1024, 50));
    EXPECT_EQ(editor->tableView().frame().height(), 145);
    driver->setInputLanguage("en-US");
    EXPECT_EQ(editor->footerBar().frame(), gfx::Rect(0, 346, 1024, 50));
    EXPECT_EQ(editor->tableView().frame().height(), 199);
    driver->pressKey("\n");
    EXPECT_EQ(editor->footerBar().frame(), QuoteOrderViewController::footerFrame());
    EXPECT_EQ(editor->tableView().frame(), QuoteOrderViewController::tableFrame());
}

// How many pixels of the button's place differ between two pictures of the window.
int changedPixels(const gfx::Image& a, const gfx::Image& b, const gfx::Rect& area)
{
    int changed = 0;
    for (int y = static_cast<int>(area.y()); y < static_cast<int>(area.maxY()); ++y)
        for (int x = static_cast<int>(area.x()); x < static_cast<int>(area.maxX()); ++x)
            changed += a.pixelAt(x, y) != b.pixelAt(x, y);
    return changed;
}

TEST_F(EditorTest, SubmitWithoutACustomerAndEditOfASignedOrderLookDisabled)
{
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        const char* suffix = language == 1 ? "en" : "cn";

        open(0, {line(7, "Widget", 60, 2)});
        ui::Button& submit = editor->submitButton();
        gfx::Rect place = submit.convertRectToView(submit.bounds(), window.get());
        ASSERT_FALSE(submit.isEnabled());
        review(std::string("order_submit_disabled_") + suffix + ".png");
        gfx::Image disabled = window->snapshot();
        typeInto(editor->customerField(), "Globex");
        ASSERT_TRUE(submit.isEnabled());
        driver->wait(1);
        EXPECT_GT(changedPixels(disabled, window->snapshot(), place), place.width() * place.height() / 4)
            << "a Submit that does nothing looks it";
        nav->popViewController(false);

        open(2, {line(7, "Widget", 60, 2)}, false);
        ui::Button& edit = editor->saveButton();
        place = edit.convertRectToView(edit.bounds(), window.get());
        gfx::Image unsigned_ = window->snapshot();
        order->setSignature("c2lnbmVk");
        editor->viewWillAppear(false);
        driver->wait(1);
        ASSERT_FALSE(edit.isEnabled());
        review(std::string("order_edit_signed_") + suffix + ".png");
        EXPECT_GT(changedPixels(unsigned_, window->snapshot(), place), place.width() * place.height() / 4)
            << "Edit on a signed order looks disabled";
        EXPECT_DOUBLE_EQ(edit.titleLabel().alpha(), ui::Control::kDisabledAlpha);
        nav->popViewController(false);
    }
}

TEST_F(EditorTest, ASavedOrdersSignsSitOnTheLineOfTheirAmounts)
{
    open(2, {line(7, "Widget", 60, 2)}, false);
    QuoteOrderItemsTableViewCell* cell = cellAt(0);
    ASSERT_NE(cell, nullptr);
    // The middle of the sign and of its borderless field's frame: the text of both is centred there.
    auto middle = [&](const ui::View& v) { return v.convertRectToView(v.bounds(), window.get()).midY(); };
    EXPECT_NEAR(middle(cell->lblPercentFlag()), middle(cell->txtDiscountRat()), 1) << "%";
    EXPECT_NEAR(middle(cell->lblDiscountCurrency()), middle(cell->txtDiscountPrice()), 1) << "$";
    review("order_saved_signs.png");
}

TEST_F(EditorTest, ChineseTexts)
{
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    open(0, {line(7, "中国茶具", 60, 2), line(8, "Gadget", -1, 1)});
    order->setSignature("c2lnbmVk");
    editor->viewWillAppear(false);
    editor->updateLanguage(nullptr);
    EXPECT_NE(driver->findByText(Language::stringWithName("VIEWINPDF")), nullptr);
    review("order_editor_chinese.png");
}

} // namespace

#include "Classes/Customer/CustomerDataModel.h"

namespace {

class EditorCustomerTest : public EditorTest {
protected:
    EditorCustomerTest()
    {
        // The standard customer fields, as a sync brings them.
        std::vector<brivanta_fields_customer_attribute_Entity> fields;
        int id = 10;
        for (const char* name : {"Phone", "Bank Account", "Active", "Address", "City", "State/Province/Region", "Zip Code"}) {
            brivanta_fields_customer_attribute_Entity field;
            field.field_id = ++id;
            field.field_name = name;
            field.display = 1;
            field.published = 1;
            fields.push_back(field);
        }
        EXPECT_TRUE(data->saveToDatabaseFieldsCustomerAttribute(fields));
        CustomerDataModel::freeInstance();
        acme = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode(
            "ACME Ltd", std::string("5 Elm Road"), std::string("Springfield"), std::string("Ohio"), std::string("45501"));
        CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Beta Foods");
        CustomerDataModel::sharedInstance()->reloadCustomerData();
    }
    ~EditorCustomerTest() override { CustomerDataModel::freeInstance(); }
    // The row of the search list that shows the name.
    void chooseFromList(const std::string& name)
    {
        window->layoutIfNeeded();
        auto* row = driver->findByText(name);
        ASSERT_NE(row, nullptr) << name;
        driver->tap(row);
    }
    int acme = 0;
};

TEST_F(EditorCustomerTest, ChoosingACustomerFillsTheAddressInTheLanguagesOrder)
{
    ASSERT_LT(acme, 0);
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        open(0, {line(7, "Widget", 60, 2)});
        driver->tap(&editor->customerField());
        EXPECT_TRUE(editor->searchPopover()->isPopoverVisible()) << "a blank field shows every customer";
        EXPECT_EQ(editor->searchResults()->people().size(), 2u);
        editor->addressField().setText("old");
        driver->type("ac");
        EXPECT_EQ(editor->addressField().text(), "") << "each keystroke empties the address";
        ASSERT_EQ(editor->searchResults()->people().size(), 1u);
        chooseFromList("ACME Ltd");
        EXPECT_FALSE(editor->searchPopover()->isPopoverVisible());
        EXPECT_EQ(editor->customerField().text(), "ACME Ltd");
        EXPECT_EQ(order->customerId(), acme);
        EXPECT_EQ(editor->addressField().text(), language == 2 ? "Ohio Springfield 5 Elm Road 45501" : "5 Elm Road, Springfield, Ohio 45501");
        EXPECT_TRUE(editor->submitButton().isEnabled());
        if (language == 2)
            review("order_editor_customer_chinese.png");
        // A stored customer's address is not typed in place.
        driver->pressKey("\n");
        driver->tap(&editor->addressField());
        EXPECT_EQ(editor->addressPopover(), nullptr);
        nav->popViewController(false);
        QuoteOrderStore::sharedQuoteOrderStore()->setCurQuoteOrder(nullptr);
    }
}

TEST_F(EditorCustomerTest, ALongNamePickedShowsItsStart)
{
    const std::string name = "Shanghai Eastern Trading Co., Ltd. 华东区销售部";
    CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode(name);
    CustomerDataModel::sharedInstance()->reloadCustomerData();
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        open(0, {line(7, "Widget", 60, 2)});
        ui::TextField& field = editor->customerField();
        driver->tap(&field);
        driver->type("Shang");
        chooseFromList(name);
        ASSERT_EQ(field.text(), name);
        ASSERT_GT(gfx::sizeOfText(name, field.font()).width, field.textRect().width()) << "too short to test";
        review(std::string("order_editor_long_customer_") + (language == 1 ? "en" : "cn") + ".png");
        window->snapshot(); // a frame drawn: the line is where the user sees it
        // As drawn: the name's first letter inside the field, its end cut off.
        EXPECT_GE(field.xForCharacterIndex(0), field.textRect().minX());
        EXPECT_GT(field.xForCharacterIndex(name.size()), field.textRect().maxX());
        nav->popViewController(false);
        QuoteOrderStore::sharedQuoteOrderStore()->setCurQuoteOrder(nullptr);
    }
}

TEST_F(EditorCustomerTest, ANewCustomerGetsTheAddressPopupAndIsAddedOnSave)
{
    open(0, {line(7, "Widget", 60, 2)});
    driver->tap(&editor->customerField());
    driver->type("Zed Co");
    EXPECT_FALSE(editor->searchPopover()->isPopoverVisible()) << "nobody matches";
    driver->pressKey("\n");
    EXPECT_EQ(order->customerId(), 0);
    EXPECT_EQ(order->customerName(), "Zed Co");
    driver->tap(&editor->addressField());
    ASSERT_NE(editor->addressPopover(), nullptr);
    ASSERT_TRUE(editor->addressPopover()->isPopoverVisible());
    window->layoutIfNeeded();
    review("order_editor_address_popup.png");
    // A click anywhere on a row of the popup, on its label or its margins too, edits that
    // row's field; the street's row last, for the typing below.
    auto* address = dynamic_cast<AddressTableViewController*>(editor->addressPopover()->contentViewController().get());
    ASSERT_NE(address, nullptr);
    for (int row : {3, 1, 2, 0}) {
        auto* cell = address->tableView()->cellForRowAtIndexPath({0, row});
        ASSERT_NE(cell, nullptr);
        auto* field = dynamic_cast<ui::TextField*>(cell->contentView().viewWithTag(2));
        ASSERT_NE(field, nullptr);
        gfx::Rect edges = cell->convertRectToView(cell->bounds(), nullptr);
        for (double x : {edges.minX() + 3, edges.minX() + 60, edges.midX(), edges.maxX() - 3}) {
            driver->tap({x, edges.midY()});
            EXPECT_TRUE(field->isFirstResponder()) << "row " << row << " at " << x - edges.minX();
        }
    }
    driver->type("9 Oak St");
    driver->tap(gfx::Point{900, 500}); // outside the popup
    EXPECT_EQ(order->customerAddress(), "9 Oak St");
    EXPECT_EQ(editor->addressField().text(), "9 Oak St, ");
    EXPECT_EQ(editor->addressPopover(), nullptr);

    // SAVE asks whether to add the customer; ADD stores it and the order names it.
    driver->tap(&editor->saveButton());
    answer(QuoteOrderViewController::kAskNewCustomerSave, 1);
    EXPECT_LT(order->customerId(), 0);
    EXPECT_NE(order->customerId(), acme);
    EXPECT_EQ(ConfigManager::sharedInstance()->flagDic()["Needreloadcustomer"], "YES");
    EXPECT_EQ(editor->state(), 2);
    auto stored = data->fetchQuoteOrdersCondition(0, std::nullopt);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->customerId(), order->customerId());
    auto zed = data->customerModel()->getCustomerByCustomerName(std::string("Zed Co"));
    ASSERT_TRUE(zed);
    EXPECT_EQ(zed->customer_id, order->customerId());
}

} // namespace

namespace {

// The program ends while the address popup of a new customer is up, its street being typed:
// the order is kept with the address as closing the popup would give it, nothing asked.
TEST_F(EditorCustomerTest, TheProgramsEndKeepsTheAddressBeingTypedInItsPopup)
{
    open(0, {line(7, "Widget", 60, 2)});
    driver->tap(&editor->customerField());
    driver->type("Zed Co");
    driver->pressKey("\n");
    driver->tap(&editor->addressField());
    ASSERT_NE(editor->addressPopover(), nullptr);
    ASSERT_TRUE(editor->addressPopover()->isPopoverVisible());
    window->layoutIfNeeded();
    driver->type("9 Oak St");
    QuoteOrderStore::keepOpenOrder();
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr) << "nothing is asked";
    auto stored = data->fetchQuoteOrdersCondition(0, std::nullopt);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->customerName(), "Zed Co");
    EXPECT_EQ(stored[0]->customerAddress(), "9 Oak St");
    EXPECT_FALSE(stored[0]->isUploaded());
}

} // namespace

namespace {

// A popup opened while the customer field has the caret takes the keys: what is typed next
// goes into the popup's field, none of it into the customer behind.
TEST_F(EditorCustomerTest, APopupThatOpensTakesTheKeysFromTheCustomerField)
{
    struct Case {
        const char* what;
        std::function<void()> openPopup;
        std::function<ui::PopoverController*()> popover;
        const char* typed;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"the discount popup",
         [&] { ASSERT_TRUE(driver->tap(&editor->discountButton())); },
         [&] { return editor->discountPopover().get(); }, "10",
         [&] {
             driver->pressKey("\n");
             EXPECT_FALSE(editor->discountPopover()->isPopoverVisible());
             EXPECT_DOUBLE_EQ(order->discountRat(), 10);
             EXPECT_EQ(editor->discountField().text(), "108.00");
         }},
        {"the address popup",
         [&] { ASSERT_TRUE(driver->tap(&editor->addressField())); },
         [&] { return editor->addressPopover().get(); }, "9 Oak St",
         [&] {
             driver->tap(gfx::Point{900, 500}); // outside the popup
             EXPECT_EQ(editor->addressPopover(), nullptr);
             EXPECT_EQ(order->customerAddress(), "9 Oak St");
             EXPECT_EQ(editor->addressField().text(), "9 Oak St, ");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open(0, {line(7, "Widget", 60, 2)});
        ASSERT_TRUE(driver->tap(&editor->customerField()));
        driver->type("Globex");
        ASSERT_TRUE(editor->customerField().isFirstResponder());
        ASSERT_FALSE(editor->searchPopover()->isPopoverVisible()) << "nobody matches";
        c.openPopup();
        ui::PopoverController* popover = c.popover();
        ASSERT_NE(popover, nullptr);
        ASSERT_TRUE(popover->isPopoverVisible());
        auto* focused = dynamic_cast<ui::View*>(ui::Responder::currentFirstResponder());
        ASSERT_NE(focused, nullptr) << "nothing has the caret";
        EXPECT_TRUE(focused->isDescendantOfView(popover->contentViewController()->view().get()))
            << "the caret stayed behind the popup";
        driver->type(c.typed);
        c.check();
        EXPECT_EQ(editor->customerField().text(), "Globex");
        EXPECT_EQ(order->customerName(), "Globex");
        nav->popToRootViewController(false);
        ui::AlertView::dismissAllForTesting();
        QuoteOrderStore::sharedQuoteOrderStore()->setCurQuoteOrder(nullptr);
    }
}

} // namespace

namespace {

// Keys typed after the customer field go where the user went: into the address popup however
// it opened, and never into a customer's name once it was picked from the list or the user
// clicked away from it, onto the address it refuses to edit or any other field, one click
// being enough while the list of matches is still open. The order is stored so.
TEST_F(EditorCustomerTest, KeysTypedAfterTheCustomerFieldGoWhereTheUserWent)
{
    struct Case {
        const char* what;
        const char* typedName;      // typed into the customer field
        const char* picked;         // then picked from the list, if given
        std::function<void()> then; // what the user does before typing "9 Oak"
        const char* name;           // the customer the field and the stored order name
        bool known;                 // the stored order has the stored customer's id
        const char* street;         // the stored order's street
        const char* note = "";      // the stored order's note
    };
    // One click on the view while the list of matches still covers the screen.
    auto clickWithListOpen = [&](ui::View* view) {
        ASSERT_TRUE(editor->searchPopover()->isPopoverVisible()) << "the list of matches is not up";
        ASSERT_TRUE(editor->customerField().isFirstResponder());
        ASSERT_TRUE(driver->tap(view));
    };
    const Case cases[] = {
        {"a new name, the address popup opened by a tap", "Zed Co", nullptr,
         [&] { ASSERT_TRUE(driver->tap(&editor->addressField())); }, "Zed Co", false, "9 Oak"},
        {"a new name, the address popup opened by Tab", "Zed Co", nullptr, [&] { driver->pressKey("\t"); }, "Zed Co",
         false, "9 Oak"},
        {"a customer picked, then typing at once", "AC", "ACME Ltd", [] {}, "ACME Ltd", true, "5 Elm Road"},
        {"a customer picked, then a click on its address", "AC", "ACME Ltd",
         [&] { ASSERT_TRUE(driver->tap(&editor->addressField())); }, "ACME Ltd", true, "5 Elm Road"},
        {"a customer picked, then Tab to its address", "AC", "ACME Ltd", [&] { driver->pressKey("\t"); }, "ACME Ltd",
         true, "5 Elm Road"},
        {"a stored customer's name typed whole, then a click on its address", "ACME Ltd", nullptr,
         [&] {
             driver->pressKey("escape"); // the list of matches goes
             ASSERT_TRUE(editor->customerField().isFirstResponder());
             ASSERT_TRUE(driver->tap(&editor->addressField()));
         },
         "ACME Ltd", true, "5 Elm Road"},
        {"a stored customer's name typed whole, the list up, one click on its address", "ACME Ltd", nullptr,
         [&] { clickWithListOpen(&editor->addressField()); }, "ACME Ltd", true, "5 Elm Road"},
        {"a stored customer's name typed whole, the list up, one click on the note", "ACME Ltd", nullptr,
         [&] { clickWithListOpen(&editor->noteField()); }, "ACME Ltd", true, "5 Elm Road", "9 Oak"},
        {"a stored customer's name typed whole, the list up, one click on a line's quantity", "ACME Ltd", nullptr,
         [&] { clickWithListOpen(&cellAt(0)->quantityTextField()); }, "ACME Ltd", true, "5 Elm Road"},
        {"a new name that starts a stored one, the list up, one click on the address", "Beta", nullptr,
         [&] { clickWithListOpen(&editor->addressField()); }, "Beta", false, "9 Oak"},
        {"a customer picked, then one click on the note", "AC", "ACME Ltd",
         [&] { ASSERT_TRUE(driver->tap(&editor->noteField())); }, "ACME Ltd", true, "5 Elm Road", "9 Oak"},
        {"a stored customer's name typed whole, the list up, then Tab", "ACME Ltd", nullptr,
         [&] {
             ASSERT_TRUE(editor->searchPopover()->isPopoverVisible());
             driver->pressKey("\t");
         },
         "ACME Ltd", true, "5 Elm Road"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open(0, {line(7, "Widget", 60, 2)});
        ASSERT_TRUE(driver->tap(&editor->customerField()));
        driver->type(c.typedName);
        if (c.picked)
            chooseFromList(c.picked);
        c.then();
        window->layoutIfNeeded();
        driver->type("9 Oak");
        if (!c.known) {
            ASSERT_NE(editor->addressPopover(), nullptr) << "the popup did not open";
            driver->tap(gfx::Point{900, 500}); // outside the popup
            EXPECT_EQ(editor->addressPopover(), nullptr);
        } else {
            EXPECT_EQ(editor->addressPopover(), nullptr) << "a stored customer's address is not typed in";
        }
        EXPECT_EQ(editor->customerField().text(), c.name);

        QuoteOrderStore::keepOpenOrder();
        ASSERT_NE(order->serial(), 0) << "the order was not stored";
        std::shared_ptr<QuoteOrderEntity> stored;
        for (const auto& o : data->fetchQuoteOrdersCondition(0, std::nullopt))
            if (o->serial() == order->serial())
                stored = o;
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->customerName(), c.name);
        EXPECT_EQ(stored->customerId(), c.known ? acme : 0);
        EXPECT_EQ(stored->customerAddress(), c.street);
        EXPECT_EQ(stored->customerNote(), c.note);
        nav->popToRootViewController(false);
        ui::AlertView::dismissAllForTesting();
        QuoteOrderStore::sharedQuoteOrderStore()->setCurQuoteOrder(nullptr);
    }
}

} // namespace
