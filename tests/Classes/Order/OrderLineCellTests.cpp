// The order line row and the two popups through the window: typed numbers checked and kept
// consistent, written into the order's own line, and the states the editor sets on each use.
#include "Classes/Order/AddressTableViewController.h"
#include "Classes/Order/DiscountPopController.h"
#include "Classes/Order/QuoteOrderItemsTableViewCell.h"
#include "Common/PublicFunction.h"
#include "Common/QVTextField.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderItemEntity.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/ViewController.h"
#include "Protocol/LoginMode.h"
#include "tests/App/AppWindowTestSupport.h"

#include <algorithm>
#include <map>

namespace {

class Recorder : public QuoteOrderItemDelegate, public DiscountPopControllerDelegate {
public:
    void tapSKU(int tag) override { log.push_back("sku " + std::to_string(tag)); }
    void tapImage(int tag) override { log.push_back("image " + std::to_string(tag)); }
    void QuoteOrderItemCellBeginEdit(QuoteOrderItemsTableViewCell&) override { log.push_back("begin"); }
    void QuoteOrderItemCellChanged(QuoteOrderItemsTableViewCell&) override { log.push_back("changed"); }
    void discountRatChanged(double rate) override { log.push_back("rate " + std::to_string(rate)); }
    void discountWillEndInput() override { log.push_back("will end"); }
    std::vector<std::string> log;
};

std::shared_ptr<QuoteOrderItemEntity> line(double price, int quantity, double finalPrice = -2)
{
    auto item = std::make_shared<QuoteOrderItemEntity>();
    brivanta_product_Entity product;
    product.product_id = 7;
    product.product_name = "Widget";
    item->setProduct(product);
    item->setSku("W-7");
    item->setAttributes("Colour:Blue");
    item->setCurrency("USD");
    item->setPrice(price);
    item->setQuantity(quantity);
    item->setFinalPrice(finalPrice == -2 ? price : finalPrice);
    return item;
}

class LineCellTest : public apptest::AppWindowTest {
protected:
    LineCellTest()
    {
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setClientID("AcMe");
        cell = ui::View::make<QuoteOrderItemsTableViewCell>();
        cell->setFrame({0, 100, 1024, 100});
        cell->setTag(6501);
        cell->setDelegate(&recorder);
        window->addSubview(cell);
        // Somewhere to tap that takes no focus.
        elsewhere = ui::View::make<ui::View>(gfx::Rect(0, 500, 1024, 200));
        window->addSubview(elsewhere);
    }
    ~LineCellTest() override
    {
        cell->removeFromSuperview();
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
    }
    void use(std::shared_ptr<QuoteOrderItemEntity> item, bool readOnly = false, bool couldModify = true)
    {
        cell->setQuoteOrderItem(item);
        cell->setReadOnly(readOnly);
        cell->setCouldModifyPrice(couldModify);
        cell->setIsNullPrice(item->price() < 0);
        cell->layoutIfNeeded();
    }
    // Taps the field, replaces its text key by key, and presses return.
    void typeInto(ui::TextField& field, const std::string& text)
    {
        driver->tap(&field);
        for (size_t i = field.text().size(); i > 0; --i)
            driver->pressKey("\b");
        driver->type(text);
        driver->pressKey("\n");
    }
    std::shared_ptr<ui::AlertView> takeAlert()
    {
        auto alert = ui::AlertView::visibleAlert();
        ui::AlertView::dismissAllForTesting();
        return alert;
    }

