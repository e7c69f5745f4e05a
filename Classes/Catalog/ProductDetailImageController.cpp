#include "Classes/Catalog/ProductDetailImageController.h"

#include "Common/ImageLoadOperation.h"
#include "Common/ImageLoadQueueManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Common/SkinManager.h"
#include "Common/UIToast.h"
#include "Platform/Base/DeferredCall.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Base/Timer.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Widgets/BRPageControl.h"

#include <cmath>

namespace {

constexpr const char* kAfterChangeKey = "loadImageAfterProductChangeInScrollView";
constexpr double kOverlayAlpha = 0.5;
constexpr double kCardScale = 0.95;

// A full image read uncached at the page's size; null when the file cannot be read. Never on
// the main thread.
gfx::Image readFullImage(const std::optional<std::string>& path, gfx::Size page)
{
    return ScreenPicture::decode(path, page);
}

gfx::Image defaultImage()
{
    return SkinManager::bundledImageNamed("fileDefault.png");
}

bool showsPlaceholder(const ProductBigImageView& page)
{
    const gfx::Image& image = page.imageView()->image();
    return image.isNull() || image.cairoSurface() == defaultImage().cairoSurface();
}

// Mirrors a control out of the screen or back: the same move both ways.
void reflectChrome(ui::View* titlebar, ui::View* left, ui::View* right, ui::View* pageControl, ui::View* info)
{
    if (titlebar) {
        gfx::Rect f = titlebar->frame();
        titlebar->setFrame({f.x(), -f.y() - f.height(), f.width(), f.height()});
    }
    if (left) {
        gfx::Rect f = left->frame();
        left->setFrame({-f.x() - f.width(), f.y(), f.width(), f.height()});
    }
    if (right) {
        gfx::Rect f = right->frame();
        right->setFrame({2048 - f.x(), f.y(), f.width(), f.height()});
    }
    for (ui::View* v : {pageControl, info}) {
        if (!v)
            continue;
        gfx::Rect f = v->frame();
        v->setFrame({f.x(), 2 * ProductDetailImageController::kPageHeight - f.y(), f.width(), f.height()});
    }
}

} // namespace

ProductDetailImageController::ProductDetailImageController() = default;

ProductDetailImageController::~ProductDetailImageController()
{
    if (m_autoShowTimer)
        m_autoShowTimer->invalidate();
    if (m_myScrollView)
        m_myScrollView->setDelegate(nullptr);
    for (auto& page : m_bigImageViews)
        if (page)
            page->setScroller(nullptr);
    if (m_productInfoView)
        m_productInfoView->setDelegate(nullptr);
    if (auto show = m_slideShowController.lock())
        show->setDetailImageController(nullptr);
}

std::weak_ptr<const void> ProductDetailImageController::owner()
{
    return std::weak_ptr<const void>(shared_from_this());
}

gfx::Size ProductDetailImageController::pageSize() const
{
    return m_myScrollView ? m_myScrollView->frame().size : gfx::Size{kPageWidth, kPageHeight};
}

std::shared_ptr<ui::ScrollView> ProductDetailImageController::makePagingScrollView(const gfx::Rect& frame)
{
    auto scroll = std::make_shared<ui::ScrollView>(frame);
    scroll->setPagingEnabled(true);
    scroll->setShowsScrollIndicators(false);
    scroll->setDelegate(this);
    scroll->setBackgroundColor(gfx::Color::white());
    scroll->setAlwaysBounceHorizontal(true);
    return scroll;
}

