#pragma once
#include <optional>
#include <string>

namespace base {

// The device record: what the application reads about the machine it runs on.
class Device {
public:
    std::string machineName;   // the hardware name, as uname's machine field
    std::string systemVersion; // the system version the application compares with

    // The injected record when a test has set one, else this machine's.
    static Device current();
    // Tests: replaces the record until reset with nullopt.
    static void setCurrent(std::optional<Device> device);
};

} // namespace base