    Recorder recorder;
    std::shared_ptr<QuoteOrderItemsTableViewCell> cell;
    std::shared_ptr<ui::View> elsewhere;
};

TEST_F(LineCellTest, TypedNumbersKeepRateAndDiscountedPriceTogether)
{
    enum Field { Rate, Discounted };
    struct Case {
        double price;
        int quantity;
        Field field;
        const char* typed;
        const char* rate; // the rate field afterwards
        const char* discounted; // the discounted price field afterwards
        double finalPrice;
        const char* subtotal;
    };
    for (const Case& c : {
             Case{200, 2, Rate, "12.50", "12.50", "175.00", 175, "$350.00"},
             Case{100, 1, Discounted, "33.33", "67.00", "33.33", 33.33, "$33.33"},
             Case{100, 1, Rate, "150", "100.00", "0.00", 0, "$0.00"},
             Case{100, 1, Discounted, "150", "0.00", "100.00", 100, "$100.00"},
             Case{100, 1, Discounted, "0", "0.00", "0.00", 0, "$0.00"},
             Case{0, 3, Discounted, "5", "0.00", "0.00", 0, "$0.00"},
             // Double precision: single precision gives .22 and .00.
             Case{123456.78, 1, Rate, "12.34", "12.34", "108222.21", 108222.21, "$108,222.21"},
             Case{250000.01, 1, Rate, "0.01", "0.01", "249975.01", 249975.01, "$249,975.01"},
         }) {
        auto item = line(c.price, c.quantity);
        use(item);
        recorder.log.clear();
        typeInto(c.field == Rate ? cell->txtDiscountRat() : cell->txtDiscountPrice(), c.typed);
        EXPECT_EQ(cell->txtDiscountRat().text(), c.rate) << c.typed;
        EXPECT_EQ(PublicFunction::stringRemoveTagStrTag(cell->txtDiscountPrice().text(), std::string(",")), c.discounted) << c.typed;
        EXPECT_DOUBLE_EQ(item->finalPrice(), c.finalPrice) << c.typed;
        EXPECT_EQ(item->quantity(), c.quantity);
        EXPECT_EQ(cell->subTotalLabel().text(), c.subtotal) << c.typed;
        EXPECT_EQ(recorder.log, (std::vector<std::string>{"begin", "changed"})) << c.typed;
        EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
        // The discounted field sits 10 points left of the subtotal, its width from its text.
        double width = std::min(100.0, gfx::sizeOfText(cell->txtDiscountPrice().text(), cell->txtDiscountPrice().font()).width) + 15;
        EXPECT_DOUBLE_EQ(cell->txtDiscountPrice().frame().x(), 890 - width);
        EXPECT_DOUBLE_EQ(cell->lblDiscountCurrency().frame().maxX(), cell->txtDiscountPrice().frame().x());
    }
    // A discounted price of 0 leaves the stored rate 0, which the line then reads as 100.
    auto item = line(100, 1);
    use(item);
    typeInto(cell->txtDiscountPrice(), "0");
    EXPECT_EQ(item->discontRat(), 100);
}

TEST_F(LineCellTest, RefusedQuantitiesComeBackWithTheAlertAndLeaveTheLine)
{
    for (const char* typed : {"5.5", "-3", "", "99999999999"}) {
        auto item = line(10, 2);
        use(item);
        recorder.log.clear();
        typeInto(cell->quantityTextField(), typed);
        auto alert = takeAlert();
        ASSERT_NE(alert, nullptr) << typed;
        EXPECT_EQ(alert->tag(), 999);
        EXPECT_EQ(alert->message(), Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER"));
        EXPECT_EQ(cell->quantityTextField().text(), "2") << typed;
        EXPECT_EQ(item->quantity(), 2);
        EXPECT_EQ(recorder.log, (std::vector<std::string>{"begin", "changed"})) << typed;
    }
    auto item = line(10, 1200);
    use(item);
    EXPECT_EQ(cell->quantityTextField().text(), "1,200");
    driver->tap(&cell->quantityTextField());
    EXPECT_EQ(cell->quantityTextField().text(), "1200");
    EXPECT_EQ(cell->editingFieldOldValue(), "1,200");
    driver->pressKey("\n");
    EXPECT_EQ(cell->quantityTextField().text(), "1,200");
    EXPECT_EQ(item->quantity(), 1200);
    typeInto(cell->quantityTextField(), "5.00");
    EXPECT_EQ(cell->quantityTextField().text(), "5");
    EXPECT_EQ(item->quantity(), 5);
    EXPECT_DOUBLE_EQ(item->subtotal(), 50);
    EXPECT_EQ(cell->subTotalLabel().text(), "$50.00");
}

TEST_F(LineCellTest, StatesSetOnEachUse)
{
    // A hidden price: dashes, no sign or percent, fields that take no taps.
    auto hidden = line(-1, 2);
    use(hidden);
    EXPECT_EQ(cell->priceLabel().text(), "-");
    EXPECT_EQ(cell->txtDiscountRat().text(), "-");
    EXPECT_EQ(cell->txtDiscountPrice().text(), "-");
    EXPECT_EQ(cell->lblPercentFlag().text(), "");
    EXPECT_EQ(cell->lblDiscountCurrency().text(), "");
    EXPECT_FALSE(cell->txtDiscountRat().isEnabled());
    driver->tap(&cell->txtDiscountPrice());
    EXPECT_FALSE(cell->txtDiscountPrice().isFirstResponder());
    // Its quantity still edits, and no dash is taken for a price.
    typeInto(cell->quantityTextField(), "4");
    EXPECT_EQ(hidden->quantity(), 4);
    EXPECT_EQ(hidden->price(), -1);
    EXPECT_EQ(hidden->finalPrice(), -1);
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
        driver->screenshot(std::string(review) + "/order_line_hidden_price.png");

    struct Case {
        bool readOnly, couldModify;
        bool quantity, prices; // enabled
        double quantityY, pricesY;
    };
    for (const Case& c : {Case{false, true, true, true, 38, 38}, Case{false, false, true, false, 38, 40},
                          Case{true, true, false, false, 40, 40}}) {
        auto priced = line(200, 2, 175);
        use(priced, c.readOnly, c.couldModify);
        EXPECT_EQ(cell->priceLabel().text(), "$200.00");
        EXPECT_EQ(cell->lblPercentFlag().text(), "%");
        EXPECT_EQ(cell->lblDiscountCurrency().text(), "$");
        EXPECT_EQ(cell->txtDiscountRat().text(), "12.50");
        EXPECT_EQ(cell->quantityTextField().isEnabled(), c.quantity);
        EXPECT_EQ(cell->txtDiscountRat().isEnabled(), c.prices);
        EXPECT_EQ(cell->txtDiscountPrice().isEnabled(), c.prices);
        EXPECT_EQ(cell->quantityTextField().frame().y(), c.quantityY);
        EXPECT_EQ(cell->txtDiscountRat().frame().y(), c.pricesY);
        EXPECT_EQ(cell->txtDiscountPrice().borderStyle() == ui::TextBorderStyle::RoundedRect, c.prices);
        EXPECT_EQ(cell->txtDiscountPrice().textAlignment(), gfx::TextAlignment::Right);
        if (c.readOnly) {
            if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
                driver->screenshot(std::string(review) + "/order_line_read_only.png");
        }
    }
    use(line(200, 2, 175));
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
        driver->screenshot(std::string(review) + "/order_line.png");

    // Taps on the picture and the SKU report the row's tag; indenting is undone exactly.
    recorder.log.clear();
    driver->tap(&cell->imageImageView());
    driver->tap(&cell->skuLabel());
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"image 6501", "sku 6501"}));
    double x = cell->subTotalLabel().frame().x();
    cell->indentCellContent();
    EXPECT_DOUBLE_EQ(cell->subTotalLabel().frame().x(), x * 0.932);
    cell->unindentCellContent();
    EXPECT_NEAR(cell->subTotalLabel().frame().x(), x, 1e-9);
}

