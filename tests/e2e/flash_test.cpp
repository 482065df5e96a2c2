// The flashes with the real tool and the simulated card: Loads and Reads byte for byte, and the card's faults.
#include <gtest/gtest.h>

#include "real_card.h"

using namespace testing_support;
using card_files::CardState;

static const std::string kOk = "XC3SProg processing.\r\nXC3SProg done.\r\n";
static const size_t kReadLength = 236000;  // what a Read asks the tool for

TEST(Flash, ALoadWritesTheFlashAsTheToolTakesTheFileAndTheFpgaBootsIt)
{
    Session s("flash-load");
    UseRealTool(s);
    ASSERT_TRUE(s.Start());
    SetDlgItemTextA(s.w, 4003, s.bitstream.c_str());
    const std::string waitI = "\r\nWaiting for internal flash to be loaded.\r\n", waitX = "\r\nWaiting for external flash to be loaded.\r\n";

    // Internal flash, then "Load FPGA after loading Flash": the FPGA boots what was written.
    std::string frames = WriteDesign(s.bitstream, 11);
    Click(s.w, 4014);
    Click(s.w, 4026);
    EXPECT_EQ(Adds(s, 4001), waitI + kOk + kOk + "Internal Flash loaded.\r\n" + kOk);
    EXPECT_TRUE(Holds(Card(s.dir).isf, DataOf(s.bitstream)));
    EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "isf", frames));

    // Without it, the FPGA keeps the helper that opened the flash.
    WriteDesign(s.bitstream, 12);
    Click(s.w, 4026);
    EXPECT_EQ(Adds(s, 4001), waitI + kOk + kOk + "Internal Flash loaded.\r\n");
    const CardState card = Card(s.dir);
    EXPECT_TRUE(Holds(card.isf, DataOf(s.bitstream)));
    char bridge[48];
    snprintf(bridge, sizeof bridge, "isf-bridge by jtag %08x DONE", (unsigned)card_files::kIsfBridgeFrameCrc);
    EXPECT_EQ(Fpga(card), bridge);

    // External flash, on a card strapped to boot from it: the other flash is left as it was.
    SetCard(s.dir, "Boot", "spi");
    frames = WriteDesign(s.bitstream, 13);
    Click(s.w, 4013);
    Click(s.w, 4026);
    EXPECT_EQ(Adds(s, 4001), waitX + kOk + kOk + "External Flash loaded.\r\n" + kOk);
    const CardState after = Card(s.dir);
    EXPECT_TRUE(Holds(after.spi, DataOf(s.bitstream)));
    EXPECT_TRUE(after.isf == card.isf);
    EXPECT_EQ(Fpga(after), Fpga("user", "spi", frames));
}

TEST(Flash, AReadCopiesTheFlashIntoItsFileAndCanLoadItIntoTheFpga)
{
    Session s("flash-read");
    UseRealTool(s);
    CardState card;
    const std::string frames = card_files::UserFrames(22), internal = card_files::ConfigurationData(card_files::UserFrames(21)),
                      external = card_files::ConfigurationData(frames);
    card.isf.replace(0, internal.size(), internal);
    card.spi.replace(0, external.size(), external);
    PutCard(s.dir, card);
    ASSERT_TRUE(s.Start());
    // The read files hold the flashes' first bytes, in the .bit form the tool writes for ":BIT".
    for (bool x : { false, true }) {
        Click(s.w, x ? 4023 : 4024);
        EXPECT_EQ(Adds(s, 4022), "Reading Flash to file.\r\n" + kOk + kOk + (x ? "External Flash loaded into XFlash.bit\r\n"
                                                                             : "Internal Flash loaded into IFlash.bit\r\n"));
        EXPECT_TRUE(DataOf(s.dir + (x ? "XFlash.bit" : "IFlash.bit")) == (x ? card.spi : card.isf).substr(0, kReadLength));
    }
    // "Load FPGA after Read to file": the design just read runs in the FPGA.
    Click(s.w, 4027);
    Command(s.w, 4022);
    EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "jtag", frames));
}

// Each fault fails its step with the tool's own words, the steps after it do not run, an earlier read file
// comes back as it was, and once the fault is mended the next command works.
TEST(Flash, TheCardsFaultsFailTheStepInTheToolsWords)
{
    Session s("flash-faults");
    UseRealTool(s);
    ASSERT_TRUE(s.Start());
    SetDlgItemTextA(s.w, 4003, s.bitstream.c_str());
    WriteDesign(s.bitstream, 31);
    const std::string data = DataOf(s.bitstream), earlier = "the last good read";
    for (int id : { 4014, 4026, 4024 })
        Click(s.w, id);
    const std::string failed = "XC3SProg processing.\r\nXC3SProg failed with exit code ";
    // card: settings "key=value"; "helper" puts a design that opens no bridge in the helper's place, as a person could.
    const struct { const char* name; std::vector<std::string> card; int command; std::string failure; } faults[] = {
        { "a page that takes no data", { "IsfBadPage=3" }, 4001, failed + "1: Verify failed  at flash_page " },
        { "a flash that stays busy", { "IsfBusy=1" }, 4001, failed + "-1: Page Program failed for flashpage " },
        { "the wrong helper", { "helper" }, 4001, failed + "2: ISF Bitfile probably not loaded\r\n" },
        { "the cable pulled mid-write", { "PullFrom=program", "PullAfter=50000" }, 4001, failed + "3: mpsse_send:" },
        { "the cable pulled mid-read", { "PullFrom=read", "PullAfter=20000" }, 4022, failed + "3: " },
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        PutCard(s.dir, CardState());
        WriteFileText(s.dir + "IFlash.bit", earlier);
        for (const std::string& setting : f.card)
            setting == "helper" ? (void)WriteDesign(s.dir + "xc3s400an.bit", 32)
                                : SetCard(s.dir, setting.substr(0, setting.find('=')), setting.substr(setting.find('=') + 1));
        std::string added = Adds(s, f.command);
        size_t at = added.find(failed);
        ASSERT_NE(at, std::string::npos) << added;
        EXPECT_EQ(added.substr(at, f.failure.size()), f.failure);
        // Nothing after the failed step: no reconfiguration, no load-back; the Read's failure has no line end.
        EXPECT_EQ(added.substr(added.find("IO Error")), f.command == 4022 ? "IO Error" : "IO Error\r\n");
        EXPECT_EQ(ReadFileText(s.dir + "IFlash.bit"), earlier);
        EXPECT_NE(Card(s.dir).configuredBy, card_files::ConfiguredBy::Isf);

        for (const std::string& setting : f.card)
            setting == "helper" ? UseRealTool(s) : SetCard(s.dir, setting.substr(0, setting.find('=')), "");
        EXPECT_EQ(Adds(s, f.command).find("failed"), std::string::npos);
        if (f.command == 4022)
            EXPECT_TRUE(DataOf(s.dir + "IFlash.bit") == Card(s.dir).isf.substr(0, kReadLength));
        else
            EXPECT_TRUE(Holds(Card(s.dir).isf, data));
    }
}
