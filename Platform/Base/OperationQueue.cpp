#include "Platform/Base/OperationQueue.h"

#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"

#include <algorithm>
#include <chrono>

namespace base {

void Operation::start()
{
    if (!m_cancelled) {
        m_executing = true;
        main();
        m_executing = false;
    }
    markFinished();
}

void Operation::run(std::function<void()> onFinished)
{
    {
        std::lock_guard lock(m_doneMutex);
        m_onFinished = std::move(onFinished);
    }
    if (isConcurrent())
        m_executing = true;
    start();
}

void Operation::markFinished()
{
    if (m_finishing.exchange(true))
        return;
    m_executing = false;
    if (m_completion) {
        auto completion = std::move(m_completion);
        completion();
    }
    std::function<void()> onFinished;
    {
        std::lock_guard lock(m_doneMutex);
        m_finished = true;
        onFinished = std::move(m_onFinished);
    }
    m_done.notify_all();
    if (onFinished)
        onFinished();
}

void Operation::waitUntilFinished()
{
    std::unique_lock lock(m_doneMutex);
    m_done.wait(lock, [this] { return m_finished.load(); });
}

void Operation::addDependency(std::shared_ptr<Operation> operation)
{
    if (!operation || operation.get() == this)
        return;
    std::lock_guard lock(m_doneMutex);
    m_dependencies.push_back(std::move(operation));
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const
{
    std::lock_guard lock(m_doneMutex);
    return m_dependencies;
}

bool Operation::isReady() const
{
    std::lock_guard lock(m_doneMutex);
    for (const auto& dependency : m_dependencies)
        if (!dependency->isFinished())
            return false;
    return true;
}

namespace {

// The operation a worker thread is running, and whether it has finished: the thread that
// freed a slot is about to be free itself and takes the next plain operation.
thread_local const Operation* t_workerOp = nullptr;
thread_local bool t_workerWindingDown = false;

// Concurrent starts waiting on this thread, per queue: an operation that finishes inside its
// own start() queues the next one here instead of starting it one frame deeper.
struct StartFrame {
    const void* queue;
    std::deque<std::shared_ptr<Operation>> ops;
    StartFrame* outer;
};
thread_local StartFrame* t_startFrames = nullptr;

} // namespace

// Worker threads for plain operations. Shared with the threads, so a queue destroyed on one of
// them leaves the pool alive until that thread has left it.
struct OperationQueue::Workers : std::enable_shared_from_this<Workers> {
    // An idle worker ends after this long; a busy queue keeps its threads.
    static constexpr auto kIdleLifetime = std::chrono::seconds(3);

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    std::vector<std::thread> threads;
    // Threads that ended on their own, joined by the next caller that comes by.
    std::vector<std::thread> retired;
    int idle = 0;
    bool stopping = false;

    // A thread is made only when every thread is busy and the pool is below `limit`: a busy
    // thread that is finishing takes the job when it is back, so the pool never holds more
    // threads than the operations the queue may run at once.
    void post(std::function<void()> job, bool callerServesNext, int limit)
    {
        std::vector<std::thread> ended;
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
            ended.swap(retired);
            if (!callerServesNext) {
                int waiting = static_cast<int>(jobs.size());
                if (idle >= waiting)
                    wake.notify_one();
                else if (static_cast<int>(threads.size()) < limit)
                    spawn();
                else if (idle > 0)
                    wake.notify_one();
            }
        }
        for (auto& t : ended)
            t.join();
    }

    void spawn()
    {
        auto self = shared_from_this();
        threads.emplace_back([self] { self->serve(); });
    }

    void serve()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            if (!jobs.empty()) {
                auto job = std::move(jobs.front());
                jobs.pop_front();
                lock.unlock();
                job();
                // Letting go of the operation may destroy the queue, on this thread.
                job = nullptr;
                lock.lock();
                continue;
            }
            if (stopping)
                return;
            ++idle;
            bool woken = wake.wait_for(lock, kIdleLifetime, [this] { return stopping || !jobs.empty(); });
            --idle;
            if (!woken) {
                retireCurrentThread();
                return;
            }
        }
    }

    // Under the mutex.
    void retireCurrentThread()
    {
        auto me = std::this_thread::get_id();
        auto it = std::find_if(threads.begin(), threads.end(), [me](auto& t) { return t.get_id() == me; });
        if (it == threads.end())
            return;
        // Let go rather than parked for a join that may never come (a queue that lives as long
        // as the program): the thread's own hold on the pool keeps the pool alive to its end.
        it->detach();
        threads.erase(it);
    }

    // The current thread, one of ours, is tied up destroying the queue: others take what waits.
    void coverForCurrentThread()
    {
        std::lock_guard lock(mutex);
        for (int missing = static_cast<int>(jobs.size()) - idle; missing > 0; --missing)
            spawn();
    }

    void stop()
    {
        std::vector<std::thread> all;
        {
            std::lock_guard lock(mutex);
            stopping = true;
            all.swap(threads);
            for (auto& t : retired)
                all.push_back(std::move(t));
            retired.clear();
        }
        wake.notify_all();
        for (auto& t : all) {
            if (t.get_id() == std::this_thread::get_id())
                t.detach();
            else
                t.join();
        }
    }

    bool isCurrentThreadOurs()
    {
        std::lock_guard lock(mutex);
        auto me = std::this_thread::get_id();
        return std::any_of(threads.begin(), threads.end(), [me](auto& t) { return t.get_id() == me; });
    }
};

