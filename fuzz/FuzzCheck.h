#pragma once
// What the fuzz targets share: a broken promise stops the run with its reason, so both the
// fuzzer and the corpus replay report it.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                           \
        }                                                                                           \
    } while (0)
