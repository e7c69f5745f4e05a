#include "Classes/Catalog/SlideShowController.h"

#include "Common/PublicFunction.h"
#include "Platform/UI/ImageView.h"

#include <random>

namespace {

ui::View::AnimationOptions options(double duration, double delay = 0)
{
    ui::View::AnimationOptions o;
    o.duration = duration;
    o.delay = delay;
    o.allowUserInteraction = true;
    return o;
}

} // namespace

SlideShowController::SlideShowController()
{
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    m_random = [engine] { return static_cast<uint32_t>((*engine)()); };
}

void SlideShowController::viewDidLoad()
{
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    // No status bar on this platform: the show covers the whole screen.
    m_imageView = std::make_shared<ui::ImageView>(gfx::Rect(0, 0, 1024, 768));
    view()->addSubview(m_imageView);
}

void SlideShowController::slideFirstShowImage(const gfx::Image& image)
{
    view();
    PublicFunction::ImageViewFitImgImg(m_imageView.get(), image);
    m_imageView->setTransform(gfx::AffineTransform::scaling(kStartScale, kStartScale));
    auto shown = m_imageView;
    ui::View::animate(options(kSettleDuration, kFadeDuration), [shown] { shown->setTransform({}); });
}

gfx::Rect SlideShowController::getRandomInitialFrame()
{
    view();
    gfx::Rect frame = m_imageView->frame();
    auto shift = [](uint32_t draw, double step) { return draw % 3 == 1 ? step : draw % 3 == 2 ? -step : 0.0; };
    frame.origin.x += shift(m_random(), kShiftX);
    frame.origin.y += shift(m_random(), kShiftY);
    return frame;
}

void SlideShowController::slideShowImage(const gfx::Image& image)
{
    view();
    auto incoming = std::make_shared<ui::ImageView>(getRandomInitialFrame());
    incoming->setAlpha(0);
    incoming->setTransform(gfx::AffineTransform::scaling(kStartScale, kStartScale));
    view()->addSubview(incoming);
    PublicFunction::ImageViewFitImgImg(incoming.get(), image);
    auto outgoing = m_imageView;
    std::weak_ptr<SlideShowController> weak = std::static_pointer_cast<SlideShowController>(sharedController());
    ui::View::animate(
        options(kFadeDuration),
        [&] {
            incoming->setAlpha(1);
            outgoing->setAlpha(0);
        },
        [weak, incoming, outgoing](bool) {
            gfx::Rect settled = outgoing->frame();
            ui::View::animate(
                options(kSettleDuration),
                [&] {
                    incoming->setTransform({});
                    incoming->setFrame(settled);
                },
                [weak, incoming, outgoing](bool) {
                    outgoing->setImage({});
                    outgoing->removeFromSuperview();
                    if (auto self = weak.lock(); self && self->m_imageView == outgoing)
                        self->m_imageView = incoming;
                });
        });
}

void SlideShowController::touchesBegan(const std::vector<ui::Touch*>&, ui::Event&)
{
    if (m_detailImageController)
        m_detailImageController->endSlideShow();
    dismissViewController(true);
}
