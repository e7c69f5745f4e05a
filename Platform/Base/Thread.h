#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace base {

// A thread of its own that runs posted tasks in order (the network thread, the thumbnail
// thread). Stopping drops tasks not yet started and joins.
class WorkerThread {
public:
    // `reportsBack`: each task reports to the main loop when it ends, so it counts as outside
    // work from its posting until it has run or been dropped.
    explicit WorkerThread(std::string name, bool reportsBack = false);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void post(std::function<void()> task);
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }
    // Answers how many tasks were dropped before they started.
    size_t stop();
    const std::string& name() const { return m_name; }
    // Tasks waiting or running.
    size_t taskCount();

private:
    void loop();
    std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_running = false;
    bool m_stopping = false;
    const bool m_reportsBack;
    std::thread m_thread;
};

// A worker thread made once and never destroyed: stopped and joined with the rest of the
// background work when the application terminates. `work` names it in that list. Its tasks
// count with the background tasks and as outside work (each reports back to the main loop).
WorkerThread& lastingWorkerThread(std::string name, std::string work);

class RunLoop;

// A thread of its own that runs a RunLoop: posted tasks, timers and fd sources on that thread.
// Stopping quits the loop (tasks not yet run are dropped) and joins.
class RunLoopThread {
public:
    explicit RunLoopThread(std::string name);
    ~RunLoopThread();
    RunLoopThread(const RunLoopThread&) = delete;
    RunLoopThread& operator=(const RunLoopThread&) = delete;

    // The thread that serves every network stream: made on first use, runs for the life of
    // the process.
    static RunLoopThread& network();

    RunLoop& loop() const { return *m_loop; }
    void post(std::function<void()> task);
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }
    void stop();
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
    std::shared_ptr<RunLoop> m_loop;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// Runs `task` on a shared background queue (several threads, no order between tasks).
void dispatchBackground(std::function<void()> task);
// Tasks of that queue not yet finished, and of the queues and lasting threads counted with it.
size_t backgroundTaskCount();
// Counts a queue of the process's own (never destroyed) with the background queue above.
void countWithBackgroundTasks(class OperationQueue* queue);

} // namespace base
