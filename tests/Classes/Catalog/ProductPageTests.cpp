// The product page over the small test catalogue and the real order store, pushed on the
// catalogue tab's stack the way the grid pushes it.
#include "CatalogTestSupport.h"

#include "Classes/Catalog/CatalogLayOut.h"
#include "Widgets/IconButton.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Widgets/ProductAttributeView.h"
#include "Classes/Catalog/ProductDescView.h"
#include "Classes/Catalog/ProductDetailController.h"
#include "Classes/Catalog/ProductDetailManyImageCell.h"
#include "Protocol/SyncModel.h"
#include "Classes/Catalog/RelatedProductViewcontroller.h"
#include "Classes/Library/ProductRelatedFileController.h"
#include "Common/BrivantaNavigationController.h"
#include "Common/UIToast.h"
#include "Database/QuoteOrderEntity.h"
#include "Database/QuoteOrderItemEntity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Value.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TableView.h"
#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/DecodeBudget.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace catalogtest;

// Waits for the condition in real time, running what the main loop has ready meanwhile: a
// decode on a worker ends when it ends, however busy the machine. The manual clock stays.
bool waitInRealTime(const std::function<bool()>& done, double seconds = 60)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        base::RunLoop::main().runPending();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // a poll step, not a wait
    }
}

struct EditRecorder : ProductDetailDelegate {
    std::vector<std::string> calls;
    void saveOrderItemIndex(const brivanta_product_Entity& p, int index) override
    {
        calls.push_back("save " + std::to_string(p.count) + " " + p.attributes.value_or("") + " " + std::to_string(index));
    }
    void back() override { calls.push_back("back"); }
};

class ProductPageTest : public CatalogTest {
protected:
    ProductPageTest()
    {
        withMainBar();
        tabs = app->tabBarController();
        rootNav = std::make_shared<BrivantaNavigationController>(tabs);
        rootNav->setNavigationBarHidden(true);
        window->setRootViewController(rootNav);
        tabs->selectTab(1);
        store->setIsOrderOnShow(true);
        for (const char* name : {"detailOnClickTagListener", "changeMasterViewState"})
            tokens.push_back(base::NotificationCenter::defaultCenter().addObserver(
                name, nullptr, [this, name](const base::Notification& n) {
                    auto tag = std::static_pointer_cast<std::string>(n.object);
                    posted.push_back(std::string(name) + (tag ? " " + *tag : "") + " tab "
                                     + std::to_string(tabs->iCurSelectTab()));
                }));
    }
    ~ProductPageTest() override
    {
        MasterViewController::resetCurrentState();
        window->setRootViewController(nullptr);
    }

    // Forty entries over the published products, the discounted one third.
    std::vector<brivanta_product_Entity> listOf40()
    {
        std::vector<int> ids{1, 2, fx::kActiveDiscount, fx::kSixAttributes, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15};
        std::vector<brivanta_product_Entity> list;
        for (int i = 0; i < 40; ++i)
            list.push_back(product(ids[static_cast<size_t>(i) % ids.size()]));
        return list;
    }
    // The page pushed on the catalogue tab's stack as the grid pushes it.
    std::shared_ptr<ProductDetailController> open(std::vector<brivanta_product_Entity> list, int index,
                                                  int tab = 1)
    {
        auto page = std::make_shared<ProductDetailController>();
        page->setProductEntity(list[static_cast<size_t>(index)]);
        page->setProductID(list[static_cast<size_t>(index)].product_id);
        page->setProductCount(static_cast<int>(list.size()));
        page->setProductArray(std::move(list));
        page->setTag(index);
        title = std::make_shared<ui::Label>(gfx::Rect(300, 0, 400, 30));
        page->setLblTitle(title);
        tabs->selectTab(tab);
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[static_cast<size_t>(tab)]);
        nav->pushViewController(page, false);
        // As the catalogue does when it opens a page: its panels leave the tab bar's view.
        if (auto catalogue = tabs->catalogDelegate())
            catalogue->removeCalogView();
        window->layoutIfNeeded();
        base::RunLoop::main().advance(0.5);
        return page;
    }
    std::shared_ptr<ProductDetailController> openSingle(int id)
    {
        return open({product(id)}, 0);
    }
    std::string alertText()
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
    }
    bool toastShows(const std::string& key) { return driver->findByText(Language::stringWithName(key)) != nullptr; }
    void settle()
    {
        base::RunLoop::main().advance(10);
        ui::AlertView::dismissAllForTesting();
    }
    void type(ProductDetailController& page, const std::string& text)
    {
        page.countTextField()->setText(text);
    }
    void review(const std::string& name) { window->savePng(reviewPath(name)); }

    std::shared_ptr<UITabBarControllerExt> tabs;
    std::shared_ptr<BrivantaNavigationController> rootNav;
    std::shared_ptr<ui::Label> title;
    std::vector<std::string> posted;
    std::vector<base::ObserverToken> tokens;
};

