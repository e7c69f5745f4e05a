#include "Platform/Base/RunLoop.h"
#include "Platform/Base/RunLoopTurns.h"

#include "Platform/Base/Date.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/Timer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <future>
#include <atomic>
#include <limits>
#include <optional>
#include <stdexcept>

namespace base {

namespace {
double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
// Real time we are willing to block waiting for another thread while the clock is manual:
// short when nothing is known to be under way, long while outside work is in flight (a bound
// only work that never ends reaches).
constexpr double kManualIdleWait = 1.0;
constexpr double kManualBusyWait = 60.0;
std::atomic<int> s_outsideWork{0};
// Predicates may watch state that other threads change without posting; look again this often.
constexpr double kPollInterval = 0.005;
// Rounds of posted tasks one turn of run() takes before it polls again.
constexpr int kRoundsPerTurn = 4;
constexpr double kForever = std::numeric_limits<double>::infinity();

thread_local std::shared_ptr<RunLoop> t_threadLoop;
}

const RunLoop::Mode RunLoop::kDefaultMode = "default";

void beginOutsideWork() { ++s_outsideWork; }
void endOutsideWork() { --s_outsideWork; }
int outsideWorkCount() { return s_outsideWork.load(); }
const RunLoop::Mode RunLoop::kCommonModes = "common";

// Static initialisation runs on the process's main thread, whichever thread first asks for
// the loop later.
const std::thread::id g_processMainThread = std::this_thread::get_id();

struct RunLoop::ModeScope {
    RunLoop& loop;
    ModeScope(RunLoop& l, const Mode& mode) : loop(l) { loop.m_modes.push_back(mode); }
    ~ModeScope() { loop.m_modes.pop_back(); }
};

RunLoop::RunLoop(std::thread::id thread) : m_thread(thread)
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        throw std::runtime_error("run loop: eventfd failed");
}

RunLoop::~RunLoop()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

RunLoop& RunLoop::main()
{
    // Lives for the whole process; threads may post late.
    static auto* loop = new std::shared_ptr<RunLoop>(new RunLoop(g_processMainThread));
    return **loop;
}

RunLoop& RunLoop::current()
{
    if (std::this_thread::get_id() == g_processMainThread)
        return main();
    if (!t_threadLoop)
        t_threadLoop = std::shared_ptr<RunLoop>(new RunLoop(std::this_thread::get_id()));
    return *t_threadLoop;
}

bool RunLoop::isMainThread()
{
    return std::this_thread::get_id() == g_processMainThread;
}

bool RunLoop::inMode(const Mode& entry, const Mode& running)
{
    return entry == kCommonModes || entry == running;
}

RunLoop::Mode RunLoop::currentMode() const
{
    return m_modes.empty() ? kDefaultMode : m_modes.back();
}

std::optional<double> RunLoop::secondsUntilWork() const
{
    std::lock_guard lock(m_mutex);
    if (hasReadyTaskLocked(kDefaultMode))
        return 0.0;
    auto next = nextTimerTimeLocked(kDefaultMode);
    if (!next)
        return std::nullopt;
    return std::max(0.0, *next - (m_manual ? m_manualNow : steadySeconds()));
}

void RunLoop::setWakeHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_mutex);
    m_wakeHandler = std::move(handler);
}

void RunLoop::wakeLocked()
{
    if (m_wakeHandler && !isCurrent())
        m_wakeHandler();
    // Only a loop blocked in poll() needs the nudge; one that is awake looks at the queue
    // before it blocks again.
    if (!m_polling)
        return;
    uint64_t one = 1;
    ssize_t n = ::write(m_wakeFd, &one, sizeof one);
    (void)n; // EAGAIN means the counter is already non-zero: the loop wakes anyway
}

void RunLoop::post(Task task)
{
    post(std::move(task), kDefaultMode);
}

namespace {
thread_local RunLoop::PostBatch* t_postBatch = nullptr;
}

void RunLoop::post(Task task, const Mode& mode)
{
    for (auto* batch = t_postBatch; batch; batch = batch->m_outer) {
        if (batch->m_loop == this) {
            batch->m_held.emplace_back(std::move(task), mode);
            return;
        }
    }
    std::lock_guard lock(m_mutex);
    m_tasks.push_back({std::move(task), mode});
    wakeLocked();
}

