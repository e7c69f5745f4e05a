#pragma once
#include "Platform/Base/Thread.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace base {

// A synchronous call into a serial queue from the queue's own thread: it would wait for
// itself forever, so it is refused.
class SerialQueueReentryError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// A private serial queue: work runs one piece at a time, in order, on the queue's own thread.
class SerialQueue {
public:
    explicit SerialQueue(std::string label) : m_label(std::move(label)), m_thread(m_label) {}
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return m_label; }
    bool isCurrent() const { return m_thread.isCurrent(); }

    // Runs `work` on the queue's thread and waits for it: answers its result, and rethrows
    // here what it threw. From the queue's own thread it throws SerialQueueReentryError.
    template <typename F>
    std::invoke_result_t<F&> sync(F&& work)
    {
        using Result = std::invoke_result_t<F&>;
        if (isCurrent())
            throw SerialQueueReentryError("synchronous call into serial queue \"" + m_label
                                          + "\" from its own thread");
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        std::exception_ptr error;
        std::optional<std::conditional_t<std::is_void_v<Result>, char, Result>> value;
        m_thread.post([&] {
            try {
                if constexpr (std::is_void_v<Result>)
                    work();
                else
                    value.emplace(work());
            } catch (...) {
                error = std::current_exception();
            }
            // Notified under the lock: the waiter's stack holds the condition variable.
            std::lock_guard lock(mutex);
            done = true;
            finished.notify_one();
        });
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return done; });
        if (error)
            std::rethrow_exception(error);
        if constexpr (!std::is_void_v<Result>)
            return std::move(*value);
    }

private:
    std::string m_label;
    WorkerThread m_thread;
};

} // namespace base
