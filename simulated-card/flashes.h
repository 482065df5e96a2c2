// The card's two SPI flashes: the FPGA's in-system flash (AT45DB041-style) and the external flash (M25P16-style).
#ifndef SIMULATED_CARD_FLASHES_H
#define SIMULATED_CARD_FLASHES_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "card_events.h"
#include "sim_clock.h"

namespace card {

// A flash seen from its pins, one clock at a time: bytes in most significant bit first, the answer out the same way,
// driven from the clock after the byte that decides it. A flash that drives nothing reads as 1 (the pull-up).
class SpiFlash {
public:
    // id: what the JEDEC ID command (0x9F) answers first; statusOpcode: the one command a busy flash takes.
    SpiFlash(Events& events, std::string& memory, const char* name, const uint8_t* id, uint8_t statusOpcode)
        : events_(events), memory_(memory), name_(name), id_(id), statusOpcode_(statusOpcode) {}
    virtual ~SpiFlash() = default;
    void Select();
    // One rising clock edge with MOSI; returns MISO as the master samples it at that edge.
    bool Clock(bool mosi)
    {
        bool miso = driven_ ? (out_ >> (7 - (bits_ & 7))) & 1 : true;
        in_ = (uint8_t)(in_ << 1 | mosi);
        if ((++bits_ & 7) == 0) {
            int next = Byte(in_, bits_ / 8 - 1);
            driven_ = next >= 0;
            out_ = (uint8_t)next;
        }
        return miso;
    }
    void Deselect();
    bool Selected() const { return selected_; }

    // Conditions: a page that does not take its data (-1: none); a program or erase that never ends.
    long badPage = -1;
    bool staysBusy = false;
    // At the hardware's pace a program or erase lasts its time on the card's clock; otherwise a number of status reads.
    void Pace(const SimClock* clock) { clock_ = clock; }

protected:
    // After the opcode (index 1 on) and the ID and status commands, which every flash answers alike: byte index of
    // the command; the byte to drive in the next eight clocks, or -1 for none.
    virtual int Command(uint8_t byte, size_t index) = 0;
    virtual void Opcode(uint8_t) {}
    virtual uint8_t Status() const = 0;
    virtual void End(size_t bits) = 0;  // chip select rose after so many clocks
    virtual void Finished() {}           // a program or erase has just ended
    uint32_t Address() const { return address_ & 0xFFFFFF; }
    void Busy(int polls, uint64_t ps);
    bool IsBusy() const { return busyPolls_ != 0 || busyUntilPs_ != 0; }
    // A status read while busy, at the fast pace: one fewer to go.
    void Polled();

    Events& events_;
    std::string& memory_;
    const char* name_;
    uint8_t opcode_ = 0;
    uint32_t address_ = 0;  // the three bytes after the opcode, as they come
    int busyPolls_ = 0;     // status reads still answered busy; -1: for ever
    uint64_t busyUntilPs_ = 0;  // at the hardware's pace: busy until the card's clock reaches this (0: not busy)
    bool ignoring_ = false; // the command came while busy

private:
    int Byte(uint8_t byte, size_t index);
    void Settle();
    const SimClock* clock_ = nullptr;
    const uint8_t* id_;
    const uint8_t statusOpcode_;
    bool selected_ = false, driven_ = false;
    size_t bits_ = 0;
    uint8_t in_ = 0, out_ = 0xFF;
};

// AT45DB041: 2,048 pages of 264 bytes, two SRAM buffers, page programs through a buffer with built-in erase.
class At45 : public SpiFlash {
public:
    At45(Events& events, std::string& memory) : SpiFlash(events, memory, "isf", kId, 0xD7) {}
    static constexpr int kProgramPolls = 6, kEraseBlockPolls = 20, kEraseSectorPolls = 300;
    // At the hardware's pace: page erase and program (and page erase alone), block erase, sector erase.
    static constexpr uint64_t kProgramPs = 14 * kPicosecondsPerMillisecond, kEraseBlockPs = 45 * kPicosecondsPerMillisecond,
                              kEraseSectorPs = 1600 * kPicosecondsPerMillisecond;

protected:
    int Command(uint8_t byte, size_t index) override;
    uint8_t Status() const override { return IsBusy() ? 0x1C : 0x9C; }  // ready, density 0111, 264-byte pages
    void End(size_t bits) override;

private:
    static constexpr uint8_t kId[4] = { 0x1F, 0x24, 0x00, 0x01 };
    size_t Linear(uint32_t address) const;
    void ProgramPage(const uint8_t* buffer, size_t page);
    void Erase(size_t firstPage, size_t pages, int polls, uint64_t ps);
    uint8_t buffers_[2][264] = {};
    uint32_t buffer1At_ = 0;
    size_t readAt_ = 0;
};

// M25P16: 2 MiB, 256-byte pages, 64 KiB sectors; programming only clears bits and needs write enable.
class M25p : public SpiFlash {
public:
    M25p(Events& events, std::string& memory) : SpiFlash(events, memory, "spi", kId, 0x05) {}
    static constexpr int kProgramPolls = 1, kSectorErasePolls = 300, kBulkErasePolls = 3000;
    static constexpr uint64_t kProgramPs = 640 * kPicosecondsPerMicrosecond,
                              kSectorErasePs = 600 * kPicosecondsPerMillisecond, kBulkErasePs = 13000 * kPicosecondsPerMillisecond;

protected:
    int Command(uint8_t byte, size_t index) override;
    void Opcode(uint8_t opcode) override;
    uint8_t Status() const override { return (uint8_t)((IsBusy() ? 1 : 0) | (writeEnabled_ ? 2 : 0)); }
    void End(size_t bits) override;
    void Finished() override { writeEnabled_ = false; }

private:
    static constexpr uint8_t kId[4] = { 0x20, 0x20, 0x15, 0x10 };  // then 16 bytes of factory data, zero here
    bool writeEnabled_ = false;
    uint8_t page_[256];
    size_t readAt_ = 0;
};

}  // namespace card

#endif
