#pragma once
#include "Platform/Graphics/Geometry.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {

class View;
class Touch;
class Event;
class GestureRecognizer;

class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, Touch&) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) { return false; }
};

// Watches the touches of its view (and the view's descendants) before the view sees them.
// A recognized gesture cancels the view's touches when cancelsTouchesInView is on.
class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    enum class State { Possible, Began, Changed, Ended, Cancelled, Failed };
    using Action = std::function<void(GestureRecognizer&)>;

    virtual ~GestureRecognizer() = default;
    virtual const char* className() const { return "GestureRecognizer"; }

    void addTarget(Action action) { m_actions.push_back(std::move(action)); }
    State state() const { return m_state; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return m_cancelsTouchesInView; }
    void setCancelsTouchesInView(bool on) { m_cancelsTouchesInView = on; }
    void setDelegate(GestureRecognizerDelegate* delegate) { m_delegate = delegate; }
    GestureRecognizerDelegate* delegate() const { return m_delegate; }
    View* view() const { return m_view; }
    // Centroid of the tracked touches in `view`'s coordinates (the window's for null).
    gfx::Point locationInView(const View* view) const;
    size_t numberOfTouches() const { return m_touches.size(); }
    // Discrete gestures (tap, swipe) recognize in one step; continuous ones begin and change.
    bool isActive() const { return m_state == State::Began || m_state == State::Changed; }

    // Touch delivery, from the window.
    virtual void touchesBegan(const std::vector<Touch*>& touches, Event& event);
    virtual void touchesMoved(const std::vector<Touch*>& touches, Event& event);
    virtual void touchesEnded(const std::vector<Touch*>& touches, Event& event);
    virtual void touchesCancelled(const std::vector<Touch*>& touches, Event& event);
    virtual void reset();
    // The window asks before delivering a touch that begins on a control.
    virtual bool yieldsToControls() const { return false; }

    // Window bookkeeping.
    void setView(View* view) { m_view = view; }
    void forceFail() { m_state = State::Failed; }
    const std::vector<Touch*>& trackedTouches() const { return m_touches; }

protected:
    // Moves to a new state, asking the delegate before beginning, and calls the targets.
    void setState(State state);
    void track(const std::vector<Touch*>& touches);
    void untrack(const std::vector<Touch*>& touches);

private:
    State m_state = State::Possible;
    bool m_enabled = true;
    bool m_cancelsTouchesInView = true;
    GestureRecognizerDelegate* m_delegate = nullptr;
    View* m_view = nullptr;
    std::vector<Action> m_actions;
    std::vector<Touch*> m_touches;
    gfx::Point m_lastLocation;
};

} // namespace ui
