#pragma once
// A failed property ends the fuzz run (or the corpus replay) with the reason.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                       \
    do {                                                                            \
        if (!(condition)) {                                                         \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                           \
        }                                                                           \
    } while (0)
