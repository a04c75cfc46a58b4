#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant must stop the run where libFuzzer can see it, in every
// build type: assert() vanishes under NDEBUG.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                            \
        }                                                                            \
    } while (false)
