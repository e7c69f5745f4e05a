// The page worker: draws PDF pages for the application under a memory limit (see PageWorkers).
#include "Platform/Pdf/PageWorkerProtocol.h"
#include "Platform/Pdf/Engine/PageWorkerServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PAGE_WORKER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PAGE_WORKER_SANITIZED 1
#endif
#endif

#ifndef PAGE_WORKER_SANITIZED
// An allocation refused under the address-space limit ends the worker: the drawing library
// would otherwise leave out the picture it could not hold, and the page would look whole.
// (A sanitizer's allocator reserves far more address space than the limit, so sanitized
// builds have no such limit; the application ends a worker whose resident size passes it.)
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

static void* checked(void* p, bool wanted)
{
    if (!p && wanted)
        _exit(pdf::worker::kExitOverLimit);
    return p;
}

void* malloc(size_t size)
{
    return checked(__libc_malloc(size), size != 0);
}
void* calloc(size_t count, size_t size)
{
    return checked(__libc_calloc(count, size), count != 0 && size != 0);
}
void* realloc(void* p, size_t size)
{
    return checked(__libc_realloc(p, size), size != 0);
}
void* memalign(size_t alignment, size_t size)
{
    return checked(__libc_memalign(alignment, size), size != 0);
}
void* aligned_alloc(size_t alignment, size_t size)
{
    return checked(__libc_memalign(alignment, size), size != 0);
}
int posix_memalign(void** out, size_t alignment, size_t size)
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    *out = checked(__libc_memalign(alignment, size), size != 0);
    return 0;
}
}
#else
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));

// Under a sanitizer a single allocation above the limit ends the worker as the limit would;
// growth by many allocations is seen by the application in the worker's resident size.
static size_t allocationLimit = size_t(1) << 30;

static void onAllocation(const volatile void*, size_t size)
{
    if (size > allocationLimit)
        _exit(pdf::worker::kExitOverLimit);
}
#endif

int main(int argc, char** argv)
{
    unsigned long long memory = 1ull << 30;
    pid_t parent = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--memory=", 0) == 0)
            memory = std::strtoull(arg.c_str() + 9, nullptr, 10);
        else if (arg.rfind("--parent=", 0) == 0)
            parent = pid_t(std::strtol(arg.c_str() + 9, nullptr, 10));
    }
    // Nothing of the application's but what it handed over.
    close_range(pdf::worker::kPixelsFd + 1, ~0u, 0);
    std::signal(SIGPIPE, SIG_IGN);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#ifndef PAGE_WORKER_SANITIZED
    rlimit space{rlim_t(memory), rlim_t(memory)};
    setrlimit(RLIMIT_AS, &space);
#else
    allocationLimit = size_t(memory);
    __sanitizer_install_malloc_and_free_hooks(onAllocation, nullptr);
#endif
    // A worker drawing for ever still ends with the application, however that ends.
    if (parent) {
        if (getppid() != parent)
            _exit(0);
        std::thread([parent] {
            while (getppid() == parent)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            _exit(0);
        }).detach();
    }
    pdf::runPageWorker();
}
