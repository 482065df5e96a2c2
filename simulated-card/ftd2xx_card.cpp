// ftd2xx.dll with the simulated card behind it: the D2XX calls the tool makes, and ordinals 70 and 72 for the program.
#include "../stand-ins/standin_common.h"

#include <memory>

#include "card.h"
#include "card_files.h"

typedef ULONG FT_STATUS;
typedef PVOID FT_HANDLE;
enum : FT_STATUS { FT_OK = 0, FT_INVALID_HANDLE = 1, FT_DEVICE_NOT_FOUND = 2, FT_DEVICE_NOT_OPENED = 3, FT_IO_ERROR = 4,
                   FT_INVALID_PARAMETER = 6 };
static const DWORD kDeviceFt2232h = 6, kVidPid = 0x04036010;
static const char kSettings[] = "simulated-card.ini";
// A high-speed USB microframe: the least a round trip of commands and their answers takes on the bus.
static const uint64_t kMicroframePs = 125 * card::kPicosecondsPerMicrosecond;

static long Setting(const char* section, const char* key, long fallback) { return IniNumber(kSettings, section, key, fallback); }

// Without a Count the cable is what the card ships with: an FT2232H, listed once per channel.
static bool CountGiven() { return !IniText(kSettings, "Driver", "Count", "").empty(); }

static DWORD DeviceCount() { return CountGiven() ? (DWORD)Setting("Driver", "Count", 0) : 2; }

// A failing count (CountStatus) leaves the list itself as it is: the details still answer.
static FT_STATUS CountDevices(DWORD* count)
{
    FT_STATUS status = (FT_STATUS)Setting("Driver", "CountStatus", 0);
    if (status == FT_OK)
        *count = DeviceCount();
    return status;
}

static std::string Serial(DWORD index)
{ return CountGiven() ? "SI" + std::to_string(index) + "A" : index == 0 ? "VLR0815A" : "VLR0815B"; }

static std::string Description(DWORD index)
{
    std::string fallback = CountGiven() ? "Stand-in JTAG Cable " + std::to_string(index) : index == 0 ? "Dual RS232-HS A" : "Dual RS232-HS B";
    return IniText(kSettings, "Driver", ("Description" + std::to_string(index)).c_str(), fallback.c_str());
}

// Past the cables, status 2 (not found); FailDetailIndex's cable fails with 4, and UnterminatedIndex's
// description fills all 64 bytes without a terminator, against the driver's contract, to see how the program copes.
static FT_STATUS DeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId, char* serial16,
                              char* description64, DWORD* handle)
{
    // Compared as the DWORD that the count hands out, so both calls agree on the number of cables.
    if (index >= DeviceCount())
        return FT_DEVICE_NOT_FOUND;
    if ((long)index == Setting("Driver", "FailDetailIndex", -1))
        return FT_IO_ERROR;
    *flags = 0, *type = kDeviceFt2232h, *id = kVidPid, *locId = 0x100 + index, *handle = 0;
    lstrcpynA(serial16, Serial(index).c_str(), 16);
    if ((long)index == Setting("Driver", "UnterminatedIndex", -1))
        for (int i = 0; i < 64; i++)
            description64[i] = (char)('A' + i % 26);
    else
        lstrcpynA(description64, Description(index).c_str(), 64);
    return FT_OK;
}

// ---- the program's two calls, by ordinal: one line each in the call log, so tests see their order ----

static void LogCall(const std::string& call) { AppendLine("ftd2xx-calls.log", call + "\r\n"); }

extern "C" FT_STATUS WINAPI ProgramCountsCables(DWORD* count)
{
    LogCall("70");
    return CountDevices(count);
}

extern "C" FT_STATUS WINAPI ProgramCableDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                               char* serial16, char* description64, DWORD* handle)
{
    LogCall("72 " + std::to_string(index));
    return DeviceDetail(index, flags, type, id, locId, serial16, description64, handle);
}

// ---- the tool's calls, by name ----

