// The card's two SPI flashes, command by command as the tool's SPI algorithms use them.
#include "flashes.h"

#include <algorithm>
#include <cstring>

namespace card {

void SpiFlash::Select()
{
    selected_ = true, driven_ = false, ignoring_ = false;
    bits_ = 0, out_ = 0xFF, opcode_ = 0, address_ = 0;
}

void SpiFlash::Deselect()
{
    if (!selected_)
        return;
    selected_ = false, driven_ = false;
    if (bits_ >= 8 && !ignoring_) {
        if (events_.logging)
            events_.Logf("%s %02X address %06X, %u bytes%s", name_, opcode_, (unsigned)Address(), (unsigned)(bits_ / 8),
                         bits_ % 8 ? " and some bits" : "");
        End(bits_);
    } else if (bits_ >= 8 && events_.logging)
        events_.Logf("%s %02X ignored: busy", name_, opcode_);
}

// Busy for so many status reads, or at the hardware's pace for so long on the card's clock; for ever when it stays busy.
void SpiFlash::Busy(int polls, uint64_t ps)
{
    if (staysBusy)
        busyPolls_ = -1;
    else if (clock_)
        busyUntilPs_ = clock_->ps + ps;
    else
        busyPolls_ = polls;
}

void SpiFlash::Polled()
{
    if (busyPolls_ > 0 && --busyPolls_ == 0)
        Finished();
}

// At the hardware's pace the flash gets ready when its time is up, whoever asks.
void SpiFlash::Settle()
{
    if (busyUntilPs_ != 0 && clock_->ps >= busyUntilPs_) {
        busyUntilPs_ = 0;
        Finished();
    }
}

int SpiFlash::Byte(uint8_t byte, size_t index)
{
    Settle();
    if (index == 0) {
        opcode_ = byte;
        ignoring_ = IsBusy() && byte != statusOpcode_;  // while busy only the status is read
        events_.FlashCommand(std::strcmp(name_, "isf") == 0, byte);
        Opcode(byte);
        return ignoring_ ? -1 : byte == 0x9F ? id_[0] : byte == statusOpcode_ ? Status() : -1;
    }
    if (ignoring_)
        return -1;
    if (index <= 3)
        address_ = address_ << 8 | byte;
    if (opcode_ == 0x9F)
        return index < 4 ? id_[index] : 0x00;
    return opcode_ == statusOpcode_ ? Status() : Command(byte, index);
}

// ---- AT45DB041 ----

size_t At45::Linear(uint32_t address) const
{
    // 264-byte pages: the page number sits above nine bits of byte address.
    return (((address >> 9) & 0x7FF) * 264 + (address & 0x1FF)) % memory_.size();
}

void At45::ProgramPage(const uint8_t* buffer, size_t page)
{
    if (staysBusy) {
        if (events_.logging)
            events_.Logf("fault: isf stays busy, page %u not programmed", (unsigned)page);
        Busy(-1, 0);
        return;
    }
    // The built-in erase happens either way; a bad page then keeps nothing of the buffer.
    char* at = &memory_[page * 264];
    if ((long)page == badPage) {
        memset(at, 0xFF, 264);
        if (events_.logging)
            events_.Logf("fault: isf page %u takes no data", (unsigned)page);
    } else
        memcpy(at, buffer, 264);
    Busy(kProgramPolls, kProgramPs);
    events_.Changed();
}

void At45::Erase(size_t firstPage, size_t pages, int polls, uint64_t ps)
{
    if (!staysBusy)
        memset(&memory_[firstPage * 264], 0xFF, std::min(pages, 2048 - firstPage) * 264);
    Busy(polls, ps);
    events_.Changed();
}

int At45::Command(uint8_t byte, size_t index)
{
    switch (opcode_) {
    case 0x77:  // security register after three dummy bytes: 64 bytes for the user (erased), 64 from the factory
        if (index < 3)
            return -1;
        return index - 3 < 64 ? 0xFF : index - 3 < 128 ? (uint8_t)(0xA5 ^ (index - 3) * 29) : 0xFF;
    case 0x35:  // sector lockdown register: nothing locked
        return index < 3 ? -1 : 0x00;
    case 0x03:  // continuous array read; 0x0B has a dummy byte after the address
    case 0x0B: {
        size_t first = opcode_ == 0x03 ? 3 : 4;
        if (index < first)
            return -1;
        readAt_ = index == first ? Linear(Address()) : (readAt_ + 1) % memory_.size();
        return (uint8_t)memory_[readAt_];
    }
    case 0x82: case 0x84:  // into buffer 1 (0x82 then programs it), wrapping inside the buffer
    case 0x85: case 0x87:  // the same through buffer 2
        if (index == 3)
            buffer1At_ = Address() & 0x1FF;
        else if (index > 3)
            buffers_[opcode_ == 0x85 || opcode_ == 0x87][buffer1At_++ % 264] = byte;
        return -1;
    default:
        return -1;
    }
}

void At45::End(size_t bits)
{
    size_t page = (Address() >> 9) & 0x7FF;
    bool addressed = bits >= 32;
    switch (opcode_) {
    case 0xD7:
        Polled();
        break;
    case 0x82: case 0x83:
    case 0x85: case 0x86:
        if (addressed)
            ProgramPage(buffers_[opcode_ == 0x85 || opcode_ == 0x86], page);
        break;
    case 0x81:
        if (addressed)
            Erase(page, 1, kProgramPolls, kProgramPs);
        break;
    case 0x50:
        if (addressed)
            Erase(page & ~(size_t)7, 8, kEraseBlockPolls, kEraseBlockPs);
        break;
    case 0x7C:  // sector 0a is pages 0-7, 0b pages 8-255, then 256 pages each
        if (addressed)
            page < 8     ? Erase(0, 8, kEraseBlockPolls, kEraseBlockPs)
            : page < 256 ? Erase(8, 248, kEraseSectorPolls, kEraseSectorPs)
                         : Erase(page & ~(size_t)255, 256, kEraseSectorPolls, kEraseSectorPs);
        break;
    default:
        break;
    }
}

// ---- M25P16 ----

void M25p::Opcode(uint8_t opcode)
{
    if (opcode == 0x02)
        memset(page_, 0xFF, sizeof page_);
}

int M25p::Command(uint8_t byte, size_t index)
{
    switch (opcode_) {
    case 0xAB:  // release from deep power-down, with the electronic signature
        return index < 3 ? -1 : 0x14;
    case 0x03:
    case 0x0B: {
        size_t first = opcode_ == 0x03 ? 3 : 4;
        if (index < first)
            return -1;
        readAt_ = index == first ? Address() % memory_.size() : (readAt_ + 1) % memory_.size();
        return (uint8_t)memory_[readAt_];
    }
    case 0x02:  // the page latch: data wraps inside the page from the start address
        if (index > 3)
            page_[(Address() + index - 4) & 0xFF] = byte;
        return -1;
    default:
        return -1;
    }
}

void M25p::End(size_t bits)
{
    // Program and erase act only when chip select rises on a byte boundary, with write enable set.
    bool whole = bits % 8 == 0;
    switch (opcode_) {
    case 0x05:
        Polled();
        break;
    case 0x06:
        if (bits == 8)
            writeEnabled_ = true;
        break;
    case 0x04:
        if (bits == 8)
            writeEnabled_ = false;
        break;
    case 0x02:
        if (writeEnabled_ && whole && bits >= 40) {
            size_t page = (Address() >> 8) % (memory_.size() / 256);
            if (events_.logging && (staysBusy || (long)page == badPage))
                events_.Logf("fault: spi page %u %s", (unsigned)page, staysBusy ? "not programmed, the flash stays busy" : "takes no data");
            if (!staysBusy && (long)page != badPage)
                for (size_t i = 0; i < 256; i++)
                    memory_[page * 256 + i] = (char)(memory_[page * 256 + i] & page_[i]);
            Busy(kProgramPolls, kProgramPs);
            events_.Changed();
        }
        break;
    case 0xD8:
        if (writeEnabled_ && bits == 32) {
            if (staysBusy && events_.logging)
                events_.Logf("fault: spi sector erase never ends, the flash stays busy");
            if (!staysBusy)
                memset(&memory_[(Address() >> 16) % (memory_.size() >> 16) << 16], 0xFF, 65536);
            Busy(kSectorErasePolls, kSectorErasePs);
            events_.Changed();
        }
        break;
    case 0xC7:
        if (writeEnabled_ && bits == 8) {
            if (!staysBusy)
                memory_.assign(memory_.size(), '\xff');
            Busy(kBulkErasePolls, kBulkErasePs);
            events_.Changed();
        }
        break;
    case 0x01:  // status register write: nothing here is protected, so only write enable goes
        if (writeEnabled_ && bits == 16)
            writeEnabled_ = false;
        break;
    default:
        break;
    }
}

}  // namespace card