RunLoop::PostBatch::PostBatch(RunLoop& loop) : m_loop(loop.isCurrent() ? nullptr : &loop), m_outer(t_postBatch)
{
    t_postBatch = this;
}

void RunLoop::PostBatch::handOverHeld(bool wake)
{
    // Outer batches hold what was posted before the inner ones opened.
    std::vector<PostBatch*> chain;
    for (auto* batch = t_postBatch; batch; batch = batch->m_outer)
        chain.push_back(batch);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        PostBatch& batch = **it;
        if (!batch.m_loop || batch.m_held.empty())
            continue;
        std::lock_guard lock(batch.m_loop->m_mutex);
        for (auto& [task, mode] : batch.m_held)
            batch.m_loop->m_tasks.push_back({std::move(task), std::move(mode)});
        batch.m_held.clear();
        // Queued now, so a loop that looks finds them; the loop is woken once, now or when the
        // batch ends (an empty task stands for that wake-up). A loop that sleeps in another
        // system's wait may have looked just before and be about to sleep: it is woken too.
        if (wake)
            batch.m_loop->wakeLocked();
        else if (batch.m_loop->m_polling || batch.m_loop->m_wakeHandler)
            batch.m_held.emplace_back([] {}, kCommonModes);
    }
}

RunLoop::PostBatch::~PostBatch()
{
    t_postBatch = m_outer;
    if (!m_loop || m_held.empty())
        return;
    // An enclosing batch for the same loop holds what came before: these go behind it.
    for (auto* outer = m_outer; outer; outer = outer->m_outer) {
        if (outer->m_loop == m_loop) {
            for (auto& held : m_held)
                outer->m_held.push_back(std::move(held));
            return;
        }
    }
    handOver();
}

void RunLoop::PostBatch::handOver()
{
    if (!m_loop || m_held.empty())
        return;
    std::lock_guard lock(m_loop->m_mutex);
    for (auto& [task, mode] : m_held)
        m_loop->m_tasks.push_back({std::move(task), std::move(mode)});
    m_held.clear();
    m_loop->wakeLocked();
}

RunLoop::WatchId RunLoop::addWatch(int fd, unsigned events, WatchCallback callback, const Mode& mode)
{
    std::lock_guard lock(m_mutex);
    WatchId id = m_nextWatch++;
    m_watches.emplace(id, Watch{fd, events, mode, std::make_shared<WatchCallback>(std::move(callback))});
    wakeLocked();
    return id;
}

void RunLoop::updateWatch(WatchId id, unsigned events)
{
    std::lock_guard lock(m_mutex);
    auto it = m_watches.find(id);
    if (it == m_watches.end())
        return;
    it->second.events = events;
    wakeLocked();
}

void RunLoop::removeWatch(WatchId id)
{
    std::lock_guard lock(m_mutex);
    if (m_watches.erase(id))
        wakeLocked();
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
    wakeLocked();
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
    if (this == &main())
        Date::advanceFixedNow(delta);
}

void RunLoop::advance(double seconds)
{
    ModeScope scope(*this, kDefaultMode);
    double target = now() + seconds;
    runReadyTasks(kDefaultMode);
    for (;;) {
        auto next = nextTimerTime(kDefaultMode);
        if (!next || *next > target)
            break;
        setNow(*next);
        fireDueTimers(kDefaultMode);
        runReadyTasks(kDefaultMode);
    }
    setNow(target);
    fireDueTimers(kDefaultMode);
    runReadyTasks(kDefaultMode);
}

void RunLoop::schedule(const std::shared_ptr<Timer>& timer)
{
    std::lock_guard lock(m_mutex);
    timer->m_sequence = ++m_timerSequence;
    m_timers.emplace(std::make_pair(timer->m_fireTime, timer->m_sequence), timer);
    wakeLocked();
}

void RunLoop::unschedule(const Timer* timer)
{
    std::lock_guard lock(m_mutex);
    auto it = m_timers.find(std::make_pair(timer->m_fireTime, timer->m_sequence));
    if (it != m_timers.end() && it->second.get() == timer)
        m_timers.erase(it);
}

std::optional<double> RunLoop::nextTimerTimeLocked(const Mode& mode) const
{
    for (auto& [key, timer] : m_timers)
        if (inMode(timer->m_mode, mode))
            return key.first;
    return std::nullopt;
}