namespace {

struct Session {
    card_files::CardState state;
    std::unique_ptr<card::Card> card;
    bool persistent = false, pullSaved = false;  // channel B has no card behind it, and nothing to keep
    DWORD index = 0, readTimeout = 0, lastSave = 0;
    std::string statePath;
    HANDLE claim = NULL;  // the channel is this process's while it is open
    // At the hardware's pace: when the cable was opened, and whether commands went out since the last read.
    bool paced = false, sentSinceRead = false;
    LARGE_INTEGER openedAt = {}, countsPerSecond = {};
};

// One program at a time has a channel open, as with FTDI's driver: another program's open is refused while
// it lasts. The claim is a named mutex for the channel of the card beside this DLL, gone with its holder.
HANDLE ClaimChannel(DWORD index)
{
    std::string name = "simulated-card " + std::to_string(index) + " " + StandinFile("simulated-card.state");
    for (char& c : name)
        c = c == '\\' ? '/' : c;
    HANDLE claim = CreateMutexA(NULL, FALSE, name.c_str());
    if (claim != NULL && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(claim);
        return NULL;
    }
    return claim;
}

Session* g_session = nullptr;

card::Conditions ReadConditions()
{
    card::Conditions c;
    c.power = Setting("Card", "Power", 1) != 0;
    c.helper = Setting("Card", "NoHelper", 0) == 0;
    c.bootFromSpi = lstrcmpiA(IniText(kSettings, "Card", "Boot", "isf").c_str(), "spi") == 0;
    c.pullAfter = Setting("Card", "PullAfter", -1);
    std::string from = IniText(kSettings, "Card", "PullFrom", "start");
    c.pullFrom = lstrcmpiA(from.c_str(), "program") == 0 ? card::Conditions::PullFrom::Program
               : lstrcmpiA(from.c_str(), "read") == 0   ? card::Conditions::PullFrom::Read
                                                         : card::Conditions::PullFrom::Start;
    c.isfBadPage = Setting("Card", "IsfBadPage", -1);
    c.spiBadPage = Setting("Card", "SpiBadPage", -1);
    c.isfBusy = Setting("Card", "IsfBusy", 0) != 0;
    c.spiBusy = Setting("Card", "SpiBusy", 0) != 0;
    c.hardwarePace = lstrcmpiA(IniText(kSettings, "Card", "Pace", "fast").c_str(), "hardware") == 0;
    c.log = Setting("Card", "Log", 0) != 0;
    return c;
}

void FlushLog(Session* s)
{
    std::string lines = s->card->TakeLog();
    if (!lines.empty())
        AppendLine("simulated-card.log", lines);
}

// Written whole beside the old file and moved over it, so that a run ended at any moment leaves a whole file.
void Save(Session* s)
{
    if (s->persistent) {
        s->card->Sync();
        std::string text = card_files::WriteState(s->state), fresh = s->statePath + ".new";
        HANDLE f = CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, text.data(), (DWORD)text.size(), &written, NULL) && written == text.size();
        if (f != INVALID_HANDLE_VALUE)
            CloseHandle(f);
        if (ok && MoveFileExA(fresh.c_str(), s->statePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            s->card->MarkSaved();
        else
            s->card->Note("the state file could not be written: " + s->statePath);
        s->lastSave = GetTickCount();
    }
    FlushLog(s);
}

// At the hardware's pace the tool waits as long as the card would keep it waiting: the real time since the open
// is held at no less than the card's time. Whole milliseconds, as Sleep takes them: what is left under one
// is made up at a later call, and at the close.
void KeepPace(Session* s, bool atClose)
{
    if (!s->paced)
        return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    double realMs = (double)(now.QuadPart - s->openedAt.QuadPart) * 1000.0 / (double)s->countsPerSecond.QuadPart;
    double aheadMs = (double)s->card->NowPs() / (double)card::kPicosecondsPerMillisecond - realMs;
    if (aheadMs >= 1.0)
        Sleep((DWORD)aheadMs);
    else if (atClose && aheadMs > 0.0)
        Sleep(1);
}

Session* Opened(FT_HANDLE handle) { return handle != NULL && handle == g_session ? g_session : nullptr; }

FT_STATUS Open(DWORD index, FT_HANDLE* handle)
{
    DWORD count = 0;
    if (handle == NULL)
        return FT_INVALID_PARAMETER;
    if (CountDevices(&count) != FT_OK || index >= count)
        return FT_DEVICE_NOT_FOUND;
    if (g_session != nullptr)  // one process, one cable
        return FT_DEVICE_NOT_OPENED;
    HANDLE claim = ClaimChannel(index);
    if (claim == NULL)
        return FT_DEVICE_NOT_OPENED;
    Session* s = new Session;
    s->claim = claim;
    s->index = index;
    card::Conditions conditions = ReadConditions();
    std::string note;
    if (index == 0) {
        // The state as the last run left it; a card never used has erased flashes and no design.
        s->persistent = true;
        s->statePath = StandinFile("simulated-card.state");
        std::string text;
        if (card_files::ReadWholeFile(s->statePath, &text) && !card_files::ReadState(text, &s->state))
            note = "the state file is not one: the card starts unconfigured with erased flashes";
    } else
        conditions.power = false;  // channel B: nothing is wired to it
    s->card.reset(new card::Card(s->state, conditions));
    s->paced = conditions.hardwarePace;
    QueryPerformanceFrequency(&s->countsPerSecond);
    QueryPerformanceCounter(&s->openedAt);
    s->card->Note("D2XX open channel " + std::string(index == 0 ? "A" : "B") + (s->paced ? ", hardware pace" : "") +
                  (conditions.power ? "" : ", no card power") + (conditions.helper ? "" : ", no helper") +
                  (conditions.pullAfter >= 0 ? ", cable pulled after " + std::to_string(conditions.pullAfter) + " bytes" : ""));
    if (!note.empty())
        s->card->Note(note);
    s->lastSave = GetTickCount();
    g_session = s;
    *handle = s;
    return FT_OK;
}

}  // namespace

extern "C" FT_STATUS WINAPI FT_CreateDeviceInfoList(DWORD* count)
{
    FT_STATUS status = count ? CountDevices(count) : FT_INVALID_PARAMETER;
    if (Setting("Card", "Log", 0) != 0)
        AppendLine("simulated-card.log", "D2XX device list: status " + std::to_string(status) +
                                             (status == FT_OK ? ", " + std::to_string(*count) + " devices" : "") + "\r\n");
    return status;
}

extern "C" FT_STATUS WINAPI FT_GetDeviceInfoDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                                   char* serial16, char* description64, DWORD* handle)
{ return DeviceDetail(index, flags, type, id, locId, serial16, description64, handle); }

