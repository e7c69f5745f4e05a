#pragma once
#include "Platform/Base/OperationQueue.h"
#include "Platform/Graphics/Image.h"

#include <functional>
#include <memory>

namespace ui {
class ImageView;
}

// Puts a picture read off the main thread into its view, on the main queue, behind touches
// and scrolling. A view that has left the screen meanwhile is left alone.
class ImageLoadOperation : public base::Operation {
public:
    ImageLoadOperation(gfx::Image image, std::shared_ptr<ui::ImageView> targetImageView, bool animation);

    const std::shared_ptr<ui::ImageView>& targetImageView() const { return m_targetImageView; }
    void setTargetImageView(std::shared_ptr<ui::ImageView> view) { m_targetImageView = std::move(view); }
    const gfx::Image& image() const { return m_image; }
    void setImage(gfx::Image image) { m_image = std::move(image); }
    bool loadWithAnimation() const { return m_loadWithAnimation; }
    void setLoadWithAnimation(bool animation) { m_loadWithAnimation = animation; }
    // Asked on the main thread just before the picture goes in: a reused view may want
    // another picture by then. None set: always wanted.
    void setStillWanted(std::function<bool()> check) { m_stillWanted = std::move(check); }
    // The alpha the view shows the picture at, asked when it goes in: a tile tapped while its
    // picture was read keeps its dimmed look. None set: fully opaque.
    void setShownAlpha(std::function<double()> alpha) { m_shownAlpha = std::move(alpha); }

protected:
    void main() override;

private:
    std::shared_ptr<ui::ImageView> m_targetImageView;
    gfx::Image m_image;
    bool m_loadWithAnimation;
    std::function<bool()> m_stillWanted;
    std::function<double()> m_shownAlpha;
};