std::optional<double> RunLoop::nextTimerTime(const Mode& mode) const
{
    std::lock_guard lock(m_mutex);
    return nextTimerTimeLocked(mode);
}

bool RunLoop::hasReadyTaskLocked(const Mode& mode) const
{
    for (auto& queued : m_tasks)
        if (inMode(queued.mode, mode))
            return true;
    return false;
}

bool RunLoop::runReadyTasks(const Mode& mode)
{
    // Only as many as are queued now: tasks posted while running wait for the next round, so
    // a task that reposts itself cannot starve timers. Tasks are taken one at a time so that a
    // nested run inside one of them keeps the queue's order.
    size_t budget;
    {
        std::lock_guard lock(m_mutex);
        budget = m_tasks.size();
    }
    bool ran = false;
    while (budget-- > 0) {
        Task task;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_tasks.begin();
            while (it != m_tasks.end() && !inMode(it->mode, mode))
                ++it;
            if (it == m_tasks.end())
                break;
            task = std::move(it->task);
            m_tasks.erase(it);
        }
        task();
        ran = true;
    }
    return ran;
}

bool RunLoop::fireDueTimers(const Mode& mode)
{
    double current = now();
    std::vector<std::shared_ptr<Timer>> due;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_timers.begin(); it != m_timers.end() && it->first.first <= current;) {
            if (inMode(it->second->m_mode, mode)) {
                due.push_back(it->second);
                it = m_timers.erase(it);
            } else {
                ++it;
            }
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
            {
                std::lock_guard lock(m_mutex);
                timer->m_fireTime = next > current ? next : current + timer->m_interval;
            }
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

bool RunLoop::pollSources(double waitSeconds, const Mode& mode)
{
    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    {
        std::lock_guard lock(m_mutex);
        if (waitSeconds > 0 && (hasReadyTaskLocked(mode) || m_quit))
            waitSeconds = 0;
        fds.push_back({m_wakeFd, POLLIN, 0});
        ids.push_back(0);
        for (auto& [id, watch] : m_watches) {
            if (!inMode(watch.mode, mode))
                continue;
            short wanted = 0;
            if (watch.events & Readable)
                wanted |= POLLIN;
            if (watch.events & Writable)
                wanted |= POLLOUT;
            fds.push_back({watch.fd, wanted, 0});
            ids.push_back(id);
        }
        if (fds.size() == 1 && waitSeconds <= 0)
            return false;
        m_polling = waitSeconds > 0;
    }
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (waitSeconds < kForever) {
        double w = std::max(0.0, waitSeconds);
        timeout.tv_sec = static_cast<time_t>(w);
        timeout.tv_nsec = static_cast<long>((w - static_cast<double>(timeout.tv_sec)) * 1e9);
        timeoutPtr = &timeout;
    }
    int n = ::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr);
    {
        std::lock_guard lock(m_mutex);
        m_polling = false;
    }
    if (n <= 0)
        return false;
    if (fds[0].revents & POLLIN) {
        // One read empties the counter; a nudge that comes after it is seen by the next poll.
        uint64_t count;
        ssize_t got = ::read(m_wakeFd, &count, sizeof count);
        (void)got;
    }
    bool ran = false;
    for (size_t i = 1; i < fds.size(); ++i) {
        short revents = fds[i].revents;
        if (!revents)
            continue;
        unsigned events = 0;
        if (revents & POLLIN)
            events |= Readable;
        if (revents & POLLOUT)
            events |= Writable;
        if (revents & POLLHUP)
            events |= Hangup;
        if (revents & (POLLERR | POLLNVAL))
            events |= Error;
        std::shared_ptr<WatchCallback> callback;
        int fd;
        {
            // An earlier callback may have removed or changed this watch.
            std::lock_guard lock(m_mutex);
            auto it = m_watches.find(ids[i]);
            if (it == m_watches.end() || it->second.fd != fds[i].fd || !inMode(it->second.mode, mode))
                continue;
            events &= it->second.events | Hangup | Error;
            if (!events)
                continue;
            callback = it->second.callback;
            fd = it->second.fd;
            // A closed fd would report itself forever.
            if (revents & POLLNVAL)
                m_watches.erase(it);
        }
        (*callback)(fd, events);
        ran = true;
    }
    return ran;
}