TEST_F(ProductPageTest, ShowsTheProductAndStepsThroughItsList)
{
    auto page = open(listOf40(), 2);
    // The discounted product: struck price, the discount 20 points right of the price text.
    EXPECT_EQ(page->productNameLabel()->text(), page->productEntity().product_name.value_or(""));
    ASSERT_FALSE(page->priceLabel()->isHidden());
    EXPECT_EQ(page->priceLabel()->subviews().size(), 1u);
    double priceText = gfx::sizeOfText(page->priceLabel()->text(), page->priceLabel()->font(), {1e6, 40},
                                       gfx::LineBreakMode::WordWrap).width;
    EXPECT_EQ(page->discountLabel()->frame().x(), page->priceLabel()->frame().x() + priceText + 20);
    EXPECT_FALSE(page->discountLabel()->text().empty());
    EXPECT_EQ(page->titleView(), page->titleLabel());
    // The picture is decoded off the main thread and goes in once it is.
    ASSERT_TRUE(waitInRealTime([&] { return page->mainImageShown(); }));
    EXPECT_TRUE(near(pixelAt({60, 50}), catalogfixture::colorOfProduct(fx::kActiveDiscount)));
    review("product-page-discounted.png");

    // The next product moves in from the right over the old content.
    page->slipToLeft(nullptr);
    EXPECT_EQ(page->tag(), 3);
    EXPECT_EQ(page->productID(), fx::kSixAttributes);
    EXPECT_FALSE(page->_tapToLeftProduct()->isHidden());
    EXPECT_EQ(page->view()->animationKeys(), std::vector<std::string>{"kPagePushFromRight"});
    base::RunLoop::main().advance(0.2);
    review("product-page-step-mid.png");
    base::RunLoop::main().advance(0.5);
    std::string name = page->productEntity().product_name.value_or("");
    EXPECT_EQ(title->text(), name + "  ( 4 / 40 )");
    EXPECT_FALSE(page->manyImagesView()->isHidden()); // three images
    EXPECT_EQ(page->descriptionView()->frame().height(), 117);

    // A swipe to the left steps on, one to the right back.
    driver->swipe({700, 300}, {300, 300});
    EXPECT_EQ(page->tag(), 4);
    driver->swipe({300, 300}, {700, 300});
    EXPECT_EQ(page->tag(), 3);
    // Stepping back with the page's own left arrow; another button does nothing.
    page->slipToRight(page->addBtn().get());
    EXPECT_EQ(page->tag(), 3);
    page->slipToRight(page->_tapToLeftProduct().get());
    EXPECT_EQ(page->tag(), 2);
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(title->text(), page->productEntity().product_name.value_or("") + "  ( 3 / 40 )");

    // At the end of the list a swipe bounces and the right arrow stays hidden.
    page->setTag(39);
    page->slipToLeft(nullptr);
    EXPECT_EQ(page->tag(), 39);
    EXPECT_TRUE(page->_tapToRightProduct()->isHidden());
    ASSERT_TRUE(page->view()->animationForKey("BouceToLeft"));
    double x = page->view()->center().x;
    base::RunLoop::main().advance(0.2);
    EXPECT_NEAR(page->view()->presentation().center.x, x - 100, 1);
    base::RunLoop::main().advance(0.3);
    EXPECT_NEAR(page->view()->presentation().center.x, x, 1e-6);
}

