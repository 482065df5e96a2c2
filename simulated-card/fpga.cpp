// The XC3S400AN: TAP, instructions, configuration (by JTAG and from the in-system flash) and the helpers' bridge.
#include "fpga.h"

namespace card {

using card_files::ConfiguredBy;
using card_files::Design;

// ---- configuration packets ----

void ConfigParser::Word(uint16_t word)
{
    bool first = justSynced_;
    justSynced_ = false;
    switch (phase_) {
    case Header: {
        unsigned type = word >> 13, op = (word >> 11) & 3;
        if (first && word == 0x5566)  // the second sync word of other families: taken as part of the sync
            return;
        register_ = (word >> 5) & 0x3F;
        if (type == 1 && op == 2 && (word & 0x1F) != 0)
            phase_ = Payload, count_ = word & 0x1F, index_ = 0, value_ = 0;
        else if (type == 2)  // the word count follows in two words
            phase_ = Count1, write_ = op == 2;
        return;  // NOOPs, reads and dummy words carry nothing here
    }
    case Count1:
        count_ = (uint32_t)word << 16, phase_ = Count2;
        return;
    case Count2:
        count_ |= word, index_ = 0, value_ = 0;
        phase_ = count_ != 0 && write_ ? Payload : Header;
        return;
    case Payload:
        value_ = value_ << 16 | word;
        if (register_ == 3)
            sink_.Frame(word);
        else if (register_ == 5 && sink_.Command(word)) {
            synced_ = false, shift_ = 0, phase_ = Header, desynced_ = true;
            return;
        }
        if (++index_ == count_) {
            phase_ = Header;
            if (register_ == 3)
                sink_.FramesWritten(count_);
            else if (register_ == 14)
                sink_.Idcode(value_);
        }
        return;
    }
}

// ---- the bridge ----

void Bridge::Attach(SpiFlash* flash)
{
    Reset();
    flash_ = flash;
    ram_.reset();  // block RAM starts as the bitstream leaves it: zeros
    ramDo_ = false;
}

void Bridge::Reset()
{
    bool selected = !Csb();
    haveHeader_ = csGoPrep_ = csStop_ = csGo_ = csStopPrep_ = we_ = false;
    raddr_ = waddr_ = 0;
    resetHeader_ = true;
    if (selected && flash_)
        flash_->Deselect();
}

void Bridge::PosEdge(bool tdi)
{
    bool csb = Csb();
    bool miso = csb ? true : flash_->Clock(tdi);  // MOSI is TDI itself
    if (we_)
        ram_[waddr_++ & 0x3FFF] = miso;
    raddr_++;
    we_ = !csb;
    header_ = resetHeader_ ? tdi : (header_ << 1 | tdi) & 0xFFFFFFFFFFFFull;
    resetHeader_ = false;
    bool go = csGo_;
    csGo_ = csGoPrep_;
    if (go && len_ == 0)
        csStopPrep_ = true;
    if (csb && !Csb())
        flash_->Select();
}

bool Bridge::NegEdge(bool inCapture)
{
    bool tdo1 = ramDo_;
    ramDo_ = ram_[raddr_ & 0x3FFF];
    if (inCapture)  // the other registers are held in reset
        return tdo1;
    bool selected = !Csb();
    csStop_ = csStopPrep_;
    if (!haveHeader_) {
        // The magic in header[46:15]; the length is taken one bit early, its last bit as 0.
        if (((header_ >> 15) & 0xFFFFFFFF) == 0x59A659A6) {
            len_ = (uint16_t)((header_ & 0x7FFF) << 1);
            haveHeader_ = true;
            if (len_ != 0)
                csGoPrep_ = true;
        }
    } else if (len_ != 0)
        len_--;
    if (selected && Csb())
        flash_->Deselect();
    return tdo1;
}

// ---- the FPGA ----

Fpga::Fpga(card_files::CardState& state, Events& events, SpiFlash& isf, SpiFlash& spi, bool power, bool helper,
           bool bootFromSpi)
    : power_(power), helper_(helper), bootFromSpi_(bootFromSpi), state_(state), events_(events), isf_(isf), spi_(spi)
{
    running_ = state_.done;
    AttachBridge();
}

static const char* InstructionName(uint8_t code)
{
    switch (code) {
    case Fpga::USER1: return "USER1";
    case Fpga::USER2: return "USER2";
    case Fpga::CFG_IN: return "CFG_IN";
    case Fpga::IDCODE: return "IDCODE";
    case Fpga::JPROGRAM: return "JPROGRAM";
    case Fpga::JSTART: return "JSTART";
    case Fpga::JSHUTDOWN: return "JSHUTDOWN";
    case Fpga::ISC_ENABLE: return "ISC_ENABLE";
    case Fpga::ISC_PROGRAM: return "ISC_PROGRAM";
    case Fpga::ISC_DISABLE: return "ISC_DISABLE";
    case Fpga::ISC_DNA: return "ISC_DNA";
    case Fpga::BYPASS: return "BYPASS";
    default: return "other";
    }
}

bool Fpga::Clock(bool tms, bool tdi)
{
    static const Tap next[16][2] = {
        { RTI, TLR }, { RTI, SelDR }, { CapDR, SelIR }, { ShDR, Ex1DR }, { ShDR, Ex1DR }, { PauseDR, UpdDR },
        { PauseDR, Ex2DR }, { ShDR, UpdDR }, { RTI, SelDR }, { CapIR, TLR }, { ShIR, Ex1IR }, { ShIR, Ex1IR },
        { PauseIR, UpdIR }, { PauseIR, Ex2IR }, { ShIR, UpdIR }, { RTI, SelDR } };
    if (!power_)
        return true;
    bool sample = tdoPin_, bridge = BridgeSelected();
    Tap previous = tap_;
    // Rising edge: what the state being left does.
    switch (previous) {
    case CapDR:
        if (ir_ == IDCODE)
            dr_ = kIdcode, drLength_ = 32;
        else if (ir_ == ISC_DNA)  // readable only in ISC mode on an unconfigured device
            dr_ = iscEnabled_ && !state_.done ? kDna : ~0ull, drLength_ = 64;
        else
            dr_ = 0, drLength_ = 1;
        break;
    case ShDR:
        if (bridge)
            bridge_.PosEdge(tdi);
        else if (ir_ == CFG_IN)
            jtag_.Bit(tdi);
        else
            dr_ = dr_ >> 1 | (uint64_t)tdi << (drLength_ - 1);
        break;
    case CapIR:
        irShift_ = Capture();
        break;
    case ShIR:
        irShift_ = (uint8_t)(irShift_ >> 1 | tdi << 5);
        break;
    case RTI:
        IdleClocks(1);
        break;
    default:
        break;
    }
    tap_ = next[previous][tms];
    if (tap_ != previous)
        switch (tap_) {
        case TLR:
            SetInstruction(IDCODE);
            break;
        case CapDR:
        case UpdDR:
            if (bridge)
                bridge_.Reset();
            break;
        case UpdIR:
            SetInstruction(irShift_ & 0x3F);
            break;
        default:
            break;
        }
    // Falling edge: TDO follows the register being shifted.
    if (bridge && (tap_ == CapDR || tap_ == ShDR)) {
        bool tdo1 = bridge_.NegEdge(tap_ == CapDR);
        if (tap_ == ShDR)
            tdoPin_ = tdo1;
    } else if (tap_ == ShDR)
        tdoPin_ = ir_ == USER1 || ir_ == USER2 ? true : ir_ == CFG_IN ? false : dr_ & 1;
    else if (tap_ == ShIR)
        tdoPin_ = irShift_ & 1;
    return sample;
}

void Fpga::Clocks(uint32_t n, bool tms, bool tdi)
{
    if (!power_)
        return;
    if (tap_ == RTI && !tms)
        IdleClocks(n);
    else
        while (n--)
            Clock(tms, tdi);
}

uint8_t Fpga::Capture()
{
    // bit 0 = 1, bit 1 = 0, bit 3 ISC enabled, bit 4 INIT, bit 5 DONE; INIT is low while a JPROGRAM clears.
    bool init = initLowCaptures_ == 0;
    if (!init)
        initLowCaptures_--;
    return (uint8_t)(0x01 | (iscEnabled_ ? 0x08 : 0) | (init ? 0x10 : 0) | (state_.done ? 0x20 : 0));
}

void Fpga::SetInstruction(uint8_t code)
{
    if (ir_ == USER1 && code != USER1)
        bridge_.Reset();
    ir_ = code;
    if (events_.logging)
        events_.Logf("IR %s (%02X)", InstructionName(code), code);
    switch (code) {
    case JPROGRAM:
        ClearConfiguration();
        initLowCaptures_ = 1;
        break;
    case ISC_ENABLE: iscEnabled_ = true; break;
    case ISC_DISABLE: iscEnabled_ = false; break;
    case JSTART: startupClocks_ = 0; break;
    case JSHUTDOWN: shutdownClocks_ = 0; break;
    default: break;
    }
}

void Fpga::IdleClocks(uint32_t n)
{
    if (ir_ == JSTART) {
        startupClocks_ += n;
        // The start-up sequence, clocked by TCK: after START, or again after a shutdown.
        if ((startPending_ || (state_.done && !running_)) && startupClocks_ >= kStartupClocks) {
            startPending_ = false;
            Start();
        }
    } else if (ir_ == JSHUTDOWN) {
        shutdownClocks_ += n;
        if (running_ && shutdownClocks_ >= kStartupClocks) {
            running_ = false;
            bridge_.Attach(nullptr);
            if (events_.logging)
                events_.Logf("design shut down");
        }
    }
}

void Fpga::ClearConfiguration()
{
    jtag_.Reset();
    state_.done = false;
    state_.design = Design::None;
    state_.configuredBy = ConfiguredBy::None;
    state_.frameCrc = state_.frameLength = 0;
    firstBytes_.clear();
    framesTouched_ = false;
    running_ = startPending_ = idError_ = false;
    bridge_.Attach(nullptr);
    events_.Changed();
    if (events_.logging)
        events_.Logf("configuration cleared, DONE low");
}

void Fpga::SyncState()
{
    if (framesTouched_)
        state_.design = card_files::ClassifyFrames(state_.frameLength, state_.frameCrc, firstBytes_);
}

void Fpga::Start()
{
    if (idError_) {
        if (events_.logging)
            events_.Logf("start-up refused: wrong IDCODE in the bitstream");
        return;
    }
    SyncState();
    state_.done = running_ = true;
    events_.Changed();
    AttachBridge();
    if (events_.logging)
        events_.Logf("DONE high: design %s, %u bytes of frames, CRC-32 %08x%s", card_files::DesignName(state_.design),
                     (unsigned)state_.frameLength, (unsigned)state_.frameCrc,
                     bridge_.Flash() ? (bridge_.Flash() == &isf_ ? ", bridge to the in-system flash" : ", bridge to the external flash") : "");
}

void Fpga::AttachBridge()
{
    SpiFlash* flash = !helper_ || !running_ ? nullptr
                    : state_.design == Design::IsfBridge ? &isf_ : state_.design == Design::SpiBridge ? &spi_ : nullptr;
    bridge_.Attach(flash);
}

void Fpga::Reboot()
{
    if (events_.logging)
        events_.Logf("REBOOT: configuring from the %s flash", bootFromSpi_ ? "external" : "in-system");
    ClearConfiguration();
    // As the XC3S400AN reads its flash (the one its mode pins choose): from address 0, in order, each byte most
    // significant bit first.
    booting_ = true;
    const std::string& image = bootFromSpi_ ? state_.spi : state_.isf;
    ConfigParser flash(*this);
    for (size_t i = 0; i < image.size() && !flash.Desynced(); i++)
        flash.Byte((uint8_t)image[i]);
    booting_ = false;
    jtag_.Reset();
    if (startPending_) {  // the start-up runs on the configuration clock, without JTAG
        startPending_ = false;
        Start();
    } else if (events_.logging)
        events_.Logf("no design started from the flash");
}

void Fpga::Synced()
{
    if (events_.logging)
        events_.Logf("sync word (%s)", !booting_ ? "JTAG" : bootFromSpi_ ? "external flash" : "in-system flash");
}

void Fpga::Frame(uint16_t word)
{
    if (!framesTouched_) {
        framesTouched_ = true;
        state_.configuredBy = !booting_ ? ConfiguredBy::Jtag : bootFromSpi_ ? ConfiguredBy::Spi : ConfiguredBy::Isf;
        events_.Changed();
    }
    unsigned char bytes[2] = { (unsigned char)(word >> 8), (unsigned char)word };
    state_.frameCrc = card_files::Crc32(bytes, 2, state_.frameCrc);
    state_.frameLength += 2;
    if (firstBytes_.size() < 16)
        firstBytes_.append((const char*)bytes, 2);
}

void Fpga::FramesWritten(uint32_t words)
{
    if (events_.logging)
        events_.Logf("FDRI %u words", (unsigned)words);
}

void Fpga::Idcode(uint32_t idcode)
{
    if ((idcode & 0x0FFFFFFF) != (kIdcode & 0x0FFFFFFF))
        idError_ = true;
    if (events_.logging)
        events_.Logf("IDCODE %08x%s", (unsigned)idcode, idError_ ? ": not this device" : "");
}

bool Fpga::Command(uint16_t command)
{
    static const char* names[16] = { "NULL", "WCFG", "MFWR", "LFRM", "RCFG", "START", "RCAP", "RCRC",
                                     "AGHIGH", "SWITCH", "GRESTORE", "SHUTDOWN", "GCAPTURE", "DESYNC", "REBOOT", "?" };
    if (events_.logging)
        events_.Logf("CMD %s (%X)", names[command & 15], command);
    switch (command) {
    case 0x5:
        if (!idError_)
            startPending_ = true;
        return false;
    case 0xD:
        return true;
    case 0xE:
        if (!booting_)
            Reboot();
        return true;
    default:
        return false;
    }
}

}  // namespace card
