// What the parts of the simulated card tell the card as a whole: its log, changes to keep, flash commands seen.
#ifndef SIMULATED_CARD_EVENTS_H
#define SIMULATED_CARD_EVENTS_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

namespace card {

class Events {
public:
    virtual ~Events() = default;
    // One line of the card's log; callers test logging first, so that a card without a log formats nothing.
    bool logging = false;
    void Logf(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char line[512];
        va_list args;
        va_start(args, format);
        vsnprintf(line, sizeof line, format, args);
        va_end(args);
        LogLine(line);
    }
    virtual void LogLine(const std::string& line) = 0;
    // The FPGA's configuration or a flash's content changed: the state file is due.
    virtual void Changed() = 0;
    // A flash took the opcode of a command (first byte after its chip select fell).
    virtual void FlashCommand(bool isf, uint8_t opcode) = 0;
};

}  // namespace card

#endif