OperationQueue::OperationQueue() : OperationQueue(false) {}

OperationQueue::OperationQueue(bool main) : m_isMain(main)
{
    if (main)
        m_max = 1;
    else
        m_workers = std::make_shared<Workers>();
}

OperationQueue::~OperationQueue()
{
    shutDown();
}

size_t OperationQueue::shutDown()
{
    Ops starting;
    size_t dropped = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_shuttingDown)
            return 0;
        m_shuttingDown = true;
        // Pending operations still start, cancelled, so that each one reaches its end.
        m_suspended = false;
        for (auto& op : m_pending) {
            if (!op->isCancelled())
                ++dropped;
            op->cancel();
        }
        starting = takeReady();
    }
    launch(std::move(starting));
    // Starts this thread was about to make for this queue are made here, as nobody else will.
    for (auto* frame = t_startFrames; frame; frame = frame->outer) {
        if (frame->queue != this)
            continue;
        while (!frame->ops.empty()) {
            auto op = std::move(frame->ops.front());
            frame->ops.pop_front();
            op->run([this, op] { finished(op); });
        }
        frame->queue = nullptr;
    }
    if (m_workers && m_workers->isCurrentThreadOurs())
        m_workers->coverForCurrentThread();
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_running.empty() && m_pending.empty(); });
    }
    if (m_workers)
        m_workers->stop();
    return dropped;
}

bool OperationQueue::isShutDown() const
{
    std::lock_guard lock(m_mutex);
    return m_shuttingDown;
}

OperationQueue& OperationQueue::mainQueue()
{
    static OperationQueue* queue = new OperationQueue(true);
    return *queue;
}

int OperationQueue::effectiveMax() const
{
    if (m_max > 0)
        return m_max;
    int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(cores, 2);
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation)
{
    if (!operation)
        return;
    Ops starting;
    {
        std::lock_guard lock(m_mutex);
        if (m_shuttingDown)
            return;
        // Until it leaves the queue, a worker's operation is work a manual-clock wait waits for.
        if (!m_isMain)
            beginOutsideWork();
        if (m_priorityEpoch == Operation::priorityChanges())
            m_topPriority = std::max(m_topPriority, operation->queuePriority());
        m_pending.push_back(std::move(operation));
        starting = takeReady();
    }
    launch(std::move(starting));
}

void OperationQueue::addOperation(std::function<void()> block)
{
    addOperation(BlockOperation::create(std::move(block)));
}

OperationQueue::Ops OperationQueue::takeReady()
{
    Ops ready;
    if (m_isMain) {
        // What is queued before the loop gets here competes on priority with what came first.
        if (!m_suspended && !m_mainTurnPosted && m_running.empty() && nextReady() != m_pending.end()) {
            m_mainTurnPosted = true;
            RunLoop::main().post([this] { runMainTurn(); });
        }
        return ready;
    }
    while (!m_suspended && static_cast<int>(m_running.size()) < effectiveMax()) {
        auto next = nextReady();
        if (next == m_pending.end())
            break;
        auto op = *next;
        m_pending.erase(next);
        m_running.push_back(op);
        ready.push_back(std::move(op));
    }
    return ready;
}

void OperationQueue::launch(Ops ops)
{
    // Every operation given here holds a slot, so the queue outlives this call; nothing of it
    // is touched once the last one is launched.
    if (ops.empty())
        return;
    int limit = 0;
    {
        std::lock_guard lock(m_mutex);
        limit = effectiveMax();
    }
    Ops concurrent;
    for (auto& op : ops) {
        if (op->isConcurrent()) {
            concurrent.push_back(std::move(op));
            continue;
        }
        // Once per job run: the worker takes one job when it gets back to its pool.
        bool callerServesNext = t_workerWindingDown && m_workers->isCurrentThreadOurs();
        if (callerServesNext)
            t_workerWindingDown = false;
        m_workers->post([this, op] {
            t_workerOp = op.get();
            t_workerWindingDown = false;
            op->run([this, op] { finished(op); });
            t_workerOp = nullptr;
            t_workerWindingDown = false;
        }, callerServesNext, limit);
    }
    if (!concurrent.empty())
        startConcurrent(std::move(concurrent));
}

