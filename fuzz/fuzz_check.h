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
// A text buffer of exactly the capacity handed to the product: terminated, and nothing written past it.
#define CHECK_SOUND(buffer) CHECK(memchr((buffer).value, '\0', sizeof (buffer).value) != nullptr && (buffer).Intact())

// What the product writes into, followed by bytes it must never touch: AddressSanitizer cannot see a write that
// stays inside one object, the canary can.
template <class T>
struct Guarded {
    T value;
    unsigned char canary[32];
    Guarded()
    {
        memset(&value, 0x5A, sizeof value);
        memset(canary, 0xA5, sizeof canary);
    }
    bool Intact() const { return std::all_of(canary, canary + sizeof canary, [](unsigned char c) { return c == 0xA5; }); }
};

#endif
