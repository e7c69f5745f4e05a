#include "Platform/Base/Memory.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace base {

namespace {
std::atomic<int> g_pressureLevel{0};
}

std::optional<uint64_t> Memory::residentBytes(std::string* errorText)
{
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file) {
        if (errorText)
            *errorText = std::strerror(errno);
        return std::nullopt;
    }
    // Sizes in pages: total, then resident.
    unsigned long long total = 0, resident = 0;
    int read = std::fscanf(file, "%llu %llu", &total, &resident);
    std::fclose(file);
    if (read != 2) {
        if (errorText)
            *errorText = std::strerror(EINVAL);
        return std::nullopt;
    }
    long page = sysconf(_SC_PAGESIZE);
    return resident * static_cast<uint64_t>(page > 0 ? page : 4096);
}

int Memory::pressureLevel()
{
    return g_pressureLevel.load();
}

void Memory::setPressureLevel(int level)
{
    g_pressureLevel.store(level);
}

void Memory::returnFreePages()
{
#if defined(__GLIBC__)
    // The allocator gives back only the top of its heap by itself; what a big list freed below
    // live blocks stays resident otherwise.
    malloc_trim(0);
#endif
}

} // namespace base