void ProductDetailImageController::viewDidLoad()
{
    PopBaseController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::black());

    std::weak_ptr<ProductDetailImageController> weak =
        std::static_pointer_cast<ProductDetailImageController>(sharedController());
    m_btnSlideShow = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(15, 5, 60, 34));
    PublicFunction::initializeToButtonHeight34(m_btnSlideShow.get());
    m_btnSlideShow->setImage(SkinManager::bundledImageNamed("icon_slideshow.png"));
    m_btnSlideShow->addTarget([weak](ui::Control&) {
        if (auto self = weak.lock())
            self->startSlideShow();
    }, ui::ControlEventTouchUpInside);
    titlebar()->addSubview(m_btnSlideShow);

    m_myScrollView = makePagingScrollView({0, 0, kPageWidth, kPageHeight});
    view()->insertSubviewAtIndex(m_myScrollView, 0);
    initialScrollView();
    m_myScrollView->setContentSize({m_imageCount * pageSize().width, pageSize().height * 0.5});

    auto arrow = [&](const gfx::Rect& frame, const char* normal, const char* highlighted) {
        auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom, frame);
        button->setImage(SkinManager::skinFromImageName(std::string(normal)));
        button->setImage(SkinManager::skinFromImageName(std::string(highlighted)), ui::ControlStateHighlighted);
        ui::Button* raw = button.get();
        button->addTarget([weak, raw](ui::Control&) {
            if (auto self = weak.lock())
                self->btnClick(raw);
        }, ui::ControlEventTouchUpInside);
        view()->addSubview(button);
        return button;
    };
    m_btnLeft = arrow({13, 330, 23, 87}, "Icon_Arrow_Left_23x87.png", "Icon_Arrow_Left_Highlighted_23x87.png");
    m_btnRight = arrow({988, 330, 23, 87}, "Icon_Arrow_Right_23x87.png", "Icon_Arrow_Right_Highlighted_23x87.png");

    // The dots and the information button stand on the window's foot.
    m_pageControl = std::make_shared<BRPageControl>(gfx::Rect(312, kPageHeight - 36, 400, 24));
    m_pageControl->setNumberOfPages(m_imageCount);
    m_pageControl->setCurrentPage(static_cast<int>(m_startWithIndex));
    m_pageControl->addTarget([weak](ui::Control&) {
        if (auto self = weak.lock())
            self->changePage();
    }, ui::ControlEventValueChanged);
    view()->addSubview(m_pageControl);

    if (lblTittle())
        lblTittle()->setText(productTitle);

    m_btnProductInfo = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(975, kPageHeight - 50, 50, 50));
    m_btnProductInfo->setBackgroundImage(SkinManager::skinFromImageName(std::string("product-info-off.png")));
    m_btnProductInfo->setBackgroundImage(SkinManager::skinFromImageName(std::string("product-info-on.png")),
                                         ui::ControlStateSelected);
    ui::Button* infoButton = m_btnProductInfo.get();
    m_btnProductInfo->addTarget([weak, infoButton](ui::Control&) {
        if (auto self = weak.lock())
            self->btnProductInfoClick(infoButton);
    }, ui::ControlEventTouchUpInside);
    view()->addSubview(m_btnProductInfo);

    m_productInfoView = std::make_shared<ProductInfoView>(gfx::Rect(0, 0, 1024, 768));
    m_productInfoView->setDelegate(this);

    for (ui::View* v : {titlebar().get(), static_cast<ui::View*>(m_btnLeft.get()),
                        static_cast<ui::View*>(m_btnRight.get()), static_cast<ui::View*>(m_btnProductInfo.get())})
        v->setAlpha(0.8);
    // The bar stays above the pages.
    view()->bringSubviewToFront(titlebar().get());

    loadScrollViewPages();
    m_pageCurling = false;
    m_isPageMoving = false;
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void ProductDetailImageController::viewAfterFirstDidLoad()
{
    PopBaseController::viewAfterFirstDidLoad();
}

void ProductDetailImageController::viewDidAppear(bool animated)
{
    PopBaseController::viewDidAppear(animated);
    m_isTitlebarHidden = false;
    m_isAnimating = false;
    m_slideShow = false;
}

void ProductDetailImageController::viewDidUnload()
{
    PopBaseController::viewDidUnload();
    if (m_myScrollView)
        m_myScrollView->setDelegate(nullptr);
    m_pageControl.reset();
    ImagesArray.clear();
    thumbImagesArray.clear();
    m_btnLeft.reset();
    m_btnRight.reset();
    m_myScrollView.reset();
    m_bigImageViews.clear();
    currentImageCache = {};
    cachedImageIndex = -1;
}

