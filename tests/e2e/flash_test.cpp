// The flashes with the real tool and the simulated card: Loads and Reads byte for byte, and the card's faults.
#include <gtest/gtest.h>

#include "real_card.h"

using namespace testing_support;
using card_files::CardState;

static const std::string kOk = "XC3SProg processing.\r\nXC3SProg done.\r\n";
static const size_t kReadLength = 236000;  // what a Read asks the tool for

// The configuration data of a .bit file, as the tool takes it from the file.
static std::string DataOf(const std::string& path)
{
    std::string configuration;
    EXPECT_TRUE(card_files::ConfigurationOfBitFile(ReadFileText(path), &configuration)) << path;
    return configuration;
}

// Whether a flash holds exactly these bytes from address 0, and nothing but erased bytes after the page that
// holds their end (the tool programs whole pages: what follows the file's end in its last page is the tool's).
static ::testing::AssertionResult Holds(const std::string& flash, const std::string& bytes)
{
    const size_t page = flash.size() == card_files::kIsfSize ? card_files::kIsfPageSize : card_files::kSpiPageSize;
    size_t at = 0;
    while (at < bytes.size() && at < flash.size() && flash[at] == bytes[at])
        ++at;
    if (at == bytes.size())
        at = flash.find_first_not_of('\xff', (bytes.size() + page - 1) / page * page);
    if (at == std::string::npos)
        return ::testing::AssertionSuccess();
    char where[96];
    snprintf(where, sizeof where, "the flash differs at %zu of %zu bytes: %02x where %02x was due", at, bytes.size(),
             at < flash.size() ? (unsigned char)flash[at] : 0u, at < bytes.size() ? (unsigned char)bytes[at] : 0xffu);
    return ::testing::AssertionFailure() << where;
}

// What the FPGA runs: the design's kind, how it came there, its frame data's CRC, DONE.
static std::string Fpga(const CardState& card)
{
    return std::string(card_files::DesignName(card.design)) + " by " + card_files::ConfiguredByName(card.configuredBy) + " " +
           std::to_string(card.frameCrc) + (card.done ? " DONE" : "");
}
static std::string Fpga(const char* design, const char* by, const std::string& frames)
{ return std::string(design) + " by " + by + " " + std::to_string(card_files::Crc32(frames)) + " DONE"; }

// What the Load added to the status box.
static std::string LoadAdds(Session& s)
{
    size_t before = ControlText(s.w, 4009).size();
    return s.Load(s.bitstream).substr(before);
}