TEST_F(ProductPageTest, OtherRoadsNeitherStepNorShowTagsAndMinorPricesHide)
{
    // A list of one: no arrows, a swipe bounces.
    auto single = openSingle(fx::kNegativePrice);
    EXPECT_TRUE(single->_tapToLeftProduct()->isHidden());
    EXPECT_TRUE(single->_tapToRightProduct()->isHidden());
    EXPECT_TRUE(single->priceLabel()->isHidden());
    EXPECT_TRUE(single->priceTittle()->isHidden());
    EXPECT_TRUE(single->discountLabel()->text().empty());
    single->slipToRight(nullptr);
    EXPECT_TRUE(single->view()->animationForKey("BouceToRight"));
    EXPECT_EQ(single->productID(), fx::kNegativePrice);

    // The inventory road: a delegate, no list; swipes removed; the viewer loops its images.
    auto inventory = std::make_shared<EditRecorder>();
    auto page = std::make_shared<ProductDetailController>();
    page->setProductEntity(product(fx::kSixAttributes));
    page->setProductID(fx::kSixAttributes);
    page->setDelegate(inventory);
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[3]);
    tabs->selectTab(3);
    nav->pushViewController(page, false);
    page->_tapToLeftProduct()->setHidden(true);
    page->_tapToRightProduct()->setHidden(true);
    page->removeSwipeGestureRecognizers();
    window->layoutIfNeeded();
    EXPECT_TRUE(page->tagsScrollView()->isHidden());
    driver->swipe({700, 300}, {300, 300});
    EXPECT_FALSE(page->view()->animationForKey("BouceToLeft"));
    // The viewer opens from the catalogue tab's controller though the page is on another tab.
    driver->tap(page->productImageView().get());
    base::RunLoop::main().advance(0.5);
    auto viewer = page->imageController();
    ASSERT_TRUE(viewer);
    EXPECT_EQ(tabs->viewControllers()[1]->presentedViewController(), viewer);
    EXPECT_TRUE(viewer->view()->window());
    EXPECT_EQ(viewer->imageCount(), 3);
    viewer->startSlideShow();
    base::RunLoop::main().advance(8.5 * 4);
    EXPECT_EQ(page->productID(), fx::kSixAttributes);
    EXPECT_EQ(viewer->imageCount(), 3);
    viewer->endSlideShow();
    settle();

    // A product the tag strip names first though it lacks the tag.
    auto list = listOf40();
    auto tagged = std::make_shared<ProductDetailController>();
    tagged->setProductEntity(list[0]);
    tagged->setProductID(list[0].product_id);
    tagged->setProductArray(list);
    tagged->set_currentTag(std::string("Zebra"));
    tabs->selectTab(1);
    std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[1])->pushViewController(tagged, false);
    ASSERT_TRUE(tagged->_dataArray());
    EXPECT_EQ(*tagged->_dataArray(), (std::vector<std::string>{"Zebra", "apple"}));
    ui::Button* first = nullptr;
    for (auto& sub : tagged->tagsScrollView()->subviews())
        if (auto* b = dynamic_cast<ui::Button*>(sub.get()); b && !first)
            first = b;
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isSelected());
    EXPECT_EQ(first->currentTitle(), "Zebra");
}

TEST_F(ProductPageTest, QuantitiesAreCheckedBeforeAnAdd)
{
    auto page = openSingle(fx::kNoAttributes);
    struct Case {
        const char* typed;
        const char* alert; // language key, or "reason" for the validator's
        const char* field;
        int lineQuantity; // 0: nothing added
    };
    std::string reason = Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER");
    for (const Case& c : {Case{"0", "PLEASEINPUTAPOSITIVENUMBER", "0", 0}, Case{"abc", "PLEASEINPUTAPOSITIVENUMBER", "abc", 0},
                          Case{"-3", "reason", "-3", 0}, Case{"1.5", "reason", "1.5", 0},
                          Case{"1000001", "ORDEROVERMAX", "1000000", 0},
                          Case{"123456789012", "ORDEROVERMAX", "1000000", 0}, Case{"1.50", "", "1.50", 1}}) {
        store->removeCurrentQuoteOrder();
        type(*page, c.typed);
        page->addToOrderBtn()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        std::string expected = std::string(c.alert) == "reason" ? reason
                               : *c.alert ? Language::stringWithName(c.alert) : std::string();
        EXPECT_EQ(alertText(), expected) << c.typed;
        EXPECT_EQ(page->countTextField()->text(), c.field) << c.typed;
        auto& order = store->curQuoteOrder();
        EXPECT_EQ(order ? order->items().size() : 0u, c.lineQuantity ? 1u : 0u) << c.typed;
        if (c.lineQuantity) {
            EXPECT_EQ(order->items()[0]->quantity(), c.lineQuantity);
        }
        ui::AlertView::dismissAllForTesting();
    }
    // Minus stops at 1; plus has no limit.
    type(*page, "1");
    page->deleteCount();
    EXPECT_EQ(page->countTextField()->text(), "1");
    type(*page, "1000000");
    page->addCount();
    EXPECT_EQ(page->countTextField()->text(), "1000001");
    EXPECT_EQ(ProductDetailController::quantityOfText(" 42abc"), 42);
    EXPECT_EQ(ProductDetailController::quantityOfText("-99999999999"), INT_MIN);

    // Editing the quantity lifts the page over the keyboard and puts it back.
    page->countTextField()->becomeFirstResponder();
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(page->view()->frame().y(), -292);
    page->view()->endEditing();
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(page->view()->frame().y(), 0);

    // In a window no keyboard covers the page: a click on the quantity edits it where it is,
    // and the page stays under the pointer.
    ui::Keyboard::setOnScreen(false);
    gfx::Point field = driver->centerOf(page->countTextField().get());
    driver->tap(field);
    base::RunLoop::main().advance(0.5);
    EXPECT_TRUE(page->countTextField()->isFirstResponder());
    EXPECT_EQ(page->view()->frame().y(), 0);
    EXPECT_EQ(driver->centerOf(page->countTextField().get()), field);
    page->view()->endEditing();
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(page->view()->frame().y(), 0);
    ui::Keyboard::resetForTesting();
}

