// The FT2232H's MPSSE engine as the tool drives it on channel A: the command stream in, the bytes read out.
#ifndef SIMULATED_CARD_MPSSE_H
#define SIMULATED_CARD_MPSSE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim_clock.h"

namespace card {

// What hangs on the cable's JTAG pins: one TCK cycle at a time.
class JtagPort {
public:
    virtual ~JtagPort() = default;
    // One TCK cycle with TMS and TDI; returns TDO as the cable samples it at the end of the cycle.
    virtual bool Clock(bool tms, bool tdi) = 0;
    // TDO now, without a clock.
    virtual bool Tdo() const = 0;
    // n cycles with steady TMS and TDI, TDO not read.
    virtual void Clocks(uint32_t n, bool tms, bool tdi)
    {
        while (n--)
            Clock(tms, tdi);
    }
};

class Mpsse {
public:
    // clock: where the TCK cycles' time goes, whether or not TCK reaches the card (none: time is not kept).
    explicit Mpsse(JtagPort& port, SimClock* clock = nullptr) : port_(port), clock_(clock) { SetPeriod(); }
    // MPSSE mode entered (FT_SetBitMode): pins are inputs again and no command is half read.
    void Reset();
    // One byte of the command stream; commands may be split anywhere between calls.
    void Byte(uint8_t byte);
    // What the commands produced and nobody has read yet.
    size_t Queued() const { return out_.size() - outAt_; }
    size_t Read(uint8_t* into, size_t length);
    void Purge() { out_.clear(), outAt_ = 0; }
    uint32_t TckHz() const;

private:
    static int ArgumentsOf(uint8_t op);
    void Execute();
    void SetPeriod();
    void Tick(uint64_t cycles)
    {
        if (clock_)
            clock_->ps += cycles * periodPs_;
    }
    void DataByte(uint8_t tdi);
    bool Clock(bool tms, bool tdi);
    bool PinTms() const { return lowValue_ & 0x08; }
    bool PinTdi() const { return lowValue_ & 0x02; }
    void SetTdi(bool level) { lowValue_ = (uint8_t)(level ? lowValue_ | 0x02 : lowValue_ & ~0x02); }

    JtagPort& port_;
    SimClock* clock_;
    uint64_t periodPs_ = 0;  // one TCK cycle at the divisor and divide-by-5 in force
    uint8_t lowValue_ = 0, lowDir_ = 0, highValue_ = 0, highDir_ = 0;
    bool loopback_ = false, divideBy5_ = true;
    uint16_t divisor_ = 0;
    uint8_t op_ = 0, args_[2] = {};
    int argsWanted_ = 0, argsHad_ = 0;
    uint32_t payload_ = 0;  // data bytes still to come for a clock-data-out command
    std::string out_;
    size_t outAt_ = 0;
};

}  // namespace card

#endif
