#include "Platform/Base/RunLoop.h"

#include "Platform/Base/Date.h"
#include "Platform/Base/Timer.h"

#include <chrono>
#include <cmath>
#include <future>
#include <vector>

namespace base {

namespace {
double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
// Real time we are willing to block waiting for another thread while the clock is manual.
constexpr double kManualIdleWait = 1.0;
// Predicates may watch state that other threads change without posting; look again this often.
constexpr double kPollInterval = 0.005;
}


// Static initialisation runs on the process's main thread, whichever thread first asks for
// the loop later.
const std::thread::id g_processMainThread = std::this_thread::get_id();

RunLoop::RunLoop() : m_thread(g_processMainThread) {}

RunLoop& RunLoop::main()
{
    static RunLoop* loop = new RunLoop(); // lives for the whole process; threads may post late
    return *loop;
}

bool RunLoop::isMainThread()
{
    return std::this_thread::get_id() == main().m_thread;
}

void RunLoop::post(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_all();
}

double RunLoop::now() const
{
    std::lock_guard lock(m_mutex);
    return m_manual ? m_manualNow : steadySeconds();
}

void RunLoop::setManualClock(bool manual)
{
    std::lock_guard lock(m_mutex);
    if (manual == m_manual)
        return;
    // Keep time continuous so scheduled timers keep their distance from now.
    double current = m_manual ? m_manualNow : steadySeconds();
    m_manual = manual;
    m_manualNow = current;
    if (!manual) {
        double shift = steadySeconds() - current;
        std::map<std::pair<double, uint64_t>, std::shared_ptr<Timer>> moved;
        for (auto& [key, timer] : m_timers) {
            timer->m_fireTime += shift;
            moved.emplace(std::make_pair(timer->m_fireTime, key.second), timer);
        }
        m_timers.swap(moved);
    }
}

bool RunLoop::isManualClock() const
{
    std::lock_guard lock(m_mutex);
    return m_manual;
}

void RunLoop::setNow(double t)
{
    double delta = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_manual || t <= m_manualNow)
            return;
        delta = t - m_manualNow;
        m_manualNow = t;
    }
    Date::advanceFixedNow(delta);
}

void RunLoop::advance(double seconds)
{
    double target = now() + seconds;
    runReadyTasks();
    for (;;) {
        auto next = nextTimerTime();
        if (!next || *next > target)
            break;
        setNow(*next);
        fireDueTimers();
        runReadyTasks();
    }
    setNow(target);
    fireDueTimers();
    runReadyTasks();
}

void RunLoop::schedule(const std::shared_ptr<Timer>& timer)
{
    std::lock_guard lock(m_mutex);
    timer->m_sequence = ++m_timerSequence;
    m_timers.emplace(std::make_pair(timer->m_fireTime, timer->m_sequence), timer);
}

void RunLoop::unschedule(const Timer* timer)
{
    std::lock_guard lock(m_mutex);
    auto it = m_timers.find(std::make_pair(timer->m_fireTime, timer->m_sequence));
    if (it != m_timers.end() && it->second.get() == timer)
        m_timers.erase(it);
}

std::optional<double> RunLoop::nextTimerTime() const
{
    std::lock_guard lock(m_mutex);
    if (m_timers.empty())
        return std::nullopt;
    return m_timers.begin()->first.first;
}

bool RunLoop::runReadyTasks()
{
    // Only what is queued now: tasks posted while running wait for the next round, so a task
    // that reposts itself cannot starve timers.
    std::deque<Task> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_tasks);
    }
    for (auto& task : batch)
        task();
    return !batch.empty();
}

bool RunLoop::fireDueTimers()
{
    double current = now();
    std::vector<std::shared_ptr<Timer>> due;
    {
        std::lock_guard lock(m_mutex);
        while (!m_timers.empty() && m_timers.begin()->first.first <= current) {
            due.push_back(m_timers.begin()->second);
            m_timers.erase(m_timers.begin());
        }
    }
    for (auto& timer : due) {
        if (!timer->m_valid)
            continue;
        if (timer->m_repeats) {
            // Next fire time on the original grid, skipping missed beats.
            double next = timer->m_fireTime + timer->m_interval;
            if (timer->m_interval > 0 && next <= current)
                next += timer->m_interval * std::floor((current - next) / timer->m_interval + 1);
            timer->m_fireTime = next > current ? next : current + timer->m_interval;
            schedule(timer);
        } else {
            timer->m_valid = false;
        }
        if (timer->m_callback) {
            auto callback = timer->m_callback; // the callback may invalidate and release the timer
            callback(*timer);
        }
    }
    return !due.empty();
}

bool RunLoop::runPending()
{
    bool ran = runReadyTasks();
    ran = fireDueTimers() || ran;
    return ran;
}

void RunLoop::waitForWork(double untilLoopTime)
{
    std::unique_lock lock(m_mutex);
    if (!m_tasks.empty() || m_quit)
        return;
    double wait;
    if (m_manual) {
        wait = kPollInterval;
    } else {
        wait = std::min(kPollInterval, untilLoopTime - steadySeconds());
        if (!m_timers.empty())
            wait = std::min(wait, m_timers.begin()->first.first - steadySeconds());
    }
    if (wait <= 0)
        return;
    m_wake.wait_for(lock, std::chrono::duration<double>(wait),
                    [this] { return !m_tasks.empty() || m_quit; });
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeout)
{
    double deadline = now() + timeout;
    double idleSince = -1;
    for (;;) {
        if (runPending())
            idleSince = -1;
        if (predicate())
            return true;
        if (now() >= deadline)
            return false;
        {
            std::lock_guard lock(m_mutex);
            if (!m_tasks.empty())
                continue;
        }
        if (isManualClock()) {
            auto next = nextTimerTime();
            if (next && *next <= deadline) {
                setNow(*next);
                continue;
            }
            // Nothing scheduled before the deadline: only another thread can make progress.
            if (idleSince < 0)
                idleSince = steadySeconds();
            if (steadySeconds() - idleSince < kManualIdleWait) {
                waitForWork(deadline);
                continue;
            }
            setNow(deadline);
            runPending();
            return predicate();
        } else {
            waitForWork(deadline);
        }
    }
}

void RunLoop::runFor(double seconds)
{
    runUntil([] { return false; }, seconds);
}

void RunLoop::run()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = false;
    }
    for (;;) {
        runPending();
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                return;
        }
        if (isManualClock()) {
            auto next = nextTimerTime();
            if (next) {
                setNow(*next);
                continue;
            }
        }
        std::unique_lock lock(m_mutex);
        if (!m_tasks.empty() || m_quit)
            continue;
        if (m_manual)
            m_wake.wait(lock, [this] { return !m_tasks.empty() || m_quit; });
        else if (m_timers.empty())
            m_wake.wait(lock, [this] { return !m_tasks.empty() || m_quit; });
        else
            m_wake.wait_for(lock, std::chrono::duration<double>(std::max(0.0, m_timers.begin()->first.first - steadySeconds())),
                            [this] { return !m_tasks.empty() || m_quit; });
    }
}

void RunLoop::quit()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
}

void performOnMain(std::function<void()> task, bool wait)
{
    if (RunLoop::isMainThread()) {
        task();
        return;
    }
    if (!wait) {
        RunLoop::main().post(std::move(task));
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    RunLoop::main().post([&task, &done] {
        task();
        done.set_value();
    });
    finished.wait();
}

} // namespace base
