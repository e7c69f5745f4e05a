#include "Platform/UI/Button.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <algorithm>
#include <cairo.h>

namespace ui {

namespace {
constexpr double kRoundedRectRadius = 9;
constexpr double kDarkenAlpha = 0.35;

// A copy of the image with its opaque parts darkened, keeping its caps.
gfx::Image darkened(const gfx::Image& image)
{
    if (!image)
        return image;
    auto ctx = gfx::Context::createBitmap(image.size(), image.scale());
    gfx::Rect whole({0, 0}, image.size());
    ctx->drawImage(image, whole, whole);
    cairo_t* cr = ctx->cairo();
    cairo_save(cr);
    cairo_scale(cr, 1 / image.scale(), 1 / image.scale());
    cairo_set_source_rgba(cr, 0, 0, 0, kDarkenAlpha);
    cairo_mask_surface(cr, image.cairoSurface(), 0, 0);
    cairo_restore(cr);
    gfx::Image result = ctx->makeImage();
    return image.isStretchable() ? result.stretchable(image.capInsets()) : result;
}

gfx::Size grow(gfx::Size size, const gfx::EdgeInsets& insets)
{
    return {size.width + insets.left + insets.right, size.height + insets.top + insets.bottom};
}
}

Button::Button(ButtonType type) : Button(type, {})
{
}

Button::Button(ButtonType type, const gfx::Rect& frame)
    : Control(frame)
    , m_type(type)
    , m_titleLabel(View::make<Label>())
    , m_imageView(View::make<ImageView>())
{
    setOpaque(false);
    m_titleLabel->setFont(gfx::Font::boldSystemFont(15));
    m_titleLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_titleLabel->setLineBreakMode(gfx::LineBreakMode::TruncateMiddle);
    m_titleLabel->setHidden(true);
    m_imageView->setHidden(true);
    m_imageView->setContentMode(ContentMode::ScaleAspectFit);
    addSubview(m_imageView);
    addSubview(m_titleLabel);
    if (type == ButtonType::RoundedRect) {
        m_titleColors[ControlStateNormal] = gfx::Color::fromRgb(50, 79, 133);
        m_titleColors[ControlStateHighlighted] = gfx::Color::white();
        m_titleColors[ControlStateDisabled] = gfx::Color::fromWhite(0.6);
    } else {
        m_titleColors[ControlStateNormal] = gfx::Color::white();
    }
    updateContent();
}

Button::~Button() = default;

template <typename T>
const T* Button::lookup(const std::map<unsigned, T>& values, unsigned state)
{
    auto find = [&](unsigned s) -> const T* {
        auto it = values.find(s);
        return it == values.end() ? nullptr : &it->second;
    };
    if (const T* exact = find(state))
        return exact;
    for (unsigned single : {ControlStateHighlighted, ControlStateDisabled, ControlStateSelected})
        if (state & single)
            if (const T* v = find(single))
                return v;
    return find(ControlStateNormal);
}

std::string Button::titleForState(unsigned state) const
{
    const std::string* v = lookup(m_titles, state);
    return v ? *v : std::string();
}

gfx::Color Button::titleColorForState(unsigned state) const
{
    const gfx::Color* v = lookup(m_titleColors, state);
    return v ? *v : gfx::Color::white();
}

std::optional<gfx::Color> Button::titleShadowColorForState(unsigned state) const
{
    const gfx::Color* v = lookup(m_titleShadowColors, state);
    return v ? std::optional<gfx::Color>(*v) : std::nullopt;
}

gfx::Image Button::imageForState(unsigned state) const
{
    const gfx::Image* v = lookup(m_images, state);
    return v ? *v : gfx::Image();
}

gfx::Image Button::backgroundImageForState(unsigned state) const
{
    const gfx::Image* v = lookup(m_backgroundImages, state);
    return v ? *v : gfx::Image();
}

void Button::setTitle(const std::string& title, unsigned state)
{
    m_titles[state] = title;
    updateContent();
}

void Button::setTitleColor(gfx::Color color, unsigned state)
{
    m_titleColors[state] = color;
    noteStateValue(state);
    updateContent();
}

void Button::setTitleShadowColor(gfx::Color color, unsigned state)
{
    m_titleShadowColors[state] = color;
    updateContent();
}

void Button::setImage(const gfx::Image& image, unsigned state)
{
    m_images[state] = image;
    noteStateValue(state);
    updateContent();
}

void Button::setBackgroundImage(const gfx::Image& image, unsigned state)
{
    m_backgroundImages[state] = image;
    noteStateValue(state);
    updateContent();
}

void Button::setContentEdgeInsets(gfx::EdgeInsets insets)
{
    m_contentInsets = insets;
    setNeedsLayout();
}

void Button::setTitleEdgeInsets(gfx::EdgeInsets insets)
{
    m_titleInsets = insets;
    setNeedsLayout();
}

void Button::setImageEdgeInsets(gfx::EdgeInsets insets)
{
    m_imageInsets = insets;
    setNeedsLayout();
}

void Button::setAdjustsImageWhenHighlighted(bool adjusts)
{
    m_adjustsImage = adjusts;
    updateContent();
}

void Button::noteStateValue(unsigned state)
{
    if (!(state & ControlStateDisabled) || m_ownDisabledLook)
        return;
    m_ownDisabledLook = true;
    applyContentAlpha();
}

double Button::contentAlpha() const
{
    return isEnabled() || m_ownDisabledLook ? 1.0 : kDisabledAlpha;
}

// Only on a change of the enabled state: the image view's alpha is also animated by callers.
void Button::applyContentAlpha()
{
    m_titleLabel->setAlpha(contentAlpha());
    m_imageView->setAlpha(contentAlpha());
    setNeedsDisplay();
}

void Button::setEnabled(bool enabled)
{
    bool changed = enabled != isEnabled();
    Control::setEnabled(enabled);
    if (changed)
        applyContentAlpha();
}

void Button::stateDidChange()
{
    updateContent();
}

bool Button::darkensNow(const std::map<unsigned, gfx::Image>& images) const
{
    return isHighlighted() && m_adjustsImage && !images.count(state()) && !images.count(ControlStateHighlighted);
}

void Button::updateContent()
{
    setNeedsDisplay();
    std::string title = currentTitle();
    m_titleLabel->setText(title);
    m_titleLabel->setHidden(title.empty());
    m_titleLabel->setTextColor(currentTitleColor());
    m_titleLabel->setShadowColor(titleShadowColorForState(state()));

    gfx::Image image = currentImage();
    m_imageView->setImage(darkensNow(m_images) ? darkened(image) : image);
    m_imageView->setHidden(!image);

    m_pressedBackground = darkensNow(m_backgroundImages) ? darkened(currentBackgroundImage()) : gfx::Image();
    setNeedsLayout();
}

void Button::layoutSubviews()
{
    gfx::Rect content = bounds().insetBy(m_contentInsets);
    gfx::Image image = currentImage();
    std::string title = currentTitle();

    gfx::Size imageSlot = image ? grow(image.size(), m_imageInsets) : gfx::Size{};
    // A picture larger than the button stays inside it; the image view's mode scales it.
    imageSlot.width = std::min(imageSlot.width, std::max(0.0, content.width()));
    imageSlot.height = std::min(imageSlot.height, std::max(0.0, content.height()));
    gfx::Size titleSlot = title.empty() ? gfx::Size{} : grow(m_titleLabel->singleLineSize(), m_titleInsets);
    // The title gives way to the image when both do not fit.
    titleSlot.width = std::min(titleSlot.width, std::max(0.0, content.width() - imageSlot.width));
    if (contentHorizontalAlignment() == ContentHorizontalAlignment::Fill && !title.empty())
        titleSlot.width = std::max(0.0, content.width() - imageSlot.width);

    double total = imageSlot.width + titleSlot.width;
    double x = content.midX() - total / 2;
    switch (contentHorizontalAlignment()) {
    case ContentHorizontalAlignment::Left:
    case ContentHorizontalAlignment::Fill: x = content.x(); break;
    case ContentHorizontalAlignment::Right: x = content.maxX() - total; break;
    case ContentHorizontalAlignment::Center: break;
    }
    auto slotY = [&](double& height) {
        switch (contentVerticalAlignment()) {
        case ContentVerticalAlignment::Top: return content.y();
        case ContentVerticalAlignment::Bottom: return content.maxY() - height;
        case ContentVerticalAlignment::Fill: height = content.height(); return content.y();
        case ContentVerticalAlignment::Center: break;
        }
        return content.midY() - height / 2;
    };
    double imageHeight = imageSlot.height, titleHeight = titleSlot.height;
    gfx::Rect imageRect(x, slotY(imageHeight), imageSlot.width, imageHeight);
    gfx::Rect titleRect(x + imageSlot.width, slotY(titleHeight), titleSlot.width, titleHeight);
    m_imageView->setFrame(imageRect.insetBy(m_imageInsets));
    m_titleLabel->setFrame(titleRect.insetBy(m_titleInsets));
}

gfx::Size Button::sizeThatFits(gfx::Size) const
{
    gfx::Image image = currentImage();
    std::string title = currentTitle();
    gfx::Size imageSlot = image ? grow(image.size(), m_imageInsets) : gfx::Size{};
    gfx::Size titleSlot = title.empty() ? gfx::Size{} : grow(m_titleLabel->singleLineSize(), m_titleInsets);
    gfx::Size size = grow({imageSlot.width + titleSlot.width, std::max(imageSlot.height, titleSlot.height)}, m_contentInsets);
    if (gfx::Image background = currentBackgroundImage()) {
        size.width = std::max(size.width, background.size().width);
        size.height = std::max(size.height, background.size().height);
    }
    return size;
}

void Button::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    if (gfx::Image background = m_pressedBackground ? m_pressedBackground : currentBackgroundImage()) {
        ctx.drawImage(background, b, contentAlpha());
        return;
    }
    if (m_type != ButtonType::RoundedRect)
        return;
    ctx.save();
    ctx.setAlpha(contentAlpha());
    gfx::Rect box = b.insetBy(0.5, 0.5);
    if (isHighlighted()) {
        ctx.save();
        ctx.clipToRoundedRect(box, kRoundedRectRadius);
        ctx.fillLinearGradient(box, {box.x(), box.y()}, {box.x(), box.maxY()},
                               {{0, gfx::Color::fromRgb(5, 140, 245)}, {1, gfx::Color::fromRgb(1, 93, 230)}});
        ctx.restore();
    } else {
        ctx.setFillColor(gfx::Color::white());
        ctx.fillRoundedRect(box, kRoundedRectRadius);
    }
    ctx.setStrokeColor(gfx::Color::fromWhite(isEnabled() ? 0.55 : 0.75));
    ctx.setLineWidth(1);
    ctx.strokeRoundedRect(box, kRoundedRectRadius);
    ctx.restore();
}

} // namespace ui
