#pragma once
#include <functional>
#include <memory>

namespace base {

// A timer on the main run loop. The loop keeps a scheduled timer alive until it is
// invalidated or, when not repeating, has fired.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);
    ~Timer();

    void invalidate();
    bool isValid() const { return m_valid; }
    // Fires now without changing the schedule.
    void fire();
    double interval() const { return m_interval; }
    bool repeats() const { return m_repeats; }
    double fireTime() const { return m_fireTime; }

private:
    friend class RunLoop;
    Timer(double interval, bool repeats, Callback callback);

    double m_interval;
    bool m_repeats;
    Callback m_callback;
    double m_fireTime = 0;
    uint64_t m_sequence = 0;
    bool m_valid = true;
};

} // namespace base
