#pragma once
#include "Classes/Catalog/ProductBigImageView.h"
#include "Classes/Catalog/ProductInfoView.h"
#include "Classes/Catalog/SlideShowController.h"
#include "Common/PopBaseController.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/Graphics/Image.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace base {
class Timer;
}
namespace ui {
class Button;
}
class BRPageControl;

// What the image viewer asks of the screen that opened it. The defaults do nothing.
class DetailImageDelegate {
public:
    virtual ~DetailImageDelegate() = default;
    // Direction 1 previous, 2 next. Before returning, the delegate sets the viewer's lists,
    // product, prices, title, tag (0) and the arrows' hidden state for the new product.
    virtual void changeProductSlideshow(int direction, bool slideshow) {}
    virtual void preloadProductFirstImage(int index) {}
};

// The full-screen image viewer of a product: pages through its full images with enlarged
// thumbnails standing in until each arrives, hides its controls on a tap, shows an information
// panel, runs a slide show and steps to the neighbouring products with a card transition.
// Its PopControllerDelegate is the opener; when that also answers DetailImageDelegate, the
// viewer asks it for other products.
class ProductDetailImageController : public PopBaseController,
                                     public ui::ScrollViewDelegate,
                                     public ProductInfoViewDelegate,
                                     public PopControllerDelegate,
                                     public ProductBigImageViewScroller,
                                     public SlideShowControllerDelegate {
public:
    static constexpr double kPageWidth = 1024;
    static constexpr double kPageHeight = 768; // the whole window
    static constexpr double kSlideShowInterval = 8.5;
    static constexpr double kChromeDuration = 0.3;
    static constexpr double kCardDuration = 0.5;

    ProductDetailImageController();
    ~ProductDetailImageController() override;
    const char* className() const override { return "ProductDetailImageController"; }

    // Set by the opener before the view loads (and by the delegate on a product change).
    std::vector<std::string> ImagesArray;
    std::vector<std::string> thumbImagesArray;
    int tag = 0;
    std::optional<brivanta_product_Entity> productEntity;
    std::string productPrice;
    std::string productDiscountPrice;
    std::string productTitle;
    gfx::Image currentImageCache;
    int cachedImageIndex = -1;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidUnload() override;
    void viewAfterFirstDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    // Button actions.
    void btnClick(ui::Button* sender);
    void btnProductInfoClick(ui::Button* sender);
    void startSlideShow();
    void changePage();

    // Scroll view delegate.
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void scrollViewWillBeginDragging(ui::ScrollView& scrollView) override;
    void scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView) override;

    void toggleChromeDisplay() override;
    void toggleChrome(bool hide);
    void hideTitlebar();
    void showTitlebar();
    void animateTitlebar(bool hide);
    void endSlideShow() override;
    void autoShowImage();
    void productInfoViewClose() override;
    void dismissPopController(bool animated) override;

    // Pages.
    void initialScrollView();
    void calculateTransitionPoint();
    void loadScrollViewPages();
    void setCurrentIndex(int index);
    void loadImageScrollView(int index, ui::ScrollView* scrollView);
    void loadImageAsyncScrollView(int index, ui::ScrollView* scrollView);
    void loadThumbImageScrollView(int index, ui::ScrollView* scrollView);
    void unloadImage(int index);
    void loadFullImageToImageViewAsyncImageIndexUnique(const std::shared_ptr<ProductBigImageView>& page, int index,
                                                      bool unique);
    void scrollToIndexAnimated(int index, bool animated);
    void loadImageAfterProductChangeInScrollView(const std::shared_ptr<ui::ScrollView>& scrollView);

    // Image sources, decoded on the calling thread: never called on the main thread.
    gfx::Image getBigImage(int index);
    gfx::Image getNoCachedBigImage(int index);
    gfx::Image getThumbImage(int index);
    gfx::Size imageSizeOfFullImage(int index) const;
    void resizeThumbImageToFitFullImageSizeSetInImageView(const gfx::Image& thumb, gfx::Size fullSize,
                                                         ui::ImageView* imageView);

    // Product change.
    void loadPreviousProduct();
    void loadNextProduct();
    void changeProduct(int direction);
    void refreshView(int direction);

    // State, for the opener and the tests.
    int imageCount() const { return m_imageCount; }
    int currentIndex() const { return m_currentIndex; }
    unsigned startWithIndex() const { return m_startWithIndex; }
    const std::vector<std::shared_ptr<ProductBigImageView>>& bigImageViews() const { return m_bigImageViews; }
    // The slots hold exactly the pages on the current scroll view, each at its page's frame.
    bool slotsAreConsistent() const;
    bool isTitlebarHidden() const { return m_isTitlebarHidden; }
    bool isAnimating() const { return m_isAnimating; }
    bool pageControlUsed() const { return m_pageControlUsed; }
    bool pageCurling() const { return m_pageCurling; }
    bool isPageMoving() const { return m_isPageMoving; }
    bool isChromeHidden() const { return m_isChromeHidden; }
    bool slideShow() const { return m_slideShow; }
    double leftTransition() const { return m_leftTransition; }
    double rightTransition() const { return m_rightTransition; }
    const std::shared_ptr<ui::ScrollView>& myScrollView() const { return m_myScrollView; }
    const std::shared_ptr<ui::Button>& btnLeft() const { return m_btnLeft; }
    const std::shared_ptr<ui::Button>& btnRight() const { return m_btnRight; }
    const std::shared_ptr<BRPageControl>& pageControl() const { return m_pageControl; }
    const std::shared_ptr<ui::Button>& btnSlideShow() const { return m_btnSlideShow; }
    const std::shared_ptr<ui::Button>& btnProductInfo() const { return m_btnProductInfo; }
    const std::shared_ptr<ProductInfoView>& productInfoView() const { return m_productInfoView; }
    std::shared_ptr<SlideShowController> slideShowController() const { return m_slideShowController.lock(); }
    const std::shared_ptr<base::Timer>& autoShowTimer() const { return m_autoShowTimer; }

