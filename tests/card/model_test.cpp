// Unit tests of the simulated card's model where the tool never takes it; the real tool's tests drive the rest.
#include <gtest/gtest.h>

#include <memory>

#include "card.h"
#include "card_files.h"

using namespace card_files;
using card::Fpga;

namespace {

std::string Bytes(std::initializer_list<int> list) { return std::string(list.begin(), list.end()); }

// Bits as '0' and '1', each byte's most significant first, as the bridge and the configuration logic take them.
std::string Bits(const std::string& bytes)
{
    std::string bits;
    for (char c : bytes)
        for (int i = 7; i >= 0; i--)
            bits += (c >> i) & 1 ? '1' : '0';
    return bits;
}
std::string FromBits(const std::string& bits)
{
    std::string bytes(bits.size() / 8, '\0');
    for (size_t i = 0; i < bytes.size() * 8; i++)
        bytes[i / 8] = (char)(bytes[i / 8] << 1 | (bits[i] == '1'));
    return bytes;
}

// The card for one run, and a JTAG master on its cable: one TCK cycle per MPSSE command.
struct Model {
    CardState state;
    std::unique_ptr<card::Card> card;
    explicit Model(const CardState& initial = CardState(), card::Conditions conditions = card::Conditions())
        : state(initial), card(new card::Card(state, conditions))
    {
        card->SetBitMode(2);
        Cycles("111110", Bytes({ 0x80, 0x08, 0x0b }));  // TCK, TDI, TMS driven; Test-Logic-Reset, Run-Test/Idle
    }
    // TMS and TDI of each cycle, as a TMS command of one bit with TDI in its bit 7; TDO comes back at a byte's top.
    std::string Cycles(const std::string& tms, std::string commands = "", const std::string& tdi = "")
    {
        for (size_t i = 0; i < tms.size(); i++)
            commands += Bytes({ 0x6B, 0x00, (i < tdi.size() && tdi[i] == '1') << 7 | (tms[i] == '1') });
        size_t taken;
        card->Write((const uint8_t*)commands.data(), commands.size(), &taken);
        std::string got(tms.size(), '\0'), tdo;
        got.resize(card->Read((uint8_t*)&got[0], got.size()));
        for (char c : got)
            tdo += c & 0x80 ? '1' : '0';
        return tdo;
    }
    // From Run-Test/Idle through Shift-IR or Shift-DR and back, the bits in the order shifted; TDO in the same order.
    std::string Shift(bool ir, const std::string& bits)
    {
        std::string head = ir ? "1100" : "100";
        return Cycles(head + std::string(bits.size() - 1, '0') + "110", "", std::string(head.size(), '0') + bits)
            .substr(head.size(), bits.size());
    }
    int Ir(int code)  // the instruction capture; both go least significant bit first
    {
        std::string bits = Bits(std::string(1, (char)code)), got = Shift(true, std::string(bits.rbegin(), bits.rbegin() + 6));
        return (uint8_t)FromBits("00" + std::string(got.rbegin(), got.rend()))[0];
    }
    // One bridge transfer as the tool's SPI code makes it: USER1, the magic, the length in bits and the bytes for
    // the flash; what comes back is the RAM's answer to the transfer before.
    std::string Transfer(const std::string& mosi)
    {
        Ir(Fpga::USER1);
        size_t bits = mosi.size() * 8;
        return FromBits(Shift(false, Bits(Bytes({ 0x59, 0xA6, 0x59, 0xA6, (int)(bits >> 8), (int)bits & 0xFF }) + mosi)));
    }
    // The flash's answer to the previous transfer, past its first skip bytes: a USER1 shift of zeros.
    std::string Answer(size_t skip, size_t length)
    {
        Ir(Fpga::USER1);
        return FromBits(Shift(false, std::string((skip + length) * 8, '0'))).substr(skip);
    }
};

CardState Running(Design design)
{
    CardState state;
    state.done = true, state.design = design, state.configuredBy = ConfiguredBy::Jtag;
    return state;
}

}  // namespace

// The start-up runs only after START, on enough JSTART clocks, and only for this device's IDCODE; a second sync
// word, as other families send it, is part of the sync.
TEST(Fpga, ADesignStartsOnlyAfterStartOnEnoughClocksAndForThisDevice)
{
    std::string frames = UserFrames(7, 64), data = ConfigurationData(frames);
    const struct { std::string data; int clocks, capture; } cases[] = {
        { data, 32, 0x31 }, { data, 4, 0x11 }, { ConfigurationData(frames, false), 32, 0x11 },
        { ConfigurationData(frames, true, 0x02618093), 32, 0x11 },
        { std::string(data).insert(data.find("\xAA\x99") + 2, "\x55\x66"), 32, 0x31 },
    };
    for (const auto& c : cases) {
        Model m;
        m.Ir(Fpga::JPROGRAM);
        m.Ir(Fpga::CFG_IN);
        m.Shift(false, Bits(c.data));
        m.Ir(Fpga::JSTART);
        m.Cycles(std::string(c.clocks, '0'));
        EXPECT_EQ(m.Ir(Fpga::BYPASS), c.capture) << &c - cases;  // DONE is bit 5
    }
}

// What the tool never asks of the flashes: a command while busy, a page program without write enable, or one
// over bits already programmed, which only clears bits. A Verify's read is not the first read of a run that
// programs nothing, from which a pull is counted.
TEST(Flashes, IgnoreCommandsWhileBusyAndProgramOnlyWithWriteEnableClearingBits)
{
    card::Conditions pullAtARead;
    pullAtARead.pullFrom = card::Conditions::PullFrom::Read, pullAtARead.pullAfter = 5;
    Model isf(Running(Design::IsfBridge), pullAtARead);
    isf.Transfer(Bytes({ 0x82, 0x00, 0x06, 0x00 }) + UserFrames(3, 264));  // page 3
    isf.Transfer(Bytes({ 0x03, 0x00, 0x06, 0x00, 0, 0 }));
    EXPECT_EQ(isf.Answer(4, 2), "\xff\xff");  // nothing drives the answer
    EXPECT_FALSE(isf.card->Pulled());

    Model spi(Running(Design::SpiBridge));
    const std::string page = Bytes({ 0x02, 0x01, 0x00, 0x00 });  // page 256
    spi.Transfer(page + std::string(256, '\x0f'));
    for (char bits : { '\xf0', '\x3c' }) {
        spi.Transfer(Bytes({ 0x06 }));
        spi.Transfer(page + std::string(256, bits));
        spi.Transfer(Bytes({ 0x05, 0 }));  // one status read sees the page program end
    }
    EXPECT_EQ(spi.state.spi.substr(65536, 256), std::string(256, '\x30'));
}

TEST(CardFiles, TheStateFileRoundTripsAndJunkLeavesTheStateAlone)
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
    EXPECT_EQ(back.frameCrc, 0x0badcafeu);
}
