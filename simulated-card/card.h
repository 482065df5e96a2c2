// The whole card behind channel A of the cable for one run of the tool: MPSSE, FPGA, flashes and the conditions.
#ifndef SIMULATED_CARD_CARD_H
#define SIMULATED_CARD_CARD_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "card_events.h"
#include "card_files.h"
#include "flashes.h"
#include "fpga.h"
#include "mpsse.h"
#include "sim_clock.h"

namespace card {

// The conditions a test sets for a run ([Card] in the settings file).
struct Conditions {
    bool power = true;
    bool helper = true;
    // The mode pins: REBOOT configures from the in-system flash, or, strapped for it, from the external flash.
    bool bootFromSpi = false;
    // The cable pulled after so many bytes of the command stream, counted from the run's start, from the first
    // page program, or from the first read command of a run that programs nothing; -1: never.
    enum class PullFrom { Start, Program, Read } pullFrom = PullFrom::Start;
    long long pullAfter = -1;
    long isfBadPage = -1, spiBadPage = -1;
    bool isfBusy = false, spiBusy = false;
    // The flashes' program and erase last their datasheet times on the card's clock instead of a few status reads.
    bool hardwarePace = false;
    bool log = false;
};

class Card : private Events {
public:
    Card(card_files::CardState& state, const Conditions& conditions);
    // FT_SetBitMode: the command stream is MPSSE only in mode 2.
    void SetBitMode(uint8_t mode);
    void Purge() { mpsse_.Purge(); }
    // Takes the command stream until the cable is pulled; false from then on (taken: bytes that went through).
    bool Write(const uint8_t* data, size_t length, size_t* taken);
    size_t Read(uint8_t* into, size_t length) { return mpsse_.Read(into, length); }
    size_t Queued() const { return mpsse_.Queued(); }
    bool Pulled() const { return pulled_; }
    // The state is up to date after Sync; Unsaved tells whether it changed since the last MarkSaved.
    void Sync() { fpga_.SyncState(); }
    bool Unsaved() const { return changes_ != saved_; }
    void MarkSaved() { saved_ = changes_; }
    // The log lines gathered since the last call (empty without a log).
    std::string TakeLog();
    void Note(const std::string& line) { if (logging) LogLine(line); }
    // The card's time since the cable was opened: every TCK cycle at its period, and what the driver adds.
    uint64_t NowPs() const { return clock_.ps; }
    void Pass(uint64_t ps) { clock_.ps += ps; }

private:
    void LogLine(const std::string& line) override { log_ += line + "\r\n"; }
    void Changed() override { changes_++; }
    void FlashCommand(bool isf, uint8_t opcode) override;

    card_files::CardState& state_;
    Conditions conditions_;
    SimClock clock_;
    At45 isf_;
    M25p spi_;
    Fpga fpga_;
    Mpsse mpsse_;
    bool mpsseMode_ = false, pulled_ = false, programmed_ = false, read_ = false;
    long long bytes_ = 0, pullAt_ = -1;
    uint64_t changes_ = 0, saved_ = 0;
    std::string log_;
};

}  // namespace card

#endif
