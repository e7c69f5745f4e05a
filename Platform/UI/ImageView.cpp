#include "Platform/UI/ImageView.h"

#include "Platform/Base/Timer.h"
#include "Platform/Graphics/Context.h"

namespace ui {

ImageView::ImageView()
{
    setUserInteractionEnabled(false);
}

ImageView::ImageView(const gfx::Rect& frame) : View(frame)
{
    setUserInteractionEnabled(false);
}

ImageView::ImageView(const gfx::Image& image) : View(gfx::Rect({0, 0}, image.size())), m_image(image)
{
    setUserInteractionEnabled(false);
}

ImageView::~ImageView()
{
    stopAnimating();
}

void ImageView::setAnimationImages(std::vector<gfx::Image> images)
{
    setNeedsDisplay();
    m_animationImages = std::move(images);
    if (m_animationImages.empty())
        stopAnimating();
    else if (m_frame >= m_animationImages.size())
        m_frame = 0;
}

void ImageView::startAnimating()
{
    setNeedsDisplay();
    if (m_animationImages.empty() || m_timer)
        return;
    double count = double(m_animationImages.size());
    double interval = m_animationDuration > 0 ? m_animationDuration / count : 1.0 / 30;
    m_frame = 0;
    // The timer is invalidated before this view goes away, so the raw pointer stays valid.
    m_timer = base::Timer::scheduled(interval, true, [this](base::Timer&) {
        if (!m_animationImages.empty())
            m_frame = (m_frame + 1) % m_animationImages.size();
        setNeedsDisplay();
    });
}

void ImageView::stopAnimating()
{
    setNeedsDisplay();
    if (!m_timer)
        return;
    m_timer->invalidate();
    m_timer.reset();
    m_frame = 0;
}

gfx::Image ImageView::displayedImage() const
{
    if (isAnimating() && m_frame < m_animationImages.size())
        return m_animationImages[m_frame];
    if (m_highlighted && m_highlightedImage)
        return m_highlightedImage;
    return m_image;
}

gfx::Size ImageView::sizeThatFits(gfx::Size) const
{
    gfx::Image image = displayedImage();
    return image ? image.size() : gfx::Size{};
}

void ImageView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Image image = displayedImage();
    if (!image)
        return;
    gfx::Rect b = bounds();
    // Stretchable images fill the bounds in nine slices; others follow the content mode.
    gfx::Rect target = image.isStretchable() ? b : rectForContentMode(contentMode(), image.size(), b);
    ctx.drawImage(image, target);
}

} // namespace ui