TEST(Flash, ALoadWritesTheFlashAsTheToolTakesTheFileAndTheFpgaBootsIt)
{
    Session s("flash-load");
    UseRealTool(s);
    ASSERT_TRUE(s.Start());
    const std::string waitI = "\r\nWaiting for internal flash to be loaded.\r\n", waitX = "\r\nWaiting for external flash to be loaded.\r\n";

    // Internal flash, then "Load FPGA after loading Flash": the FPGA boots what was written.
    std::string frames = WriteDesign(s.bitstream, 11);
    Click(s.w, 4014);
    Click(s.w, 4026);
    EXPECT_EQ(LoadAdds(s), waitI + kOk + kOk + "Internal Flash loaded.\r\n" + kOk);
    CardState card = Card(s.dir);
    EXPECT_TRUE(Holds(card.isf, DataOf(s.bitstream)));
    EXPECT_EQ(Fpga(card), Fpga("user", "isf", frames));

    // Without it, the FPGA keeps the helper that opened the flash.
    const std::string isf = DataOf(s.bitstream);
    WriteDesign(s.bitstream, 12);
    Click(s.w, 4026);
    EXPECT_EQ(LoadAdds(s), waitI + kOk + kOk + "Internal Flash loaded.\r\n");
    card = Card(s.dir);
    EXPECT_TRUE(Holds(card.isf, DataOf(s.bitstream)));
    EXPECT_EQ(Fpga(card), "isf-bridge by jtag " + std::to_string(card_files::kIsfBridgeFrameCrc) + " DONE");

    // External flash, on a card strapped to boot from it: the other flash is left as it was.
    SetCard(s.dir, "Boot", "spi");
    frames = WriteDesign(s.bitstream, 13);
    Click(s.w, 4013);
    Click(s.w, 4026);
    EXPECT_EQ(LoadAdds(s), waitX + kOk + kOk + "External Flash loaded.\r\n" + kOk);
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
    const std::string internal = card_files::ConfigurationData(card_files::UserFrames(21));
    const std::string frames = card_files::UserFrames(22), external = card_files::ConfigurationData(frames);
    card.isf.replace(0, internal.size(), internal);
    card.spi.replace(0, external.size(), external);
    PutCard(s.dir, card);
    ASSERT_TRUE(s.Start());

    // The read files hold the flashes' first bytes, in the .bit form the tool writes for ":BIT".
    const struct { int source; const char* file; const std::string& flash; } reads[] = {
        { 4024, "IFlash.bit", card.isf }, { 4023, "XFlash.bit", card.spi } };
    for (const auto& r : reads) {
        SCOPED_TRACE(r.file);
        Click(s.w, r.source);
        std::string before = ControlText(s.w, 4009);
        Command(s.w, 4022);
        EXPECT_EQ(ControlText(s.w, 4009).substr(before.size()),
                  "Reading Flash to file.\r\n" + kOk + kOk + (r.source == 4023 ? "External" : "Internal") +
                  " Flash loaded into " + r.file + "\r\n");
        EXPECT_TRUE(DataOf(s.dir + r.file) == r.flash.substr(0, kReadLength));
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
    WriteDesign(s.bitstream, 31);
    const std::string data = DataOf(s.bitstream), earlier = "the last good read";
    for (int id : { 4014, 4026, 4024 })
        Click(s.w, id);
    const std::string failed = "XC3SProg processing.\r\nXC3SProg failed with exit code ";
    // The helper bitstream in the Program directory is one that opens no bridge ("helper": a user design).
    const struct { const char* name; std::vector<std::pair<const char*, const char*>> card; bool read; std::string failure;
                   bool wrongHelper = false; } faults[] = {
        { "a page that takes no data", { { "IsfBadPage", "3" } }, false, failed + "1: Verify failed  at flash_page " },
        { "a flash that stays busy", { { "IsfBusy", "1" } }, false, failed + "-1: Page Program failed for flashpage " },
        { "the wrong helper", {}, false, failed + "2: ISF Bitfile probably not loaded\r\n", true },
        { "the cable pulled mid-write", { { "PullFrom", "program" }, { "PullAfter", "50000" } }, false, failed + "3: mpsse_send:" },
        { "the cable pulled mid-read", { { "PullFrom", "read" }, { "PullAfter", "20000" } }, true, failed + "3: " },
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        PutCard(s.dir, CardState());
        WriteFileText(s.dir + "IFlash.bit", earlier);
        for (const auto& setting : f.card)
            SetCard(s.dir, setting.first, setting.second);
        if (f.wrongHelper)
            WriteDesign(s.dir + "xc3s400an.bit", 32);
        std::string before = ControlText(s.w, 4009);
        f.read ? (void)Command(s.w, 4022) : (void)s.Load(s.bitstream);
        std::string added = ControlText(s.w, 4009).substr(before.size());
        size_t at = added.find(failed);
        ASSERT_NE(at, std::string::npos) << added;
        EXPECT_EQ(added.substr(at, f.failure.size()), f.failure);
        // Nothing after the failed step: no reconfiguration, no load-back.
        EXPECT_EQ(added.substr(added.size() - (f.read ? 8 : 10)), f.read ? "IO Error" : "IO Error\r\n");
        EXPECT_EQ(ReadFileText(s.dir + "IFlash.bit"), earlier);
        EXPECT_NE(Card(s.dir).configuredBy, card_files::ConfiguredBy::Isf);

        for (const auto& setting : f.card)
            SetCard(s.dir, setting.first, "");
        if (f.wrongHelper)
            UseRealTool(s);
        before = ControlText(s.w, 4009);
        f.read ? (void)Command(s.w, 4022) : (void)s.Load(s.bitstream);
        added = ControlText(s.w, 4009).substr(before.size());
        EXPECT_EQ(added.find("failed"), std::string::npos) << added;
        EXPECT_TRUE(f.read ? DataOf(s.dir + "IFlash.bit") == Card(s.dir).isf.substr(0, kReadLength) : Holds(Card(s.dir).isf, data));
    }
}
