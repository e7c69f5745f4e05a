#include "Platform/Base/Thread.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/RunLoopTurns.h"

#include <pthread.h>

#include <future>
#include <vector>

namespace base {

WorkerThread::WorkerThread(std::string name, bool reportsBack) : m_name(std::move(name)), m_reportsBack(reportsBack)
{
    m_thread = std::thread([this] {
        // Named so that a stuck process's threads can be told apart (the kernel keeps 15 characters).
        pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
        loop();
    });
}

WorkerThread::~WorkerThread()
{
    stop();
}

void WorkerThread::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.push_back(std::move(task));
        if (m_reportsBack)
            beginOutsideWork();
    }
    m_wake.notify_one();
}

size_t WorkerThread::stop()
{
    size_t dropped = 0;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        dropped = m_tasks.size();
        m_tasks.clear();
        if (m_reportsBack)
            for (size_t i = 0; i < dropped; ++i)
                endOutsideWork();
    }
    m_wake.notify_one();
    if (m_thread.joinable() && !isCurrent())
        m_thread.join();
    else if (m_thread.joinable())
        m_thread.detach();
    return dropped;
}

size_t WorkerThread::taskCount()
{
    std::lock_guard lock(m_mutex);
    return m_tasks.size() + (m_running ? 1 : 0);
}

void WorkerThread::loop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_running = false;
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping)
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_running = true;
        }
        task();
        // What the task held goes before it counts as done.
        task = nullptr;
        if (m_reportsBack)
            endOutsideWork();
    }
}

namespace {
std::mutex g_countedLock;
std::vector<OperationQueue*> g_counted;
std::vector<WorkerThread*> g_countedThreads;
} // namespace

WorkerThread& lastingWorkerThread(std::string name, std::string work)
{
    // Never destroyed: a static's destructor could run after the work it calls on is gone.
    auto* made = new WorkerThread(std::move(name), true);
    {
        std::lock_guard guard(g_countedLock);
        g_countedThreads.push_back(made);
    }
    BackgroundWork::add(std::move(work), [made] { return made->stop(); });
    return *made;
}

RunLoopThread::RunLoopThread(std::string name) : m_name(std::move(name))
{
    std::promise<std::shared_ptr<RunLoop>> ready;
    auto loopFuture = ready.get_future();
    m_thread = std::thread([this, &ready] {
        // The kernel keeps at most 15 characters of a thread name.
        pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
        auto& loop = RunLoop::current();
        // What a turn of this thread has for the main thread wakes it once.
        holdPostsForTurn(&RunLoop::main());
        ready.set_value(loop.shared());
        while (!m_stopping)
            loop.run();
    });
    m_loop = loopFuture.get();
}

RunLoopThread::~RunLoopThread()
{
    stop();
}

RunLoopThread& RunLoopThread::network()
{
    static RunLoopThread* thread = new RunLoopThread("network"); // never stopped
    return *thread;
}

void RunLoopThread::post(std::function<void()> task)
{
    m_loop->post(std::move(task));
}

void RunLoopThread::stop()
{
    m_stopping = true;
    m_loop->quit();
    if (m_thread.joinable() && !isCurrent())
        m_thread.join();
    else if (m_thread.joinable())
        m_thread.detach();
}

namespace {
OperationQueue& backgroundQueue()
{
    // Never destroyed; stopped and joined when the application terminates.
    static OperationQueue* queue = [] {
        auto* made = new OperationQueue();
        BackgroundWork::add("background queue", [made] { return made->shutDown(); });
        return made;
    }();
    return *queue;
}
} // namespace

void dispatchBackground(std::function<void()> task)
{
    backgroundQueue().addOperation(std::move(task));
}

void countWithBackgroundTasks(OperationQueue* queue)
{
    std::lock_guard guard(g_countedLock);
    g_counted.push_back(queue);
}

size_t backgroundTaskCount()
{
    size_t count = backgroundQueue().operationCount();
    std::lock_guard guard(g_countedLock);
    for (OperationQueue* queue : g_counted)
        count += queue->operationCount();
    for (WorkerThread* thread : g_countedThreads)
        count += thread->taskCount();
    return count;
}

} // namespace base
