// The full-screen image viewer, opened by a host the way the product page opens it.
#include "tests/App/AppWindowTestSupport.h"

#include "Classes/Catalog/ProductDetailImageController.h"
#include "Classes/Catalog/ProductDetailManyImageCell.h"
#include "Common/ImageLoadQueueManager.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/Timer.h"
#include "Common/UIToast.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Widgets/BRPageControl.h"

#include <chrono>
#include <thread>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

using apptest::AppWindowTest;

// Full image k of product p, and its thumbnail in a paler shade.
gfx::Color fullColour(int p, int k)
{
    return gfx::Color::fromRgb(40 + 40 * p, 200 - 60 * k, 60 + 50 * k);
}
gfx::Color thumbColour(int p, int k)
{
    return gfx::Color::fromRgb(250, 250, 40 + 40 * k);
}

// Five products with 3, 0, 2, 1 and 2 images; answers the viewer as the product page does.
class ViewerHost : public ui::ViewController, public PopControllerDelegate, public DetailImageDelegate {
public:
    std::vector<int> imageCounts{3, 0, 2, 1, 2};
    int index = 0;
    std::vector<std::string> changes;
    std::weak_ptr<ProductDetailImageController> viewer;

    static std::string full(int p, int k) { return "p" + std::to_string(p) + "_" + std::to_string(k) + ".png"; }
    static std::string thumb(int p, int k) { return "p" + std::to_string(p) + "_" + std::to_string(k) + "_t.png"; }

    void fill(ProductDetailImageController& v)
    {
        v.ImagesArray.clear();
        v.thumbImagesArray.clear();
        for (int k = 0; k < imageCounts[index]; ++k) {
            v.ImagesArray.push_back(full(index, k));
            v.thumbImagesArray.push_back(thumb(index, k));
        }
        brivanta_product_Entity product;
        product.product_id = index + 1;
        product.product_name = "Product " + std::to_string(index + 1);
        product.product_sku = "SKU-" + std::to_string(index + 1);
        v.productEntity = product;
        v.productPrice = "$10.00";
        v.productDiscountPrice = index == 0 ? "$8.00" : "";
        v.productTitle = *product.product_name + "  ( " + std::to_string(index + 1) + " / 5 )";
        v.tag = 0;
    }
    void arrows(ProductDetailImageController& v)
    {
        v.btnLeft()->setHidden(index == 0);
        v.btnRight()->setHidden(index == 4);
    }
    void changeProductSlideshow(int direction, bool slideshow) override
    {
        changes.push_back(std::to_string(direction) + (slideshow ? " slideshow" : ""));
        if (direction == 1 && index > 0)
            --index;
        else if (direction == 2 && index < 4)
            ++index;
        else if (direction == 2 && slideshow)
            index = 0;
        auto v = viewer.lock();
        fill(*v);
        arrows(*v);
    }
    void dismissPopController(bool animated) override { dismissViewController(animated); }
};

class ProductImageViewerTest : public AppWindowTest {
protected:
    ProductImageViewerTest()
    {
        useClientSkin("acme");
        folder = std::filesystem::path(base::Paths::documents()) / "acme" / "ProductImages";
        std::filesystem::create_directories(folder);
        for (int p = 0; p < 5; ++p)
            for (int k = 0; k < 3; ++k) {
                writeSolid(folder / ViewerHost::full(p, k), {1024, 748}, fullColour(p, k));
                writeSolid(folder / ViewerHost::thumb(p, k), {160, 110}, thumbColour(p, k));
            }
        host = std::make_shared<ViewerHost>();
        window->setRootViewController(host);
    }
    ~ProductImageViewerTest() override
    {
        auto& displays = ImageLoadQueueManager::sharedInstance()->queue();
        displays.cancelAllOperations();
        displays.setSuspended(false);
    }

