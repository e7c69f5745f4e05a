// Look and view utilities: skinned buttons, the theme colour, strike lines, wiggles, busy
// indicators, picture fitting, and a few diagnostics.
#include "Common/PublicFunction.h"

#include "Common/SkinManager.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Memory.h"
#include "Platform/Base/Paths.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/ImageRedraw.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <mutex>

namespace {

void styleButton(ui::Button* button, const char* picture, gfx::EdgeInsets caps, gfx::EdgeInsets titleInsets)
{
    if (!button)
        return;
    button->setTitleColor(gfx::Color::white());
    button->titleLabel().setFont(gfx::Font::boldSystemFont(15));
    button->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Center);
    button->setBackgroundColor(gfx::Color::clear());
    gfx::Image image = SkinManager::skinFromImageName(std::string(picture));
    if (!image.isNull() || image.awaitsPicture())
        button->setBackgroundImage(PublicFunction::resizeImageWithCapInsets(image, caps));
    if (!titleInsets.isZero())
        button->setTitleEdgeInsets(titleInsets);
}

void removeAllSubviews(ui::View* view)
{
    auto subviews = view->subviews();
    for (auto& sub : subviews)
        sub->removeFromSuperview();
}

std::string formatted(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

} // namespace

void PublicFunction::initializeToButtonHeight30(ui::Button* button)
{
    styleButton(button, "Button-default_H30.png", {0, 5, 0, 5}, {});
}

void PublicFunction::initializeToButtonHeight34(ui::Button* button)
{
    styleButton(button, "Button-default_H34.png", {0, 5, 0, 5}, {});
}

void PublicFunction::initializeToBackButtonHeight34(ui::Button* button)
{
    styleButton(button, "Button-backward_H34.png", {0, 16, 0, 5}, {0, 10, 0, 0});
}

void PublicFunction::initializeToForwardButtonHeight34(ui::Button* button)
{
    styleButton(button, "Button-forward_H34.png", {0, 5, 0, 16}, {0, 0, 0, 10});
}

gfx::Image PublicFunction::resizeImageWithCapInsets(const gfx::Image& image, gfx::EdgeInsets insets)
{
    if (getDeviceVersion() >= 5.0)
        return image.stretchable(insets);
    // Older systems know only a left and a top cap, in whole points.
    return image.stretchable(static_cast<int>(insets.left), static_cast<int>(insets.top));
}

gfx::Color PublicFunction::colorOfMainTheme()
{
    gfx::Image bar = SkinManager::skinFromImageName(std::string("topbar-bg.png"));
    if (bar.isNull())
        return gfx::Color::darkGray();
    auto pixel = gfx::Context::createBitmap({1, 1}, 1);
    pixel->drawImage(bar, {0, 0, 1, 1});
    uint32_t argb = pixel->makeImage().pixelAt(0, 0);
    // The premultiplied components as they are, like the bitmap they were read from.
    auto component = [argb](int shift) { return static_cast<double>((argb >> shift) & 0xff) / 255.0; };
    return {component(16), component(8), component(0), component(24)};
}

void PublicFunction::addDeletionLineToLabel(ui::Label* label)
{
    if (!label)
        return;
    // One unwrapped line, so the height limit never bites.
    double bounds = label->bounds().width();
    gfx::TextLayout layout(nullptr, label->text(), label->font(), gfx::TextLayout::Options{});
    double width = std::min(layout.size().width, bounds);
    double left = 0;
    if (label->textAlignment() == gfx::TextAlignment::Right)
        left = bounds - width;
    else if (label->textAlignment() == gfx::TextAlignment::Center)
        left = (bounds - width) / 2;
    // From the first glyph's ink to the last's, and a hair past each so the ends show, never
    // past the label, which may sit at a cell's edge.
    auto [inkFrom, inkTo] = layout.inkSpan();
    constexpr double kOverhang = 0.5;
    double from = std::max(0.0, left + inkFrom - kOverhang), to = std::min(bounds, left + inkTo + kOverhang);
    auto line = std::make_shared<ui::ImageView>(SkinManager::bundledImageNamed("rightline.png"));
    line->setFrame({from, label->bounds().height() / 2, std::max(0.0, to - from), 2});
    label->addSubview(line);
}

void PublicFunction::fitCountBesideTitle(ui::Label* title, ui::Label* count, double minimumCountWidth)
{
    if (!title || !count)
        return;
    gfx::Rect frame = count->frame();
    double width = std::max(minimumCountWidth, count->singleLineSize().width);
    count->setFrame({frame.maxX() - width, frame.y(), width, frame.height()});
    gfx::Rect head = title->frame();
    constexpr double kGap = 5;
    title->setFrame({head.x(), head.y(), std::max(0.0, frame.maxX() - width - kGap - head.x()), head.height()});
}

void PublicFunction::removeDeletionLineFromLabel(ui::Label* label)
{
    if (label)
        removeAllSubviews(label);
}