void ProductDetailImageController::updateLanguage(ui::Responder* sender)
{
    PopBaseController::updateLanguage();
    if (m_productInfoView)
        m_productInfoView->updateLanguage();
}

void ProductDetailImageController::initialScrollView()
{
    m_startWithIndex = static_cast<unsigned>(std::max(0, tag));
    m_imageCount = ImagesArray.empty() ? 1 : static_cast<int>(ImagesArray.size());
    if (m_pageControl) {
        m_pageControl->setNumberOfPages(m_imageCount);
        m_pageControl->setCurrentPage(static_cast<int>(m_startWithIndex));
    }
    m_bigImageViews.assign(static_cast<size_t>(m_imageCount), nullptr);
    calculateTransitionPoint();
}

void ProductDetailImageController::calculateTransitionPoint()
{
    m_leftTransition = -10.0;
    m_rightTransition = pageSize().width * (m_imageCount - 1) + 10.0;
}

void ProductDetailImageController::loadScrollViewPages()
{
    setCurrentIndex(static_cast<int>(m_startWithIndex));
    scrollToIndexAnimated(static_cast<int>(m_startWithIndex), false);
    if (lblTittle())
        lblTittle()->setText(productTitle);
}

void ProductDetailImageController::setCurrentIndex(int index)
{
    m_currentIndex = index;
    if (m_pageControl)
        m_pageControl->setCurrentPage(index);
    ui::ScrollView* scroll = m_myScrollView.get();
    loadImageScrollView(index, scroll);
    loadImageAsyncScrollView(index + 1, scroll);
    loadImageAsyncScrollView(index - 1, scroll);
    unloadImage(index + 2);
    unloadImage(index - 2);
}

std::shared_ptr<ProductBigImageView> ProductDetailImageController::makePage(int index)
{
    gfx::Size size = pageSize();
    auto page = std::make_shared<ProductBigImageView>(gfx::Rect(index * size.width, 0, size.width, size.height));
    page->setScroller(this);
    page->setIndex(index);
    return page;
}

void ProductDetailImageController::loadImageScrollView(int index, ui::ScrollView* scrollView)
{
    if (index < 0 || index >= m_imageCount || !scrollView)
        return;
    if (auto& page = m_bigImageViews[static_cast<size_t>(index)]) {
        page->turnOffZoom();
        return;
    }
    auto page = makePage(index);
    scrollView->addSubview(page);
    m_bigImageViews[static_cast<size_t>(index)] = page;
    if (cachedImageIndex == index && !currentImageCache.isNull()) {
        page->setImage(currentImageCache);
        return;
    }
    // The page shows its thumbnail until the full image is decoded; the window never waits.
    requestThumbPlaceholder(page, index);
    std::weak_ptr<ProductBigImageView> weakPage = page;
    ScreenPicture::load(fullImagePath(index), pageSize(), weakPage, [weakPage](gfx::Image image) {
        if (auto shown = weakPage.lock())
            shown->setImage(image.isNull() ? defaultImage() : image);
    });
}

void ProductDetailImageController::requestThumbPlaceholder(const std::shared_ptr<ProductBigImageView>& page, int index)
{
    // Never a blank page: the placeholder shows at once, the thumbnail as soon as it is decoded
    // (ahead of the full pictures waiting), the full picture when it comes.
    if (page->imageView()->image().isNull())
        page->setImage(defaultImage());
    std::optional<std::string> path;
    if (index >= 0 && static_cast<size_t>(index) < thumbImagesArray.size())
        path = PublicFunction::filePathWithNameFiletype(thumbImagesArray[static_cast<size_t>(index)], 1);
    if (!path)
        return;
    std::weak_ptr<ProductBigImageView> weakPage = page;
    std::weak_ptr<ProductDetailImageController> weak =
        std::static_pointer_cast<ProductDetailImageController>(sharedController());
    ScreenPicture::load(path, pageSize(), weakPage, [weak, weakPage, index](gfx::Image thumb) {
        auto self = weak.lock();
        auto shown = weakPage.lock();
        // Only a page still showing the placeholder takes its thumbnail.
        if (!self || !shown || thumb.isNull() || !showsPlaceholder(*shown))
            return;
        self->resizeThumbImageToFitFullImageSizeSetInImageView(thumb, self->imageSizeOfFullImage(index),
                                                               shown->imageView().get());
    }, ScreenPicture::Urgency::Urgent);
}