    static void writeSolid(const std::filesystem::path& path, gfx::Size size, gfx::Color colour)
    {
        auto context = gfx::Context::createBitmap(size, 1);
        context->setFillColor(colour);
        context->fillRect({{0, 0}, size});
        ASSERT_EQ(context->savePng(path.string()), nullptr);
    }
    std::shared_ptr<ProductDetailImageController> open(int product, int start, gfx::Image cache = {})
    {
        host->index = product;
        auto viewer = std::make_shared<ProductDetailImageController>();
        host->viewer = viewer;
        host->fill(*viewer);
        viewer->tag = start;
        viewer->currentImageCache = cache;
        viewer->cachedImageIndex = cache.isNull() ? -1 : start;
        viewer->setDelegate(host);
        viewer->setModalTransitionStyle(ui::ModalTransitionStyle::CrossDissolve);
        host->presentViewController(viewer, true);
        host->arrows(*viewer);
        base::RunLoop::main().advance(0.5);
        return viewer;
    }
    // The colour in the middle of what a page's image view holds.
    static gfx::Color middle(const gfx::Image& image)
    {
        return gfx::Color::fromPremultipliedArgb(image.pixelAt(image.pixelWidth() / 2, image.pixelHeight() / 2));
    }
    static bool near(gfx::Color a, gfx::Color b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) < 0.05; }
    static bool showsFull(ProductDetailImageController& v, int page, int product)
    {
        auto& p = v.bigImageViews()[page];
        return p && p->imageView()->image().size() == gfx::Size{1024, 748}
            && near(middle(p->imageView()->image()), fullColour(product, page));
    }
    // Pictures are decoded on workers: waits for the condition in real time, however busy the
    // machine, running what the main loop has ready meanwhile. The manual clock stays where it
    // is, so the screen's own timers keep their place.
    static bool waitFor(const std::function<bool()>& predicate)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            base::RunLoop::main().runPending();
            if (predicate())
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // a poll step, not a wait
        }
    }
    void review(const std::string& name) { window->savePng(reviewPath(name)); }

    std::filesystem::path folder;
    std::shared_ptr<ViewerHost> host;
};

TEST_F(ProductImageViewerTest, PagesLoadTheShownImageAndStandInThumbnailsForTheNeighbours)
{
    // Held until the placeholders are looked at.
    auto& displays = ImageLoadQueueManager::sharedInstance()->queue();
    displays.setSuspended(true);
    auto viewer = open(0, 1);
    ASSERT_EQ(viewer->imageCount(), 3);
    EXPECT_EQ(viewer->currentIndex(), 1);
    EXPECT_EQ(viewer->myScrollView()->contentOffset().x, 1024);
    EXPECT_EQ(viewer->myScrollView()->contentSize(), (gfx::Size{3 * 1024, 384}));
    for (auto& page : viewer->bigImageViews())
        ASSERT_TRUE(page);
    // Every page is decoded off the main thread; the shown one goes in as soon as it is.
    EXPECT_TRUE(waitFor([&] { return showsFull(*viewer, 1, 0); }));
    // The neighbours show the placeholder at once, then the thumbnail enlarged to the size the
    // full image will take, once it is decoded: a full page image fills the window's height,
    // 160 x 110 times 768 / 110.
    EXPECT_TRUE(waitFor([&] {
        auto tall = [&](int k) { return viewer->bigImageViews()[k]->imageView()->image().size().height > 700; };
        return tall(0) && tall(2);
    }));
    for (int k : {0, 2}) {
        auto& image = viewer->bigImageViews()[k]->imageView()->image();
        EXPECT_NEAR(image.size().width, std::ceil(160.0 * 768 / 110), 0.5);
        EXPECT_NEAR(image.size().height, 768, 0.5);
        EXPECT_TRUE(near(middle(image), thumbColour(0, k)));
        EXPECT_EQ(viewer->bigImageViews()[k]->imageView()->contentMode(), ui::ContentMode::Center);
    }
    EXPECT_TRUE(viewer->slotsAreConsistent());
    review("viewer-page-2-of-3.png");
    // The neighbours' full images arrive from the background.
    displays.setSuspended(false);
    EXPECT_TRUE(waitFor([&] { return showsFull(*viewer, 0, 0) && showsFull(*viewer, 2, 0); }));

    for (int page : {2, 1, 0, 2}) {
        viewer->myScrollView()->setContentOffset({page * 1024.0, 0});
        EXPECT_EQ(viewer->currentIndex(), page);
        EXPECT_TRUE(viewer->slotsAreConsistent()) << page;
        EXPECT_TRUE(viewer->bigImageViews()[page]) << page;
    }
    // Indices outside the pages are ignored by every page operation.
    for (int bad : {-1, 3, 100}) {
        viewer->loadImageScrollView(bad, viewer->myScrollView().get());
        viewer->loadImageAsyncScrollView(bad, viewer->myScrollView().get());
        viewer->loadThumbImageScrollView(bad, viewer->myScrollView().get());
        viewer->unloadImage(bad);
    }
    EXPECT_TRUE(viewer->slotsAreConsistent());
}