private:
    std::shared_ptr<ui::ScrollView> makePagingScrollView(const gfx::Rect& frame);
    std::shared_ptr<ProductBigImageView> makePage(int index);
    // Asks for the page's thumbnail off the main thread; it goes in as the stand-in only while
    // the page shows nothing yet.
    void requestThumbPlaceholder(const std::shared_ptr<ProductBigImageView>& page, int index);
    std::optional<std::string> fullImagePath(int index) const;
    gfx::Size pageSize() const;
    std::weak_ptr<const void> owner();
    void showToast(const std::string& key);

    int m_imageCount = 1;
    unsigned m_startWithIndex = 0;
    int m_currentIndex = 0;
    double m_leftTransition = 0;
    double m_rightTransition = 0;
    bool m_isPageMoving = false;
    bool m_isTitlebarHidden = false;
    bool m_isAnimating = false;
    bool m_pageControlUsed = false;
    bool m_pageCurling = false;
    bool m_isChromeHidden = false;
    bool m_slideShow = false;
    std::vector<std::shared_ptr<ProductBigImageView>> m_bigImageViews;
    std::shared_ptr<ui::ScrollView> m_myScrollView;
    std::shared_ptr<ui::Button> m_btnLeft;
    std::shared_ptr<ui::Button> m_btnRight;
    std::shared_ptr<BRPageControl> m_pageControl;
    std::shared_ptr<ui::Button> m_btnSlideShow;
    std::shared_ptr<ui::Button> m_btnProductInfo;
    std::shared_ptr<ProductInfoView> m_productInfoView;
    std::weak_ptr<SlideShowController> m_slideShowController;
    std::shared_ptr<base::Timer> m_autoShowTimer;
};
