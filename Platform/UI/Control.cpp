#include "Platform/UI/Control.h"

#include "Platform/UI/Touch.h"

#include <algorithm>

namespace ui {

void Control::setEnabled(bool enabled)
{
    setNeedsDisplay();
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled) {
        m_trackingTouch = -1;
        m_touchInside = false;
        m_highlighted = false;
    }
    stateDidChange();
}

void Control::setSelected(bool selected)
{
    setNeedsDisplay();
    if (selected == m_selected)
        return;
    m_selected = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted)
{
    setNeedsDisplay();
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    stateDidChange();
}

unsigned Control::state() const
{
    unsigned s = ControlStateNormal;
    if (m_highlighted)
        s |= ControlStateHighlighted;
    if (!m_enabled)
        s |= ControlStateDisabled;
    if (m_selected)
        s |= ControlStateSelected;
    return s;
}

void Control::setContentHorizontalAlignment(ContentHorizontalAlignment a)
{
    setNeedsDisplay();
    m_horizontal = a;
    setNeedsLayout();
}

void Control::setContentVerticalAlignment(ContentVerticalAlignment a)
{
    setNeedsDisplay();
    m_vertical = a;
    setNeedsLayout();
}

int Control::addTarget(Action action, unsigned events)
{
    int id = m_nextTargetId++;
    m_targets.push_back({id, events, std::move(action)});
    return id;
}

void Control::removeTarget(int id)
{
    std::erase_if(m_targets, [id](const Target& t) { return t.id == id; });
}

void Control::removeTargets(unsigned events)
{
    for (auto& t : m_targets)
        t.events &= ~events;
    std::erase_if(m_targets, [](const Target& t) { return t.events == 0; });
}

bool Control::hasTargetsForEvents(unsigned events) const
{
    return std::any_of(m_targets.begin(), m_targets.end(), [events](const Target& t) { return t.events & events; });
}

void Control::sendActionsForControlEvents(unsigned events)
{
    // An action may remove targets or release this control; work on copies and keep it alive.
    auto keep = weak_from_this().lock();
    std::vector<std::pair<int, Action>> due;
    for (auto& t : m_targets)
        if (t.events & events)
            due.emplace_back(t.id, t.action);
    for (auto& [id, action] : due) {
        bool stillThere = std::any_of(m_targets.begin(), m_targets.end(), [id = id](const Target& t) { return t.id == id; });
        if (stillThere)
            action(*this);
    }
}

bool Control::isInsideWithTolerance(gfx::Point point) const
{
    return bounds().insetBy(-kTrackingTolerance, -kTrackingTolerance).contains(point);
}

Touch* Control::trackedTouch(const std::vector<Touch*>& touches) const
{
    for (Touch* t : touches)
        if (t->identifier() == m_trackingTouch)
            return t;
    return nullptr;
}

void Control::touchesBegan(const std::vector<Touch*>& touches, Event& event)
{
    if (!m_enabled) {
        View::touchesBegan(touches, event);
        return;
    }
    if (isTracking() || touches.empty())
        return;
    Touch* touch = touches.front();
    auto keep = weak_from_this().lock();
    gfx::Point p = touch->locationInView(this);
    if (!beginTracking(p, *touch))
        return;
    m_trackingTouch = touch->identifier();
    m_touchInside = true;
    setHighlighted(true);
    unsigned events = ControlEventTouchDown;
    if (touch->tapCount() > 1)
        events |= ControlEventTouchDownRepeat;
    sendActionsForControlEvents(events);
}

void Control::touchesMoved(const std::vector<Touch*>& touches, Event& event)
{
    Touch* touch = trackedTouch(touches);
    if (!touch) {
        if (!m_enabled)
            View::touchesMoved(touches, event);
        return;
    }
    auto keep = weak_from_this().lock();
    gfx::Point p = touch->locationInView(this);
    m_touchInside = isInsideWithTolerance(p);
    setHighlighted(m_touchInside);
    continueTracking(p, *touch);
    if (isTracking())
        sendActionsForControlEvents(m_touchInside ? ControlEventTouchDragInside : ControlEventTouchDragOutside);
}

void Control::touchesEnded(const std::vector<Touch*>& touches, Event& event)
{
    Touch* touch = trackedTouch(touches);
    if (!touch) {
        if (!m_enabled)
            View::touchesEnded(touches, event);
        return;
    }
    auto keep = weak_from_this().lock();
    gfx::Point p = touch->locationInView(this);
    bool inside = isInsideWithTolerance(p);
    m_trackingTouch = -1;
    m_touchInside = false;
    setHighlighted(false);
    endTracking(p, inside);
    sendActionsForControlEvents(inside ? ControlEventTouchUpInside : ControlEventTouchUpOutside);
}

void Control::touchesCancelled(const std::vector<Touch*>& touches, Event& event)
{
    if (!trackedTouch(touches)) {
        if (!m_enabled)
            View::touchesCancelled(touches, event);
        return;
    }
    auto keep = weak_from_this().lock();
    m_trackingTouch = -1;
    m_touchInside = false;
    setHighlighted(false);
    cancelTracking();
    sendActionsForControlEvents(ControlEventTouchCancel);
}

} // namespace ui