extern "C" FT_STATUS WINAPI FT_Open(int index, FT_HANDLE* handle) { return index < 0 ? FT_DEVICE_NOT_FOUND : Open((DWORD)index, handle); }

extern "C" FT_STATUS WINAPI FT_OpenEx(PVOID arg, DWORD flags, FT_HANDLE* handle)
{
    DWORD count = 0;
    if (arg == NULL || CountDevices(&count) != FT_OK)
        return FT_DEVICE_NOT_FOUND;
    for (DWORD i = 0; i < count; i++)
        if ((flags == 1 && Serial(i) == (const char*)arg) || (flags == 2 && Description(i) == (const char*)arg) ||
            (flags == 4 && (ULONG_PTR)arg == 0x100 + i))
            return Open(i, handle);
    return FT_DEVICE_NOT_FOUND;
}

extern "C" FT_STATUS WINAPI FT_GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serial16, char* description64, PVOID)
{
    Session* s = Opened(handle);
    if (!s)
        return FT_INVALID_HANDLE;
    if (type)
        *type = kDeviceFt2232h;
    if (id)
        *id = kVidPid;
    if (serial16)
        lstrcpynA(serial16, Serial(s->index).c_str(), 16);
    if (description64)
        lstrcpynA(description64, Description(s->index).c_str(), 64);
    return FT_OK;
}

extern "C" FT_STATUS WINAPI FT_ResetDevice(FT_HANDLE handle) { return Opened(handle) ? FT_OK : FT_INVALID_HANDLE; }

