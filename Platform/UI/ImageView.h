#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/View.h"

#include <memory>
#include <vector>

namespace base {
class Timer;
}

namespace ui {

// Shows an image placed by the content mode, or cycles through animation images.
class ImageView : public View, public Highlightable {
public:
    ImageView();
    explicit ImageView(const gfx::Rect& frame);
    // Sized to the image.
    explicit ImageView(const gfx::Image& image);
    ~ImageView() override;
    const char* className() const override { return "ImageView"; }
    Highlightable* highlightable() override { return this; }

    const gfx::Image& image() const { return m_image; }
    void setImage(const gfx::Image& image) { m_image = image; setNeedsDisplay(); }
    const gfx::Image& highlightedImage() const { return m_highlightedImage; }
    void setHighlightedImage(const gfx::Image& image) { m_highlightedImage = image; setNeedsDisplay(); }
    bool isHighlighted() const override { return m_highlighted; }
    void setHighlighted(bool highlighted) override { m_highlighted = highlighted; setNeedsDisplay(); }

    const std::vector<gfx::Image>& animationImages() const { return m_animationImages; }
    void setAnimationImages(std::vector<gfx::Image> images);
    // Seconds for one pass through the images; 0 means 1/30 s per image.
    double animationDuration() const { return m_animationDuration; }
    void setAnimationDuration(double seconds) { m_animationDuration = seconds; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return m_timer != nullptr; }
    // Index into animationImages shown now.
    size_t animationFrame() const { return m_frame; }

    gfx::Size sizeThatFits(gfx::Size size) const override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    gfx::Image displayedImage() const;

    gfx::Image m_image;
    gfx::Image m_highlightedImage;
    bool m_highlighted = false;
    std::vector<gfx::Image> m_animationImages;
    double m_animationDuration = 0;
    size_t m_frame = 0;
    std::shared_ptr<base::Timer> m_timer;
};

} // namespace ui
