#include "Classes/Library/LibraryDetailCell.h"

#include "Common/PublicFunction.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/ProgressView.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/Touch.h"

namespace {
std::shared_ptr<ui::ImageView> imageView(const gfx::Rect& frame)
{
    auto view = std::make_shared<ui::ImageView>(frame);
    view->setBackgroundColor(gfx::Color::clear());
    view->setOpaque(false);
    return view;
}

std::shared_ptr<ui::Label> label(const gfx::Rect& frame, double size, gfx::Color colour)
{
    auto view = std::make_shared<ui::Label>(frame);
    view->setBackgroundColor(gfx::Color::clear());
    view->setFont(gfx::Font("HelveticaNeue-Bold", size));
    view->setTextColor(colour);
    return view;
}
} // namespace

namespace {
// The card's spine takes its first 22 points.
constexpr double kTextLeft = 28;
}

gfx::Rect LibraryDetailCell::titleFrame(bool besideInfoButton)
{
    return {kTextLeft, 172, besideInfoButton ? 105.0 : 140.0, 38};
}

LibraryDetailCell::LibraryDetailCell(const gfx::Rect& frame, const std::string& reuseIdentifier)
    : BRGridViewCell(frame, reuseIdentifier)
{
    double w = frame.width();
    double h = frame.height();
    setBackgroundColor(gfx::Color::clear());
    setOpaque(false);
    setSelectionStyle(SelectionStyleNone);
    auto content = contentView();
    content->setBackgroundColor(gfx::Color::clear());
    content->setOpaque(false);
    if (backgroundView())
        backgroundView()->setHidden(true);

    m_shakingView = ui::View::make(gfx::Rect(0, 0, w, h));
    m_shakingView->setBackgroundColor(gfx::Color::clear());
    m_shakingView->setOpaque(false);
    content->addSubview(m_shakingView);

    m_backGroundImageView = imageView({0, 0, w, h});
    m_shakingView->addSubview(m_backGroundImageView);
    m_fileImageView = imageView({35, 25, 110, 147});
    m_fileImageView->setAutoresizingMask(ui::AutoresizingFlexibleLeftMargin | ui::AutoresizingFlexibleRightMargin);
    m_fileImageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    m_shakingView->addSubview(m_fileImageView);

    m_titleLabel = label(titleFrame(false), 15, gfx::Color::fromRgb(128, 128, 128));
    m_titleLabel->setNumberOfLines(2);
    m_titleLabel->setLineBreakMode(gfx::LineBreakMode::TruncateTail);
    m_shakingView->addSubview(m_titleLabel);
    m_formatLabel = label({kTextLeft, h - 28, 100, 17}, 13, gfx::Color::fromRgb(170, 170, 170));
    m_shakingView->addSubview(m_formatLabel);

    m_infoButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect{w - 50, h - 50, 50, 50});
    m_infoButton->setImage(ui::imageNamed("icon_i.png"));
    m_infoButton->setImage(ui::imageNamed("icon_i_on.png"), ui::ControlStateHighlighted);
    m_infoButton->setImageEdgeInsets({13, 13, 14, 14});
    m_infoButton->addTarget(
        [this](ui::Control&) {
            if (m_detailDelegate)
                m_detailDelegate->didSelectedInfoButton(m_file);
        },
        ui::ControlEventTouchUpInside);
    m_shakingView->addSubview(m_infoButton);

    m_progressView = std::make_shared<ui::ProgressView>(ui::ProgressViewStyle::Bar, gfx::Rect{20, 170, w - 40, 20});
    m_progressView->setHidden(true);
    m_pauseView = imageView({0, 0, w, h});
    m_pauseView->setAlpha(0.8);
    m_pauseView->setHidden(true);
    m_downloadingLabel = label({10, h - 30, w - 20, 20}, 13, gfx::Color::white());
    m_downloadingLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_pauseView->addSubview(m_downloadingLabel);
    m_shakingView->addSubview(m_pauseView);
    m_shakingView->addSubview(m_progressView);

    m_markImageView = imageView({w - 30, 20, 20, 20});
    m_shakingView->addSubview(m_markImageView);
    m_ribbonView = imageView({4, 1, 83, 72});
    m_shakingView->addSubview(m_ribbonView);

    // Outside the holder, so the delete button stays put while the tile wiggles.
    m_deleteButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect{-20, -20, 60, 60});
    m_deleteButton->setImage(ui::imageNamed("file-del.png"));
    m_deleteButton->setImageEdgeInsets({15, 15, 15, 15});
    m_deleteButton->setHidden(true);
    m_deleteButton->addTarget(
        [this](ui::Control&) {
            if (m_detailDelegate)
                m_detailDelegate->didSelectedDeleteButton(m_file);
        },
        ui::ControlEventTouchUpInside);
    content->addSubview(m_deleteButton);

    m_longPress = std::make_shared<ui::LongPressGestureRecognizer>();
    m_longPress->setMinimumPressDuration(kLongPressSeconds);
    m_longPress->addTarget([this](ui::GestureRecognizer& recognizer) {
        if (recognizer.state() == ui::GestureRecognizer::State::Began && m_detailDelegate)
            m_detailDelegate->didCellLongPressed();
    });
    m_shakingView->addGestureRecognizer(m_longPress);

    m_tap = std::make_shared<ui::TapGestureRecognizer>();
    m_tap->setDelegate(this);
    m_tap->addTarget([this](ui::GestureRecognizer&) {
        if (m_detailDelegate)
            m_detailDelegate->didSelectedCell(m_file, m_cellIndex);
    });
    content->addGestureRecognizer(m_tap);
}

bool LibraryDetailCell::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch)
{
    for (ui::View* view = touch.view(); view; view = view->superview()) {
        if (dynamic_cast<ui::Button*>(view))
            return false;
        if (view == this)
            break;
    }
    return true;
}

void LibraryDetailCell::setShaking(bool shaking)
{
    if (shaking == m_shaking)
        return;
    m_shaking = shaking;
    PublicFunction::setViewShakingShaking(m_shakingView.get(), shaking);
}