extern "C" FT_STATUS WINAPI FT_SetBitMode(FT_HANDLE handle, UCHAR, UCHAR mode)
{
    Session* s = Opened(handle);
    if (!s)
        return FT_INVALID_HANDLE;
    s->card->SetBitMode(mode);
    return FT_OK;
}

extern "C" FT_STATUS WINAPI FT_Purge(FT_HANDLE handle, ULONG mask)
{
    Session* s = Opened(handle);
    if (!s)
        return FT_INVALID_HANDLE;
    if (mask & 1)  // FT_PURGE_RX
        s->card->Purge();
    return FT_OK;
}

extern "C" FT_STATUS WINAPI FT_SetLatencyTimer(FT_HANDLE handle, UCHAR) { return Opened(handle) ? FT_OK : FT_INVALID_HANDLE; }

extern "C" FT_STATUS WINAPI FT_SetUSBParameters(FT_HANDLE handle, ULONG, ULONG) { return Opened(handle) ? FT_OK : FT_INVALID_HANDLE; }

extern "C" FT_STATUS WINAPI FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG)
{
    Session* s = Opened(handle);
    if (!s)
        return FT_INVALID_HANDLE;
    s->readTimeout = readTimeout;
    return FT_OK;
}

extern "C" FT_STATUS WINAPI FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued)
{
    Session* s = Opened(handle);
    if (!s || !queued)
        return s ? FT_INVALID_PARAMETER : FT_INVALID_HANDLE;
    *queued = s->card->Pulled() ? 0 : (DWORD)s->card->Queued();
    return s->card->Pulled() ? FT_IO_ERROR : FT_OK;
}

extern "C" FT_STATUS WINAPI FT_Write(FT_HANDLE handle, PVOID buffer, DWORD length, DWORD* written)
{
    Session* s = Opened(handle);
    if (!s)
        return FT_INVALID_HANDLE;
    size_t taken = 0;
    bool ok = s->card->Write((const uint8_t*)buffer, length, &taken);
    if (written)
        *written = (DWORD)taken;
    s->sentSinceRead = s->sentSinceRead || taken > 0;
    if (!ok) {
        // What the card took before the cable went stays, whatever the tool does next.
        if (!s->pullSaved)
            Save(s), s->pullSaved = true;
        return FT_IO_ERROR;
    }
    // A run ended from outside keeps what it wrote up to the last second.
    if (s->card->Unsaved() && GetTickCount() - s->lastSave > 1000)
        Save(s);
    KeepPace(s, false);
    return FT_OK;
}

extern "C" FT_STATUS WINAPI FT_Read(FT_HANDLE handle, PVOID buffer, DWORD length, DWORD* read)
{
    Session* s = Opened(handle);
    if (!s)
        return FT_INVALID_HANDLE;
    if (s->card->Pulled())
        return FT_IO_ERROR;
    // The answers to what was sent come back over the bus, a microframe later at the soonest.
    if (s->paced && length > 0 && s->sentSinceRead) {
        s->card->Pass(kMicroframePs);
        s->sentSinceRead = false;
    }
    size_t got = s->card->Read((uint8_t*)buffer, length);
    if (read)
        *read = (DWORD)got;
    // The commands have produced all they will: the chip would wait out its read timeout for the rest.
    if (got < length && s->readTimeout != 0)
        Sleep(s->readTimeout);
    KeepPace(s, false);
    return FT_OK;
}

extern "C" FT_STATUS WINAPI FT_Close(FT_HANDLE handle)
{
    Session* s = Opened(handle);
    if (!s)
        return FT_INVALID_HANDLE;
    KeepPace(s, true);
    s->card->Note("D2XX close, " + std::to_string(s->card->NowPs() / card::kPicosecondsPerMillisecond) + " ms of card time");
    Save(s);
    g_session = nullptr;
    CloseHandle(s->claim);
    delete s;
    return FT_OK;
}

// A tool that dies without closing the cable (an uncaught exception ends it through exit) keeps what it wrote.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH && g_session != nullptr) {
        g_session->card->Note("process ended with the cable open");
        Save(g_session);
    }
    return TRUE;
}