TEST_F(ProductPageTest, UnchosenAttributesStopTheAddAndCurrencyClashesAsk)
{
    // Two attributes, the second unchosen: the toast and the frame round the second place.
    auto page = openSingle(fx::kColourAndSize);
    std::vector<product_attribute_cell_Entity> two(2);
    two[0].fieldName = "Size";
    two[0].attributeList = "L";
    two[1].fieldName = "Colour";
    two[1].attributeList = "Red,Blue";
    page->attributeView()->setAttributeAry(two);
    page->addToOrderBtn()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(toastShows("CHOOSEATTRIBUTE"));
    auto frame = page->highlightFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->frame(), gfx::Rect(803, 397, 180, 80));
    EXPECT_EQ(frame->animationKeys().size(), 3u);
    base::RunLoop::main().advance(1.25);
    EXPECT_GT(frame->presentation().alpha, 0.2);
    base::RunLoop::main().advance(1.5);
    EXPECT_EQ(frame->superview(), nullptr);
    EXPECT_FALSE(store->curQuoteOrder());
    settle();

    // An attribute with no list of values does not stop the add.
    auto absent = openSingle(fx::kAbsentList);
    absent->addToOrderBtn()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(store->curQuoteOrder());
    EXPECT_EQ(store->curQuoteOrder()->items().size(), 1u);
    EXPECT_EQ(absent->addToOrderBtn()->badgeLabel()->text(), "1");

    // A product in the other currency: the question; DONTSAVE starts a new order with it.
    auto euro = openSingle(fx::kSecondCurrency);
    euro->addToOrderBtn()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_EQ(ui::AlertView::visibleAlert()->tag(), ProductDetailController::kCurrencyAlertTag);
    EXPECT_EQ(alertText(), Language::stringWithName("NOTTHESAMEMONEYCY"));
    answerAlert(0);
    ASSERT_TRUE(store->curQuoteOrder());
    ASSERT_EQ(store->curQuoteOrder()->items().size(), 1u);
    EXPECT_EQ(store->curQuoteOrder()->items()[0]->product()->product_id, fx::kSecondCurrency);

    // SAVE with the save refused: "FAILED", nothing added, the order kept.
    auto back = openSingle(fx::kNoAttributes);
    EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate(
        "create trigger refuse before insert on brivanta_quote_order_item begin select raise(abort, 'refused'); end"));
    back->addToOrderBtn()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    answerAlert(1);
    auto failed = ui::AlertView::visibleAlert();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->title(), Language::stringWithName("NOTIFICATION"));
    EXPECT_EQ(failed->message(), Language::stringWithName("FAILED"));
    ASSERT_TRUE(store->curQuoteOrder());
    EXPECT_EQ(store->curQuoteOrder()->items().size(), 1u);
    EXPECT_EQ(store->curQuoteOrder()->items()[0]->product()->product_id, fx::kSecondCurrency);
}

TEST_F(ProductPageTest, CompareAndFavouriteFollowWhatIsStored)
{
    auto page = openSingle(fx::kSingleValue);
    struct Toggle {
        ui::Button* button;
        void (ProductDetailController::*action)();
        const char* table;
        const char* added;
        const char* removed;
    };
    for (Toggle t : {Toggle{page->compareBtn().get(), &ProductDetailController::productCompare, "brivanta_compare",
                            "PRODUCTADDEDTOCOMSUCCESS", "PRODUCTREMOVEDFROMCOMPARSION"},
                     Toggle{page->favBtn().get(), &ProductDetailController::addProductToFavorite, "brivanta_favorite",
                            "PRODUCTADDEDTOFAVSUCCESS", "PRODUCTREMOVEDFROMFAVORITE"}}) {
        std::string rows = std::string("select count(*) from ") + t.table + " where product_id = 2";
        for (auto [selected, key] : {std::pair{true, t.added}, std::pair{false, t.removed}, std::pair{true, t.added}}) {
            ((*page).*t.action)();
            EXPECT_EQ(t.button->isSelected(), selected) << t.table;
            EXPECT_TRUE(toastShows(key)) << t.table;
            EXPECT_EQ(count(rows), selected ? 1 : 0) << t.table;
            settle();
        }
        // A refused write: "FAILED", the button as it was.
        EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate(std::string("create trigger refuse_") + t.table + " before delete on "
                                                    + t.table + " begin select raise(abort, 'refused'); end"));
        ((*page).*t.action)();
        EXPECT_TRUE(t.button->isSelected()) << t.table;
        EXPECT_TRUE(toastShows("FAILED")) << t.table;
        EXPECT_EQ(count(rows), 1) << t.table;
        settle();
    }
}

