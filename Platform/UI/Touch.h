#pragma once
#include "Platform/Graphics/Geometry.h"

#include <memory>
#include <vector>

namespace ui {

class View;
class Window;
class GestureRecognizer;

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

// One finger on the screen, from touch down to lift.
class Touch {
public:
    Touch(int id, gfx::Point windowPoint, double timestamp);

    int identifier() const { return m_id; }
    TouchPhase phase() const { return m_phase; }
    int tapCount() const { return m_tapCount; }
    double timestamp() const { return m_timestamp; }
    // The view hit when the touch began; it keeps the touch when the finger moves away.
    View* view() const { return m_view.lock().get(); }
    std::shared_ptr<View> viewRef() const { return m_view.lock(); }

    gfx::Point locationInWindow() const { return m_location; }
    gfx::Point previousLocationInWindow() const { return m_previous; }
    // In `view`'s coordinates; in the window's when view is null.
    gfx::Point locationInView(const View* view) const;
    gfx::Point previousLocationInView(const View* view) const;

    // Driver and window use these.
    void setPhase(TouchPhase phase) { m_phase = phase; }
    void setTapCount(int count) { m_tapCount = count; }
    void moveTo(gfx::Point windowPoint, double timestamp);
    void setView(const std::shared_ptr<View>& view) { m_view = view; }
    std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() { return m_recognizers; }
    bool deliveredToView() const { return m_deliverToView; }
    void setDeliveredToView(bool deliver) { m_deliverToView = deliver; }

private:
    int m_id;
    TouchPhase m_phase = TouchPhase::Began;
    int m_tapCount = 1;
    double m_timestamp;
    gfx::Point m_location;
    gfx::Point m_previous;
    std::weak_ptr<View> m_view;
    std::vector<std::shared_ptr<GestureRecognizer>> m_recognizers;
    bool m_deliverToView = true;
};

// The touches of one input event: all fingers down at that moment.
class Event {
public:
    explicit Event(double timestamp) : m_timestamp(timestamp) {}
    double timestamp() const { return m_timestamp; }
    const std::vector<Touch*>& allTouches() const { return m_all; }
    std::vector<Touch*> touchesForView(const View* view) const;
    void setAllTouches(std::vector<Touch*> touches) { m_all = std::move(touches); }

private:
    double m_timestamp;
    std::vector<Touch*> m_all;
};

} // namespace ui
