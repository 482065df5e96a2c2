// The simulated card's driver at the hardware's pace: the tool is held to the card's clock, a flash is busy for its time.
#include <gtest/gtest.h>

#include <windows.h>

#include "jtag_rig.h"
#include "test_support.h"

using namespace testing_support;

namespace {

typedef ULONG(WINAPI* OpenFn)(int, void**);
typedef ULONG(WINAPI* CloseFn)(void*);
typedef ULONG(WINAPI* BitModeFn)(void*, UCHAR, UCHAR);
typedef ULONG(WINAPI* TransferFn)(void*, void*, DWORD, DWORD*);

double NowMs()
{
    LARGE_INTEGER now, perSecond;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&perSecond);
    return (double)now.QuadPart * 1000.0 / (double)perSecond.QuadPart;
}

// The DLL beside the test with its card in a scratch folder, the FPGA running the in-system flash's bridge,
// opened as the tool opens it: TCK at 1.5 MHz (divide-by-5 off, divisor 19).
struct Cable {
    HMODULE dll = LoadLibraryA("ftd2xx.dll");
    std::string dir = MakeScratchDirectory("pace");
    void* handle = nullptr;
    JtagRig rig;
    explicit Cable(const std::string& pace)
    {
        SetEnvironmentVariableA("STANDIN_DIR", dir.c_str());
        WriteFileText(dir + "simulated-card.ini", "[Card]\r\nPace=" + pace + "\r\n");
        WriteFileText(dir + "simulated-card.state", "[fpga]\r\ndone=1\r\ndesign=isf-bridge\r\nconfigured-by=jtag\r\n");
        rig.send = [this](const std::string& bytes) {
            DWORD written = 0;
            Get<TransferFn>("FT_Write")(handle, (void*)bytes.data(), (DWORD)bytes.size(), &written);
        };
        rig.receive = [this](size_t n) {
            std::string got(n, '\0');
            DWORD read = 0;
            Get<TransferFn>("FT_Read")(handle, &got[0], (DWORD)n, &read);
            return got.substr(0, read);
        };
        EXPECT_EQ(Get<OpenFn>("FT_Open")(0, &handle), 0u);
        Get<BitModeFn>("FT_SetBitMode")(handle, 0xfb, 2);
        rig.send(Bytes({ 0x80, 0x08, 0x0b, 0x8A, 0x86, 0x13, 0x00 }));
        rig.Reset();
    }
    ~Cable()
    {
        Get<CloseFn>("FT_Close")(handle);
        SetEnvironmentVariableA("STANDIN_DIR", NULL);
        FreeLibrary(dll);
    }
    template <class F> F Get(const char* name)
    { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))); }
};

}  // namespace

TEST(Pace, OnlyAtTheHardwarePaceTheToolWaitsOutEveryTckCycleAtTheFrequencyItSet)
{
    for (const char* pace : { "fast", "hardware" }) {
        Cable c(pace);
        double started = NowMs();
        c.rig.Idle(65536 * 8);  // 350 ms at 1.5 MHz; 1.75 s at the 300 kHz of divide-by-5
        c.rig.send(Bytes({ 0x81 }));
        EXPECT_EQ(c.rig.receive(1).size(), 1u);
        double ms = NowMs() - started;
        if (pace[0] == 'f') {
            EXPECT_LT(ms, 100.0);
        } else {
            EXPECT_GT(ms, 340.0);
            EXPECT_LT(ms, 1000.0);
        }
    }
}

TEST(Pace, AnInSystemFlashPageProgramLastsItsTimeHoweverOftenItsStatusIsRead)
{
    int busyAnswers[2] = {};
    const unsigned gaps[2] = { 0, 4500 };  // TCK cycles between status reads: none, and 3 ms
    for (int i = 0; i < 2; i++) {
        Cable c("hardware");
        c.rig.Transfer(Bytes({ 0x82, 0x00, 0x06, 0x00 }) + std::string(264, '\x5a'));  // page 3
        double programmed = NowMs();
        for (; busyAnswers[i] < 200; busyAnswers[i]++) {
            c.rig.Idle(gaps[i]);
            c.rig.Transfer(Bytes({ 0xD7, 0 }));
            if (c.rig.Answer(1, 1)[0] & 0x80)
                break;
        }
        EXPECT_GT(NowMs() - programmed, 12.0) << gaps[i];  // 14 ms, less what the driver may owe under a millisecond
    }
    EXPECT_GT(busyAnswers[0], 2 * busyAnswers[1])
        << busyAnswers[0] << " busy answers read back to back, " << busyAnswers[1] << " 3 ms apart";
    // A status read back to back is four USB round trips (two USER1 shifts, each with its IR shift), a microframe
    // each: no more than 28 fit into 14 ms.
    EXPECT_LE(busyAnswers[0], 28);
}
