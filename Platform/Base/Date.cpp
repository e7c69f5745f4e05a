#include "Platform/Base/Date.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace base {

namespace {
std::mutex g_fixedMutex;
std::optional<Date> g_fixed;
}

Date Date::now()
{
    {
        std::lock_guard lock(g_fixedMutex);
        if (g_fixed)
            return *g_fixed;
    }
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return Date(std::chrono::duration<double>(since).count());
}

void Date::setFixedNow(std::optional<Date> fixed)
{
    std::lock_guard lock(g_fixedMutex);
    g_fixed = fixed;
}

void Date::advanceFixedNow(double seconds)
{
    std::lock_guard lock(g_fixedMutex);
    if (g_fixed)
        g_fixed = g_fixed->addingTimeInterval(seconds);
}

} // namespace base
