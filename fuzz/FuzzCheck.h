#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant ends the run with a message; libFuzzer then keeps the
// input that caused it as a crash artifact.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