void ProductDetailImageController::loadThumbImageScrollView(int index, ui::ScrollView* scrollView)
{
    if (index < 0 || index >= m_imageCount || !scrollView)
        return;
    if (auto& page = m_bigImageViews[static_cast<size_t>(index)]) {
        page->turnOffZoom();
        return;
    }
    auto page = makePage(index);
    scrollView->addSubview(page);
    m_bigImageViews[static_cast<size_t>(index)] = page;
    requestThumbPlaceholder(page, index);
}

void ProductDetailImageController::loadImageAsyncScrollView(int index, ui::ScrollView* scrollView)
{
    if (index < 0 || index >= m_imageCount || !scrollView)
        return;
    bool existed = m_bigImageViews[static_cast<size_t>(index)] != nullptr;
    loadThumbImageScrollView(index, scrollView);
    if (!existed)
        loadFullImageToImageViewAsyncImageIndexUnique(m_bigImageViews[static_cast<size_t>(index)], index, false);
}

void ProductDetailImageController::unloadImage(int index)
{
    if (index < 0 || index >= m_imageCount)
        return;
    auto& page = m_bigImageViews[static_cast<size_t>(index)];
    if (!page)
        return;
    page->setImage({});
    page->removeFromSuperview();
    page->setScroller(nullptr);
    page.reset();
}

void ProductDetailImageController::loadFullImageToImageViewAsyncImageIndexUnique(
    const std::shared_ptr<ProductBigImageView>& page, int index, bool unique)
{
    if (!page || index < 0 || index >= m_imageCount)
        return;
    // What the background needs is taken here, on the main thread.
    gfx::Size size = m_myScrollView ? m_myScrollView->bounds().size : gfx::Size{kPageWidth, kPageHeight};
    gfx::Image cached = cachedImageIndex == index ? currentImageCache : gfx::Image();
    std::shared_ptr<ui::ImageView> target = page->imageView();
    auto show = [target, unique](const gfx::Image& image) {
        auto operation = std::make_shared<ImageLoadOperation>(image.isNull() ? defaultImage() : image, target, false);
        ImageLoadQueueManager::sharedInstance()->loadImageWithOperationUnique(operation, unique);
    };
    if (!cached.isNull()) {
        base::RunLoop::main().post([show, cached] { show(cached); });
        return;
    }
    // The page a product change lands on is the one looked at: its picture goes ahead of the
    // neighbours' asked for at the same moment.
    ScreenPicture::load(fullImagePath(index), size, std::weak_ptr<const void>(page), show,
                        unique ? ScreenPicture::Urgency::Urgent : ScreenPicture::Urgency::Ordinary);
}

std::optional<std::string> ProductDetailImageController::fullImagePath(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= ImagesArray.size())
        return std::nullopt;
    return PublicFunction::filePathWithNameFiletype(ImagesArray[static_cast<size_t>(index)], 1);
}

gfx::Image ProductDetailImageController::getBigImage(int index)
{
    if (cachedImageIndex == index && !currentImageCache.isNull())
        return currentImageCache;
    return getNoCachedBigImage(index);
}

gfx::Image ProductDetailImageController::getNoCachedBigImage(int index)
{
    gfx::Size size = m_myScrollView ? m_myScrollView->bounds().size : gfx::Size{kPageWidth, kPageHeight};
    gfx::Image image = readFullImage(fullImagePath(index), size);
    return image.isNull() ? defaultImage() : image;
}