TEST_F(LineCellTest, ASavedLinesFiguresAndAttributesReadOnOneLine)
{
    // A saved (read-only) line as drawn: price, quantity, rate, discounted price and total
    // stand on one baseline (the line most columns of their digits' ink end on), and the
    // attributes read "name: value".
    auto item = line(200, 2, 175);
    item->setAttributes(std::string("Colour:Red,Size:L"));
    use(item, true);
    EXPECT_EQ(cell->attributesLabel().text(), "Colour: Red\nSize: L\n");
    constexpr double kScale = 4;
    gfx::Image drawn = cell->snapshotImage(kScale);
    ASSERT_FALSE(drawn.isNull());
    auto baseline = [&](const ui::View& view) {
        gfx::Rect r = view.frame();
        std::map<int, int> bottoms; // ink bottom row -> columns ending there
        for (int x = static_cast<int>(r.x() * kScale); x < static_cast<int>(r.maxX() * kScale); ++x) {
            int bottom = -1;
            for (int y = static_cast<int>(r.y() * kScale); y < static_cast<int>(r.maxY() * kScale); ++y)
                if (gfx::Color p = drawn.colorAt(x, y); p.a > 0.5 && (p.r + p.g + p.b) / 3 < 0.6)
                    bottom = y;
            if (bottom >= 0)
                ++bottoms[bottom];
        }
        auto most = std::max_element(bottoms.begin(), bottoms.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
        return most == bottoms.end() ? -1.0 : most->first / kScale;
    };
    const struct {
        const char* name;
        const ui::View* view;
    } figures[] = {
        {"item price", &cell->priceLabel()},         {"quantity", &cell->quantityTextField()},
        {"discount", &cell->txtDiscountRat()},       {"discounted price", &cell->txtDiscountPrice()},
        {"itemized total", &cell->subTotalLabel()},
    };
    double quantity = baseline(cell->quantityTextField());
    ASSERT_GT(quantity, 0);
    for (const auto& f : figures)
        EXPECT_NEAR(baseline(*f.view), quantity, 1.0) << f.name;
}

TEST_F(LineCellTest, DiscountPopupReportsOnlyValidRates)
{
    auto popup = std::make_shared<DiscountPopController>();
    popup->setDelegate(&recorder);
    auto host = std::make_shared<ui::ViewController>();
    window->setRootViewController(host);
    window->addSubview(elsewhere);
    auto popover = std::make_shared<ui::PopoverController>(popup);
    popover->setPopoverContentSize(DiscountPopController::kContentSize);
    popover->presentPopoverFromRect({280, 637, 40, 40}, host->view().get(), ui::PopoverArrowDirectionAny, false);
    driver->wait(1);
    QVTextField& field = *popup->txtDiscountRat();
    struct Case {
        const char* typed;
        std::vector<std::string> heard;
        const char* shown;
        bool alert;
    };
    for (const Case& c : {Case{"25", {"will end", "rate 25.000000"}, "25.00", false},
                          Case{"150", {"will end", "rate 150.000000"}, "150.00", false},
                          Case{"12.5", {"will end"}, "12.5", true}, Case{"abc", {"will end"}, "abc", true}}) {
        recorder.log.clear();
        driver->tap(&field);
        for (size_t i = field.text().size(); i > 0; --i)
            driver->pressKey("\b");
        driver->type(c.typed);
        driver->pressKey("\n");
        EXPECT_EQ(recorder.log, c.heard) << c.typed;
        EXPECT_EQ(field.text(), c.shown);
        EXPECT_EQ(takeAlert() != nullptr, c.alert) << c.typed;
    }
    field.setText("1,250.00");
    driver->tap(&field);
    EXPECT_EQ(field.text(), "1250.00");
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
        driver->screenshot(std::string(review) + "/discount_popup.png");
    field.resignFirstResponder();
    popover->dismissPopoverAnimated(false);
}

TEST_F(LineCellTest, AddressPopupRowsByLanguage)
{
    struct Case {
        int language;
        bool given;
        gfx::Rect label, field;
    };
    for (const Case& c : {Case{1, false, {5, 5, 170, 30}, {185, 10, 360, 30}}, Case{2, true, {5, 5, 70, 30}, {85, 10, 460, 30}},
                          Case{1, true, {5, 5, 170, 30}, {185, 10, 360, 30}}}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(c.language);
        Language::resetLanguageCache();
        auto popup = c.given ? std::make_shared<AddressTableViewController>("5 Elm Road", "Springfield", "Ohio", "45501")
                             : std::make_shared<AddressTableViewController>();
        auto host = std::make_shared<ui::ViewController>();
        window->setRootViewController(host);
        auto popover = std::make_shared<ui::PopoverController>(popup);
        popover->setPopoverContentSize({550, AddressTableViewController::kRowHeight * 4});
        popover->presentPopoverFromRect({300, 100, 200, 30}, host->view().get(), ui::PopoverArrowDirectionUp, false);
        driver->wait(1);
        window->layoutIfNeeded();
        auto* street = dynamic_cast<ui::TableViewCell*>(popup->tableView()->cellForRowAtIndexPath({0, 0}));
        ASSERT_NE(street, nullptr);
        auto* label = dynamic_cast<ui::Label*>(street->contentView().viewWithTag(1));
        auto* field = dynamic_cast<ui::TextField*>(street->contentView().viewWithTag(2));
        ASSERT_TRUE(label && field);
        EXPECT_EQ(label->frame(), c.label);
        EXPECT_EQ(field->frame(), c.field);
        EXPECT_EQ(label->text(), Language::stringWithName("STREETADDRESS"));
        EXPECT_TRUE(field->isFirstResponder());
        EXPECT_EQ(popup->getStreetAddress(), c.given ? "5 Elm Road" : "");
        EXPECT_EQ(popup->getZipCode(), c.given ? "45501" : "");
        if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
            driver->screenshot(std::string(review) + "/address_popup_" + std::to_string(c.language) + ".png");
        for (size_t i = field->text().size(); i > 0; --i)
            driver->pressKey("\b");
        driver->type("9 Oak St");
        EXPECT_EQ(popup->getStreetAddress(), "9 Oak St");
        field->resignFirstResponder();
        popover->dismissPopoverAnimated(false);
    }
}

} // namespace
