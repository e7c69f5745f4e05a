#include "Platform/Base/OperationQueue.h"

#include "Platform/Base/RunLoop.h"

#include <algorithm>

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
    for (const auto& dependency : dependencies())
        if (!dependency->isFinished())
            return false;
    return true;
}

OperationQueue::OperationQueue() : OperationQueue(false) {}

OperationQueue::OperationQueue(bool main) : m_isMain(main)
{
    if (main)
        m_max = 1;
}

OperationQueue::~OperationQueue()
{
    std::vector<std::thread> threads;
    {
        std::unique_lock lock(m_mutex);
        m_shuttingDown = true;
        // Pending operations still start, cancelled, so that each one reaches its end.
        m_suspended = false;
        for (auto& op : m_pending)
            op->cancel();
        startReady(lock);
        m_changed.wait(lock, [this] { return m_running.empty() && m_pending.empty(); });
        threads.swap(m_threads);
    }
    for (auto& t : threads) {
        // The last owner may let go of the queue on one of its own threads, as that ends.
        if (t.get_id() == std::this_thread::get_id())
            t.detach();
        else if (t.joinable())
            t.join();
    }
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
    std::unique_lock lock(m_mutex);
    if (m_shuttingDown)
        return;
    m_pending.push_back(std::move(operation));
    startReady(lock);
}

void OperationQueue::addOperation(std::function<void()> block)
{
    addOperation(BlockOperation::create(std::move(block)));
}

void OperationQueue::startReady(std::unique_lock<std::mutex>& lock)
{
    // Threads of finished operations are joined here, off their own stack.
    if (!m_finishedThreads.empty()) {
        for (auto id : m_finishedThreads) {
            auto it = std::find_if(m_threads.begin(), m_threads.end(), [id](auto& t) { return t.get_id() == id; });
            if (it != m_threads.end() && std::this_thread::get_id() != id) {
                it->join();
                m_threads.erase(it);
            }
        }
        m_finishedThreads.erase(std::remove_if(m_finishedThreads.begin(), m_finishedThreads.end(),
                                               [this](auto id) {
                                                   return std::none_of(m_threads.begin(), m_threads.end(),
                                                                       [id](auto& t) { return t.get_id() == id; });
                                               }),
                                m_finishedThreads.end());
    }
    if (m_isMain) {
        // What is queued before the loop gets here competes on priority with what came first.
        if (!m_suspended && !m_mainTurnPosted && m_running.empty() && nextReady() != m_pending.end()) {
            m_mainTurnPosted = true;
            RunLoop::main().post([this] { runMainTurn(); });
        }
        return;
    }
    while (!m_suspended && static_cast<int>(m_running.size()) < effectiveMax()) {
        auto next = nextReady();
        if (next == m_pending.end())
            break;
        auto op = *next;
        m_pending.erase(next);
        m_running.push_back(op);
        // A concurrent operation's thread ends when start() returns; its slot stays taken
        // until it reports itself finished.
        m_threads.emplace_back([this, op] {
            op->run([this, op] { finished(op); });
            threadDone();
        });
    }
}

std::deque<std::shared_ptr<Operation>>::iterator OperationQueue::nextReady()
{
    auto next = m_pending.end();
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        if ((next == m_pending.end() || (*it)->queuePriority() > (*next)->queuePriority()) && (*it)->isReady())
            next = it;
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
    std::unique_lock lock(m_mutex);
    m_running.erase(std::remove(m_running.begin(), m_running.end(), op), m_running.end());
    startReady(lock);
    m_changed.notify_all();
}

void OperationQueue::threadDone()
{
    std::lock_guard lock(m_mutex);
    m_finishedThreads.push_back(std::this_thread::get_id());
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
    std::unique_lock lock(m_mutex);
    if (m_isMain)
        return;
    m_max = count;
    startReady(lock);
}

int OperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_max;
}

void OperationQueue::setSuspended(bool suspended)
{
    std::unique_lock lock(m_mutex);
    m_suspended = suspended;
    if (!suspended)
        startReady(lock);
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