TEST_F(ProductImageViewerTest, MissingAndUnreadableImagesFallBackWithoutCrashing)
{
    // No images: one page with the default picture.
    auto empty = open(1, 0);
    EXPECT_EQ(empty->imageCount(), 1);
    gfx::Image fallback = SkinManager::bundledImageNamed("fileDefault.png");
    EXPECT_TRUE(waitFor([&] { return empty->bigImageViews()[0]->imageView()->image().size() == fallback.size(); }));
    empty->dismissViewController(false);

    // The opener's decoded image is used for the start page even with its file gone.
    std::filesystem::remove(folder / ViewerHost::full(0, 2));
    auto context = gfx::Context::createBitmap({1024, 748}, 1);
    context->setFillColor(gfx::Color::fromRgb(10, 20, 250));
    context->fillRect({0, 0, 1024, 748});
    auto cached = open(0, 2, context->makeImage());
    EXPECT_TRUE(near(middle(cached->bigImageViews()[2]->imageView()->image()), gfx::Color::fromRgb(10, 20, 250)));
    cached->dismissViewController(false);

    // A full image whose header cannot be read: the neighbour shows its thumbnail fitted.
    std::ofstream(folder / ViewerHost::full(0, 1), std::ios::trunc) << "not a picture";
    auto broken = open(0, 0);
    broken->unloadImage(1);
    broken->loadThumbImageScrollView(1, broken->myScrollView().get());
    auto& page = broken->bigImageViews()[1];
    ASSERT_TRUE(page);
    EXPECT_EQ(page->imageView()->image().size(), fallback.size()) << "the placeholder at once";
    EXPECT_TRUE(waitFor([&] { return page->imageView()->image().size() == gfx::Size{160, 110}; }));
    EXPECT_EQ(page->imageView()->contentMode(), ui::ContentMode::Center);
    broken->loadFullImageToImageViewAsyncImageIndexUnique(page, 1, true);
    EXPECT_TRUE(waitFor([&] { return page->imageView()->image().size() == fallback.size(); }));
}

TEST_F(ProductImageViewerTest, TapsHideAndShowTheControlsByReflection)
{
    auto viewer = open(2, 0);
    gfx::Rect bar = viewer->titlebar()->frame();
    gfx::Rect left = viewer->btnLeft()->frame();
    gfx::Rect right = viewer->btnRight()->frame();
    gfx::Rect dots = viewer->pageControl()->frame();
    gfx::Rect info = viewer->btnProductInfo()->frame();

    driver->press({500, 400});
    driver->release();
    base::RunLoop::main().advance(0.45);
    EXPECT_FALSE(viewer->isAnimating());
    base::RunLoop::main().advance(0.1);
    EXPECT_TRUE(viewer->isAnimating());
    base::RunLoop::main().advance(0.4);
    EXPECT_TRUE(viewer->isTitlebarHidden());
    EXPECT_EQ(viewer->titlebar()->frame().y(), -bar.y() - bar.height());
    EXPECT_EQ(viewer->btnLeft()->frame().x(), -left.x() - left.width());
    EXPECT_EQ(viewer->btnLeft()->alpha(), 0);
    EXPECT_EQ(viewer->btnRight()->frame().x(), 2048 - right.x());
    EXPECT_EQ(viewer->pageControl()->frame().y(), 2 * 768 - dots.y());
    EXPECT_EQ(viewer->btnProductInfo()->frame().y(), 2 * 768 - info.y());
    EXPECT_EQ(info.maxY(), 768) << "on the window's foot";
    for (ui::View* v : {static_cast<ui::View*>(viewer->btnRight().get()), static_cast<ui::View*>(viewer->pageControl().get()),
                        static_cast<ui::View*>(viewer->btnProductInfo().get())})
        EXPECT_FALSE(v->frame().intersects(window->bounds())) << v->className();

    driver->tap(gfx::Point{500, 400});
    base::RunLoop::main().advance(0.5);
    EXPECT_FALSE(viewer->isTitlebarHidden());
    EXPECT_EQ(viewer->titlebar()->frame(), bar);
    EXPECT_EQ(viewer->btnLeft()->frame(), left);
    EXPECT_EQ(viewer->btnLeft()->alpha(), 1);
    EXPECT_EQ(viewer->btnProductInfo()->frame(), info);

    driver->doubleTap({500, 400});
    base::RunLoop::main().advance(1);
    EXPECT_EQ(viewer->bigImageViews()[0]->zoomScale(), 2.0);
    EXPECT_FALSE(viewer->isTitlebarHidden());
    EXPECT_FALSE(viewer->isAnimating());
}

