#pragma once
// Lets go, on every way out of a test (a fatal failure included), what the test's other
// threads still wait on or use: a thread still joinable when the test returns ends the whole
// test program, and one left waiting on the test's own objects hangs it or reads them dead.
#include <functional>
#include <thread>
#include <utility>

namespace testsupport {

// Runs `release` when the scope ends. Declare it after everything `release` and the other
// threads use, so that it runs first.
class OnExit {
public:
    explicit OnExit(std::function<void()> release)
        : m_release(std::move(release))
    {
    }
    ~OnExit()
    {
        if (m_release)
            m_release();
    }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    std::function<void()> m_release;
};

// Joins `thread` when the scope ends, unless the test has joined it itself; `release` first
// lets go whatever the thread may still be waiting on. Declare it after everything the
// thread uses.
class JoinOnExit {
public:
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