gfx::Image ProductDetailImageController::getThumbImage(int index)
{
    gfx::Image image;
    if (index >= 0 && static_cast<size_t>(index) < thumbImagesArray.size())
        image = readFullImage(PublicFunction::filePathWithNameFiletype(thumbImagesArray[static_cast<size_t>(index)], 1),
                              m_myScrollView ? m_myScrollView->bounds().size : gfx::Size{kPageWidth, kPageHeight});
    return image.isNull() ? defaultImage() : image;
}

gfx::Size ProductDetailImageController::imageSizeOfFullImage(int index) const
{
    auto path = fullImagePath(index);
    if (!path)
        return {};
    return gfx::Image::sizeOfFile(*path).value_or(gfx::Size{});
}

void ProductDetailImageController::resizeThumbImageToFitFullImageSizeSetInImageView(const gfx::Image& thumb,
                                                                                    gfx::Size fullSize,
                                                                                    ui::ImageView* imageView)
{
    if (!imageView)
        return;
    gfx::Size bounds = m_myScrollView ? m_myScrollView->bounds().size : gfx::Size{kPageWidth, kPageHeight};
    gfx::Size t = thumb.isNull() ? gfx::Size{} : thumb.size();
    // Without the full image's size (or a thumbnail) there is nothing to match: the thumbnail
    // is fitted as it is.
    if (fullSize.width <= 0 || fullSize.height <= 0 || t.width <= 0 || t.height <= 0) {
        PublicFunction::ImageViewFitImgImg(imageView, thumb.isNull() ? defaultImage() : thumb);
        return;
    }
    double ratio = fullSize.width / fullSize.height;
    double factor;
    if (fullSize.width < bounds.width && fullSize.height < bounds.height)
        factor = ratio > 1.45 ? fullSize.width / t.width : fullSize.height / t.height;
    else
        factor = ratio > 1.45 ? bounds.width / t.width : bounds.height / t.height;
    gfx::Size drawn{t.width * factor, t.height * factor};
    auto context = gfx::Context::createBitmap(drawn, 1);
    context->drawImage(thumb, {{0, 0}, drawn});
    imageView->setContentMode(ui::ContentMode::Center);
    imageView->setImage(context->makeImage());
}

void ProductDetailImageController::scrollViewDidScroll(ui::ScrollView& scrollView)
{
    if (m_pageControlUsed || m_pageCurling || m_isPageMoving || &scrollView != m_myScrollView.get())
        return;
    double width = scrollView.frame().width();
    // Before the first layout there is no page to speak of.
    if (width <= 0)
        return;
    double x = scrollView.contentOffset().x;
    int page = static_cast<int>(std::floor((x - width * 0.5) / width)) + 1;
    page = std::clamp(page, 0, m_imageCount - 1);
    if (page != m_currentIndex) {
        if (m_pageControl)
            m_pageControl->setCurrentPage(page);
        setCurrentIndex(page);
        return;
    }
    if (page == 0 && x < m_leftTransition && m_btnLeft && !m_btnLeft->isHidden()) {
        loadPreviousProduct();
        return;
    }
    if (m_currentIndex == m_imageCount - 1 && x > m_rightTransition && m_btnRight && !m_btnRight->isHidden())
        loadNextProduct();
}

void ProductDetailImageController::scrollViewWillBeginDragging(ui::ScrollView&)
{
    m_pageControlUsed = false;
    toggleChrome(true);
}

void ProductDetailImageController::scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView)
{
    // The indicator's move has landed: page tracking and the slide show resume.
    if (&scrollView == m_myScrollView.get())
        m_pageControlUsed = false;
}

void ProductDetailImageController::changePage()
{
    if (!m_pageControl || !m_myScrollView)
        return;
    int page = m_pageControl->currentPage();
    setCurrentIndex(page);
    bool moves = m_myScrollView->contentOffset().x != page * pageSize().width;
    scrollToIndexAnimated(page, true);
    // Only a move that runs ends in scrollViewDidEndScrollingAnimation, which clears the flag.
    m_pageControlUsed = moves;
}