TEST_F(ProductImageViewerTest, DraggingPastTheEndsStepsProductWithACardTransition)
{
    auto viewer = open(2, 1);
    ASSERT_FALSE(viewer->btnRight()->isHidden());
    driver->press({800, 400});
    for (int x = 780; x >= 600; x -= 20) {
        driver->moveTo({static_cast<double>(x), 400});
        driver->wait(0.02);
    }
    EXPECT_EQ(host->changes, (std::vector<std::string>{"2"}));
    EXPECT_TRUE(viewer->pageCurling());
    review("viewer-card-transition-mid.png");
    driver->release();
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(viewer->pageCurling());
    EXPECT_EQ(host->changes.size(), 1u);
    EXPECT_EQ(viewer->imageCount(), 1);
    EXPECT_EQ(viewer->lblTittle()->text(), "Product 4  ( 4 / 5 )");
    EXPECT_EQ(viewer->myScrollView()->frame(), gfx::Rect(0, 0, 1024, 768)) << "no band under the pages";
    EXPECT_TRUE(waitFor([&] { return showsFull(*viewer, 0, 3); }));
    EXPECT_TRUE(viewer->slotsAreConsistent());
    review("viewer-card-transition-end.png");

    // On the last product the right arrow is hidden: the same drag changes nothing.
    driver->drag({800, 400}, {600, 400}, 0.3, 12);
    driver->drag({800, 400}, {600, 400}, 0.3, 12);
    base::RunLoop::main().advance(1);
    ASSERT_EQ(host->index, 4);
    ASSERT_TRUE(viewer->btnRight()->isHidden());
    viewer->myScrollView()->setContentOffset({1024, 0});
    size_t before = host->changes.size();
    driver->drag({800, 400}, {600, 400}, 0.3, 12);
    base::RunLoop::main().advance(1);
    EXPECT_EQ(host->changes.size(), before);

    // A change cut short still ends with page 0's full image.
    ASSERT_FALSE(viewer->pageCurling());
    viewer->btnLeft()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    std::function<void(ui::View*)> cutShort = [&](ui::View* v) {
        ui::PropertyAnimator::cancelAnimations(v);
        for (auto& sub : std::vector<std::shared_ptr<ui::View>>(v->subviews()))
            cutShort(sub.get());
    };
    cutShort(viewer->view().get());
    EXPECT_EQ(host->changes.back(), "1");
    // The completion comes at the block's end, reporting it unfinished.
    base::RunLoop::main().advance(0.6);
    EXPECT_FALSE(viewer->pageCurling());
    EXPECT_TRUE(waitFor([&] { return showsFull(*viewer, 0, 3); }));
}

