#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace base {

class Timer;

// The main run loop: posted tasks in one FIFO queue, timers on a monotonic clock. Tests switch
// it to a manual clock that only moves when they advance it.
class RunLoop {
public:
    using Task = std::function<void()>;

    // The loop of the main thread: the thread that first asks for it.
    static RunLoop& main();
    static bool isMainThread();

    // Any thread; tasks run on the loop's thread in the order posted.
    void post(Task task);

    // Seconds on the loop's clock (monotonic; manual when a test asks for it).
    double now() const;
    void setManualClock(bool manual);
    bool isManualClock() const;
    // Manual clock: moves time forward step by step, firing every timer due on the way.
    // A fixed wall clock (Date::setFixedNow) moves along with it.
    void advance(double seconds);

    // Runs tasks and timers until the predicate holds or `timeout` seconds of loop time pass.
    // With the manual clock, idle time jumps to the next timer instead of waiting.
    bool runUntil(const std::function<bool()>& predicate, double timeout);
    // Runs for `seconds` of loop time.
    void runFor(double seconds);
    // Runs what is ready now (posted tasks, due timers) without waiting; answers whether
    // anything ran.
    bool runPending();
    // Runs until quit().
    void run();
    void quit();

private:
    friend class Timer;
    RunLoop();
    void schedule(const std::shared_ptr<Timer>& timer);
    void unschedule(const Timer* timer);
    bool runReadyTasks();
    bool fireDueTimers();
    std::optional<double> nextTimerTime() const;
    void waitForWork(double untilLoopTime);
    void setNow(double t);

    std::thread::id m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    // Ordered by fire time, then by scheduling order.
    std::map<std::pair<double, uint64_t>, std::shared_ptr<Timer>> m_timers;
    uint64_t m_timerSequence = 0;
    bool m_manual = false;
    double m_manualNow = 0;
    bool m_quit = false;
};

// Runs `task` on the main loop: inline when already on the main thread, else posted; with
// `wait`, blocks the caller until it has run.
void performOnMain(std::function<void()> task, bool wait = false);

} // namespace base
