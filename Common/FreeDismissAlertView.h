#pragma once
#include "Platform/UI/AlertView.h"

#include <memory>

// Lies under an alert, unseen, and takes the touches outside it.
class FreeDismissAlertViewCover : public ui::View {
public:
    FreeDismissAlertViewCover();
    const char* className() const override { return "FreeDismissAlertViewCover"; }

    std::weak_ptr<ui::AlertView> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<ui::AlertView> alert) { m_delegate = std::move(alert); }

    // Only outside the alert, so that the alert's own buttons stay reachable.
    bool pointInside(gfx::Point point) const override;
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    std::weak_ptr<ui::AlertView> m_delegate;
};

// An alert that a tap anywhere outside it closes: it leaves with index 0, as if dismissed by
// its owner, so none of its answers runs.
class FreeDismissAlertView : public ui::AlertView {
public:
    using ui::AlertView::AlertView;

    void show() override;
    void didMoveToSuperview() override;

private:
    bool m_coverWanted = false;
};