TEST_F(ProductImageViewerTest, SlideShowAdvancesAfterTheIndicatorAndStepsProductAtTheEnd)
{
    auto viewer = open(0, 0);
    // The page indicator moves to page 2.
    viewer->pageControl()->setCurrentPage(1);
    viewer->pageControl()->sendActionsForControlEvents(ui::ControlEventValueChanged);
    EXPECT_TRUE(viewer->pageControlUsed());
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(viewer->pageControlUsed());

    viewer->btnSlideShow()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    auto show = viewer->slideShowController();
    ASSERT_TRUE(show);
    EXPECT_TRUE(viewer->slideShow());
    EXPECT_TRUE(driver->findByText("Slide show started"));
    double t0 = now();
    auto incoming = [&] { return static_cast<ui::ImageView*>(show->view()->subviews().back().get())->image(); };
    // Each slide's picture is decoded off the main thread and comes in once it is.
    advanceTo(t0, 8.5);
    // The page being moved to, not the one being left.
    EXPECT_TRUE(waitFor([&] { return near(middle(incoming()), fullColour(0, 2)); }));
    advanceTo(t0, 9.5);
    EXPECT_EQ(viewer->currentIndex(), 2);
    // At the end of the product's images the show asks for the next product, flagged.
    advanceTo(t0, 17.1);
    EXPECT_EQ(host->changes, (std::vector<std::string>{"2 slideshow"}));
    // The next product has no images: its one page is the default picture.
    gfx::Size fallback = SkinManager::bundledImageNamed("fileDefault.png").size();
    EXPECT_TRUE(waitFor([&] { return incoming().size() == fallback; }));
    advanceTo(t0, 25.6);
    EXPECT_EQ(host->changes.size(), 2u);
    EXPECT_EQ(host->index, 2);
    EXPECT_TRUE(waitFor([&] { return near(middle(incoming()), fullColour(2, 0)); }));

    // A tap on the show stops the timer before the show goes away.
    driver->tap(gfx::Point{500, 400});
    EXPECT_FALSE(viewer->slideShow());
    EXPECT_FALSE(viewer->autoShowTimer());
    EXPECT_TRUE(driver->findByText("Slide show stopped"));
    base::RunLoop::main().advance(20);
    EXPECT_EQ(host->changes.size(), 2u);
    EXPECT_EQ(viewer->presentedViewController(), nullptr);
}

TEST_F(ProductImageViewerTest, StartingTheShowTwiceStopsTheFirst)
{
    auto viewer = open(0, 0);
    viewer->startSlideShow();
    auto first = viewer->autoShowTimer();
    base::RunLoop::main().advance(3);
    viewer->startSlideShow();
    EXPECT_FALSE(first->isValid());
    EXPECT_TRUE(viewer->autoShowTimer()->isValid());
    // The stop notice comes first, then the new start.
    auto toasts = driver->findAllByClass("UIToast");
    ASSERT_EQ(toasts.size(), 2u);
    ui::View* stopped = driver->findByText("Slide show stopped");
    ui::View* started = driver->findByText("Slide show started");
    ASSERT_TRUE(stopped && started);
    EXPECT_TRUE(stopped->isDescendantOfView(toasts[0]));
    EXPECT_TRUE(started->isDescendantOfView(toasts[1]));
}

TEST_F(ProductImageViewerTest, InformationButtonShowsAndHidesThePanel)
{
    auto viewer = open(0, 0);
    auto button = viewer->btnProductInfo();
    driver->tap(button.get());
    base::RunLoop::main().advance(0.5);
    ASSERT_EQ(viewer->productInfoView()->superview(), viewer->view().get());
    EXPECT_TRUE(button->isSelected());
    EXPECT_EQ(viewer->productInfoView()->alpha(), 1.0);
    EXPECT_EQ(viewer->productInfoView()->priceLabel()->text(), "$10.00");
    EXPECT_EQ(viewer->productInfoView()->discountPriceLabel()->text(), "$8.00");
    EXPECT_EQ(viewer->productInfoView()->nameLabel()->text(), "Product 1");
    review("viewer-information-panel.png");
    // The panel stays inside the window, and the two prices read as two amounts.
    auto& panel = *viewer->productInfoView();
    for (ui::View* v : {static_cast<ui::View*>(panel.nameLabel().get()), static_cast<ui::View*>(panel.priceLabel().get())})
        EXPECT_LE(v->convertRectToView(v->bounds(), nullptr).maxX(), 1024) << static_cast<ui::Label*>(v)->text();
    auto textRight = [](const ui::Label& label) {
        double width = gfx::sizeOfText(label.text(), label.font()).width;
        return label.convertRectToView(label.bounds(), nullptr).maxX() - (label.textAlignment() == gfx::TextAlignment::Right ? 0 : label.bounds().width() - width);
    };
    double oldPriceLeft = panel.priceLabel()->convertRectToView(panel.priceLabel()->bounds(), nullptr).minX();
    EXPECT_GE(oldPriceLeft - textRight(*panel.discountPriceLabel()), 8) << "\"$8.00$10.00\" reads as one";
    // The button again.
    viewer->btnProductInfoClick(button.get());
    base::RunLoop::main().advance(0.5);
    EXPECT_FALSE(button->isSelected());
    EXPECT_EQ(viewer->productInfoView()->alpha(), 0);
    // The panel's own tap.
    driver->tap(button.get());
    base::RunLoop::main().advance(0.5);
    ASSERT_TRUE(button->isSelected());
    driver->tap(gfx::Point{700, 685});
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(button->isSelected());
    EXPECT_EQ(viewer->productInfoView()->superview(), nullptr);
}