bool RunLoop::waitForWork(double untilLoopTime, double maxWait, const Mode& mode)
{
    double wait = maxWait;
    {
        std::lock_guard lock(m_mutex);
        if (!m_manual) {
            double nowSeconds = steadySeconds();
            wait = std::min(wait, untilLoopTime - nowSeconds);
            if (auto next = nextTimerTimeLocked(mode))
                wait = std::min(wait, *next - nowSeconds);
        }
    }
    return pollSources(std::max(wait, 0.0), mode);
}

bool RunLoop::runPending(const Mode& mode)
{
    ModeScope scope(*this, mode);
    bool ran = runReadyTasks(mode);
    ran = fireDueTimers(mode) || ran;
    ran = pollSources(0, mode) || ran;
    return ran;
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeout, const Mode& mode)
{
    ModeScope scope(*this, mode);
    double deadline = now() + timeout;
    double idleSince = -1;
    for (;;) {
        bool ran = runReadyTasks(mode);
        ran = fireDueTimers(mode) || ran;
        ran = pollSources(0, mode) || ran;
        if (ran)
            idleSince = -1;
        if (predicate())
            return true;
        if (now() >= deadline)
            return false;
        {
            std::lock_guard lock(m_mutex);
            if (hasReadyTaskLocked(mode))
                continue;
        }
        if (isManualClock()) {
            auto next = nextTimerTime(mode);
            if (next && *next <= deadline) {
                setNow(*next);
                continue;
            }
            // Nothing scheduled before the deadline: only another thread can make progress.
            if (idleSince < 0)
                idleSince = steadySeconds();
            double bound = s_outsideWork.load() > 0 ? kManualBusyWait : kManualIdleWait;
            if (steadySeconds() - idleSince < bound) {
                if (waitForWork(deadline, kPollInterval, mode))
                    idleSince = -1;
                continue;
            }
            setNow(deadline);
            runReadyTasks(mode);
            fireDueTimers(mode);
            return predicate();
        }
        waitForWork(deadline, kPollInterval, mode);
    }
}

void RunLoop::runFor(double seconds)
{
    runUntil([] { return false; }, seconds);
}

bool RunLoop::takeQuit()
{
    std::lock_guard lock(m_mutex);
    bool quit = m_quit;
    m_quit = false;
    return quit;
}

namespace {
thread_local RunLoop* t_turnTarget = nullptr;
}

void holdPostsForTurn(RunLoop* target)
{
    t_turnTarget = target;
}

void RunLoop::run()
{
    ModeScope scope(*this, kDefaultMode);
    // What this thread posts to the target loop during one turn (the sockets found ready by one
    // look and the tasks they lead to) is held and handed over in one go when the turn ends:
    // a burst of transfers finishing together wakes the target once, and a transfer finishing
    // alone is reported before this thread sleeps, whatever else is under way.
    std::optional<PostBatch> held;
    if (t_turnTarget && t_turnTarget != this)
        held.emplace(*t_turnTarget);
    // What the turn's tasks post (the next step of the same work) runs in the same turn, a few
    // rounds at most, before the sockets are looked at again.
    auto runTasks = [this] {
        for (int round = 0; round < kRoundsPerTurn; ++round) {
            runReadyTasks(kDefaultMode);
            fireDueTimers(kDefaultMode);
            std::lock_guard lock(m_mutex);
            if (m_quit || !hasReadyTaskLocked(kDefaultMode))
                break;
        }
    };
    for (;;) {
        runTasks();
        if (takeQuit())
            return;
        // Sockets that became ready while the turn ran belong to it: one more look, without
        // waiting, so that transfers ending together are reported together.
        if (held && !held->m_held.empty() && pollSources(0, kDefaultMode)) {
            runTasks();
            if (takeQuit())
                return;
        }
        if (held)
            held->handOver();
        if (isManualClock()) {
            if (auto next = nextTimerTime(kDefaultMode)) {
                setNow(*next);
                continue;
            }
        }
        waitForWork(kForever, kForever, kDefaultMode);
        if (takeQuit())
            return;
    }
}

void RunLoop::quit()
{
    std::lock_guard lock(m_mutex);
    m_quit = true;
    wakeLocked();
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
