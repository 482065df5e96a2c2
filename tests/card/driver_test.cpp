// Test of the simulated card's ftd2xx.dll where no run of the tool can show it: a pulled cable's state file.
#include <gtest/gtest.h>

#include <windows.h>

#include "card_files.h"
#include "test_support.h"

using namespace testing_support;

namespace {

typedef ULONG(WINAPI* OpenFn)(int, void**);
typedef ULONG(WINAPI* CloseFn)(void*);
typedef ULONG(WINAPI* BitModeFn)(void*, UCHAR, UCHAR);
typedef ULONG(WINAPI* WriteFn)(void*, void*, DWORD, DWORD*);

// The DLL beside the test programs, its files in a scratch folder.
struct Driver {
    HMODULE dll = LoadLibraryA("ftd2xx.dll");
    std::string dir = MakeScratchDirectory("card");
    Driver() { SetEnvironmentVariableA("STANDIN_DIR", dir.c_str()); }
    ~Driver()
    {
        SetEnvironmentVariableA("STANDIN_DIR", NULL);
        FreeLibrary(dll);
    }
    template <class F> F Get(const char* name) { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))); }
};

}  // namespace

// A tool ended from outside while its cable is pulled still leaves what the card did before it in the state file.
TEST(Driver, APulledCableWritesTheStateFileAtOnce)
{
    Driver d;
    card_files::CardState running;
    running.done = true, running.design = card_files::Design::User, running.configuredBy = card_files::ConfiguredBy::Jtag;
    card_files::WriteWholeFile(d.dir + "simulated-card.state", card_files::WriteState(running));
    WriteFileText(d.dir + "simulated-card.ini", "[Card]\r\nPullAfter=100\r\n");
    void* cable = nullptr;
    ASSERT_EQ(d.Get<OpenFn>("FT_Open")(0, &cable), 0u);
    ASSERT_EQ(d.Get<BitModeFn>("FT_SetBitMode")(cable, 0xfb, 2), 0u);
    // Pins driven; TMS 111110 0011 to Shift-IR; five bits of JPROGRAM (0x0B, least significant first), its last bit
    // with TMS high, TMS 10 to Run-Test/Idle: the design is gone. Then send-immediates past the pull.
    std::string jprogram = std::string("\x80\x08\x0b" "\x4B\x05\x1F" "\x4B\x03\x03" "\x1B\x04\x0B" "\x4B\x00\x01" "\x4B\x01\x01", 18);
    std::string more(200, '\x87');
    DWORD written = 0;
    EXPECT_EQ(d.Get<WriteFn>("FT_Write")(cable, &jprogram[0], (DWORD)jprogram.size(), &written), 0u);
    EXPECT_EQ(d.Get<WriteFn>("FT_Write")(cable, &more[0], (DWORD)more.size(), &written), 4u);  // FT_IO_ERROR
    card_files::CardState saved;
    EXPECT_TRUE(card_files::ReadState(ReadFileText(d.dir + "simulated-card.state"), &saved) && !saved.done);
    d.Get<CloseFn>("FT_Close")(cable);
}
