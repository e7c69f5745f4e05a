#pragma once
// Joins a thread a test started on every way out of the test, a fatal failure included: a
// thread still joinable when the test returns ends the whole test program, and every later
// result of it with the failure.
#include <functional>
#include <thread>
#include <utility>

namespace testsupport {

class JoinOnExit {
public:
    // `release` lets go whatever the thread may still be waiting on; it runs only when the
    // test has not joined the thread itself. Declare the guard after everything the thread
    // uses, so that it is destroyed first.
    explicit JoinOnExit(std::thread& thread, std::function<void()> release = {})
        : m_thread(thread)
        , m_release(std::move(release))
    {
    }
    ~JoinOnExit()
    {
        if (!m_thread.joinable())
            return;
        if (m_release)
            m_release();
        m_thread.join();
    }
    JoinOnExit(const JoinOnExit&) = delete;
    JoinOnExit& operator=(const JoinOnExit&) = delete;

private:
    std::thread& m_thread;
    std::function<void()> m_release;
};

} // namespace testsupport