void ProductDetailImageController::scrollToIndexAnimated(int index, bool animated)
{
    if (!m_myScrollView)
        return;
    m_isPageMoving = true;
    gfx::Size size = pageSize();
    m_myScrollView->scrollRectToVisible({index * size.width, 0, size.width, size.height}, animated);
    m_isPageMoving = false;
}

void ProductDetailImageController::btnClick(ui::Button* sender)
{
    if (sender && sender == m_btnLeft.get())
        loadPreviousProduct();
    else if (sender && sender == m_btnRight.get())
        loadNextProduct();
}

void ProductDetailImageController::loadPreviousProduct()
{
    if (m_pageCurling || !std::dynamic_pointer_cast<DetailImageDelegate>(delegate()))
        return;
    if (m_myScrollView)
        m_myScrollView->setScrollEnabled(false);
    m_pageCurling = true;
    changeProduct(1);
}

void ProductDetailImageController::loadNextProduct()
{
    if (m_pageCurling || !std::dynamic_pointer_cast<DetailImageDelegate>(delegate()))
        return;
    if (m_myScrollView)
        m_myScrollView->setScrollEnabled(false);
    m_pageCurling = true;
    changeProduct(2);
}

void ProductDetailImageController::changeProduct(int direction)
{
    cachedImageIndex = -1;
    currentImageCache = {};
    auto listener = std::dynamic_pointer_cast<DetailImageDelegate>(delegate());
    if (!listener)
        return;
    if (m_btnLeft)
        m_btnLeft->setUserInteractionEnabled(false);
    if (m_btnRight)
        m_btnRight->setUserInteractionEnabled(false);
    listener->changeProductSlideshow(direction, m_slideShow);
    if (lblTittle())
        lblTittle()->setText(productTitle);
    refreshView(direction);
}

void ProductDetailImageController::refreshView(int direction)
{
    view()->removeAllAnimations();
    auto old = m_myScrollView;
    for (auto& page : m_bigImageViews)
        if (page)
            page->setScroller(nullptr);
    initialScrollView();
    m_currentIndex = static_cast<int>(m_startWithIndex);

    gfx::Rect screen{0, 0, kPageWidth, kPageHeight};
    auto fresh = makePagingScrollView(screen);
    fresh->setContentSize({m_imageCount * screen.width(), screen.height() * 0.5});
    loadThumbImageScrollView(m_currentIndex, fresh.get());
    auto overlay = std::make_shared<ui::View>(screen);
    overlay->setBackgroundColor(gfx::Color::black());
    overlay->setUserInteractionEnabled(false);
    bool previous = direction == 1;
    if (previous) {
        fresh->setTransform(gfx::AffineTransform::scaling(kCardScale, kCardScale));
        overlay->setAlpha(kOverlayAlpha);
        fresh->addSubview(overlay);
        view()->insertSubviewBelowSubview(fresh, old.get());
    } else {
        fresh->setFrame({kPageWidth, 0, kPageWidth, kPageHeight});
        overlay->setAlpha(0);
        old->addSubview(overlay);
        view()->insertSubviewAboveSubview(fresh, old.get());
    }
    m_myScrollView = fresh;
    if (m_btnLeft)
        m_btnLeft->setUserInteractionEnabled(true);
    if (m_btnRight)
        m_btnRight->setUserInteractionEnabled(true);

    ui::View::AnimationOptions options;
    options.duration = kCardDuration;
    options.allowUserInteraction = true;
    std::weak_ptr<ProductDetailImageController> weak =
        std::static_pointer_cast<ProductDetailImageController>(sharedController());
    ui::View::animate(
        options,
        [&] {
            if (previous) {
                fresh->setTransform({});
                old->setFrame({kPageWidth, 0, kPageWidth, kPageHeight});
            } else {
                fresh->setFrame(screen);
                old->setTransform(gfx::AffineTransform::scaling(kCardScale, kCardScale));
            }
            overlay->setAlpha(previous ? 0 : kOverlayAlpha);
        },
        [weak, old, overlay, fresh](bool) {
            overlay->removeFromSuperview();
            old->setDelegate(nullptr);
            old->removeFromSuperview();
            fresh->setTransform({});
            auto self = weak.lock();
            if (!self)
                return;
            self->m_pageCurling = false;
            // Whether or not the move was cut short, page 0 gets its full image.
            std::weak_ptr<ui::ScrollView> target = fresh;
            base::cancelPerforms(self->owner(), kAfterChangeKey);
            base::performAfterDelay(self->owner(), kAfterChangeKey, 0, [weak, target] {
                auto me = weak.lock();
                auto scroll = target.lock();
                if (me && scroll && scroll == me->m_myScrollView)
                    me->loadImageAfterProductChangeInScrollView(scroll);
            });
            if (fresh == self->m_myScrollView)
                self->loadImageAsyncScrollView(self->m_currentIndex + 1, fresh.get());
        });
}

