#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/ViewController.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace ui {
class ImageView;
}

// The viewer that runs a slide show: told first when a touch ends it.
class SlideShowControllerDelegate {
public:
    virtual ~SlideShowControllerDelegate() = default;
    virtual void endSlideShow() = 0;
};

// The full-screen slide show: each image fades in over the last, 10 % enlarged and a little
// off its place, and settles. Any touch ends it.
class SlideShowController : public ui::ViewController {
public:
    static constexpr double kFadeDuration = 2.0;
    static constexpr double kSettleDuration = 6.0;
    static constexpr double kStartScale = 1.1;
    static constexpr double kShiftX = 51;
    static constexpr double kShiftY = 38;

    SlideShowController();
    const char* className() const override { return "SlideShowController"; }

    void viewDidLoad() override;
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    void slideFirstShowImage(const gfx::Image& image);
    void slideShowImage(const gfx::Image& image);
    gfx::Rect getRandomInitialFrame();

    // The view now on screen.
    const std::shared_ptr<ui::ImageView>& imageView() const { return m_imageView; }
    // Not owned.
    void setDetailImageController(SlideShowControllerDelegate* controller) { m_detailImageController = controller; }
    SlideShowControllerDelegate* detailImageController() const { return m_detailImageController; }
    // 32-bit random numbers for the start frames; tests give their own.
    void setRandomSource(std::function<uint32_t()> source) { m_random = std::move(source); }

    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    std::shared_ptr<ui::ImageView> m_imageView;
    SlideShowControllerDelegate* m_detailImageController = nullptr;
    std::function<uint32_t()> m_random;
};
