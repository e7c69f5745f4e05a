// The product page's small views: description, information panel, zoomable page, slide show.
#include "tests/App/AppWindowTestSupport.h"
#include "tests/Support/WordBoundaries.h"

#include "Classes/Catalog/ProductBigImageView.h"
#include "Classes/Catalog/ProductDescView.h"
#include "Classes/Catalog/ProductInfoView.h"
#include "Classes/Catalog/SlideShowController.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Graphics/AttributedString.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TextView.h"

#include <deque>
#include <set>


namespace {

using apptest::AppWindowTest;

using testsupport::wordBoundaries;

class ProductViewsTest : public AppWindowTest {
protected:
    static gfx::Image solid(gfx::Size size, gfx::Color color)
    {
        auto context = gfx::Context::createBitmap(size, 1);
        context->setFillColor(color);
        context->fillRect({{0, 0}, size});
        return context->makeImage();
    }
    void review(const std::string& name) { window->savePng(reviewPath(name)); }
    static std::string textOf(const ui::View* view)
    {
        auto* content = dynamic_cast<const AttributedStringView*>(view);
        return content ? content->attributedString().string() : std::string();
    }
};

TEST_F(ProductViewsTest, DescriptionShowsItsPartsUnderHeadingsAndScrollsOnlyWhenTaller)
{
    window->setBackgroundColor(gfx::Color::white());
    std::string longText;
    for (int i = 0; i < 30; ++i)
        longText += "Line " + std::to_string(i) + " of a long description.\n";
    struct Case {
        std::optional<std::string> shortDesc, longDesc;
        std::string text; // "" for the no-description view
        bool scrolls;
    };
    for (const Case& c : {Case{std::nullopt, std::string(), "", false},
                          Case{std::string("Soft grey wool."), std::nullopt, "Description:\nSoft grey wool.\n", false},
                          Case{std::nullopt, std::string("Knitted by hand."), "\nDetails:\nKnitted by hand.", false},
                          Case{std::string("Short."), std::string("Long."), "Description:\nShort.\n\nDetails:\nLong.", false},
                          Case{std::nullopt, longText, "\nDetails:\n" + longText, true}}) {
        auto view = std::make_shared<ProductDescView>(gfx::Rect(620, 175, 352, 137));
        view->setShortDesc(c.shortDesc);
        view->setLongDesc(c.longDesc);
        window->addSubview(view);
        window->layoutIfNeeded();
        ASSERT_TRUE(view->contentView());
        if (c.text.empty()) {
            auto* none = dynamic_cast<NODescriptionView*>(view->contentView().get());
            ASSERT_TRUE(none);
            EXPECT_EQ(none->frame(), gfx::Rect(2, 2, 348, 133));
            EXPECT_EQ(none->noDescriptionLabel()->text(), "No description available.");
            EXPECT_EQ(none->noDescriptionLabel()->font().families().substr(0, 14), "Dancing Script");
            review("product-desc-empty.png");
        } else {
            EXPECT_EQ(textOf(view->contentView().get()), c.text);
        }
        EXPECT_EQ(view->isScrollEnabled(), c.scrolls) << c.text.substr(0, 20);
        driver->drag({700, 300}, {700, 200});
        base::RunLoop::main().advance(2);
        EXPECT_EQ(view->contentOffset().y > 0, c.scrolls) << c.text.substr(0, 20);
        if (c.shortDesc && c.longDesc)
            review("product-desc-two-parts.png");
        view->removeFromSuperview();
    }
}

TEST_F(ProductViewsTest, DescriptionKeepsOneContentViewAndFollowsTheLanguage)
{
    auto view = std::make_shared<ProductDescView>(gfx::Rect(20, 20, 352, 137));
    view->setShortDesc(std::string("Short."));
    view->setLongDesc(std::string("Long."));
    window->addSubview(view);
    for (int i = 0; i < 100; ++i) {
        view->setNeedsDisplay();
        window->snapshot();
    }
    size_t contents = 0;
    for (auto& sub : view->subviews())
        contents += dynamic_cast<AttributedStringView*>(sub.get()) != nullptr;
    EXPECT_EQ(contents, 1u);

    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    view->updateLanguage();
    window->snapshot();
    EXPECT_EQ(textOf(view->contentView().get()), "描述:\nShort.\n\n详细信息:\nLong.");
    contents = 0;
    for (auto& sub : view->subviews())
        contents += dynamic_cast<AttributedStringView*>(sub.get()) != nullptr;
    EXPECT_EQ(contents, 1u);

    // The empty view renews itself on the change, in the larger Chinese size.
    auto empty = NODescriptionView::create({0, 0, 300, 150});
    EXPECT_EQ(empty->noDescriptionLabel()->font().pointSize(), 35);
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
    empty->notifiChangelanguage();
    EXPECT_EQ(empty->noDescriptionLabel()->text(), "No description available.");
    EXPECT_EQ(empty->noDescriptionLabel()->font().pointSize(), 25);
}

TEST_F(ProductViewsTest, ALongChineseDescriptionBreaksBetweenWordsInEveryParagraph)
{
    window->setBackgroundColor(gfx::Color::white());
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    const std::string sentence = "这款安溪铁观音茶叶散发着浓郁的兰花香气，汤色金黄明亮，滋味醇厚甘鲜，回甘持久。";
    struct Case {
        const char* name;
        int paragraphs, sentences; // sentences of 37 ideographs a paragraph
    } cases[] = {{"one short paragraph", 1, 2},
                  {"six paragraphs, 1300 ideographs", 6, 6},
                  {"two of 370", 2, 10},
                  {"one of 4,400", 1, 120}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text;
        for (int p = 0; p < c.paragraphs; ++p) {
            for (int s = 0; s < c.sentences; ++s)
                text += sentence;
            text += p + 1 < c.paragraphs ? "\n" : "";
        }
        auto view = std::make_shared<ProductDescView>(gfx::Rect(620, 175, 352, 137));
        view->setShortDesc(std::string("安溪铁观音"));
        view->setLongDesc(text);
        window->addSubview(view);
        window->layoutIfNeeded();
        auto* content = dynamic_cast<AttributedStringView*>(view->contentView().get());
        ASSERT_TRUE(content);
        if (c.paragraphs == 6)
            review("product-desc-long-chinese.png");
        // The lines as the view draws them, at its width.
        const gfx::AttributedString& shown = content->attributedString();
        gfx::AttributedTextLayout layout(nullptr, shown, content->bounds().width());
        EXPECT_EQ(layout.roundedSize().height, content->bounds().height());
        std::set<size_t> boundaries = wordBoundaries(shown.string());
        size_t lines = 0;
        for (size_t start : layout.lineStarts()) {
            ++lines;
            EXPECT_TRUE(boundaries.count(start)) << "a line starts inside a word: "
                                                 << shown.string().substr(start > 3 ? start - 3 : 0, 9);
        }
        EXPECT_GT(lines, static_cast<size_t>(c.paragraphs * c.sentences * 37 * 14 / 352));
        view->removeFromSuperview();
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

struct InfoDelegate : ProductInfoViewDelegate {
    int closes = 0;
    void productInfoViewClose() override { ++closes; }
};

TEST_F(ProductViewsTest, InformationPanelPlacesPricesAndClosesOnItsTap)
{
    window->setBackgroundColor(gfx::Color::fromRgb(40, 60, 90));
    auto panel = std::make_shared<ProductInfoView>(gfx::Rect(0, 0, 1024, 768));
    InfoDelegate delegate;
    panel->setDelegate(&delegate);
    brivanta_product_Entity product;
    product.product_name = "Merino Scarf";
    product.product_sku = "SC-100";
    product.product_s_desc = " \t ";
    panel->setProductEntity(product);
    EXPECT_EQ(panel->descriptionView()->text(), "No description available.");
    product.product_s_desc = "Soft and warm.";
    panel->setProductEntity(product);
    EXPECT_EQ(panel->descriptionView()->text(), "Soft and warm.");

    panel->setLabelPrice("$120.00", "");
    gfx::Rect price = panel->priceLabel()->frame();
    EXPECT_EQ(price.maxX(), 1024 - 15);
    EXPECT_EQ(price.height(), 20);
    EXPECT_GT(price.width(), 30);
    EXPECT_TRUE(panel->priceLabel()->subviews().empty()); // not struck

    panel->setLabelPrice("$120.00", "$99.00");
    price = panel->priceLabel()->frame();
    EXPECT_EQ(price.maxX(), 1024 - 15);
    EXPECT_EQ(panel->discountPriceLabel()->frame().maxX(), price.x() - 12) << "a gap between the two amounts";
    EXPECT_EQ(panel->priceLabel()->subviews().size(), 1u); // the strike line
    // Setting again leaves one line, not two.
    panel->setLabelPrice("$120.00", "$99.00");
    EXPECT_EQ(panel->priceLabel()->subviews().size(), 1u);
    window->addSubview(panel);
    review("product-info-panel.png");

    driver->press({700, 685});
    driver->release();
    EXPECT_EQ(delegate.closes, 1);
    EXPECT_EQ(panel->alpha(), 0);
    base::RunLoop::main().advance(0.3);
    EXPECT_EQ(panel->superview(), window.get());
    base::RunLoop::main().advance(0.3);
    EXPECT_EQ(panel->superview(), nullptr);
    EXPECT_EQ(delegate.closes, 1);
}

TEST(ProductBigImageViewZoom, ZoomRectangleFollowsTheImageEdges)
{
    gfx::Size page{1024, 748};
    struct Case {
        const char* what;
        gfx::Size image;
        gfx::Point tap;
        gfx::Rect expected;
    };
    for (const Case& c : {
             // Tall and narrow, wider than half the page: doubled it sticks out across, so the
             // rectangle keeps to the image's edge on the tapped side.
             Case{"tall, left half", {700, 748}, {300, 300}, {162, 113, 512, 374}},
             Case{"tall, right half", {700, 748}, {800, 300}, {350, 113, 512, 374}},
             // Taller than the page: fitted to its height first (floor(800 * 748 / 1000) = 598).
             Case{"taller than the page", {800, 1000}, {100, 374}, {213, 187, 512, 374}},
             // Fits across even when doubled: stays centred across, follows the tap down.
             Case{"fits across", {400, 748}, {900, 100}, {256, -87, 512, 374}},
             // Wide: fitted to the width, centres on the tap across.
             Case{"wide", {2048, 600}, {700, 374}, {444, 187, 512, 374}},
         }) {
        gfx::Rect r = ProductBigImageView::zoomRectForScaleWithCenter(page, c.image, 2.0, c.tap);
        EXPECT_EQ(r, c.expected) << c.what;
    }
}

struct ChromeScroller : ProductBigImageViewScroller {
    int toggles = 0;
    void toggleChromeDisplay() override { ++toggles; }
};

TEST_F(ProductViewsTest, PageZoomsOnDoubleTapAndTellsItsViewerOfSingleTaps)
{
    ChromeScroller scroller;
    auto page = std::make_shared<ProductBigImageView>(gfx::Rect(0, 0, 1024, 748));
    page->setScroller(&scroller);
    page->setImage(solid({1024, 748}, gfx::Color::fromRgb(200, 30, 30)));
    window->addSubview(page);
    window->layoutIfNeeded();
    EXPECT_EQ(page->imageView()->contentMode(), ui::ContentMode::ScaleAspectFit);

    driver->press({300, 300});
    driver->release();
    base::RunLoop::main().advance(0.45);
    EXPECT_EQ(scroller.toggles, 0);
    base::RunLoop::main().advance(0.1);
    EXPECT_EQ(scroller.toggles, 1);

    driver->doubleTap({300, 300});
    base::RunLoop::main().advance(1);
    EXPECT_EQ(page->zoomScale(), 2.0);
    EXPECT_TRUE(page->isZoomed());
    driver->doubleTap({900, 600});
    base::RunLoop::main().advance(1);
    EXPECT_EQ(page->zoomScale(), 1.0);
    EXPECT_EQ(scroller.toggles, 1); // double taps toggle nothing

    // Without a viewer a single tap is harmless.
    page->setScroller(nullptr);
    driver->tap(gfx::Point{300, 300});
    base::RunLoop::main().advance(1);
    EXPECT_EQ(scroller.toggles, 1);

    // A small image shows at its own size, centred.
    page->setImage(solid({100, 80}, gfx::Color::fromRgb(20, 160, 40)));
    EXPECT_EQ(page->imageView()->contentMode(), ui::ContentMode::Center);
    gfx::Image shot = window->snapshot();
    double s = shot.scale();
    auto green = [&](double x, double y) {
        uint32_t p = shot.pixelAt(static_cast<int>(x * s), static_cast<int>(y * s));
        return ((p >> 8) & 0xff) > 120 && ((p >> 16) & 0xff) < 60;
    };
    EXPECT_TRUE(green(512, 374));
    EXPECT_TRUE(green(512 - 48, 374 - 38));
    EXPECT_TRUE(green(512 + 48, 374 + 38));
    EXPECT_FALSE(green(512 - 53, 374));
    EXPECT_FALSE(green(512 + 53, 374));
    EXPECT_FALSE(green(512, 374 - 43));
}

struct EndRecorder : SlideShowControllerDelegate {
    std::vector<std::string>* log;
    std::shared_ptr<SlideShowController> show;
    void endSlideShow() override
    {
        log->push_back(std::string("endSlideShow presented=") + (show->presentingViewController() ? "yes" : "no"));
    }
};

TEST_F(ProductViewsTest, SlideShowFadesAndSettlesEachImageAndEndsOnATouch)
{
    auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    auto show = std::make_shared<SlideShowController>();
    std::deque<uint32_t> draws{0, 0, 1, 2, 4, 5};
    show->setRandomSource([&] {
        uint32_t d = draws.front();
        draws.pop_front();
        return d;
    });
    std::vector<std::string> log;
    EndRecorder viewer;
    viewer.log = &log;
    viewer.show = show;
    show->setDetailImageController(&viewer);
    show->setModalTransitionStyle(ui::ModalTransitionStyle::CrossDissolve);
    root->presentViewController(show, true);
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(show->imageView()->frame(), gfx::Rect(0, 0, 1024, 768));

    double t0 = now();
    show->slideFirstShowImage(solid({1024, 768}, gfx::Color::fromRgb(200, 0, 0)));
    auto first = show->imageView();
    EXPECT_NEAR(first->presentation().transform.a, 1.1, 1e-9);
    advanceTo(t0, 2);
    EXPECT_NEAR(first->presentation().transform.a, 1.1, 1e-3);
    advanceTo(t0, 5);
    double mid = first->presentation().transform.a;
    EXPECT_GT(mid, 1.0);
    EXPECT_LT(mid, 1.1);
    advanceTo(t0, 8);
    EXPECT_NEAR(first->presentation().transform.a, 1.0, 1e-9);

    // Draws 0 and 0: the next image starts in place, only faded and enlarged.
    EXPECT_EQ(show->getRandomInitialFrame(), gfx::Rect(0, 0, 1024, 768));
    // Draws 1 and 2: right by 51, up by 38.
    EXPECT_EQ(show->getRandomInitialFrame(), gfx::Rect(51, -38, 1024, 768));

    double t1 = now();
    show->slideShowImage(solid({1024, 768}, gfx::Color::fromRgb(0, 0, 200)));
    ui::View* incoming = show->view()->subviews().back().get();
    ASSERT_NE(incoming, first.get());
    EXPECT_NEAR(incoming->presentation().alpha, 0, 1e-9);
    EXPECT_NEAR(first->presentation().alpha, 1, 1e-9);
    advanceTo(t1, 1);
    EXPECT_GT(incoming->presentation().alpha, 0.05);
    EXPECT_LT(first->presentation().alpha, 0.95);
    advanceTo(t1, 2);
    EXPECT_NEAR(incoming->presentation().alpha, 1, 1e-6);
    EXPECT_NEAR(first->presentation().alpha, 0, 1e-6);
    EXPECT_NEAR(incoming->presentation().transform.a, 1.1, 1e-3);
    // Draws 4 and 5 (1 and 2 modulo 3): it started off its place and settles on the old frame.
    advanceTo(t1, 8.1);
    EXPECT_NEAR(incoming->presentation().transform.a, 1.0, 1e-9);
    EXPECT_EQ(incoming->frame(), gfx::Rect(0, 0, 1024, 768));
    EXPECT_EQ(show->imageView().get(), incoming);
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_TRUE(first->image().isNull());

    driver->tap(gfx::Point{500, 400});
    EXPECT_EQ(log, (std::vector<std::string>{"endSlideShow presented=yes"}));
    base::RunLoop::main().advance(1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(show->view()->superview(), nullptr);
}

} // namespace