void ProductDetailImageController::loadImageAfterProductChangeInScrollView(const std::shared_ptr<ui::ScrollView>& scrollView)
{
    if (m_bigImageViews.empty() || !scrollView)
        return;
    auto& slot = m_bigImageViews[0];
    if (slot) {
        slot->turnOffZoom();
        loadFullImageToImageViewAsyncImageIndexUnique(slot, 0, true);
        return;
    }
    auto page = makePage(0);
    loadFullImageToImageViewAsyncImageIndexUnique(page, 0, true);
    scrollView->addSubview(page);
    slot = page;
}

bool ProductDetailImageController::slotsAreConsistent() const
{
    if (static_cast<int>(m_bigImageViews.size()) != m_imageCount)
        return false;
    gfx::Size size = pageSize();
    for (size_t i = 0; i < m_bigImageViews.size(); ++i) {
        const auto& page = m_bigImageViews[i];
        if (!page)
            continue;
        if (page->superview() != m_myScrollView.get())
            return false;
        if (page->frame() != gfx::Rect(static_cast<double>(i) * size.width, 0, size.width, size.height))
            return false;
    }
    // No page view on the scroll view outside its slot.
    for (auto& sub : m_myScrollView ? m_myScrollView->subviews() : std::vector<std::shared_ptr<ui::View>>{}) {
        auto* page = dynamic_cast<ProductBigImageView*>(sub.get());
        if (page && std::find_if(m_bigImageViews.begin(), m_bigImageViews.end(),
                                 [&](auto& p) { return p.get() == page; }) == m_bigImageViews.end())
            return false;
    }
    return true;
}

void ProductDetailImageController::toggleChromeDisplay()
{
    toggleChrome(!m_isChromeHidden);
}

void ProductDetailImageController::toggleChrome(bool hide)
{
    if (m_isAnimating)
        return;
    m_isChromeHidden = hide;
    if (hide && !m_isTitlebarHidden)
        hideTitlebar();
    else if (!hide && m_isTitlebarHidden)
        showTitlebar();
}

void ProductDetailImageController::hideTitlebar()
{
    animateTitlebar(true);
}

void ProductDetailImageController::showTitlebar()
{
    animateTitlebar(false);
}

// Hiding eases in and lets touches through meanwhile; showing eases out.
void ProductDetailImageController::animateTitlebar(bool hide)
{
    m_isAnimating = true;
    ui::View::AnimationOptions options;
    options.duration = kChromeDuration;
    options.curve = hide ? ui::View::AnimationOptions::Curve::EaseIn : ui::View::AnimationOptions::Curve::EaseOut;
    options.allowUserInteraction = hide;
    std::weak_ptr<ProductDetailImageController> weak =
        std::static_pointer_cast<ProductDetailImageController>(sharedController());
    ui::View::animate(
        options,
        [&] {
            reflectChrome(titlebar().get(), m_btnLeft.get(), m_btnRight.get(), m_pageControl.get(),
                          m_btnProductInfo.get());
            if (m_btnLeft)
                m_btnLeft->setAlpha(hide ? 0 : 1);
        },
        [weak, hide](bool) {
            if (auto self = weak.lock()) {
                self->m_isTitlebarHidden = hide;
                self->m_isAnimating = false;
            }
        });
}

