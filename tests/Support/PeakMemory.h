#pragma once
#include "Platform/Pdf/PageWorkers.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace testsupport {

// The largest resident size this process reached, in MB.
inline double ownPeakMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The largest resident size any page worker reached, ended or running, in MB.
inline double workersPeakMB()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    double peak = usage.ru_maxrss / 1024.0;
    for (pid_t pid : pdf::PageWorkers::shared().workerIds()) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                peak = std::max(peak, std::atof(line.c_str() + 6) / 1024.0);
    }
    return peak;
}

} // namespace testsupport
