// Tests of the simulated card's ftd2xx.dll as the program and the tool load it: the cable list, the calls, the state between runs.
#include <gtest/gtest.h>

#include <windows.h>

#include "card_files.h"
#include "jtag_rig.h"
#include "test_support.h"

using namespace testing_support;

namespace {

typedef ULONG(WINAPI* CountFn)(DWORD*);
typedef ULONG(WINAPI* DetailFn)(DWORD, DWORD*, DWORD*, DWORD*, DWORD*, char*, char*, DWORD*);
typedef ULONG(WINAPI* OpenFn)(int, void**);
typedef ULONG(WINAPI* CloseFn)(void*);
typedef ULONG(WINAPI* BitModeFn)(void*, UCHAR, UCHAR);
typedef ULONG(WINAPI* TransferFn)(void*, void*, DWORD, DWORD*);

// The DLL beside the test programs, its files in a scratch folder; runs of the tool made through its D2XX calls.
struct Driver {
    HMODULE dll = LoadLibraryA("ftd2xx.dll");
    std::string dir = MakeScratchDirectory("card");
    void* handle = nullptr;
    ULONG lastWrite = 0;
    JtagRig rig;
    Driver()
    {
        SetEnvironmentVariableA("STANDIN_DIR", dir.c_str());
        rig.send = [this](const std::string& bytes) {
            DWORD written = 0;
            lastWrite = Get<TransferFn>("FT_Write")(handle, (void*)bytes.data(), (DWORD)bytes.size(), &written);
        };
        rig.receive = [this](size_t n) {
            std::string got(n, '\0');
            DWORD read = 0;
            Get<TransferFn>("FT_Read")(handle, &got[0], (DWORD)n, &read);
            return got.substr(0, read);
        };
    }
    ~Driver()
    {
        SetEnvironmentVariableA("STANDIN_DIR", NULL);
        FreeLibrary(dll);
    }
    template <class F> F Get(const char* name) { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))); }
    void Open()
    {
        ASSERT_EQ(Get<OpenFn>("FT_Open")(0, &handle), 0u);
        ASSERT_EQ(Get<BitModeFn>("FT_SetBitMode")(handle, 0xfb, 2), 0u);
        lastWrite = 0;
        rig.Start();
        rig.Reset();
    }
    void Close() { EXPECT_EQ(Get<CloseFn>("FT_Close")(handle), 0u); }
    card_files::CardState Saved()
    {
        card_files::CardState state;
        EXPECT_TRUE(card_files::ReadState(ReadFileText(dir + "simulated-card.state"), &state));
        return state;
    }
    // Write enable, a page program of the external flash, and status reads until it is done.
    void Program(size_t page, const std::string& data)
    {
        rig.Transfer(Bytes({ 0x06 }));
        rig.Transfer(Bytes({ 0x02, (int)(page >> 8), (int)page & 0xFF, 0 }) + data);
        for (int poll = 0; poll < 10; poll++) {
            rig.Transfer(Bytes({ 0x05, 0 }));
            if ((rig.Answer(1, 1)[0] & 1) == 0)
                break;
        }
    }
};

}  // namespace

TEST(Driver, ListsTheCableAsAnFt2232hToTheProgramByOrdinalAndToTheToolByName)
{
    Driver d;
    CountFn count70 = d.Get<CountFn>(MAKEINTRESOURCEA(70)), countByName = d.Get<CountFn>("FT_CreateDeviceInfoList");
    DetailFn detail72 = d.Get<DetailFn>(MAKEINTRESOURCEA(72));
    DWORD n = 0;
    ASSERT_EQ(count70(&n), 0u);
    EXPECT_EQ(n, 2u);  // no Count set: the FT2232H's two channels
    for (DWORD i = 0; i < 3; i++) {
        DWORD flags, type = 0, id = 0, location, handle;
        char serial[16] = "", description[64] = "";
        ULONG status = detail72(i, &flags, &type, &id, &location, serial, description, &handle);
        EXPECT_EQ(status, i < 2 ? 0u : 2u);
        if (i < 2) {
            EXPECT_EQ(type * 0x100000000ull + id, 6 * 0x100000000ull + 0x04036010);
            EXPECT_EQ(description[strlen(description) - 1], 'A' + (char)i) << description;
            EXPECT_EQ(serial[strlen(serial) - 1], 'A' + (char)i) << serial;
        }
    }
    ASSERT_EQ(countByName(&n), 0u);  // the tool's count is not the program's call
    EXPECT_EQ(ReadFileText(d.dir + "ftd2xx-calls.log"), "70\r\n72 0\r\n72 1\r\n72 2\r\n");
    // The tests' cable set-up replaces [Driver] and leaves the card's conditions alone.
    WriteFileText(d.dir + "simulated-card.ini", "[Card]\r\nPower=0\r\n[Driver]\r\nCount=5\r\nFailDetailIndex=0\r\n");
    ConfigureCables(d.dir, 1, { "Cable" });
    EXPECT_EQ(IniValues(d.dir + "simulated-card.ini", { "Card/Power", "Driver/Count", "Driver/FailDetailIndex", "Driver/Description0" }),
              "0|1|<missing>|Cable");
}

TEST(Driver, TheCardOutlivesEachRunAndAPulledCableKeepsWhatWentBeforeIt)
{
    Driver d;
    card_files::CardState bridge;
    bridge.done = true, bridge.design = card_files::Design::SpiBridge, bridge.configuredBy = card_files::ConfiguredBy::Jtag;
    card_files::WriteWholeFile(d.dir + "simulated-card.state", card_files::WriteState(bridge));
    std::string data = card_files::UserFrames(11, 256);
    d.Open();
    d.Program(0, data);
    d.Close();
    EXPECT_EQ(d.Saved().spi.substr(0, 256), data);

    // Pulled 2,000 bytes into the first page program: the pages done before it are in the file before any close.
    WriteFileText(d.dir + "simulated-card.ini", "[Card]\r\nPullFrom=program\r\nPullAfter=2000\r\n");
    d.Open();
    size_t done = 0;
    while (d.lastWrite == 0 && done < 20) {
        d.Program(1 + done, data);
        done += d.lastWrite == 0;
    }
    EXPECT_EQ(d.lastWrite, 4u);  // FT_IO_ERROR from then on
    EXPECT_GE(done, 2u);
    card_files::CardState saved = d.Saved();
    for (size_t page = 0; page <= done + 2; page++) {  // the page under way when it went may have made it or not
        if (page != done + 1) {
            EXPECT_EQ(saved.spi.substr(page * 256, 256), page <= done ? data : std::string(256, '\xff')) << page;
        }
    }
    d.Close();

    // Without the condition the next run works, on the card as the pulled run left it.
    WriteFileText(d.dir + "simulated-card.ini", "");
    d.Open();
    d.rig.Transfer(Bytes({ 0x03, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(d.rig.Answer(4, 2), data.substr(0, 2));
    d.Close();
}
