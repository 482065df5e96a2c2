// Unit tests of the simulated card's model: MPSSE framing, the XC3S400AN and its configuration, the bridge, both flashes.
#include <gtest/gtest.h>

#include <memory>

#include "card.h"
#include "card_files.h"
#include "jtag_rig.h"

using namespace card_files;

namespace {

// Records each TCK cycle as TMS and TDI ("M1": TMS high, TDI high) and answers TDO from a script.
struct FakePort : card::JtagPort {
    std::string cycles, tdo;
    size_t at = 0;
    bool Clock(bool tms, bool tdi) override
    {
        cycles += tms ? 'M' : '-';
        cycles += tdi ? '1' : '0';
        return at < tdo.size() && tdo[at++] == '1';
    }
    bool Tdo() const override { return false; }
};

std::string Feed(card::Mpsse& mpsse, const std::string& bytes, bool oneByOne)
{
    std::string out;
    for (size_t at = 0; at < bytes.size(); at += oneByOne ? 1 : bytes.size()) {
        for (size_t i = at; i < (oneByOne ? at + 1 : bytes.size()); i++)
            mpsse.Byte((uint8_t)bytes[i]);
        std::string got(mpsse.Queued(), '\0');
        got.resize(mpsse.Read((uint8_t*)&got[0], got.size()));
        out += got;
    }
    return out;
}

// The card for one run, driven as the tool drives it.
struct Model {
    CardState state;
    std::unique_ptr<card::Card> card;
    JtagRig rig;
    explicit Model(const CardState& initial = CardState(), card::Conditions conditions = card::Conditions())
        : state(initial)
    {
        card.reset(new card::Card(state, conditions));
        card->SetBitMode(2);
        rig.send = [this](const std::string& bytes) {
            size_t taken;
            card->Write((const uint8_t*)bytes.data(), bytes.size(), &taken);
        };
        rig.receive = [this](size_t n) {
            std::string got(n, '\0');
            got.resize(card->Read((uint8_t*)&got[0], n));
            return got;
        };
        rig.Start();
        rig.Reset();
    }
};

CardState Running(Design design)
{
    CardState state;
    state.done = true, state.design = design, state.configuredBy = ConfiguredBy::Jtag;
    return state;
}

uint32_t Le32(const std::string& bytes, size_t at)
{
    return (uint8_t)bytes[at] | (uint8_t)bytes[at + 1] << 8 | (uint8_t)bytes[at + 2] << 16 | (uint32_t)(uint8_t)bytes[at + 3] << 24;
}

// Status reads until the flash says it is ready, as the tool's wait loop makes them; how many answered busy.
int BusyPolls(JtagRig& rig, uint8_t command, uint8_t busyMask, uint8_t busyValue, int limit)
{
    int polls = 0;
    for (; polls < limit; polls++) {
        rig.Transfer(Bytes({ command, 0 }));
        if ((rig.Answer(1, 1)[0] & busyMask) != busyValue)
            break;
    }
    return polls;
}

}  // namespace

TEST(Mpsse, FramesBytesBitsAndTmsAsTheChipDoesWhereverTheStreamIsSplit)
{
    // Byte 0xC5 out LSB first, 3 bits of 0x05, TMS 1,1,0 with TDI high (bit 7), a bad opcode, then 16 + 3 idle clocks.
    std::string commands = Bytes({ 0x80, 0x00, 0x0b, 0x3D, 0x00, 0x00, 0xC5, 0x3F, 0x02, 0x05, 0x6F, 0x02, 0x83, 0xAB,
                                   0x8F, 0x01, 0x00, 0x8E, 0x02 });
    for (bool oneByOne : { false, true }) {
        FakePort port;
        card::Mpsse mpsse(port);
        mpsse.Reset();
        port.tdo = "10110000" "101" "001";
        EXPECT_EQ(Feed(mpsse, commands, oneByOne), Bytes({ 0x0D, 0xA0, 0x80, 0xFA, 0xAB })) << oneByOne;
        std::string idle;
        for (int i = 0; i < 19; i++)
            idle += "-1";
        EXPECT_EQ(port.cycles, "-1-0-1-0-0-0-1-1" "-1-0-1" "M1M1-1" + idle) << oneByOne;
    }
}

TEST(Mpsse, ClocksNothingWhileTckIsAnInputAndLoopbackEchoesTdi)
{
    FakePort port;
    card::Mpsse mpsse(port);
    mpsse.Reset();
    port.tdo = "11111111";
    std::string out = Feed(mpsse, Bytes({ 0x3D, 0x00, 0x00, 0x5A, 0x80, 0x00, 0x0b, 0x84, 0x3D, 0x00, 0x00, 0x5A, 0x85 }), false);
    EXPECT_EQ(out, Bytes({ 0x00, 0x5A }));
    EXPECT_EQ(port.cycles.size(), 16u);  // only the second byte reached the card
}