TEST_F(ProductPageTest, EditModeHandsBackTheCheckedLine)
{
    auto editor = std::make_shared<EditRecorder>();
    auto page = openSingle(fx::kColourAndSize);
    page->setDelegate(editor);
    page->setIsInEdit(true);
    page->setItemIndex(1);
    EXPECT_EQ(page->addToOrderBtn()->currentTitle(), Language::stringWithName("SAVEORDER"));
    product_attribute_cell_Entity colour;
    colour.fieldName = "Colour";
    colour.attributeValue = "Blue";
    page->attributeView()->setAttributeValues({colour});
    for (const char* refused : {"-3", "0"}) {
        type(*page, refused);
        page->addToOrder();
        EXPECT_FALSE(alertText().empty()) << refused;
        EXPECT_TRUE(editor->calls.empty()) << refused;
        ui::AlertView::dismissAllForTesting();
    }
    type(*page, "5");
    page->addToOrder();
    EXPECT_EQ(editor->calls, (std::vector<std::string>{"save 5 Colour:Blue,Size:L 1", "back"}));
}

TEST_F(ProductPageTest, TagsRelatedProductsAndMaterialsOpenFromThePage)
{
    auto page = open(listOf40(), 0); // product 1: tag "apple", related 2, 3 and 7, two guides
    auto firstTag = [](ProductDetailController& p) -> ui::Button* {
        for (auto& sub : p.tagsScrollView()->subviews())
            if (auto* b = dynamic_cast<ui::Button*>(sub.get()))
                return b;
        return nullptr;
    };
    ui::Button* apple = firstTag(*page);
    ASSERT_TRUE(apple);
    EXPECT_EQ(apple->currentTitle(), "apple");
    driver->tap(apple);
    EXPECT_EQ(posted, (std::vector<std::string>{"changeMasterViewState tab 1", "detailOnClickTagListener apple tab 1"}));
    posted.clear();
    driver->tap(apple);
    EXPECT_TRUE(posted.empty());

    // The related products pop up on the window's root stack; CLOSE takes them away.
    driver->tap(page->relatedBtn().get());
    base::RunLoop::main().advance(1);
    auto related = std::dynamic_pointer_cast<RelatedProductViewcontroller>(rootNav->topViewController());
    ASSERT_TRUE(related);
    EXPECT_EQ(related->relatedArray().size(), 3u);
    driver->tap(related->btnClose().get());
    base::RunLoop::main().advance(1);
    EXPECT_EQ(rootNav->topViewController(), tabs);

    driver->tap(page->relatedFileBtn().get());
    base::RunLoop::main().advance(1);
    auto files = std::dynamic_pointer_cast<ProductRelatedFileController>(rootNav->topViewController());
    ASSERT_TRUE(files);
    files->libraryFileScrollView()->layoutIfNeeded();
    EXPECT_EQ(files->libraryFileScrollView()->numberOfColumns(), 4u) << "four tiles across";
    EXPECT_TRUE(driver->findByText("Guide 1"));
    EXPECT_TRUE(driver->findByText("Guide 2"));
    driver->tap(files->btnClose().get());
    base::RunLoop::main().advance(1);
    EXPECT_EQ(rootNav->topViewController(), tabs);

    // From another tab's stack, the catalogue tab comes first.
    auto other = open(listOf40(), 0, 3);
    ui::Button* tag = firstTag(*other);
    ASSERT_TRUE(tag);
    other->clickOtherTags(*tag);
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), "detailOnClickTagListener apple tab 1");
}

TEST_F(ProductPageTest, ThumbnailsSnapAndSwapTheMainImage)
{
    for (auto [target, snapped] : {std::pair{-5.0, 0.0}, std::pair{60.0, 0.0}, std::pair{72.0, 128.0},
                                   std::pair{190.0, 128.0}, std::pair{200.0, 256.0}})
        EXPECT_EQ(ProductDetailController::snappedThumbnailOffset(target), snapped) << target;
    auto page = openSingle(fx::kSixAttributes);
    ASSERT_FALSE(page->manyImagesView()->isHidden());
    auto* third = dynamic_cast<ProductDetailManyImageCell*>(page->manyImagesView()->viewWithTag(102));
    ASSERT_TRUE(third);
    // Pictures are decoded off the main thread: the first full picture and the strip's
    // thumbnails are in before the tap.
    ASSERT_TRUE(waitInRealTime([&] { return page->mainImageShown() && !third->imageView_()->image().isNull(); }));
    gfx::Image before = page->productImageView()->image();
    gfx::Point centre = third->convertPointToView({60, 46}, nullptr);
    driver->press(centre);
    driver->release();
    EXPECT_EQ(page->currentImageIndex(), 2);
    EXPECT_TRUE(third->isFocus());
    // The tapped thumbnail stands in at once, fading in, until its full picture is decoded.
    EXPECT_EQ(page->productImageView()->image().cairoSurface(), third->imageView_()->image().cairoSurface());
    EXPECT_FALSE(page->mainImageShown());
    EXPECT_LT(page->productImageView()->presentation().alpha, 1);
    base::RunLoop::main().advance(1);
    EXPECT_EQ(page->productImageView()->presentation().alpha, 1);
    ASSERT_TRUE(waitInRealTime([&] { return page->mainImageShown(); }));
    EXPECT_TRUE(page->productImageView()->image().pixelAt(5, 5) != before.pixelAt(5, 5)
                || page->productImageView()->image().size() != before.size());

    // One image: no strip.
    auto one = openSingle(fx::kSingleValue);
    EXPECT_TRUE(one->manyImagesView()->isHidden());
}

