// The add-to-order sheet and the add flow, driven through the window from the test hosts.
#include "AddFlowTestSupport.h"

#include "Widgets/IconButton.h"
#include "Widgets/ProductAttributeView.h"
#include "Common/UIToast.h"
#include "Database/QuoteOrderModel.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TextField.h"

namespace {

using catalogtest::CatalogTest;
using catalogtest::GridHost;
using catalogtest::ScrollHost;
namespace fx = catalogfixture::small;
using Lines = std::vector<std::string>;

std::string badgeOf(const BadgeButton& button)
{
    return button.badgeView()->isHidden() ? std::string() : button.badgeLabel()->text();
}

class AddToOrderFlowTest : public CatalogTest {
protected:
    AddToOrderFlowTest() { withMainBar(); }
    std::shared_ptr<GridHost> showGrid(std::vector<int> ids)
    {
        auto host = std::make_shared<GridHost>(std::move(ids));
        window->addSubview(host->view);
        host->start();
        host->view->layoutIfNeeded();
        return host;
    }
    Lines lines()
    {
        Lines shown;
        if (auto order = store->curQuoteOrder())
            for (const auto& l : order->items())
                shown.push_back(std::to_string(l->product()->product_id) + " " + l->attributes().value_or("") + " x" +
                                std::to_string(l->quantity()));
        return shown;
    }
    std::shared_ptr<AddToOrderController> sheetOf(AddToOrderFlow& flow)
    {
        auto pop = flow.addToOrderPopController();
        if (!pop || !pop->isPopoverVisible())
            return nullptr;
        return std::dynamic_pointer_cast<AddToOrderController>(pop->contentViewController());
    }
    // The texts of the toasts now on the window, whatever their animation shows.
    std::vector<std::string> toasts()
    {
        std::vector<std::string> shown;
        std::function<void(ui::View&, bool)> walk = [&](ui::View& v, bool inToast) {
            inToast = inToast || dynamic_cast<UIToast*>(&v);
            if (inToast && !v.accessibilityText().empty())
                shown.push_back(v.accessibilityText());
            for (auto& sub : v.subviews())
                walk(*sub, inToast);
        };
        walk(*window, false);
        return shown;
    }
    std::string alertMessage()
    {
        auto alert = ui::AlertView::visibleAlert();
        return alert ? alert->message() : std::string();
    }
    void answerAlert(int index)
    {
        auto alert = ui::AlertView::visibleAlert();
        ASSERT_TRUE(alert);
        alert->dismissWithClickedButtonIndex(index, false);
        if (auto* d = alert->delegate())
            d->alertViewClickedButtonAtIndex(*alert, index);
        base::RunLoop::main().advance(0.5);
    }
};

TEST_F(AddToOrderFlowTest, TheSheetChecksAttributesAndQuantities)
{
    auto host = showGrid({fx::kColourAndSize, fx::kSixAttributes});
    ASSERT_TRUE(driver->tap(&host->tile(0)->addOrderBtn()));
    auto sheet = sheetOf(*host->flow);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->view()->bounds().size, (gfx::Size{400, 250}));
    ProductAttributeView& chooser = sheet->attributeView();
    EXPECT_EQ(chooser.attributeAry()[1].attributeValue, std::optional<std::string>("L"));
    driver->screenshot(reviewPath("add_to_order_sheet.png"));

