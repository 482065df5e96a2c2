// The card's own time, at the hardware's pace: its TCK cycles, USB round trips and the flashes' busy times.
#ifndef SIMULATED_CARD_SIM_CLOCK_H
#define SIMULATED_CARD_SIM_CLOCK_H

#include <cstdint>

namespace card {

// Picoseconds, so that a TCK period of the FT2232H's 60 MHz master clock divided down is near enough exact
// (at 1.5 MHz 666,667 ps, a third of a picosecond off per cycle); 64 bits last for months of card time.
struct SimClock {
    uint64_t ps = 0;
};

constexpr uint64_t kPicosecondsPerMicrosecond = 1000000ull;
constexpr uint64_t kPicosecondsPerMillisecond = 1000ull * kPicosecondsPerMicrosecond;

}  // namespace card

#endif