TEST_F(ProductPageTest, ThePageDrawsAtOnceAndItsPictureGoesAheadOfWaitingThumbnails)
{
    // The product's main picture is a large one.
    auto path = PublicFunction::filePathWithNameFiletype(catalogfixture::fullImageName(fx::kSixAttributes), 1);
    ASSERT_TRUE(path);
    {
        auto context = gfx::Context::createBitmap({4000, 3000}, 1);
        context->setFillColor(gfx::Color::fromRgb(200, 30, 90));
        context->fillRect({0, 0, 4000, 3000});
        ASSERT_EQ(context->savePng(*path), nullptr);
    }
    constexpr size_t kLimit = size_t(128) << 20;
    auto& budget = gfx::DecodeBudget::shared();
    struct LimitScope {
        ~LimitScope() { gfx::DecodeBudget::shared().setLimit(gfx::DecodeBudget::kDefaultLimit); }
    } limitScope;
    budget.setLimit(kLimit);

    // A sync's thumbnail decode in flight and 200 more waiting behind it, each as large as the
    // budget; they hold their room until the test lets them go.
    auto inFlight = std::make_unique<gfx::DecodeBudget::Reservation>(budget.reserve(kLimit));
    std::mutex lock;
    std::condition_variable changed;
    bool go = false;
    std::atomic<int> thumbnailsLetIn {0};
    std::mutex inFlightLock;
    auto releaseInFlight = [&] {
        std::lock_guard guard(inFlightLock);
        inFlight.reset();
    };
    auto releaseAll = [&] {
        releaseInFlight();
        std::lock_guard guard(lock);
        go = true;
        changed.notify_all();
    };
    std::vector<std::thread> thumbnails;
    for (int i = 0; i < 200; ++i)
        thumbnails.emplace_back([&] {
            auto room = budget.reserve(kLimit, gfx::DecodeBudget::Priority::Background);
            ++thumbnailsLetIn;
            std::unique_lock guard(lock);
            changed.wait(guard, [&] { return go; });
        });
    std::atomic<bool> drawn {false};
    // Were the window to wait for a decode, this lets everything go after a while so that the
    // test ends, and fails, instead of hanging.
    std::thread watchdog([&] {
        std::unique_lock guard(lock);
        changed.wait_for(guard, std::chrono::seconds(20), [&] { return go || drawn.load(); });
        guard.unlock();
        if (!drawn)
            releaseAll();
    });
    // Whatever fails below, every thread this test started is let go and joined, and the
    // page's own decode ends, before the test returns: a failure is reported, never fatal.
    struct Join {
        std::vector<std::thread>& threads;
        std::function<void()> release;
        ~Join()
        {
            release();
            for (auto& t : threads)
                if (t.joinable())
                    t.join();
            waitInRealTime([] { return ScreenPicture::pending() == 0; });
        }
    };
    thumbnails.push_back(std::move(watchdog));
    Join join {thumbnails, releaseAll};
    bool parked = waitInRealTime([&] { return budget.waiting() == 200; });
    EXPECT_TRUE(parked) << budget.waiting();
    if (!parked)
        return;

    auto tapped = std::chrono::steady_clock::now();
    auto page = openSingle(fx::kSixAttributes);
    window->prepareFrame();
    window->drawFrame(1);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tapped).count();
    {
        std::lock_guard guard(lock);
        drawn = true;
        changed.notify_all();
    }
    std::printf("first frame %.1f ms after the tap\n", ms);
    // The frame came while every thumbnail still waited: the window waited for no decode.
    EXPECT_EQ(thumbnailsLetIn.load(), 0);
    EXPECT_FALSE(page->mainImageShown());
    EXPECT_FALSE(page->productImageView()->image().isNull()) << "a stand-in shows meanwhile";

    // Once the decode in flight ends, the page's picture goes before the waiting thumbnails,
    // which would otherwise hold the budget until the test ends.
    EXPECT_TRUE(waitInRealTime([&] { return budget.waiting() == 201; })) << budget.waiting();
    releaseInFlight();
    bool shownAtLast = waitInRealTime([&] { return page->mainImageShown(); });
    EXPECT_TRUE(shownAtLast);
    if (!shownAtLast)
        return;
    EXPECT_LE(thumbnailsLetIn.load(), 1);
    gfx::Image shown = page->productImageView()->image();
    EXPECT_LE(shown.pixelWidth(), 1024) << "decoded at the size it is shown";
    EXPECT_NEAR(shown.colorAt(shown.pixelWidth() / 2, shown.pixelHeight() / 2).r, 200 / 255.0, 0.02);
}