TEST_F(ProductImageViewerTest, FlippingThroughHugePicturesNeverShowsABlankPage)
{
    // Every full picture is one large file: each decode keeps a picture worker busy while the
    // flips go on, as a catalogue of photographs does.
    std::filesystem::path huge = folder / "huge.png";
    writeSolid(huge, {6000, 4500}, gfx::Color::fromRgb(20, 120, 60));
    for (int p = 0; p < 5; ++p)
        for (int k = 0; k < 3; ++k) {
            std::filesystem::remove(folder / ViewerHost::full(p, k));
            std::filesystem::create_symlink(huge, folder / ViewerHost::full(p, k));
        }
    gfx::Image placeholder = SkinManager::bundledImageNamed("fileDefault.png");
    auto viewer = open(0, 0);
    int blank = 0, unsettled = 0;
    for (int flip = 0; flip < 20; ++flip) {
        // Forward to the last product, then back, every two seconds.
        bool back = (flip / 4) % 2 == 1;
        (back ? viewer->btnLeft() : viewer->btnRight())->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        base::RunLoop::main().advance(2);
        auto& page = viewer->bigImageViews().at(static_cast<size_t>(viewer->currentIndex()));
        const gfx::Image shown = page ? page->imageView()->image() : gfx::Image();
        blank += shown.isNull() ? 1 : 0;
        // Its thumbnail goes ahead of the full pictures still decoding.
        bool products = host->imageCounts[host->index] > 0;
        if (products && !waitFor([&] { return page->imageView()->image().cairoSurface() != placeholder.cairoSurface(); }))
            ++unsettled;
    }
    EXPECT_EQ(blank, 0);
    EXPECT_EQ(unsettled, 0);
    review("viewer-after-twenty-flips.png");
}

struct CellDelegate : ProductDetailManyImageCellDelegate {
    std::vector<int> taps;
    void didSelectedManyImage(ProductDetailManyImageCell& cell) override { taps.push_back(cell.tag()); }
};

TEST_F(ProductImageViewerTest, ThumbnailCellFramesFocusAndReportsTaps)
{
    CellDelegate delegate;
    auto cell = std::make_shared<ProductDetailManyImageCell>();
    cell->setTag(102);
    cell->setProductDetailManyImageCellDelegate(&delegate);
    cell->setFrame({100, 100, 120, 92});
    window->addSubview(cell);
    window->layoutIfNeeded();
    EXPECT_EQ(cell->imageView_()->frame(), gfx::Rect(5, 5, 110, 82));
    gfx::Color theme = PublicFunction::colorOfMainTheme();
    struct Step {
        bool focus;
        double width;
        double alpha;
    };
    for (Step s : {Step{false, 1, 0.5}, Step{true, 2, 1}, Step{true, 2, 1}, Step{false, 1, 0.5}}) {
        cell->setIsFocus(s.focus);
        EXPECT_EQ(cell->borderWidth(), s.width);
        EXPECT_EQ(cell->borderColor(), theme.withAlpha(s.alpha));
    }
    driver->tap(gfx::Point{150, 150});
    EXPECT_EQ(delegate.taps, std::vector<int>{102});
}

} // namespace
