#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/ScrollView.h"

#include <memory>

// The viewer that owns the pages: asked to show or hide its controls after a single tap.
class ProductBigImageViewScroller {
public:
    virtual ~ProductBigImageViewScroller() = default;
    virtual void toggleChromeDisplay() = 0;
};

// One page of the image viewer: an image that a double tap zooms to twice its size around
// the tapped point, or back.
class ProductBigImageView : public ui::ScrollView, public ui::ScrollViewDelegate {
public:
    static constexpr double kMaximumZoom = 2.0;
    static constexpr double kSingleTapDelay = 0.5;

    explicit ProductBigImageView(const gfx::Rect& frame);
    ~ProductBigImageView() override;
    const char* className() const override { return "ProductBigImageView"; }

    const std::shared_ptr<ui::ImageView>& imageView() const { return m_imageView; }
    // Centred at its own size when smaller than the page both ways, else fitted; an empty
    // image clears the page.
    void setImage(const gfx::Image& image);

    // Not owned.
    ProductBigImageViewScroller* scroller() const { return m_scroller; }
    void setScroller(ProductBigImageViewScroller* scroller) { m_scroller = scroller; }
    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }

    bool isZoomed() const { return zoomScale() != minimumZoomScale(); }
    void zoomToLocation(gfx::Point point);
    void turnOffZoom();
    gfx::Rect zoomRectForScaleWithCenter(double scale, gfx::Point center) const;
    // The zoom rectangle for a page of frame size `frame` showing an image of `image` pixels,
    // in the image view's unzoomed coordinates.
    static gfx::Rect zoomRectForScaleWithCenter(gfx::Size frame, gfx::Size image, double scale, gfx::Point center);
    void toggleChromeDisplay();

    ui::View* viewForZoomingInScrollView(ui::ScrollView&) override { return m_imageView.get(); }
    void layoutSubviews() override;
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    void loadSubviewsWithFrame(const gfx::Rect& frame);

    std::shared_ptr<ui::ImageView> m_imageView;
    ProductBigImageViewScroller* m_scroller = nullptr;
    int m_index = 0;
};