    // Unchosen attributes: a toast and a fading frame over the attribute, gone after 2.5 s.
    struct Unchosen {
        size_t index;
        gfx::Point at;
    } unchosen[] = {{0, {10, 10}}, {1, {208, 10}}, {2, {10, 88}}};
    for (auto u : unchosen) {
        std::vector<product_attribute_cell_Entity> records(3);
        for (size_t i = 0; i < 3; ++i) {
            records[i].fieldName = "F" + std::to_string(i);
            records[i].attributeList = "a,b";
            if (i != u.index)
                records[i].attributeValue = "a";
        }
        chooser.setAttributeAry(records);
        chooser.setAttributeValues(records);
        double start = now();
        ASSERT_TRUE(driver->tap(&sheet->okButton()));
        ui::View* frame = sheet->highlightFrame();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->frame(), gfx::Rect(u.at.x, u.at.y, 180, 80));
        EXPECT_EQ(frame->borderColor(), gfx::Color::fromRgb(176, 48, 96));
        EXPECT_EQ(frame->animationKeys(), (std::vector<std::string>{"BoxFadeIn", "BoxStay", "BoxFadeOut"}));
        EXPECT_FALSE(frame->isUserInteractionEnabled());
        advanceTo(start, 2.6);
        EXPECT_EQ(sheet->highlightFrame(), nullptr) << "removed when the last fade stops";
    }
    EXPECT_TRUE(store->curQuoteOrder() == nullptr) << "nothing added while an attribute is open";

    // Quantities: the field's leading digits, saturating; the validator and the limits.
    chooser.setAttributeAry({});
    struct Quantity {
        std::string typed;
        std::string alert;
        std::string fieldAfter;
        int count;
    } quantities[] = {
        {"abc", "PLEASEINPUTAPOSITIVENUMBER", "abc", 0},
        {"", "PLEASEINPUTAPOSITIVENUMBER", "", 0},
        {"-3", "PLEASEINPUTAPOSITIVENUMBER", "-3", 0},
        {"0", "PLEASEINPUTAPOSITIVENUMBER", "0", 0},
        {"1000001", "ORDEROVERMAX", "1000000", 0},
        {"999999999999", "ORDEROVERMAX", "1000000", 0},
        {"2.50", "", "", 2},
    };
    for (const auto& q : quantities) {
        SCOPED_TRACE(q.typed);
        sheet->countField().setText(q.typed);
        sheet->addToOrderOKButtonClicked();
        EXPECT_EQ(alertMessage(), q.alert.empty() ? std::string() : Language::stringWithName(q.alert));
        ui::AlertView::dismissAllForTesting();
        if (q.count == 0) {
            EXPECT_EQ(sheet->countField().text(), q.fieldAfter);
            EXPECT_TRUE(lines().empty());
        } else {
            EXPECT_EQ(lines(), Lines{"13  x2"});
        }
    }
    EXPECT_EQ(AddToOrderController::integerValueOfText("2147483648"), INT_MAX);

    // Plus and minus; minus stops at 1.
    base::RunLoop::main().advance(1);
    ASSERT_TRUE(driver->tap(&host->tile(1)->addOrderBtn()));
    sheet = sheetOf(*host->flow);
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(driver->tap(&sheet->minusButton()));
    EXPECT_EQ(sheet->countField().text(), "1");
    ASSERT_TRUE(driver->tap(&sheet->plusButton()));
    ASSERT_TRUE(driver->tap(&sheet->plusButton()));
    EXPECT_EQ(sheet->countField().text(), "3");
    ASSERT_TRUE(driver->tap(&sheet->minusButton()));
    EXPECT_EQ(sheet->countField().text(), "2");

    // Six attributes: the fifth and sixth are reached by scrolling, and the frame follows.
    ProductAttributeView& six = sheet->attributeView();
    ASSERT_EQ(six.attributeAry().size(), 6u);
    EXPECT_GT(six.contentSize().height, six.bounds().height());
    std::vector<product_attribute_cell_Entity> firstFour(six.attributeAry().begin(), six.attributeAry().begin() + 4);
    for (auto& r : firstFour)
        r.attributeValue = "x";
    six.setAttributeValues(firstFour);
    six.setContentOffset({0, 81});
    sheet->addToOrderOKButtonClicked();
    ui::View* frame = sheet->highlightFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->frame(), gfx::Rect(10, 10 + 156 - 81, 180, 80));
    ui::Button* fifth = six.buttonAtIndex(4);
    gfx::Rect shown = fifth->convertRectToView(fifth->bounds(), sheet->view().get());
    EXPECT_TRUE(frame->frame().contains(shown.center())) << "the frame lies over the fifth attribute";
    ASSERT_TRUE(driver->tap(fifth));
    EXPECT_TRUE(six.isListShown());
}