TEST(Fpga, ChainAnswersIdcodeAndTheInstructionCaptureOrNothingWithoutPower)
{
    Model m;
    std::string id = m.rig.ShiftDr(std::string(8, '\0'), 64);  // IDCODE after reset, then the zeros shifted in
    EXPECT_EQ(Le32(id, 0), 0x22620093u);
    EXPECT_EQ(Le32(id, 4), 0u);
    EXPECT_EQ(m.rig.ShiftIr(0x10), 0x11);  // unconfigured: INIT high, DONE low
    EXPECT_EQ(m.rig.ShiftIr(0x3F), 0x19);  // ISC_ENABLE took effect
    card::Conditions off;
    off.power = false;
    Model dark(CardState(), off);
    EXPECT_EQ(Le32(dark.rig.ShiftDr(std::string(4, '\0'), 32), 0), 0xFFFFFFFFu);
    EXPECT_EQ(dark.rig.ShiftIr(0x3F), 0x3F);
}

TEST(Fpga, SramLoadStartsOnlyAfterStartAndTheJstartClocks)
{
    std::string frames = UserFrames(7, 4096);
    const struct { bool start; uint32_t idcode; unsigned clocks; uint8_t capture; } cases[] = {
        { true, kBitstreamIdcode, 32, 0x31 },
        { true, kBitstreamIdcode, 4, 0x11 },    // too few start-up clocks
        { false, kBitstreamIdcode, 32, 0x11 },  // no START
        { true, 0x02618093, 32, 0x11 },         // another device's IDCODE
    };
    for (const auto& c : cases) {
        Model m;
        m.rig.ShiftIr(0x0B);                    // JPROGRAM clears; INIT comes back after the first capture
        EXPECT_EQ(m.rig.ShiftIr(0x05), 0x01);
        EXPECT_EQ(m.rig.ShiftIr(0x05), 0x11);
        m.rig.Configure(ConfigurationData(frames, c.start, c.idcode));
        m.rig.ShiftIr(0x0C);
        m.rig.Idle(c.clocks);
        EXPECT_EQ(m.rig.ShiftIr(0x3F), c.capture) << c.start << c.clocks;
        m.card->Sync();
        EXPECT_EQ(m.state.done, c.capture == 0x31);
        EXPECT_EQ(m.state.design, Design::User);
        EXPECT_EQ(m.state.configuredBy, ConfiguredBy::Jtag);
        EXPECT_EQ(m.state.frameCrc, Crc32(frames));
        EXPECT_EQ(m.state.frameLength, frames.size());
    }
}

TEST(Fpga, RebootConfiguresFromTheInSystemFlashAsTheToolWroteIt)
{
    std::string frames = UserFrames(9, 2000), data = ConfigurationData(frames);
    std::string withSecondSync = std::string(data).insert(data.find("\xAA\x99") + 2, "\x55\x66");  // as other families have
    const struct { std::string isf; bool done; } cases[] = {
        { data, true }, { withSecondSync, true }, { ConfigurationData(frames, false), false }, { "", false } };
    for (const auto& c : cases) {
        CardState initial = Running(Design::User);
        initial.isf.replace(0, c.isf.size(), c.isf);  // a .bit file's data, stored as the file holds it
        Model m(initial);
        m.rig.ShiftIr(0x0D);
        m.rig.Idle(16);
        m.rig.ShiftIr(0x05);
        m.rig.ShiftDr(Bytes({ 0xff, 0xff, 0x55, 0x99, 0x0c, 0x85, 0x00, 0x70, 0x04, 0x00, 0x04, 0x00 }), 96);
        m.rig.ShiftIr(0x0C);
        m.rig.Idle(32);
        EXPECT_EQ(m.rig.ShiftIr(0x3F), c.done ? 0x31 : 0x11);
        m.card->Sync();
        EXPECT_EQ(m.state.done, c.done);
        EXPECT_EQ(m.state.configuredBy, c.isf.empty() ? ConfiguredBy::None : ConfiguredBy::Isf);
        EXPECT_EQ(m.state.frameCrc, c.isf.empty() ? 0 : Crc32(frames));
    }
}

