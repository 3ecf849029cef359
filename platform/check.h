#pragma once
// Invariant checks. VELMO_ASSERT is for debug builds (compiled out with NDEBUG); VELMO_CHECK stays
// in release builds and guards states that would corrupt memory. Neither is used on input, which
// is validated and reported instead.

#include <cstdio>
#include <cstdlib>

#define VELMO_CHECK(condition)                                                                 \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

#ifdef NDEBUG
#define VELMO_ASSERT(condition) ((void)0)
#else
#define VELMO_ASSERT(condition) VELMO_CHECK(condition)
#endif
