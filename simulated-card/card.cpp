// The card for one run: the parts wired together, the conditions applied, the pulled cable counted out.
#include "card.h"

namespace card {

Card::Card(card_files::CardState& state, const Conditions& conditions)
    : state_(state), conditions_(conditions), isf_(*this, state.isf), spi_(*this, state.spi),
      fpga_(state, *this, isf_, spi_, conditions.power, conditions.helper, conditions.bootFromSpi), mpsse_(fpga_, &clock_)
{
    logging = conditions.log;
    isf_.badPage = conditions.isfBadPage, spi_.badPage = conditions.spiBadPage;
    isf_.staysBusy = conditions.isfBusy, spi_.staysBusy = conditions.spiBusy;
    if (conditions.hardwarePace)
        isf_.Pace(&clock_), spi_.Pace(&clock_);
    if (conditions.pullAfter >= 0 && conditions.pullFrom == Conditions::PullFrom::Start)
        pullAt_ = conditions.pullAfter;
}

void Card::SetBitMode(uint8_t mode)
{
    mpsseMode_ = mode == 2;
    if (mpsseMode_)
        mpsse_.Reset();
}

bool Card::Write(const uint8_t* data, size_t length, size_t* taken)
{
    *taken = 0;
    if (pulled_)
        return false;
    for (size_t i = 0; i < length; i++) {
        if (pullAt_ >= 0 && bytes_ >= pullAt_) {
            pulled_ = true;
            if (logging)
                Logf("fault: cable pulled after %lld bytes of the run's command stream", bytes_);
            return false;
        }
        if (mpsseMode_)  // otherwise the bytes would go out of the UART, to nothing
            mpsse_.Byte(data[i]);
        bytes_++;
        *taken = i + 1;
    }
    return true;
}

void Card::FlashCommand(bool isf, uint8_t opcode)
{
    // Counting for a pulled cable starts at the byte of the stream in which the flash takes the opcode.
    bool program = isf ? opcode == 0x82 || opcode == 0x85 : opcode == 0x02;
    bool read = opcode == 0x03 || opcode == 0x0B;
    if (program && !programmed_) {
        programmed_ = true;
        if (conditions_.pullAfter >= 0 && conditions_.pullFrom == Conditions::PullFrom::Program)
            pullAt_ = bytes_ + conditions_.pullAfter;
    } else if (read && !programmed_ && !read_) {
        read_ = true;
        if (conditions_.pullAfter >= 0 && conditions_.pullFrom == Conditions::PullFrom::Read)
            pullAt_ = bytes_ + conditions_.pullAfter;
    }
}

std::string Card::TakeLog()
{
    std::string lines;
    lines.swap(log_);
    return lines;
}

}  // namespace card
