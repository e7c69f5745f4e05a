#pragma once
#include "Platform/Base/RunLoop.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace base {

// A timer on a run loop (the main loop unless another is named). The loop keeps a scheduled
// timer alive until it is invalidated or, when not repeating, has fired.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);
    // On `loop`, firing only while it runs in `mode` (or any mode for kCommonModes).
    static std::shared_ptr<Timer> scheduledOn(RunLoop& loop, double interval, bool repeats, Callback callback,
                                              const RunLoop::Mode& mode = RunLoop::kDefaultMode);
    ~Timer();

    // Any thread.
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
    std::weak_ptr<RunLoop> m_loop;
    RunLoop::Mode m_mode = RunLoop::kDefaultMode;
    double m_fireTime = 0;
    uint64_t m_sequence = 0;
    std::atomic<bool> m_valid{true};
};

} // namespace base
