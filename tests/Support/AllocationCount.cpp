#include "tests/Support/AllocationCount.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long t_allocations = 0;

void* counted(std::size_t size) noexcept
{
    ++t_allocations;
    return std::malloc(size ? size : 1);
}
} // namespace

namespace testsupport {

long allocationsOnThisThread()
{
    return t_allocations;
}

} // namespace testsupport

// Every plain form, so that whatever allocates is counted and each pair is malloc and free
// (which the compiler cannot see once they are inlined).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size)
{
    if (void* p = counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    if (void* p = counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