// A page opened while a sync is still bringing its pictures shows each as the sync puts it in
// place, with no reopening: the main picture and a thumbnail of the strip.
TEST_F(ProductPageTest, PicturesThatArriveAfterThePageOpensShowWithoutReopening)
{
    const int id = fx::kSixAttributes;
    struct Picture {
        std::string name, path;
    };
    std::vector<Picture> pictures;
    for (const std::string& name : {catalogfixture::fullImageName(id), catalogfixture::thumbnailName(id, 1)}) {
        auto path = PublicFunction::filePathWithNameFiletype(name, 1);
        ASSERT_TRUE(path && std::filesystem::exists(*path)) << name;
        std::filesystem::rename(*path, *path + ".on-its-way");
        pictures.push_back({name, *path});
    }
    auto page = openSingle(id);
    ASSERT_TRUE(waitInRealTime([] { return ScreenPicture::pending() == 0; }));
    ui::View* thumbnail = nullptr;
    for (const auto& sub : page->manyImagesView()->subviews())
        if (sub->tag() == ProductDetailController::kThumbnailTagBase + 1)
            thumbnail = sub.get();
    auto* cell = dynamic_cast<ProductDetailManyImageCell*>(thumbnail);
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(page->mainImageShown());
    gfx::Image thumbnailStandIn = cell->imageView_()->image();
    EXPECT_FALSE(near(pixelAt({60, 50}), catalogfixture::colorOfProduct(id)));

    // The sync puts each file in place and says so. A file of another type by the same name
    // is not the page's.
    for (const auto& picture : pictures) {
        std::filesystem::rename(picture.path + ".on-its-way", picture.path);
        base::NotificationCenter::defaultCenter().post(SyncModel::kFileArrivedNotification,
                                                       std::make_shared<std::string>(picture.name), base::Value(3));
    }
    ASSERT_TRUE(waitInRealTime([] { return ScreenPicture::pending() == 0; }));
    EXPECT_FALSE(page->mainImageShown());
    for (const auto& picture : pictures)
        base::NotificationCenter::defaultCenter().post(SyncModel::kFileArrivedNotification,
                                                       std::make_shared<std::string>(picture.name), base::Value(1));
    ASSERT_TRUE(waitInRealTime([&] { return page->mainImageShown() && ScreenPicture::pending() == 0; }));
    EXPECT_TRUE(near(pixelAt({60, 50}), catalogfixture::colorOfProduct(id)));
    gfx::Image arrived = cell->imageView_()->image();
    ASSERT_FALSE(arrived.isNull());
    EXPECT_NE(arrived.pixelAt(arrived.pixelWidth() / 2, arrived.pixelHeight() / 2),
              thumbnailStandIn.pixelAt(thumbnailStandIn.pixelWidth() / 2, thumbnailStandIn.pixelHeight() / 2));
    review("product-page-pictures-arrived.png");
}

TEST_F(ProductPageTest, LanguageSwitchRetitlesThePage)
{
    auto page = openSingle(fx::kColourAndSize);
    product_attribute_cell_Entity colour;
    colour.fieldName = "Colour";
    colour.attributeValue = "Blue";
    page->attributeView()->setAttributeValues({colour});
    ASSERT_EQ(page->attributeView()->attributes(), "Colour:Blue,Size:L");
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    page->updateLanguage(nullptr);
    window->layoutIfNeeded();
    EXPECT_EQ(page->productNameTittle()->text(), Language::stringWithName("NAME") + ":");
    EXPECT_EQ(page->addToOrderBtn()->currentTitle(), Language::stringWithName("ADDTOORDER"));
    EXPECT_EQ(page->attributeView()->attributes(), "Size:L");
    review("product-page-chinese.png");
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

} // namespace

