#include "Platform/Base/Thread.h"

#include "Platform/Base/OperationQueue.h"

namespace base {

WorkerThread::WorkerThread(std::string name) : m_name(std::move(name))
{
    m_thread = std::thread([this] { loop(); });
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
    }
    m_wake.notify_one();
}

void WorkerThread::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_tasks.clear();
    }
    m_wake.notify_one();
    if (m_thread.joinable() && !isCurrent())
        m_thread.join();
    else if (m_thread.joinable())
        m_thread.detach();
}

void WorkerThread::loop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping)
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

void dispatchBackground(std::function<void()> task)
{
    static OperationQueue* queue = new OperationQueue(); // process lifetime, like the system's
    queue->addOperation(std::move(task));
}

} // namespace base
