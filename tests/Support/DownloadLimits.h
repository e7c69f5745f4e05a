#pragma once
// Download limits a test shrinks, the program's own again when the test ends, however it ends.
#include "Protocol/DownloadRequest.h"

namespace testsupport {

class ScopedDownloadLimits {
public:
    explicit ScopedDownloadLimits(const DownloadRequest::Limits& limits)
    {
        DownloadRequest::setLimitsForTesting(limits);
    }
    ~ScopedDownloadLimits() { DownloadRequest::setLimitsForTesting(std::nullopt); }
    ScopedDownloadLimits(const ScopedDownloadLimits&) = delete;
    ScopedDownloadLimits& operator=(const ScopedDownloadLimits&) = delete;
};

} // namespace testsupport
