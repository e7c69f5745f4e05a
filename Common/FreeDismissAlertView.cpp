#include "Common/FreeDismissAlertView.h"

FreeDismissAlertViewCover::FreeDismissAlertViewCover() : ui::View(gfx::Rect(0, 0, 1024, 768))
{
    setUserInteractionEnabled(true);
    setBackgroundColor(gfx::Color::clear());
    // The least alpha that still takes touches.
    setAlpha(0.01);
}

bool FreeDismissAlertViewCover::pointInside(gfx::Point point) const
{
    auto alert = m_delegate.lock();
    if (!alert)
        return true;
    return !alert->frame().contains(convertPointToView(point, alert->superview()));
}

void FreeDismissAlertViewCover::touchesBegan(const std::vector<ui::Touch*>&, ui::Event&)
{
    auto keep = sharedView();
    removeFromSuperview();
    if (auto alert = m_delegate.lock())
        alert->dismissWithClickedButtonIndex(0, true);
}

void FreeDismissAlertView::show()
{
    m_coverWanted = true;
    ui::AlertView::show();
}

void FreeDismissAlertView::didMoveToSuperview()
{
    ui::AlertView::didMoveToSuperview();
    // The cover joins the alert where it is shown, also when the alert had to wait its turn.
    if (!m_coverWanted || !superview())
        return;
    m_coverWanted = false;
    auto cover = ui::View::make<FreeDismissAlertViewCover>();
    cover->setDelegate(std::static_pointer_cast<ui::AlertView>(sharedView()));
    superview()->addSubview(cover);
}
