#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property is a finding: say which one and abort, which libFuzzer
// reports as a crash and saves the input for.
#define FUZZ_CHECK(condition, what)                                                                    \
    do {                                                                                               \
        if (!(condition)) {                                                                            \
            std::fprintf(stderr, "FUZZ CHECK FAILED at %s:%d: %s (%s)\n", __FILE__, __LINE__, what, \
                         #condition);                                                                  \
            std::abort();                                                                              \
        }                                                                                              \
    } while (0)
