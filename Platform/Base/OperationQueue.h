#pragma once
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace base {

class OperationQueue;

// A unit of work for an OperationQueue. Subclasses override main(); a cancelled operation
// that has not started finishes without running it.
//
// A concurrent operation (isConcurrent() answers true) overrides start() instead: it begins
// its work and returns at once, and holds its queue slot until it calls markFinished(), from
// any thread. A queue starts it even when it was cancelled while pending, so it can finish.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    virtual ~Operation() = default;

    virtual void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }
    virtual bool isConcurrent() const { return false; }
    bool isExecuting() const { return m_executing; }
    bool isFinished() const { return m_finished; }
    void setCompletion(std::function<void()> completion) { m_completion = std::move(completion); }
    // Blocks until the operation has finished (not from the thread it runs on).
    void waitUntilFinished();

    // Not started before every dependency has finished (dependencies in the same queue).
    void addDependency(std::shared_ptr<Operation> operation);
    std::vector<std::shared_ptr<Operation>> dependencies() const;
    bool isReady() const;
    // Among ready operations a queue starts the higher priority first, else the earlier added.
    enum QueuePriority : int {
        QueuePriorityVeryLow = -8,
        QueuePriorityLow = -4,
        QueuePriorityNormal = 0,
        QueuePriorityHigh = 4,
        QueuePriorityVeryHigh = 8,
    };
    int queuePriority() const { return m_queuePriority; }
    void setQueuePriority(int priority)
    {
        m_queuePriority = priority;
        s_priorityChanges.fetch_add(1);
    }
    // Counts every priority set anywhere: a queue's bound on the priorities it holds stays
    // good while this has not moved.
    static uint64_t priorityChanges() { return s_priorityChanges.load(); }

protected:
    virtual void main() {}
    // Plain operations: runs main() unless cancelled, then finishes.
    virtual void start();
    // Ends the operation once (later calls do nothing): runs the completion, wakes waiters and
    // frees the queue slot.
    void markFinished();
    void setExecuting(bool executing) { m_executing = executing; }

private:
    friend class OperationQueue;
    void run(std::function<void()> onFinished);
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_executing{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_finishing{false};
    std::atomic<int> m_queuePriority{0};
    inline static std::atomic<uint64_t> s_priorityChanges{0};
    std::vector<std::shared_ptr<Operation>> m_dependencies; // guarded by m_doneMutex
    std::function<void()> m_completion;
    std::function<void()> m_onFinished;
    mutable std::mutex m_doneMutex;
    std::condition_variable m_done;
};

class BlockOperation : public Operation {
public:
    explicit BlockOperation(std::function<void()> block) : m_block(std::move(block)) {}
    static std::shared_ptr<BlockOperation> create(std::function<void()> block)
    {
        return std::make_shared<BlockOperation>(std::move(block));
    }

protected:
    void main() override
    {
        if (m_block)
            m_block();
    }

private:
    std::function<void()> m_block;
};

// Runs operations in the order added, at most maxConcurrent at a time. A concurrent operation's
// start() runs on the thread that adds it or frees its slot, outside the queue's lock; plain
// operations run on a few worker threads of the queue's own, made as needed and kept (never
// more than the operations that ran at once). The main queue runs them one by one on the main
// run loop, each as a task of its own, chosen only when the loop gets to it. Destroying a queue
// cancels what has not started, lets every operation finish (cancelled ones skip their work)
// and waits; shutDown() does the same earlier, leaving a queue that takes nothing more.
class OperationQueue {
public:
    static constexpr int kDefaultMaxConcurrent = -1; // as many as the machine has cores

    OperationQueue();
    virtual ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    static OperationQueue& mainQueue();

    void addOperation(std::shared_ptr<Operation> operation);
    void addOperation(std::function<void()> block);
    // Pending and running operations, in the order added.
    std::vector<std::shared_ptr<Operation>> operations() const;
    size_t operationCount() const;

    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const;
    void setSuspended(bool suspended);
    bool isSuspended() const;
    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();
    // Takes nothing more, cancels what has not started, waits for what runs and joins the
    // queue's threads. Answers how many operations were cancelled before they started; a
    // second call answers 0.
    size_t shutDown();
    bool isShutDown() const;

protected:
    // Called once an operation has left the queue, on the thread that finished it.
    virtual void operationDidLeave(const std::shared_ptr<Operation>&) {}

private:
    struct Workers;
    using Ops = std::vector<std::shared_ptr<Operation>>;

    explicit OperationQueue(bool main);
    int effectiveMax() const;
    // Takes the operations that may start now into the running list (under the lock); the
    // caller launches them once it has let go of the lock.
    Ops takeReady();
    void launch(Ops ops);
    void startConcurrent(Ops ops);
    void finished(const std::shared_ptr<Operation>& op);
    // The main queue's next operation, started from a task on the main loop.
    void runMainTurn();
    std::deque<std::shared_ptr<Operation>>::iterator nextReady();

    const bool m_isMain;
    // The lock and its signal outlive the queue while a finishing thread still leaves them: a
    // queue being destroyed may go the moment that thread lets go of the lock.
    struct Sync {
        std::mutex mutex;
        std::condition_variable changed;
    };
    std::shared_ptr<Sync> m_sync = std::make_shared<Sync>();
    std::mutex& m_mutex = m_sync->mutex;
    std::condition_variable& m_changed = m_sync->changed;
    std::deque<std::shared_ptr<Operation>> m_pending;
    std::vector<std::shared_ptr<Operation>> m_running;
    std::shared_ptr<Workers> m_workers;
    int m_max = kDefaultMaxConcurrent;
    bool m_suspended = false;
    bool m_shuttingDown = false;
    bool m_mainTurnPosted = false;
    // No pending operation ranks above m_topPriority while priorityChanges() still equals
    // m_priorityEpoch: the search for the next one stops at the first ready one of that rank.
    int m_topPriority = 0;
    uint64_t m_priorityEpoch = ~uint64_t(0);
};

} // namespace base
