#include "Classes/Catalog/ProductBigImageView.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/DeferredCall.h"
#include "Platform/UI/Touch.h"

#include <cmath>

namespace {

constexpr const char* kToggleKey = "toggleChromeDisplay";

// One axis of the zoom rectangle: frame length, displayed image length, zoomed length, tap.
double zoomOrigin(double frame, double displayed, double zoomed, double scale, double tap)
{
    if (displayed * scale <= frame)
        return (frame - zoomed) / 2;
    if (displayed >= frame)
        return tap - zoomed / 2;
    if (tap >= frame / 2)
        return (displayed + frame) / 2 - zoomed;
    return (frame - displayed) / 2;
}

} // namespace

ProductBigImageView::ProductBigImageView(const gfx::Rect& frame) : ScrollView(frame)
{
    setDelegate(this);
    setMaximumZoomScale(kMaximumZoom);
    setShowsScrollIndicators(false);
    setBackgroundColor(gfx::Color::white());
    loadSubviewsWithFrame(frame);
}

ProductBigImageView::~ProductBigImageView()
{
    setDelegate(nullptr);
}

void ProductBigImageView::loadSubviewsWithFrame(const gfx::Rect& frame)
{
    m_imageView = std::make_shared<ui::ImageView>(frame);
    m_imageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    addSubview(m_imageView);
}

void ProductBigImageView::setImage(const gfx::Image& image)
{
    PublicFunction::ImageViewFitImgImg(m_imageView.get(), image);
}

void ProductBigImageView::layoutSubviews()
{
    ScrollView::layoutSubviews();
    if (!isZoomed() && m_imageView->frame() != bounds())
        m_imageView->setFrame(bounds());
}

void ProductBigImageView::toggleChromeDisplay()
{
    if (m_scroller)
        m_scroller->toggleChromeDisplay();
}

void ProductBigImageView::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    for (ui::Touch* touch : touches) {
        if (touch->view() == this && touch->tapCount() == 1) {
            std::weak_ptr<ProductBigImageView> self = std::static_pointer_cast<ProductBigImageView>(sharedView());
            base::performAfterDelay(self, kToggleKey, kSingleTapDelay, [self] {
                if (auto page = self.lock())
                    page->toggleChromeDisplay();
            });
        }
    }
    ScrollView::touchesEnded(touches, event);
}

void ProductBigImageView::touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    for (ui::Touch* touch : touches) {
        if (touch->view() == this && touch->tapCount() == 2) {
            base::cancelPerforms(std::weak_ptr<const void>(sharedView()), kToggleKey);
            zoomToLocation(touch->locationInView(this));
        }
    }
    ScrollView::touchesBegan(touches, event);
}

void ProductBigImageView::zoomToLocation(gfx::Point point)
{
    if (!isZoomed())
        zoomToRect(zoomRectForScaleWithCenter(maximumZoomScale(), point), true);
    else
        zoomToRect(bounds(), true);
}

void ProductBigImageView::turnOffZoom()
{
    if (isZoomed())
        zoomToLocation({0, 0});
}

gfx::Rect ProductBigImageView::zoomRectForScaleWithCenter(double scale, gfx::Point center) const
{
    return zoomRectForScaleWithCenter(frame().size, m_imageView->image().size(), scale, center);
}

gfx::Rect ProductBigImageView::zoomRectForScaleWithCenter(gfx::Size frame, gfx::Size image, double scale,
                                                          gfx::Point center)
{
    double zw = frame.width / scale;
    double zh = frame.height / scale;
    double iw = image.width, ih = image.height;
    double dw = iw, dh = ih;
    if (iw > ih && iw > frame.width) {
        dw = frame.width;
        dh = std::floor(ih * frame.width / iw);
    } else if (ih > iw && ih > frame.height) {
        dw = std::floor(iw * frame.height / ih);
        dh = frame.height;
    }
    return {zoomOrigin(frame.width, dw, zw, scale, center.x), zoomOrigin(frame.height, dh, zh, scale, center.y), zw,
            zh};
}