void PublicFunction::setViewShakingShaking(ui::View* view, bool shaking)
{
    if (!view)
        return;
    view->removeAllAnimations();
    if (!shaking)
        return;
    // A turn either way of the view's own transform.
    auto wiggle = ui::LayerAnimation::make("transform.rotation");
    wiggle->values = {-0.03, 0.03};
    wiggle->duration = 0.1;
    wiggle->autoreverses = true;
    wiggle->repeatCount = INFINITY;
    view->addAnimation(wiggle, "wiggle");
}

void PublicFunction::showDialIndicatorView(ui::View* view, const std::shared_ptr<ui::ActivityIndicator>& indicator)
{
    if (!view || !indicator)
        return;
    if (indicator->superview() != view) {
        view->addSubview(indicator);
        indicator->startAnimating();
    }
    view->bringSubviewToFront(indicator.get());
    view->setUserInteractionEnabled(false);
}

void PublicFunction::hideDialIndicatorView(ui::View* view, const std::shared_ptr<ui::ActivityIndicator>& indicator)
{
    if (!view)
        return;
    if (indicator && indicator->superview() == view) {
        indicator->removeFromSuperview();
        indicator->stopAnimating();
    }
    view->setUserInteractionEnabled(true);
}

void PublicFunction::setTextAlignmentForAlertView(gfx::TextAlignment alignment, ui::AlertView* alert)
{
    if (auto message = findSubViewInOfClassIndex<ui::Label>(alert, 1))
        message->setTextAlignment(alignment);
}

bool PublicFunction::isRetinaDisplay()
{
    ui::Window* screen = ui::Window::keyWindow();
    return screen && screen->scale() == 2.0;
}

gfx::Image PublicFunction::scaleImageToFitSize(const gfx::Image& image, gfx::Size size)
{
    if (image.isNull())
        return image;
    if (isRetinaDisplay())
        size = {size.width * 2, size.height * 2};
    gfx::Size own = image.size();
    if (own.width <= size.width && own.height <= size.height)
        return image;
    double factor = std::min(size.width / own.width, size.height / own.height);
    return gfx::redrawnImage(image, {own.width * factor, own.height * factor});
}

bool PublicFunction::imageIsNeedToScaleToFitSize(const gfx::Image&, gfx::Size)
{
    return true;
}

void PublicFunction::ImageViewFitImgImg(ui::ImageView* imageView, const gfx::Image& image)
{
    if (!imageView)
        return;
    imageView->setImage(image);
    gfx::Rect frame = imageView->frame();
    bool smaller = !image.isNull() && image.size().width < frame.width() && image.size().height < frame.height();
    ui::ContentMode mode = smaller ? ui::ContentMode::Center : ui::ContentMode::ScaleAspectFit;
    if (imageView->contentMode() != mode)
        imageView->setContentMode(mode);
}

void PublicFunction::ImageViewSetImgImg(ui::View* view, const gfx::Image& image)
{
    if (!view)
        return;
    removeAllSubviews(view);
    if (image.isNull())
        return;
    gfx::Size box = view->frame().size;
    double width = std::floor(image.size().width);
    double height = std::floor(image.size().height);
    gfx::Image shown = image;
    if (width > box.width || height > box.height) {
        double factor = std::min(box.width / width, box.height / height);
        shown = gfx::redrawnImage(image, {std::ceil(width * factor), std::ceil(height * factor)});
    }
    auto imageView = std::make_shared<ui::ImageView>(shown);
    imageView->setCenter({std::floor(box.width / 2), std::floor(box.height / 2)});
    view->addSubview(imageView);
}

bool PublicFunction::isContainChinese(const std::optional<std::string>& text)
{
    if (!text)
        return false;
    for (unsigned char c : *text)
        if (c >= 128)
            return true;
    return false;
}

void PublicFunction::showCurrentMemory()
{
    std::string error;
    if (auto bytes = base::Memory::residentBytes(&error))
        base::logf("Memory used: %fM", static_cast<double>(*bytes) / 1048576.0);
    else
        base::logf("Error: %s", error.c_str());
}

void PublicFunction::LOGFunctionLineNumberFormat(const char* file, const char* function, int line,
                                                 const char* format, ...)
{
    static std::mutex lock;
    static std::string path;
    static std::FILE* out = nullptr;
    std::lock_guard guard(lock);
    if (path.empty())
        path = base::Paths::documents() + "/" + base::DateFormatter("yyyyMMdd_HHmmss").stringFromDate(base::Date::now()) + ".txt";
    if (!out)
        out = std::fopen(path.c_str(), "a");
    if (!out)
        return;
    va_list args;
    va_start(args, format);
    std::string message = formatted(format, args);
    va_end(args);
    std::string time = base::DateFormatter("yyyy-MM-dd HH:mm:ss.SSS").stringFromDate(base::Date::now());
    std::string fileName = file ? std::filesystem::path(file).filename().string() : std::string();
    std::fprintf(out, "%s %s:%d %s \n%s\n\n", time.c_str(), fileName.c_str(), line, function ? function : "",
                 message.c_str());
    std::fflush(out);
}