namespace {

struct PopupCloser : PopControllerDelegate {
    std::shared_ptr<ui::NavigationController> nav;
    int closes = 0;
    void dismissPopController(bool) override
    {
        ++closes;
        nav->popViewController(false);
    }
};

TEST_F(ProductPageTest, RelatedPopupLaysOutTilesAddsAndOpensPages)
{
    ASSERT_TRUE(store->addToOrder(product(fx::kSingleValue, 2, "Colour:Red")));
    ASSERT_TRUE(store->addToOrder(product(fx::kSingleValue, 3, "")));
    std::vector<int> ids{1, fx::kSingleValue, 3, 4, 5, fx::kActiveDiscount};
    std::vector<brivanta_product_Entity> related;
    for (int id : ids)
        related.push_back(product(id));
    std::vector<std::string> opened;
    int tabWhenPosted = -1;
    auto watch = base::NotificationCenter::defaultCenter().addObserver(
        CatalogLayOut::kNotification, nullptr, [&](const base::Notification& n) {
            auto layout = std::static_pointer_cast<CatalogLayOut>(n.object);
            std::string line = std::to_string(layout->index) + ":";
            for (auto& p : layout->products)
                line += " " + std::to_string(p.product_id);
            opened.push_back(line);
            tabWhenPosted = tabs->iCurSelectTab();
        });
    auto closer = std::make_shared<PopupCloser>();
    closer->nav = rootNav;
    auto popup = std::make_shared<RelatedProductViewcontroller>();
    popup->setRelatedArray(related);
    popup->setDelegate(closer);
    tabs->selectTab(0);
    rootNav->pushViewController(popup, false);
    window->layoutIfNeeded();
    EXPECT_EQ(popup->lblTittle()->text(), Language::stringWithName("RELATEDPRODUCTS"));
    std::vector<gfx::Point> origins;
    for (size_t i = 0; i < ids.size(); ++i) {
        auto* tile = dynamic_cast<DetailCell*>(popup->relatedScrollView()->viewWithTag(3500 + static_cast<int>(i)));
        ASSERT_TRUE(tile);
        origins.push_back(tile->frame().origin);
    }
    EXPECT_EQ(origins, (std::vector<gfx::Point>{{10, 0}, {206, 0}, {402, 0}, {598, 0}, {794, 0}, {10, 215}}));
    EXPECT_EQ(popup->relatedScrollView()->contentSize(), (gfx::Size{980, 713}));
    auto* second = dynamic_cast<DetailCell*>(popup->relatedScrollView()->viewWithTag(3501));
    EXPECT_EQ(second->addOrderBtn().badgeLabel()->text(), "5");
    review("related-products.png");

    // An add from the tile goes to the order; the badge grows from what was counted.
    driver->tap(&second->addOrderBtn());
    EXPECT_EQ(second->addOrderBtn().badgeLabel()->text(), "6");
    int inOrder = 0;
    for (auto& line : store->curQuoteOrder()->items())
        if (line->product()->product_id == fx::kSingleValue)
            inOrder += line->quantity();
    EXPECT_EQ(inOrder, 6);

    // The picture opens that product's page in the catalogue, which is chosen first.
    driver->tap(&second->bgImageView());
    EXPECT_EQ(closer->closes, 1);
    EXPECT_EQ(opened, std::vector<std::string>{"1: 1 2 3 4 5 7"});
    EXPECT_EQ(tabWhenPosted, 1);
    EXPECT_EQ(rootNav->topViewController(), tabs);
}

} // namespace

namespace {

TEST_F(ProductPageTest, CatalogueRoadBuildsThePageFromItsRequest)
{
    ProductDetailController::installPageMaker();
    auto list = listOf40();
    ProductPageRequest request;
    request.product = list[2];
    request.products = list;
    request.index = 2;
    request.count = 40;
    request.lblTitle = std::make_shared<ui::Label>();
    request.currentTag = std::string("TAG");
    request.tags = {"apple", "Zebra"};
    auto page = std::dynamic_pointer_cast<ProductDetailController>(ProductPageRoad::makePage(request));
    ProductPageRoad::setMaker({});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->productID(), list[2].product_id);
    EXPECT_EQ(page->tag(), 2);
    EXPECT_EQ(page->productArray().size(), 40u);
    EXPECT_EQ(page->productCount(), 40);
    EXPECT_EQ(page->lblTitle(), request.lblTitle);
    EXPECT_EQ(page->_currentTag(), std::optional<std::string>("TAG"));
    EXPECT_EQ(page->_dataArray(), (std::optional<std::vector<std::string>>{{"apple", "Zebra"}}));

    // The catalogue's popups clear the page's toggles through the page's own interface.
    auto opened = open(list, 2);
    opened->productCompare();
    ASSERT_TRUE(opened->compareBtn()->isSelected());
    dynamic_cast<CatalogProductPage&>(*opened).deselectCompareButton();
    EXPECT_FALSE(opened->compareBtn()->isSelected());
}

} // namespace