void OperationQueue::startConcurrent(Ops ops)
{
    for (auto* frame = t_startFrames; frame; frame = frame->outer) {
        if (frame->queue == this) {
            frame->ops.insert(frame->ops.end(), ops.begin(), ops.end());
            return;
        }
    }
    StartFrame frame{this, {ops.begin(), ops.end()}, t_startFrames};
    t_startFrames = &frame;
    struct Restore {
        StartFrame* outer;
        ~Restore() { t_startFrames = outer; }
    } restore{frame.outer};
    // A concurrent operation's start() only begins its work; its slot stays taken until it
    // reports itself finished. Letting go of one may destroy the queue, which then empties
    // this frame itself.
    while (!frame.ops.empty()) {
        auto op = std::move(frame.ops.front());
        frame.ops.pop_front();
        op->run([this, op] { finished(op); });
    }
}

std::deque<std::shared_ptr<Operation>>::iterator OperationQueue::nextReady()
{
    // A queue of thousands picks its next one at every finish: without a priority above the
    // bound, the first ready operation of the top rank ends the search.
    uint64_t epoch = Operation::priorityChanges();
    bool bounded = epoch == m_priorityEpoch;
    auto next = m_pending.end();
    int nextPriority = INT_MIN, top = INT_MIN;
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        int priority = (*it)->queuePriority();
        top = std::max(top, priority);
        if ((next == m_pending.end() || priority > nextPriority) && (*it)->isReady()) {
            next = it;
            nextPriority = priority;
            if (bounded && priority >= m_topPriority)
                return next;
        }
    }
    m_topPriority = top;
    m_priorityEpoch = epoch;
    return next;
}

void OperationQueue::runMainTurn()
{
    std::shared_ptr<Operation> op;
    {
        std::unique_lock lock(m_mutex);
        m_mainTurnPosted = false;
        if (m_suspended || !m_running.empty())
            return;
        auto next = nextReady();
        if (next == m_pending.end())
            return;
        op = *next;
        m_pending.erase(next);
        m_running.push_back(op);
    }
    op->run([this, op] { finished(op); });
}

void OperationQueue::finished(const std::shared_ptr<Operation>& op)
{
    // Told while the operation still holds its slot: a queue being destroyed waits for its
    // running operations, so it is still alive for the hook.
    operationDidLeave(op);
    auto sync = m_sync; // the lock is let go below, after which this queue may be gone
    if (!m_isMain)
        endOutsideWork();
    if (t_workerOp == op.get())
        t_workerWindingDown = true;
    Ops starting;
    {
        std::lock_guard lock(m_mutex);
        m_running.erase(std::remove(m_running.begin(), m_running.end(), op), m_running.end());
        starting = takeReady();
        m_changed.notify_all();
    }
    // With nothing to start, this queue may already be gone: not even a member call.
    if (!starting.empty())
        launch(std::move(starting));
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<Operation>> all(m_running.begin(), m_running.end());
    all.insert(all.end(), m_pending.begin(), m_pending.end());
    return all;
}

size_t OperationQueue::operationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_running.size() + m_pending.size();
}

void OperationQueue::setMaxConcurrentOperationCount(int count)
{
    Ops starting;
    {
        std::lock_guard lock(m_mutex);
        if (m_isMain)
            return;
        m_max = count;
        starting = takeReady();
    }
    launch(std::move(starting));
}

int OperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_max;
}

void OperationQueue::setSuspended(bool suspended)
{
    Ops starting;
    {
        std::lock_guard lock(m_mutex);
        m_suspended = suspended;
        if (!suspended)
            starting = takeReady();
    }
    launch(std::move(starting));
}

bool OperationQueue::isSuspended() const
{
    std::lock_guard lock(m_mutex);
    return m_suspended;
}

void OperationQueue::cancelAllOperations()
{
    std::unique_lock lock(m_mutex);
    for (auto& op : m_running)
        op->cancel();
    for (auto& op : m_pending)
        op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    if (m_isMain) {
        RunLoop::main().runUntil([this] { return operationCount() == 0; }, 3600);
        return;
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_running.empty() && (m_pending.empty() || m_suspended); });
}

} // namespace base