TEST_F(AddToOrderFlowTest, TheGridAddsDirectlyOrThroughTheSheetAndKeepsTheBadges)
{
    auto host = showGrid({fx::kNoAttributes, fx::kSingleValue, fx::kBlanksList, fx::kTwoValues});
    auto& first = host->tile(0)->addOrderBtn();
    ASSERT_TRUE(driver->tap(&first));
    EXPECT_EQ(badgeOf(first), "1");
    ASSERT_TRUE(driver->tap(&first));
    EXPECT_EQ(badgeOf(first), "2");
    EXPECT_EQ(lines(), Lines{"1  x2"});
    EXPECT_EQ(ordersBadge(), "1");

    // Single values are filled in; a list of blanks is no list.
    ASSERT_TRUE(driver->tap(&host->tile(1)->addOrderBtn()));
    ASSERT_TRUE(driver->tap(&host->tile(2)->addOrderBtn()));
    EXPECT_EQ(host->flow->addToOrderPopController(), nullptr) << "no sheet";
    EXPECT_EQ(lines(), (Lines{"1  x2", "2 Colour:Red x1", "14  x1"}));
    EXPECT_EQ(ordersBadge(), "3");

    // A choice opens the sheet at the tile; Blue with 3 adds a line and closes it.
    DetailCell* tile = host->tile(3);
    ASSERT_TRUE(driver->tap(&tile->addOrderBtn()));
    auto sheet = sheetOf(*host->flow);
    ASSERT_TRUE(sheet);
    gfx::Rect box = host->flow->addToOrderPopController()->popoverFrame();
    gfx::Rect tileOnScreen = tile->convertRectToView(tile->bounds(), nullptr);
    EXPECT_TRUE(box.intersects(tileOnScreen.insetBy(-30, -30))) << "anchored at the tile";
    ProductAttributeView& chooser = sheet->attributeView();
    ASSERT_TRUE(driver->tap(chooser.buttonAtIndex(0)));
    auto& list = *chooser.dropDownList();
    list.layoutIfNeeded();
    ASSERT_TRUE(driver->tap(list.cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0))));
    sheet->countField().setText("3");
    ASSERT_TRUE(driver->tap(&sheet->okButton()));
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(host->flow->addToOrderPopController()->isPopoverVisible());
    EXPECT_EQ(lines(), (Lines{"1  x2", "2 Colour:Red x1", "14  x1", "3 Colour:Blue x3"}));
    EXPECT_EQ(badgeOf(host->tile(3)->addOrderBtn()), "3");
    EXPECT_EQ(ordersBadge(), "4");
    driver->screenshot(reviewPath("grid_after_adds.png"));

    // A refused add toasts and leaves the badge.
    store->curQuoteOrder()->items().front()->setQuantity(INT_MAX);
    ASSERT_TRUE(driver->tap(&first));
    EXPECT_EQ(badgeOf(first), "2");
    EXPECT_EQ(toasts(), std::vector<std::string>{Language::stringWithName("FAILED")});
}

TEST_F(AddToOrderFlowTest, AnotherCurrencyAsksToSaveOrDropTheOpenOrder)
{
    struct Case {
        const char* name;
        int answer;
        bool refuseSave;
        Lines after;
        int storedOrders;
        bool scrolledOut;
    } cases[] = {
        {"drop", 0, false, {"10  x1"}, 0, false},
        {"save", 1, false, {"10  x1"}, 1, false},
        {"save refused", 1, true, {"1  x1"}, 0, false},
        {"drop with the tile scrolled out", 0, false, {"10  x1"}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store->removeCurrentQuoteOrder();
        EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("delete from brivanta_quote_order_item"));
        EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("delete from brivanta_quote_order"));
        std::vector<int> ids(30, fx::kNoAttributes);
        ids[29] = fx::kSecondCurrency;
        auto host = showGrid(ids);
        ASSERT_TRUE(driver->tap(&host->tile(0)->addOrderBtn()));
        host->grid->setContentOffset(host->grid->maximumContentOffset());
        host->grid->layoutIfNeeded();
        DetailCell* euro = host->tile(29);
        ASSERT_NE(euro, nullptr);
        ASSERT_TRUE(driver->tap(&euro->addOrderBtn()));
        auto alert = ui::AlertView::visibleAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "");
        EXPECT_EQ(alert->tag(), AddToOrderFlow::kCurrencyAlertTag);
        EXPECT_EQ(alert->message(), Language::stringWithName("NOTTHESAMEMONEYCY"));
        EXPECT_EQ(alert->buttonTitleAtIndex(0), Language::stringWithName("DONTSAVE"));
        EXPECT_EQ(alert->buttonTitleAtIndex(1), Language::stringWithName("SAVE"));
        EXPECT_EQ(host->flow->selectTag(), 29);
        if (c.refuseSave) {
            EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate(
                "create trigger refuse before insert on brivanta_quote_order_item begin select raise(abort, 'refused'); end"));
        }
        if (c.scrolledOut) {
            host->grid->setContentOffset({0, 0});
            host->grid->layoutIfNeeded();
        }
        answerAlert(c.answer);
        if (c.refuseSave) {
            EXPECT_EQ(alertMessage(), Language::stringWithName("FAILED"));
            EXPECT_EQ(ui::AlertView::visibleAlert()->title(), Language::stringWithName("NOTIFICATION"));
            EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("drop trigger refuse"));
        }
        EXPECT_EQ(lines(), c.after);
        EXPECT_EQ(count("select count(*) from brivanta_quote_order"), c.storedOrders);
        if (c.storedOrders) {
            EXPECT_EQ(count("select count(*) from brivanta_quote_order_item where product_id = 1"), 1);
        }
        if (!c.refuseSave) {
            EXPECT_EQ(host->refreshes, 1);
            EXPECT_EQ(ordersBadge(), "1");
            EXPECT_EQ(host->products[29].itemNumberInOrder, 1) << "the list keeps the total for its reload";
        }
        if (c.scrolledOut) {
            host->grid->setContentOffset(host->grid->maximumContentOffset());
            host->grid->layoutIfNeeded();
            EXPECT_EQ(badgeOf(host->tile(29)->addOrderBtn()), "1") << "shown at the next reload";
        }
        ui::AlertView::dismissAllForTesting();
        host->view->removeFromSuperview();
    }
}

