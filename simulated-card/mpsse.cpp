// The FT2232H's MPSSE engine: JTAG clocking commands (AN108) turned into TCK cycles on the port.
#include "mpsse.h"

#include <algorithm>
#include <cstring>

namespace card {

void Mpsse::Reset()
{
    lowValue_ = lowDir_ = highValue_ = highDir_ = 0;
    loopback_ = false, divideBy5_ = true, divisor_ = 0;
    argsWanted_ = argsHad_ = 0, payload_ = 0;
    SetPeriod();
}

// The 60 MHz master clock, divided by five unless 0x8A turned that off, then by 2 * (1 + divisor).
uint32_t Mpsse::TckHz() const { return (divideBy5_ ? 12000000u : 60000000u) / (2u * (1u + divisor_)); }

void Mpsse::SetPeriod()
{
    uint64_t masterCycles = 2ull * (1u + divisor_) * (divideBy5_ ? 5u : 1u);
    periodPs_ = (masterCycles * 1000000ull + 30) / 60;  // a master cycle is 1/60 us
}

// Bytes after the opcode, or -1 for an opcode the chip does not know.
int Mpsse::ArgumentsOf(uint8_t op)
{
    if (op < 0x80) {
        if (op & 0x40)  // TMS commands: bit mode and LSB first, never clocking data out on TDI
            return (op & 0x10) == 0 && (op & 0x0A) == 0x0A ? 2 : -1;
        if ((op & 0x30) == 0)
            return -1;
        return (op & 0x02) && !(op & 0x10) ? 1 : 2;
    }
    switch (op) {
    case 0x80: case 0x82: case 0x86: case 0x8F: case 0x9C: case 0x9D:
        return 2;
    case 0x8E:
        return 1;
    case 0x81: case 0x83: case 0x84: case 0x85: case 0x87: case 0x88: case 0x89:
    case 0x8A: case 0x8B: case 0x8C: case 0x8D: case 0x94: case 0x95: case 0x96: case 0x97:
        return 0;
    default:
        return -1;
    }
}

void Mpsse::Byte(uint8_t byte)
{
    if (payload_ > 0) {
        payload_--;
        DataByte(byte);
        return;
    }
    if (argsWanted_ == 0) {
        op_ = byte;
        int wanted = ArgumentsOf(byte);
        if (wanted < 0) {  // the chip's answer to a bad command
            out_ += '\xFA';
            out_ += (char)byte;
        } else if (wanted == 0)
            Execute();
        else
            argsWanted_ = wanted, argsHad_ = 0;
        return;
    }
    args_[argsHad_++] = byte;
    if (argsHad_ == argsWanted_) {
        argsWanted_ = 0;
        Execute();
    }
}

size_t Mpsse::Read(uint8_t* into, size_t length)
{
    size_t n = std::min(length, Queued());
    memcpy(into, out_.data() + outAt_, n);
    outAt_ += n;
    if (outAt_ == out_.size())
        out_.clear(), outAt_ = 0;
    return n;
}

// TCK reaches the card only while its pin is an output; in loopback TDO reads what goes out on TDI.
bool Mpsse::Clock(bool tms, bool tdi)
{
    Tick(1);
    bool tdo = lowDir_ & 0x01 ? port_.Clock(tms, tdi) : port_.Tdo();
    return loopback_ ? tdi : tdo;
}

void Mpsse::DataByte(uint8_t tdi)
{
    bool lsb = op_ & 0x08, tms = PinTms();
    uint8_t read = 0;
    for (int i = 0; i < 8; i++) {
        int bit = lsb ? i : 7 - i;
        read |= (uint8_t)(Clock(tms, (tdi >> bit) & 1) << bit);
    }
    SetTdi(lsb ? tdi & 0x80 : tdi & 0x01);
    if (op_ & 0x20)
        out_ += (char)read;
}

void Mpsse::Execute()
{
    uint8_t op = op_;
    if (op < 0x80) {
        bool read = op & 0x20, write = op & 0x10, lsb = op & 0x08;
        if (op & 0x40) {  // TMS bits from the data byte, TDI held at its bit 7
            uint8_t data = args_[1], got = 0;
            bool tdi = data & 0x80, tms = PinTms();
            int n = std::min((args_[0] & 7) + 1, 7);
            for (int i = 0; i < n; i++) {
                tms = (data >> i) & 1;
                got = (uint8_t)(got >> 1 | Clock(tms, tdi) << 7);  // read bits come in at the top
            }
            lowValue_ = (uint8_t)(tms ? lowValue_ | 0x08 : lowValue_ & ~0x08);
            SetTdi(tdi);
            if (read)
                out_ += (char)got;
        } else if (op & 0x02) {  // 1 to 8 bits
            uint8_t data = write ? args_[1] : (PinTdi() ? 0xFF : 0x00), got = 0;
            bool tms = PinTms(), tdi = PinTdi();
            int n = (args_[0] & 7) + 1;
            for (int i = 0; i < n; i++) {
                tdi = (data >> (lsb ? i : 7 - i)) & 1;
                bool tdo = Clock(tms, tdi);
                got = lsb ? (uint8_t)(got >> 1 | tdo << 7) : (uint8_t)(got << 1 | tdo);
            }
            SetTdi(tdi);
            if (read)
                out_ += (char)got;
        } else {  // 1 to 65,536 bytes: written ones stream in as they come
            uint32_t count = (uint32_t)(args_[0] | args_[1] << 8) + 1;
            if (write)
                payload_ = count;
            else
                while (count--)
                    DataByte(PinTdi() ? 0xFF : 0x00);
        }
        return;
    }
    switch (op) {
    case 0x80: lowValue_ = args_[0], lowDir_ = args_[1]; break;
    case 0x82: highValue_ = args_[0], highDir_ = args_[1]; break;
    case 0x81:  // inputs read their outside level: TDO, and pull-ups elsewhere
        out_ += (char)((lowValue_ & lowDir_) | (~lowDir_ & (0xFB | (port_.Tdo() ? 0x04 : 0))));
        break;
    case 0x83: out_ += (char)((highValue_ & highDir_) | ~highDir_); break;
    case 0x84: loopback_ = true; break;
    case 0x85: loopback_ = false; break;
    case 0x86: divisor_ = (uint16_t)(args_[0] | args_[1] << 8), SetPeriod(); break;
    case 0x8A: divideBy5_ = false, SetPeriod(); break;
    case 0x8B: divideBy5_ = true, SetPeriod(); break;
    case 0x8E:  // clocks without data; 0x8F (and the GPIO-gated 0x9C/0x9D, ungated here) in units of eight
    case 0x8F: case 0x9C: case 0x9D: {
        uint32_t cycles = op == 0x8E ? (args_[0] & 7) + 1u : ((uint32_t)(args_[0] | args_[1] << 8) + 1) * 8;
        Tick(cycles);
        if (lowDir_ & 0x01)
            port_.Clocks(cycles, PinTms(), PinTdi());
        break;
    }
    default:  // send immediate, wait on I/O, clock options: nothing to do in a model
        break;
    }
}

}  // namespace card