void ProductDetailImageController::btnProductInfoClick(ui::Button* sender)
{
    if (!sender || !m_productInfoView)
        return;
    if (sender->isSelected()) {
        productInfoViewClose();
        return;
    }
    if (productEntity)
        m_productInfoView->setProductEntity(*productEntity);
    m_productInfoView->setLabelPrice(productPrice, productDiscountPrice);
    m_productInfoView->setAlpha(0);
    view()->addSubview(m_productInfoView);
    ui::View::AnimationOptions options;
    options.duration = 0.35;
    options.curve = ui::View::AnimationOptions::Curve::EaseIn;
    auto panel = m_productInfoView;
    ui::View::animate(options, [panel] { panel->setAlpha(1.0); });
    sender->setSelected(true);
}

void ProductDetailImageController::productInfoViewClose()
{
    if (!m_btnProductInfo || !m_btnProductInfo->isSelected())
        return;
    ui::View::AnimationOptions options;
    options.duration = 0.35;
    options.curve = ui::View::AnimationOptions::Curve::EaseIn;
    auto panel = m_productInfoView;
    ui::View::animate(options, [panel] { panel->setAlpha(0); });
    m_btnProductInfo->setSelected(false);
}

void ProductDetailImageController::showToast(const std::string& key)
{
    std::make_shared<UIToast>()->show(Language::stringWithName(key));
}

void ProductDetailImageController::startSlideShow()
{
    endSlideShow();
    showToast("SLIDESHOWBEGIN");
    // A slide show never waits on a page indicator move begun before it.
    m_pageControlUsed = false;
    auto show = std::make_shared<SlideShowController>();
    show->setDetailImageController(this);
    show->setModalTransitionStyle(ui::ModalTransitionStyle::CrossDissolve);
    presentViewController(show, true);
    std::weak_ptr<SlideShowController> weakShow = show;
    ScreenPicture::load(fullImagePath(m_currentIndex), pageSize(), weakShow, [weakShow](gfx::Image image) {
        if (auto shown = weakShow.lock())
            shown->slideFirstShowImage(image.isNull() ? defaultImage() : image);
    });
    m_slideShowController = show;
    std::weak_ptr<ProductDetailImageController> weak =
        std::static_pointer_cast<ProductDetailImageController>(sharedController());
    m_autoShowTimer = base::Timer::scheduled(kSlideShowInterval, true, [weak](base::Timer&) {
        if (auto self = weak.lock())
            self->autoShowImage();
    });
    m_slideShow = true;
}

void ProductDetailImageController::autoShowImage()
{
    if (m_pageControlUsed || m_pageCurling || m_isPageMoving || !m_myScrollView)
        return;
    double width = pageSize().width;
    gfx::Point offset = m_myScrollView->contentOffset();
    int shown;
    if (offset.x < m_myScrollView->contentSize().width - width) {
        m_myScrollView->setContentOffset({offset.x + width, offset.y}, true);
        // The move lands on the next page; the index catches up half-way.
        shown = std::min(m_currentIndex + 1, m_imageCount - 1);
    } else {
        loadNextProduct();
        shown = m_pageCurling ? 0 : m_currentIndex;
    }
    if (auto show = m_slideShowController.lock()) {
        std::weak_ptr<SlideShowController> weakShow = show;
        ScreenPicture::load(fullImagePath(shown), pageSize(), weakShow, [weakShow](gfx::Image image) {
            if (auto slide = weakShow.lock())
                slide->slideShowImage(image.isNull() ? defaultImage() : image);
        });
    }
}

void ProductDetailImageController::endSlideShow()
{
    if (!m_slideShow)
        return;
    if (m_autoShowTimer)
        m_autoShowTimer->invalidate();
    m_autoShowTimer.reset();
    m_slideShow = false;
    showToast("SLIDESHOWSTOP");
}

void ProductDetailImageController::dismissPopController(bool animated)
{
    dismissViewController(animated);
}