TEST(Bridge, AnswersInTheNextShiftFromBitZeroAndSelectsTheFlashForTheLengthTakenOneBitEarly)
{
    Model m(Running(Design::IsfBridge));
    EXPECT_EQ(m.rig.Transfer(Bytes({ 0x9F, 0, 0, 0, 0 })), std::string(11, '\0'));  // the RAM as configured
    EXPECT_EQ(m.rig.Answer(1, 4), Bytes({ 0x1F, 0x24, 0x00, 0x01 }));
    // A page program of 20 bytes whose length says 10 and a bit: the flash gets 10 whole bytes, so that the
    // external flash, which programs only when chip select rises on a byte boundary, takes them.
    Model spi(Running(Design::SpiBridge));
    std::string data = UserFrames(5, 20);
    spi.rig.Transfer(Bytes({ 0x06 }));
    spi.rig.Transfer(Bytes({ 0x02, 0x00, 0x05, 0x00 }) + data, (4 + 10) * 8 + 1);  // page 5
    EXPECT_EQ(spi.state.spi.substr(5 * 256, 20), data.substr(0, 10) + std::string(10, '\xff'));
}

TEST(Flashes, InSystemFlashProgramsThroughItsBufferStaysBusyForAWhileAndReadsOnAcrossPages)
{
    Model m(Running(Design::IsfBridge));
    m.rig.Transfer(Bytes({ 0xD7, 0, 0 }));
    EXPECT_EQ(m.rig.Answer(1, 2), Bytes({ 0x9C, 0x9C }));
    m.rig.Transfer(Bytes({ 0x77, 0, 0, 0 }) + std::string(128, '\0'));
    std::string security = m.rig.Answer(4, 128);
    EXPECT_EQ(security.substr(0, 64), std::string(64, '\xff'));
    EXPECT_NE(security.substr(64), std::string(64, '\xff'));
    std::string data = UserFrames(3, 264);
    m.rig.Transfer(Bytes({ 0x82, 0x00, 0x06, 0x00 }) + data);  // page 3
    m.rig.Transfer(Bytes({ 0x03, 0x00, 0x06, 0x00, 0, 0 }));    // ignored while busy: nothing drives the answer
    EXPECT_EQ(m.rig.Answer(4, 2), "\xff\xff");
    EXPECT_EQ(BusyPolls(m.rig, 0xD7, 0x80, 0x00, 50), card::At45::kProgramPolls);
    m.rig.Transfer(Bytes({ 0x03, 0x00, 0x07, 0x06, 0, 0, 0, 0 }));  // page 3 byte 262 on into page 4
    EXPECT_EQ(m.rig.Answer(4, 4), data.substr(262) + "\xff\xff");
    EXPECT_EQ(m.state.isf.substr(3 * 264, 264), data);
}

TEST(Flashes, ExternalFlashNeedsWriteEnableOnlyClearsBitsAndErasesWholeSectors)
{
    CardState initial = Running(Design::SpiBridge);
    initial.spi[0] = 0x12;
    Model m(initial);
    m.rig.Transfer(Bytes({ 0x9F }) + std::string(20, '\0'));
    EXPECT_EQ(m.rig.Answer(1, 20), Bytes({ 0x20, 0x20, 0x15, 0x10 }) + std::string(16, '\0'));
    std::string page = Bytes({ 0x02, 0x01, 0x00, 0x00 });   // page 256, the first of sector 1
    m.rig.Transfer(page + std::string(256, '\xf0'));         // no write enable: nothing
    EXPECT_EQ(m.state.spi.substr(65536, 256), std::string(256, '\xff'));
    for (char bits : { '\xf0', '\x3c' }) {
        m.rig.Transfer(Bytes({ 0x06 }));
        m.rig.Transfer(page + std::string(256, bits));
        EXPECT_EQ(BusyPolls(m.rig, 0x05, 0x01, 0x01, 50), card::M25p::kProgramPolls);
    }
    EXPECT_EQ(m.state.spi.substr(65536, 256), std::string(256, '\x30'));
    m.rig.Transfer(Bytes({ 0x06 }));
    m.rig.Transfer(Bytes({ 0xD8, 0x01, 0x00, 0x00 }));
    EXPECT_EQ(BusyPolls(m.rig, 0x05, 0x01, 0x01, 3000), card::M25p::kSectorErasePolls);
    m.rig.Transfer(Bytes({ 0x03, 0x00, 0xFF, 0xFF, 0, 0 }));  // the end of sector 0 into sector 1
    EXPECT_EQ(m.rig.Answer(4, 2), "\xff\xff");
    EXPECT_EQ(m.state.spi.substr(0, 1), "\x12");
    EXPECT_EQ(m.state.spi.substr(65536, 256), std::string(256, '\xff'));
}

