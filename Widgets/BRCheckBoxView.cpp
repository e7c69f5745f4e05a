#include "Widgets/BRCheckBoxView.h"

#include "Common/SkinManager.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Touch.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kHeight = 36;
// A skin's box may be larger than the application's own, but not far larger than any box: one
// over a quarter of the screen is left out, as a picture that cannot be read is.
constexpr gfx::Size kLargestBoxPicture{1024 / 2, 768 / 2};
}

BRCheckBoxView::BRCheckBoxView(const gfx::Rect& frame, int style, bool checked)
    : ui::View(gfx::Rect(frame.x(), frame.y(), frame.width(), kHeight)), m_style(style), m_checked(checked)
{
    setUserInteractionEnabled(true);
    setBackgroundColor(gfx::Color::clear());

    m_textLabel = std::make_shared<ui::Label>(gfx::Rect(32, 7, frame.width() - 32, 20));
    m_textLabel->setTextAlignment(gfx::TextAlignment::Left);
    m_textLabel->setBackgroundColor(gfx::Color::clear());
    m_textLabel->setFont(gfx::Font("Helvetica-Bold", 15));
    m_textLabel->setTextColor(gfx::Color::darkGray());
    m_textLabel->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    m_textLabel->setShadowColor(gfx::Color::white());
    m_textLabel->setShadowOffset(gfx::Size{0, 1});
    addSubview(m_textLabel);

    m_checkBoxImageView = std::make_shared<ui::ImageView>(gfx::Rect());
    addSubview(m_checkBoxImageView);
    showImage();
}

gfx::Image BRCheckBoxView::checkBoxImageForStyle(int style, bool checked)
{
    static const char* const kPrefixes[] = {"cb_box_", "cb_dark_", "cb_glossy_", "cb_green_", "cb_mono_"};
    if (style < 0 || style > 4)
        return {};
    return SkinManager::skinFromImageName(std::string(kPrefixes[style]) + (checked ? "on" : "off"), kLargestBoxPicture);
}

gfx::Rect BRCheckBoxView::imageViewFrameForCheckBoxImage(const gfx::Image& image)
{
    gfx::Size size = image.isNull() ? gfx::Size{0, 0} : image.size();
    return gfx::Rect(5, std::floor((kHeight - size.height) / 2), size.width, size.height);
}

void BRCheckBoxView::showImage()
{
    m_checkBoxImageView->setImage(checkBoxImageForStyle(m_style, m_checked));
    m_checkBoxImageView->setNeedsDisplay();
    placeImage();
}

void BRCheckBoxView::placeImage()
{
    gfx::Rect box = imageViewFrameForCheckBoxImage(m_checkBoxImageView->image());
    m_checkBoxImageView->setFrame(box);
    // A skin's larger box moves its text along instead of covering the first letters.
    double textX = std::max(32.0, box.maxX() + 3);
    m_textLabel->setFrame(gfx::Rect(textX, 7, std::max(0.0, bounds().width() - textX), 20));
}

void BRCheckBoxView::layoutSubviews()
{
    ui::View::layoutSubviews();
    // A skin picture on its way measured what its header said; one that ends as its stand-in
    // measures the stand-in's size, and the box and its text follow.
    placeImage();
}

void BRCheckBoxView::setChecked(bool checked)
{
    m_checked = checked;
    showImage();
}

void BRCheckBoxView::setEnabled(bool enabled)
{
    m_enabled = enabled;
    m_textLabel->setTextColor(enabled ? gfx::Color::darkGray() : gfx::Color::gray());
    m_checkBoxImageView->setAlpha(enabled ? 1.0 : 0.6);
}

void BRCheckBoxView::setText(const std::string& text)
{
    m_textLabel->setText(text);
}

void BRCheckBoxView::setStateChangedTargetSelector(std::weak_ptr<void> target, StateChanged selector)
{
    m_hasTarget = !target.expired() && selector;
    m_target = std::move(target);
    m_stateChangedSelector = std::move(selector);
}

void BRCheckBoxView::touchesBegan(const std::vector<ui::Touch*>&, ui::Event&)
{
    if (!m_enabled)
        return;
    setAlpha(0.8);
}

void BRCheckBoxView::touchesCancelled(const std::vector<ui::Touch*>&, ui::Event&)
{
    if (!m_enabled)
        return;
    setAlpha(1);
}

void BRCheckBoxView::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event&)
{
    if (!m_enabled)
        return;
    setAlpha(1);
    ui::View* parent = superview();
    if (!parent || touches.empty())
        return;
    gfx::Point point = touches.front()->locationInView(parent);
    gfx::Rect f = frame();
    // Generous above and to the left, where a finger covering the box lands.
    gfx::Rect area(f.x() - 5, f.y() - 10, f.width() + 5, f.height() + 10);
    if (!area.contains(point))
        return;
    setChecked(!m_checked);
    if (m_hasTarget && m_stateChangedSelector) {
        // A target that has gone away is not called, and the block does not stand in for it.
        if (auto target = m_target.lock())
            m_stateChangedSelector(*this);
    } else if (m_stateChangedBlock) {
        m_stateChangedBlock(*this);
    }
}
