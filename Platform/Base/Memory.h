#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace base {

// What the process can learn of its memory.
class Memory {
public:
    // The resident set in bytes, from /proc/self/statm; nothing when it cannot be read, with
    // the reason in errorText when given.
    static std::optional<uint64_t> residentBytes(std::string* errorText = nullptr);
    // The memory-pressure level announced with the last memory warning; 0 while unknown.
    // Any thread.
    static int pressureLevel();
    static void setPressureLevel(int level);
    // Hands back to the system the pages the allocator keeps free once a large piece of work
    // has let go of its lists, so that they are not held idle until the process ends. Takes a
    // few milliseconds: for the end of such work, not for a loop.
    static void returnFreePages();
};

} // namespace base
