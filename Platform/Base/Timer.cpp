#include "Platform/Base/Timer.h"

namespace base {

Timer::Timer(double interval, bool repeats, Callback callback)
    : m_interval(interval < 0 ? 0 : interval), m_repeats(repeats), m_callback(std::move(callback))
{
}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Callback callback)
{
    return scheduledOn(RunLoop::main(), interval, repeats, std::move(callback));
}

std::shared_ptr<Timer> Timer::scheduledOn(RunLoop& loop, double interval, bool repeats, Callback callback,
                                          const RunLoop::Mode& mode)
{
    auto timer = std::shared_ptr<Timer>(new Timer(interval, repeats, std::move(callback)));
    // A repeating timer of zero interval would spin the loop; give it a floor.
    if (repeats && timer->m_interval < 0.0001)
        timer->m_interval = 0.0001;
    timer->m_loop = loop.shared();
    timer->m_mode = mode;
    timer->m_fireTime = loop.now() + timer->m_interval;
    loop.schedule(timer);
    return timer;
}

void Timer::invalidate()
{
    if (!m_valid.exchange(false))
        return;
    if (auto loop = m_loop.lock())
        loop->unschedule(this);
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
