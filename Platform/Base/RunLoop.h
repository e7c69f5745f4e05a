#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace base {

class Timer;

// A run loop of one thread: posted tasks in one FIFO queue, timers on a monotonic clock and
// file-descriptor readiness sources, all run on the loop's thread. Tests switch a loop to a
// manual clock that only moves when they advance it.
//
// Sources, timers and posted tasks belong to a mode; running the loop in a mode serves only
// what belongs to it (or to kCommonModes), so a private mode can run one job nested inside
// another without running anything else.
class RunLoop : public std::enable_shared_from_this<RunLoop> {
public:
    using Task = std::function<void()>;
    using Mode = std::string;
    static const Mode kDefaultMode;
    // Belongs to every mode.
    static const Mode kCommonModes;

    // Readiness reported to a watch; Hangup and Error come whatever was asked for.
    enum Event : unsigned { Readable = 1, Writable = 2, Hangup = 4, Error = 8 };
    using WatchId = uint64_t;
    using WatchCallback = std::function<void(int fd, unsigned events)>;

    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The loop of the process's main thread.
    static RunLoop& main();
    // The calling thread's loop, made on first use; it lives as long as the thread (or a
    // shared() reference).
    static RunLoop& current();
    static bool isMainThread();
    bool isCurrent() const { return std::this_thread::get_id() == m_thread; }
    std::shared_ptr<RunLoop> shared() { return shared_from_this(); }

    // Any thread; tasks run on the loop's thread in the order posted, in the given mode.
    void post(Task task);
    void post(Task task, const Mode& mode);

    // While one lives on a thread other than the loop's, what that thread posts to the loop is
    // held and handed over at its end in one go, in order: a burst of reports wakes the loop
    // once. Nothing inside may wait for the loop to run what it posted.
    class PostBatch {
    public:
        explicit PostBatch(RunLoop& loop);
        ~PostBatch();
        PostBatch(const PostBatch&) = delete;
        PostBatch& operator=(const PostBatch&) = delete;
        // Hands over what the calling thread's batches hold so far; they stay open. The loop
        // is woken now when `wake`, else when the batch ends.
        static void handOverHeld(bool wake = false);

    private:
        friend class RunLoop;
        // Hands over what this batch holds and wakes the loop; the batch stays open.
        void handOver();
        RunLoop* m_loop;
        PostBatch* m_outer;
        std::vector<std::pair<Task, Mode>> m_held;
    };

    // Any thread. The callback runs on the loop's thread while the fd is ready for one of
    // `events` (level-triggered). A watch whose fd turns out closed gets Error and is removed.
    WatchId addWatch(int fd, unsigned events, WatchCallback callback, const Mode& mode = kDefaultMode);
    void updateWatch(WatchId id, unsigned events);
    // After removal from the loop's own thread the callback never runs again.
    void removeWatch(WatchId id);

    // Seconds on the loop's clock (monotonic; manual when a test asks for it).
    double now() const;
    void setManualClock(bool manual);
    bool isManualClock() const;
    // Manual clock: moves time forward step by step, firing every timer due on the way.
    // On the main loop a fixed wall clock (Date::setFixedNow) moves along with it.
    void advance(double seconds);

    // Runs tasks, timers and sources of `mode` until the predicate holds or `timeout` seconds
    // of loop time pass. With the manual clock, idle time jumps to the next timer instead of
    // waiting. May be nested.
    bool runUntil(const std::function<bool()>& predicate, double timeout, const Mode& mode = kDefaultMode);
    // Runs for `seconds` of loop time.
    void runFor(double seconds);
    // Runs what is ready now (posted tasks, due timers, ready sources) without waiting;
    // answers whether anything ran.
    bool runPending(const Mode& mode = kDefaultMode);
    // Runs in the default mode until quit(). A quit() that comes before run() starts is kept.
    void run();
    void quit();
    // The mode of the innermost run in progress (the default mode when none).
    Mode currentMode() const;

    // For a loop that sleeps in another system's wait (a window's event queue): seconds until
    // the default mode has work, 0 with a task queued, nothing with no timer either.
    std::optional<double> secondsUntilWork() const;
    // Runs on the posting thread whenever another thread posts a task or schedules a timer,
    // so that such a wait can be cut short. Empty to remove.
    void setWakeHandler(std::function<void()> handler);

private:
    friend class Timer;
    explicit RunLoop(std::thread::id thread);
    struct QueuedTask {
        Task task;
        Mode mode;
    };
    struct Watch {
        int fd;
        unsigned events;
        Mode mode;
        std::shared_ptr<WatchCallback> callback;
    };

    static bool inMode(const Mode& entry, const Mode& running);
    void schedule(const std::shared_ptr<Timer>& timer);
    void unschedule(const Timer* timer);
    bool runReadyTasks(const Mode& mode);
    bool fireDueTimers(const Mode& mode);
    bool hasReadyTaskLocked(const Mode& mode) const;
    std::optional<double> nextTimerTime(const Mode& mode) const;
    std::optional<double> nextTimerTimeLocked(const Mode& mode) const;
    // Waits for a post, a source or the next timer, at most until `untilLoopTime` and at
    // most `maxWait` real seconds; serves ready sources. Answers whether a source ran.
    bool waitForWork(double untilLoopTime, double maxWait, const Mode& mode);
    bool pollSources(double waitSeconds, const Mode& mode);
    void wakeLocked();
    void setNow(double t);
    bool takeQuit();

    struct ModeScope;

    std::thread::id m_thread;
    int m_wakeFd = -1;
    mutable std::mutex m_mutex;
    std::deque<QueuedTask> m_tasks;
    // Ordered by fire time, then by scheduling order.
    std::map<std::pair<double, uint64_t>, std::shared_ptr<Timer>> m_timers;
    uint64_t m_timerSequence = 0;
    std::map<WatchId, Watch> m_watches;
    WatchId m_nextWatch = 1;
    bool m_polling = false;
    bool m_manual = false;
    double m_manualNow = 0;
    bool m_quit = false;
    std::function<void()> m_wakeHandler;
    std::vector<Mode> m_modes; // loop thread only
};

// Runs `task` on the main loop: inline when already on the main thread, else posted; with
// `wait`, blocks the caller until it has run.
void performOnMain(std::function<void()> task, bool wait = false);

} // namespace base
