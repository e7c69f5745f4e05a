#pragma once
#include "HTTPRequestTestSupport.h"

#include <chrono>
#include <cmath>
#include <dirent.h>
#include <thread>

namespace enginetest {

// Records what a progress receiver is told, and whether any of it came off the main thread
// or was not a number in 0..1.
class ProgressRecorder : public BRProgressDelegate {
public:
    std::vector<float> values;
    std::vector<int64_t> received, sent;
    int64_t downloadSize = 0, uploadSize = 0;
    bool offMain = false;
    bool badValue = false;
    std::shared_ptr<int> calls = std::make_shared<int>(0);

    void setProgress(float v) override
    {
        note();
        badValue = badValue || !std::isfinite(v) || v < 0 || v > 1;
        values.push_back(v);
    }
    void requestDidReceiveBytes(BRHTTPRequest&, int64_t n) override
    {
        note();
        received.push_back(n);
    }
    void requestDidSendBytes(BRHTTPRequest&, int64_t n) override
    {
        note();
        sent.push_back(n);
    }
    void requestIncrementDownloadSizeBy(BRHTTPRequest&, int64_t n) override
    {
        note();
        downloadSize += n;
    }
    void requestIncrementUploadSizeBy(BRHTTPRequest&, int64_t n) override
    {
        note();
        uploadSize += n;
    }
    bool rising() const
    {
        for (size_t i = 1; i < values.size(); ++i)
            if (values[i] < values[i - 1])
                return false;
        return true;
    }

private:
    void note()
    {
        ++*calls;
        offMain = offMain || !base::RunLoop::isMainThread();
    }
};

// Waits for another thread without running the main loop (so posted calls stay queued).
inline bool spinUntil(const std::function<bool()>& done, double seconds = 30)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done())
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        else
            std::this_thread::yield();
    return true;
}

inline int openDescriptors()
{
    int n = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++n;
        ::closedir(dir);
    }
    return n;
}

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace enginetest