TEST(Conditions, PulledCableBadPageBusyFlashAndNoHelper)
{
    // Pulled after 100 bytes from the run's start: the 100th goes through, nothing after it.
    card::Conditions pulled;
    pulled.pullAfter = 100;
    CardState state;
    card::Card cable(state, pulled);
    std::string stream(150, '\x87');
    size_t taken = 0;
    EXPECT_FALSE(cable.Write((const uint8_t*)stream.data(), stream.size(), &taken));
    EXPECT_EQ(taken, 100u);
    EXPECT_FALSE(cable.Write((const uint8_t*)stream.data(), 1, &taken));

    std::string data = UserFrames(4, 264);
    std::string program = Bytes({ 0x82, 0x00, 0x06, 0x00 }) + data, read = Bytes({ 0x03, 0, 0, 0, 0 });
    // Aimed at the first page program or at the first read of a run that programs nothing.
    for (auto from : { card::Conditions::PullFrom::Program, card::Conditions::PullFrom::Read }) {
        card::Conditions c;
        c.pullFrom = from, c.pullAfter = 5;
        Model m(Running(Design::IsfBridge), c);
        m.rig.Transfer(Bytes({ 0x9F, 0, 0, 0, 0 }));
        EXPECT_FALSE(m.card->Pulled());
        m.rig.Transfer(from == card::Conditions::PullFrom::Read ? read : program);
        EXPECT_TRUE(m.card->Pulled());
        EXPECT_EQ(m.state.isf.substr(3 * 264, 264), std::string(264, '\xff'));
    }
    card::Conditions readAfterProgram;
    readAfterProgram.pullFrom = card::Conditions::PullFrom::Read, readAfterProgram.pullAfter = 5;
    Model verify(Running(Design::IsfBridge), readAfterProgram);
    verify.rig.Transfer(program);
    BusyPolls(verify.rig, 0xD7, 0x80, 0x00, 50);
    verify.rig.Transfer(read);
    EXPECT_FALSE(verify.card->Pulled());

    // A page that takes nothing, a flash that never gets ready, a design that opens no bridge.
    card::Conditions bad, busy, noHelper;
    bad.isfBadPage = 3, busy.isfBusy = true, noHelper.helper = false;
    for (const card::Conditions& c : { bad, busy }) {
        Model m(Running(Design::IsfBridge), c);
        m.rig.Transfer(program);
        EXPECT_EQ(BusyPolls(m.rig, 0xD7, 0x80, 0x00, 40), c.isfBusy ? 40 : card::At45::kProgramPolls);
        m.rig.Transfer(Bytes({ 0x82, 0x00, 0x08, 0x00 }) + data);  // page 4
        BusyPolls(m.rig, 0xD7, 0x80, 0x00, 40);
        EXPECT_EQ(m.state.isf.substr(3 * 264, 264), std::string(264, '\xff'));
        EXPECT_EQ(m.state.isf.substr(4 * 264, 264), c.isfBusy ? std::string(264, '\xff') : data);
    }
    Model none(Running(Design::IsfBridge), noHelper);
    none.rig.Transfer(Bytes({ 0x9F, 0, 0, 0, 0 }));
    EXPECT_EQ(none.rig.Answer(1, 4), "\xff\xff\xff\xff");
}

TEST(CardFiles, StateFileAndBitFilesRoundTrip)
{
    CardState s = Running(Design::SpiBridge);
    s.frameCrc = 0x0badcafe, s.frameLength = 235620;
    s.isf[7 * 264 + 5] = 0x42, s.spi[8191 * 256] = 0;
    std::string text = WriteState(s);
    EXPECT_NE(text.find("\n7=FFFFFFFFFF42FF"), std::string::npos);
    EXPECT_EQ(text.find("\n6="), std::string::npos);  // erased pages are left out
    CardState back;
    ASSERT_TRUE(ReadState(text, &back));
    EXPECT_EQ(WriteState(back), text);
    EXPECT_TRUE(back.isf == s.isf && back.spi == s.spi);
    EXPECT_FALSE(ReadState("[fpga]\r\ndone=2\r\n", &back));
    EXPECT_FALSE(ReadState("[isf]\r\n2048=" + std::string(528, '0') + "\r\n[fpga]\r\n", &back));
    EXPECT_EQ(back.frameCrc, 0x0badcafeu);  // a rejected file leaves the state alone

    std::string configuration = ConfigurationData(UserFrames(1, 101)), read;
    std::string bit = BitFile(configuration, "a.ncd");
    ASSERT_TRUE(ConfigurationOfBitFile(bit, &read));
    EXPECT_EQ(read, configuration);
    EXPECT_FALSE(ConfigurationOfBitFile(bit.substr(0, bit.size() - 1), &read));
}
