// Invariant checks shared by the fuzz targets: say what broke, then abort so that libFuzzer keeps the input.
#ifndef LOADER_FUZZ_CHECK_H
#define LOADER_FUZZ_CHECK_H

#include <algorithm>

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define CHECK(condition)                                                                            \
    do {                                                                                            \
        if (!(condition))                                                                           \
            fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition), abort(); \
    } while (0)
#define CHECK_SOUND(buffer) CHECK((buffer).Terminated() && (buffer).Intact())

// An output buffer of exactly the capacity handed to the product, followed by bytes it must never touch:
// AddressSanitizer cannot see a write that stays inside one object, the canary can.
template <size_t N>
struct Guarded {
    char text[N];
    unsigned char canary[32];
    Guarded()
    {
        memset(text, 0x5A, N);
        memset(canary, 0xA5, sizeof canary);
    }
    bool Terminated() const { return memchr(text, '\0', N) != nullptr; }
    bool Intact() const { return std::all_of(canary, canary + sizeof canary, [](unsigned char c) { return c == 0xA5; }); }
};

#endif
