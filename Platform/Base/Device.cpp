#include "Platform/Base/Device.h"

#include <cstdlib>
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
    if (uname(&name) == 0) {
        device.machineName = name.machine;
        device.osName = name.sysname;
        device.osVersion = name.release;
    }
    return device;
}

std::string Device::localeIdentifier()
{
    std::string value;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            value = v;
            break;
        }
    }
    // "de_DE.UTF-8@euro" -> "de_DE"
    value = value.substr(0, value.find_first_of(".@"));
    if (value.empty() || value == "C" || value == "POSIX")
        return "en_US";
    return value;
}

void Device::setCurrent(std::optional<Device> device)
{
    std::lock_guard lock(s_mutex);
    s_injected = std::move(device);
}

} // namespace base
