// The XC3S400AN behind the cable: its TAP, its configuration logic, and the helpers' USER1-to-SPI bridge.
#ifndef SIMULATED_CARD_FPGA_H
#define SIMULATED_CARD_FPGA_H

#include <bitset>
#include <cstdint>
#include <string>

#include "card_events.h"
#include "card_files.h"
#include "flashes.h"
#include "mpsse.h"

namespace card {

// What the configuration logic finds in a configuration stream.
class ConfigSink {
public:
    virtual ~ConfigSink() = default;
    virtual void Synced() = 0;
    virtual void Frame(uint16_t word) = 0;
    virtual void FramesWritten(uint32_t words) = 0;
    virtual void Idcode(uint32_t idcode) = 0;
    // A CMD register write; true when the logic goes back to looking for the sync word (DESYNC, REBOOT).
    virtual bool Command(uint16_t command) = 0;
};

// Spartan-3A configuration packets in 16-bit words, most significant bit first, after the sync word AA99.
class ConfigParser {
public:
    explicit ConfigParser(ConfigSink& sink) : sink_(sink) {}
    void Reset() { synced_ = false, shift_ = 0, phase_ = Header; }
    void Bit(bool bit)
    {
        if (!synced_) {  // the sync word is found at any bit position
            shift_ = (uint16_t)(shift_ << 1 | bit);
            if (shift_ == 0xAA99)
                synced_ = true, justSynced_ = true, bits_ = 0, phase_ = Header, sink_.Synced();
            return;
        }
        word_ = (uint16_t)(word_ << 1 | bit);
        if (++bits_ == 16)
            bits_ = 0, Word(word_);
    }
    void Byte(uint8_t byte)
    {
        for (int i = 7; i >= 0; i--)
            Bit((byte >> i) & 1);
    }
    bool Desynced() const { return desynced_; }

private:
    void Word(uint16_t word);
    ConfigSink& sink_;
    enum Phase { Header, Count1, Count2, Payload } phase_ = Header;
    bool synced_ = false, justSynced_ = false, desynced_ = false, write_ = false;
    uint16_t shift_ = 0, word_ = 0;
    int bits_ = 0, register_ = 0;
    uint32_t count_ = 0, index_ = 0, value_ = 0;
};

// The BSCAN-to-SPI bridge of bscan_common.v, edge for edge: DRCK1's rising edges take TDI into the header and
// onto MOSI, the falling edges read the answer RAM that the previous transfer filled.
class Bridge {
public:
    void Attach(SpiFlash* flash);
    SpiFlash* Flash() const { return flash_; }
    void Reset();  // CAPTURE, UPDATE, RESET or SEL1 low
    void PosEdge(bool tdi);
    bool NegEdge(bool inCapture);  // returns TDO1 as it was before the edge

private:
    bool Csb() const { return !(csGo_ && !csStop_); }
    SpiFlash* flash_ = nullptr;
    std::bitset<16384> ram_;
    uint64_t header_ = 0;
    uint16_t len_ = 0, raddr_ = 0, waddr_ = 0;
    bool ramDo_ = false, haveHeader_ = false, csGo_ = false, csGoPrep_ = false, csStop_ = false, csStopPrep_ = false;
    bool we_ = false, resetHeader_ = true;
};

class Fpga : public JtagPort, private ConfigSink {
public:
    // power: without it nothing answers and nothing changes; helper: without it no design opens a bridge.
    Fpga(card_files::CardState& state, Events& events, SpiFlash& isf, SpiFlash& spi, bool power = true, bool helper = true,
         bool bootFromSpi = false);
    static constexpr uint32_t kIdcode = 0x22620093;
    static constexpr uint64_t kDna = 0xd5867b20e1549c3aull;  // shifted out least significant bit first
    static constexpr unsigned kStartupClocks = 8;
    enum Instruction : uint8_t {
        USER1 = 0x02, USER2 = 0x03, CFG_IN = 0x05, IDCODE = 0x09, JPROGRAM = 0x0b, JSTART = 0x0c,
        JSHUTDOWN = 0x0d, ISC_ENABLE = 0x10, ISC_PROGRAM = 0x11, ISC_DISABLE = 0x16, ISC_DNA = 0x31, BYPASS = 0x3f
    };

    bool Clock(bool tms, bool tdi) override;
    bool Tdo() const override { return power_ ? tdoPin_ : true; }
    void Clocks(uint32_t n, bool tms, bool tdi) override;
    // Brings the state's frame fields and design up to date (before it is saved).
    void SyncState();

private:
    enum Tap { TLR, RTI, SelDR, CapDR, ShDR, Ex1DR, PauseDR, Ex2DR, UpdDR, SelIR, CapIR, ShIR, Ex1IR, PauseIR, Ex2IR, UpdIR };
    void SetInstruction(uint8_t code);
    uint8_t Capture();
    void IdleClocks(uint32_t n);
    void ClearConfiguration();
    void Start();
    void Reboot();
    void AttachBridge();
    bool BridgeSelected() const { return ir_ == USER1 && bridge_.Flash() != nullptr; }

    void Synced() override;
    void Frame(uint16_t word) override;
    void FramesWritten(uint32_t words) override;
    void Idcode(uint32_t idcode) override;
    bool Command(uint16_t command) override;

    const bool power_, helper_, bootFromSpi_;
    card_files::CardState& state_;
    Events& events_;
    SpiFlash& isf_;
    SpiFlash& spi_;
    ConfigParser jtag_{ *this };
    Bridge bridge_;
    Tap tap_ = TLR;
    uint8_t ir_ = IDCODE, irShift_ = 0;
    uint64_t dr_ = 0;
    int drLength_ = 1;
    bool tdoPin_ = true, iscEnabled_ = false, running_ = false, startPending_ = false, idError_ = false;
    bool booting_ = false, framesTouched_ = false;
    int initLowCaptures_ = 0;
    uint32_t startupClocks_ = 0, shutdownClocks_ = 0;
    std::string firstBytes_;
};

}  // namespace card

#endif
