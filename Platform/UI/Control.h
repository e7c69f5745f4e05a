#pragma once
#include "Platform/UI/View.h"

#include <functional>
#include <vector>

namespace ui {

// Control events, combinable as flags.
enum ControlEvent : unsigned {
    ControlEventTouchDown = 1 << 0,
    ControlEventTouchDownRepeat = 1 << 1,
    ControlEventTouchDragInside = 1 << 2,
    ControlEventTouchDragOutside = 1 << 3,
    ControlEventTouchUpInside = 1 << 4,
    ControlEventTouchUpOutside = 1 << 5,
    ControlEventTouchCancel = 1 << 6,
    ControlEventValueChanged = 1 << 7,
    ControlEventEditingDidBegin = 1 << 8,
    ControlEventEditingChanged = 1 << 9,
    ControlEventEditingDidEnd = 1 << 10,
    ControlEventEditingDidEndOnExit = 1 << 11,
    ControlEventAllTouchEvents = 0x7f,
    ControlEventAllEditingEvents = 0xf00,
    ControlEventAll = 0xfff,
};

// Control states, combinable; per-state values fall back to Normal.
enum ControlState : unsigned {
    ControlStateNormal = 0,
    ControlStateHighlighted = 1 << 0,
    ControlStateDisabled = 1 << 1,
    ControlStateSelected = 1 << 2,
};

enum class ContentHorizontalAlignment { Center, Left, Right, Fill };
enum class ContentVerticalAlignment { Center, Top, Bottom, Fill };

// A view that tracks its own touch and reports what happened as control events.
class Control : public View, public Highlightable {
public:
    using Action = std::function<void(Control&)>;

    Control() = default;
    explicit Control(const gfx::Rect& frame) : View(frame) {}
    const char* className() const override { return "Control"; }
    Highlightable* highlightable() override { return this; }
    bool isControl() const override { return true; }

    // How much of a disabled control's look is drawn, so that one that does nothing shows it.
    static constexpr double kDisabledAlpha = 0.4;

    bool isEnabled() const { return m_enabled; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const override { return m_highlighted; }
    void setHighlighted(bool highlighted) override;
    unsigned state() const;

    ContentHorizontalAlignment contentHorizontalAlignment() const { return m_horizontal; }
    void setContentHorizontalAlignment(ContentHorizontalAlignment a);
    ContentVerticalAlignment contentVerticalAlignment() const { return m_vertical; }
    void setContentVerticalAlignment(ContentVerticalAlignment a);

    // Returns an id for removeTarget; actions run in the order added.
    int addTarget(Action action, unsigned events);
    void removeTarget(int id);
    // Takes the events off every target; targets left with none are dropped.
    void removeTargets(unsigned events);
    bool hasTargetsForEvents(unsigned events) const;
    void sendActionsForControlEvents(unsigned events);

    bool isTracking() const { return m_trackingTouch >= 0; }
    bool isTouchInside() const { return m_touchInside; }

    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    void touchesCancelled(const std::vector<Touch*>& touches, Event& event) override;

    // How far outside its bounds a finger still counts as inside while tracking.
    static constexpr double kTrackingTolerance = 70;

protected:
    // Subclass hooks around the tracking; point is in this view's coordinates.
    // Returning false from beginTracking leaves the touch untracked.
    virtual bool beginTracking(gfx::Point point, const Touch& touch) { return true; }
    virtual void continueTracking(gfx::Point point, const Touch& touch) {}
    virtual void endTracking(gfx::Point point, bool inside) {}
    virtual void cancelTracking() {}
    // Called after any of enabled, selected or highlighted changes.
    virtual void stateDidChange() {}
    bool isInsideWithTolerance(gfx::Point point) const;

private:
    struct Target {
        int id;
        unsigned events;
        Action action;
    };
    Touch* trackedTouch(const std::vector<Touch*>& touches) const;

    bool m_enabled = true;
    bool m_selected = false;
    bool m_highlighted = false;
    ContentHorizontalAlignment m_horizontal = ContentHorizontalAlignment::Center;
    ContentVerticalAlignment m_vertical = ContentVerticalAlignment::Center;
    std::vector<Target> m_targets;
    int m_nextTargetId = 1;
    int m_trackingTouch = -1;
    bool m_touchInside = false;
};

} // namespace ui