TEST_F(AddToOrderFlowTest, AScrolledOutTileAfterTheAlertStillGetsTheSheetAtItsSlot)
{
    std::vector<int> ids(30, fx::kNoAttributes);
    ids[29] = fx::kTwoValues;
    auto host = showGrid(ids);
    ASSERT_TRUE(store->addToOrder([&] {
        auto p = product(fx::kSecondCurrency);
        p.count = 1;
        return p;
    }()));
    host->grid->setContentOffset(host->grid->maximumContentOffset());
    host->grid->layoutIfNeeded();
    ASSERT_TRUE(driver->tap(&host->tile(29)->addOrderBtn()));
    host->grid->setContentOffset({0, 0});
    host->grid->layoutIfNeeded();
    answerAlert(0);
    auto sheet = sheetOf(*host->flow);
    ASSERT_TRUE(sheet) << "the sheet opens at the item's slot";
    EXPECT_EQ(sheet->cellIndex(), 29u);
    sheet->attributeView().setAttributeValues({[] {
        product_attribute_cell_Entity r;
        r.fieldName = "Colour";
        r.attributeValue = "Red";
        return r;
    }()});
    sheet->addToOrderOKButtonClicked();
    EXPECT_EQ(lines(), Lines{"3 Colour:Red x1"});
    EXPECT_EQ(host->products[29].itemNumberInOrder, 1);
}

TEST_F(AddToOrderFlowTest, ThePopupVariantRereadsTheTotalAndFindsItsTileByTag)
{
    auto host = std::make_shared<ScrollHost>(std::vector<int>{fx::kNoAttributes, fx::kTwoValues});
    window->addSubview(host->view);
    host->start();
    auto p = product(fx::kNoAttributes, 3);
    ASSERT_TRUE(store->addToOrder(p));
    // The tiles were built before: the total is read again before adding.
    ASSERT_TRUE(driver->tap(&host->tile(0)->addOrderBtn()));
    EXPECT_EQ(badgeOf(host->tile(0)->addOrderBtn()), "4");

    ASSERT_TRUE(driver->tap(&host->tile(1)->addOrderBtn()));
    auto sheet = sheetOf(*host->flow);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->cellIndex(), 3001u);
    ASSERT_TRUE(store->addToOrder(product(fx::kTwoValues, 2, "Colour:Red")));
    product_attribute_cell_Entity red;
    red.fieldName = "Colour";
    red.attributeValue = "Red";
    sheet->attributeView().setAttributeValues({red});
    sheet->addToOrderOKButtonClicked();
    EXPECT_EQ(badgeOf(host->tile(1)->addOrderBtn()), "3") << "2 added meanwhile, read again, then 1";
    EXPECT_EQ(lines(), (Lines{"1  x4", "3 Colour:Red x3"}));
}

} // namespace
