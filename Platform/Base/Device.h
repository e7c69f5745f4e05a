#pragma once
#include <optional>
#include <string>

namespace base {

// The device record: what the application reads about the machine it runs on.
class Device {
public:
    std::string machineName;   // the hardware name, as uname's machine field; also the model
                               // shown to servers
    std::string systemVersion; // the system version the application compares with
    std::string osName = {};    // the operating system, as uname's sysname ("Linux")
    std::string osVersion = {}; // its release, as uname's release

    // The injected record when a test has set one, else this machine's.
    static Device current();
    // Tests: replaces the record until reset with nullopt.
    static void setCurrent(std::optional<Device> device);

    // The user's locale as "language_REGION" ("en_US"), from LC_ALL, LC_MESSAGES or LANG,
    // the first one set; "C", "POSIX" or nothing at all give "en_US".
    static std::string localeIdentifier();
};

} // namespace base
