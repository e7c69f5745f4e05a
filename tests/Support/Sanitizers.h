#pragma once

// Which sanitizer this build runs under: gcc says so with macros of its own, clang through
// __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define BRIVANTA_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRIVANTA_TEST_ASAN 1
#endif
#endif

#if defined(__SANITIZE_THREAD__)
#define BRIVANTA_TEST_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define BRIVANTA_TEST_TSAN 1
#endif
#endif
