#include "Platform/Base/Device.h"

#include <mutex>
#include <sys/utsname.h>

namespace base {

namespace {

std::mutex s_mutex;
std::optional<Device> s_injected;

// The application chooses its newer platform behaviour above 5.1, which is what this layer
// implements; the kernel's version would mean nothing to it.
constexpr const char* kSystemVersion = "6.0";

} // namespace

Device Device::current()
{
    {
        std::lock_guard lock(s_mutex);
        if (s_injected)
            return *s_injected;
    }
    Device device;
    device.systemVersion = kSystemVersion;
    utsname name {};
    if (uname(&name) == 0)
        device.machineName = name.machine;
    return device;
}

void Device::setCurrent(std::optional<Device> device)
{
    std::lock_guard lock(s_mutex);
    s_injected = std::move(device);
}

} // namespace base
