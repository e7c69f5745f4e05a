#pragma once
#include <chrono>
#include <unistd.h>

// The retry rule for busy or locked answers: sleep 20 µs and try again, giving up at the
// (limit + 2)-th answer in a row, or, with no limit, once the retries have taken the bound.
class BRBusyRetry {
public:
    BRBusyRetry(int limit, double maxSeconds) : m_limit(limit), m_maxSeconds(maxSeconds) {}

    // Called after a busy or locked answer; false means give up.
    bool again()
    {
        if (m_retries == 0 && m_limit <= 0)
            m_start = std::chrono::steady_clock::now();
        usleep(20);
        if (m_limit > 0)
            return m_retries++ <= m_limit;
        ++m_retries;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count()
            < m_maxSeconds;
    }

private:
    int m_limit;
    double m_maxSeconds;
    long m_retries = 0;
    std::chrono::steady_clock::time_point m_start;
};
