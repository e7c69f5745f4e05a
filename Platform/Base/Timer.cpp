#include "Platform/Base/Timer.h"

#include "Platform/Base/RunLoop.h"

namespace base {

Timer::Timer(double interval, bool repeats, Callback callback)
    : m_interval(interval < 0 ? 0 : interval), m_repeats(repeats), m_callback(std::move(callback))
{
}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Callback callback)
{
    auto timer = std::shared_ptr<Timer>(new Timer(interval, repeats, std::move(callback)));
    // A repeating timer of zero interval would spin the loop; give it a floor.
    if (repeats && timer->m_interval < 0.0001)
        timer->m_interval = 0.0001;
    timer->m_fireTime = RunLoop::main().now() + timer->m_interval;
    RunLoop::main().schedule(timer);
    return timer;
}

void Timer::invalidate()
{
    if (!m_valid)
        return;
    m_valid = false;
    RunLoop::main().unschedule(this);
}

void Timer::fire()
{
    if (!m_valid)
        return;
    auto keep = shared_from_this();
    if (!m_repeats)
        invalidate();
    if (m_callback) {
        auto callback = m_callback;
        callback(*this);
    }
}

} // namespace base
