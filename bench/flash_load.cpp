// A Load into the internal flash with the real tool and the simulated card, against the tool's three runs made by hand.
#include "bench/in_process_breakdown.h"

#include <algorithm>
#include <cstdio>

#include "app/loader_state.h"
#include "card_files.h"
#include "res/resource.h"
#include "tests/support/process_cpu.h"

// Turns of each side, the sides taking turns within each round: at the card's fast pace after a round that warms
// them up; at the hardware's pace, some 20 s a turn, as few as a steady median needs (the fast rounds warmed up).
static const int kFastRounds = 11, kHardwareRounds = 5;
static const double kFlashRatioTarget = 1.10;
// Ours: the bare runner does nothing but read the tool's output, some 120 KB in thousands of small writes; the
// loader also searches it for failures, keeps it for the XC3SProg Console, shows progress and paints. Twice that.
static const double kFlashCpuTargetFactor = 2.0;
static const UINT kRunTool = WM_APP + 1;   // what bare_tool_runner answers with its tool runs
static const uint32_t kDesignSeed = 11, kEarlierDesignSeed = 12;
// How a Load into the internal flash ends in the status log when every step has worked.
static const char kLoadedTail[] = "Internal Flash loaded.\r\nXC3SProg processing.\r\nXC3SProg done.\r\n";

// The Program directory of the measurement, and the card before every turn and what it must hold after it.
struct FlashSetting {
    std::string dir;
    std::string design;          // the .bit file that every Load puts into the flash
    std::string cardBefore;      // the state file: an earlier design in the flash, the FPGA booted from it
    std::string configuration;   // the design's configuration data, which the flash must hold from its start
    uint32_t frameCrc;
    uint32_t frameLength;
};

static bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The real tool with its own bridge bitstream, the simulated card as the cable driver, the loader and the bare
// runner, all in one folder: each starts the tool from there, and the tool finds the card's DLL beside itself.
static FlashSetting LayOutFlash(const Layout& layout)
{
    const std::string tool = layout.build + "real-tool\\";
    FlashSetting setting;
    setting.dir = layout.dir + "flash\\";
    if (!CreateDirectoryA(setting.dir.c_str(), NULL))
        Fail("cannot create " + setting.dir);
    for (const char* name : { "VLR Loader.exe", "ftd2xx.dll", "bare_tool_runner.exe" })
        CopyInto(layout.dir, setting.dir, name);
    // The tool's bitstream comes read-only from its source, and the next bench must be able to delete the copy.
    for (const char* name : { "xc3sprog.exe", "xc3s400an.bit" }) {
        CopyInto(tool, setting.dir, name);
        SetFileAttributesA((setting.dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    WriteText(setting.dir + "vlrext.bit", card_files::ExternalHelperBitFile());
    WriteText(setting.dir + "VLR Loader.ini", "[DlgPosition]\r\nX=0\r\nY=0\r\n");

    const std::string frames = card_files::UserFrames(kDesignSeed);
    setting.configuration = card_files::ConfigurationData(frames);
    setting.frameCrc = card_files::Crc32(frames);
    setting.frameLength = (uint32_t)frames.size();
    setting.design = setting.dir + "flash design.bit";
    WriteText(setting.design, card_files::BitFile(setting.configuration));

    // A different design of the same length before each turn, so that a Load that leaves out a step shows.
    const std::string earlierFrames = card_files::UserFrames(kEarlierDesignSeed);
    const std::string earlier = card_files::ConfigurationData(earlierFrames);
    card_files::CardState card;
    card.isf.replace(0, earlier.size(), earlier);
    card.design = card_files::Design::User;
    card.configuredBy = card_files::ConfiguredBy::Isf;
    card.done = true;
    card.frameCrc = card_files::Crc32(earlierFrames);
    card.frameLength = (uint32_t)earlierFrames.size();
    setting.cardBefore = card_files::WriteState(card);
    return setting;
}

// The card answers at once, or at the pace a real one keeps: TCK at the tool's 1.5 MHz, flash pages in milliseconds.
static void SetPace(const FlashSetting& setting, bool hardware)
{
    const std::string cables = "[Driver]\r\nCount=1\r\nDescription0=Vellora USB JTAG Cable\r\n";
    WriteText(setting.dir + "simulated-card.ini", cables + (hardware ? "[Card]\r\nPace=hardware\r\n" : ""));
}

static void PutCardBack(const FlashSetting& setting)
{
    WriteText(setting.dir + "simulated-card.state", setting.cardBefore);
}

// Why the card does not hold the design in its in-system flash, booted from there; empty when it does.
static std::string CardFault(const FlashSetting& setting)
{
    std::string text;
    card_files::CardState card;
    if (!card_files::ReadWholeFile(setting.dir + "simulated-card.state", &text) || !card_files::ReadState(text, &card))
        return "the card's state file cannot be read";
    if (card.isf.compare(0, setting.configuration.size(), setting.configuration) != 0)
        return "the in-system flash does not hold the design";
    bool bootedFromFlash = card.design == card_files::Design::User &&
                           card.configuredBy == card_files::ConfiguredBy::Isf && card.done;
    if (!bootedFromFlash)
        return std::string("the FPGA runs ") + card_files::DesignName(card.design) + " configured by " +
               card_files::ConfiguredByName(card.configuredBy) + (card.done ? "" : " without DONE") +
               ", not the design booted from the flash";
    if (card.frameCrc != setting.frameCrc || card.frameLength != setting.frameLength)
        return "the FPGA runs another design booted from the flash";
    return "";
}

// The log's last two lines, on one line.
static std::string LastLines(const std::string& log)
{
    std::string text = log.substr(0, log.find_last_not_of("\r\n") + 1);
    size_t start = text.size();
    for (int line = 0; line < 2 && start != std::string::npos && start > 0; ++line)
        start = text.rfind('\n', start - 1);
    text.erase(0, start == std::string::npos ? 0 : start + 1);
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// The first fault seen, with the round it was seen in; a figure is void once there is one.
struct Verdict {
    std::string fault;
    void Check(const char* side, int round, const std::string& found)
    {
        if (fault.empty() && !found.empty())
            fault = std::string(side) + Format(", round %.0f: ", round) + found;
    }
};

static Child StartFlashRunner(const FlashSetting& setting, const std::vector<std::string>& lines)
{
    std::string joined;
    for (const std::string& line : lines)
        joined += (joined.empty() ? "" : "|") + line;
    return StartBareToolRunner(setting.dir, joined);
}

// The destination and the check box as a person sets them, in a Main window of another process or of this one.
static void ChooseInternalFlash(HWND window)
{
    SendMessageA(GetDlgItem(window, IDC_DEST_IFLASH), BM_CLICK, 0, 0);
    if (SendMessageA(GetDlgItem(window, IDC_LOAD_AFTER_FLASH), BM_GETCHECK, 0, 0) != BST_CHECKED)
        SendMessageA(GetDlgItem(window, IDC_LOAD_AFTER_FLASH), BM_CLICK, 0, 0);
    if (SendMessageA(GetDlgItem(window, IDC_DEST_IFLASH), BM_GETCHECK, 0, 0) != BST_CHECKED ||
        SendMessageA(GetDlgItem(window, IDC_LOAD_AFTER_FLASH), BM_GETCHECK, 0, 0) != BST_CHECKED)
        Fail("cannot choose Internal Flash with Load FPGA after loading Flash");
}

// One Load through the program in its own process: its time from the click until the command has ended and
// "Load" is enabled again, and the loader's CPU time over it. The painting that follows is not timed.
static std::string LoadThroughProgram(const Child& loader, const std::string& marker, double* ms, double* cpuMs)
{
    size_t logBefore = StatusText(loader.window).size();
    HWND load = GetDlgItem(loader.window, IDC_LOAD);
    unsigned long long cpuBefore = ProcessCpuMs(loader.info.hProcess, marker);
    double started = NowMs();
    SendMessageA(loader.window, WM_COMMAND, MAKEWPARAM(IDC_LOAD, BN_CLICKED), (LPARAM)load);
    *ms = NowMs() - started;
    unsigned long long cpuAfter = ProcessCpuMs(loader.info.hProcess, marker);
    WaitForInputIdle(loader.info.hProcess, 5000);
    if (cpuBefore == ~0ULL || cpuAfter == ~0ULL)
        Fail("cannot read the loader's CPU time");
    *cpuMs = (double)(cpuAfter - cpuBefore);
    if (!IsWindowEnabled(load))
        return "Load is not enabled again at the command's end";
    std::string log = StatusText(loader.window);
    if (log.size() <= logBefore || !EndsWith(log, kLoadedTail))
        return "the status log does not end in the flash loaded and the FPGA booted, but in: " + LastLines(log);
    return "";
}

static std::string LoadInProcess(HWND window, Timing* timing)
{
    *timing = TimeInProcessCommand(window, IDC_LOAD);
    if (!EndsWith(g_state.logBuffer, kLoadedTail))
        return "the status log does not end in the flash loaded and the FPGA booted, but in: " +
               LastLines(g_state.logBuffer);
    return "";
}

static std::string RunByHand(const Child& runner, double* ms)
{
    double started = NowMs();
    bool ran = SendMessageA(runner.window, kRunTool, 0, 0) != 0;
    *ms = NowMs() - started;
    return ran ? "" : "the platform refused a tool start";
}

static std::string Quoted(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "[" : " [") + line + "]";
    return text;
}

// The sides of the measurement: the loader in a process of its own, the bare runner, and the Main window in this
// process, all in the flash folder.
struct FlashSides {
    const FlashSetting* setting;
    std::vector<std::string> lines;   // the bare runner's three command lines
    Child loader, runner;
    HWND window;
    std::string loaderMarker, runnerMarker;
};

// One pace's turns and what each side took.
struct Turns {
    std::vector<double> programMs, programCpu, bareMs, bareCpu;
    std::vector<Timing> inProcess;
    Verdict program, bare, breakdown;
    bool Void() const { return !program.fault.empty() || !bare.fault.empty(); }
    // What the Load took over the tool runs, round by round, so that a busy spell that slows the tool does not count.
    std::vector<double> Added() const
    {
        std::vector<double> added;
        for (size_t i = 0; i < programMs.size() && i < bareMs.size(); ++i)
            added.push_back(programMs[i] - bareMs[i]);
        std::sort(added.begin(), added.end());
        return added;
    }
};

// The sides take turns within each round, each turn on the card as it was before; round 0, if asked for, warms
// them up (the first Load makes the hidden XC3SProg Console) and is not counted.
static Turns TakeTurns(FlashSides& sides, int rounds, bool warmUp, bool inProcess)
{
    const FlashSetting& setting = *sides.setting;
    const int count = inProcess ? 3 : 2;
    Turns turns;
    for (int round = warmUp ? 0 : 1; round <= rounds; ++round) {
        for (int turn = 0; turn < count; ++turn) {
            PutCardBack(setting);
            double ms = 0.0, cpuMs = 0.0;
            switch ((turn + round) % count) {
            case 0: {
                std::string fault = LoadThroughProgram(sides.loader, sides.loaderMarker, &ms, &cpuMs);
                turns.program.Check("the program", round, fault.empty() ? CardFault(setting) : fault);
                if (round > 0) {
                    turns.programMs.push_back(ms);
                    turns.programCpu.push_back(cpuMs);
                }
                break;
            }
            case 1: {
                unsigned long long cpuBefore = ProcessCpuMs(sides.runner.info.hProcess, sides.runnerMarker);
                std::string fault = RunByHand(sides.runner, &ms);
                unsigned long long cpuAfter = ProcessCpuMs(sides.runner.info.hProcess, sides.runnerMarker);
                if (cpuBefore == ~0ULL || cpuAfter == ~0ULL)
                    Fail("cannot read the bare runner's CPU time");
                turns.bare.Check("the bare runner", round, fault.empty() ? CardFault(setting) : fault);
                if (round > 0) {
                    turns.bareMs.push_back(ms);
                    turns.bareCpu.push_back((double)(cpuAfter - cpuBefore));
                }
                break;
            }
            default: {
                Timing timing;
                std::string fault = LoadInProcess(sides.window, &timing);
                // A Load that worked must have run what the bare runner runs, or the two do not compare.
                if (fault.empty() && LastToolLines() != sides.lines)
                    Fail("the loader ran " + Quoted(LastToolLines()) + "; the bare runner runs " + Quoted(sides.lines));
                turns.breakdown.Check("in-process", round, fault.empty() ? CardFault(setting) : fault);
                if (round > 0)
                    turns.inProcess.push_back(timing);
                break;
            }
            }
        }
    }
    return turns;
}

static void NoteVoid(const Turns& turns)
{
    for (const Verdict* side : { &turns.program, &turns.bare })
        if (!side->fault.empty())
            Note("void, a Load did not put the design into the in-system flash and boot it: " + side->fault);
}

static void NoteTimes(const Turns& turns, const char* pace)
{
    std::vector<double> added = turns.Added();
    Note(Format("Load into the internal flash %.2f ms, its fixed pauses of 150 ms counted; the same three tool runs by "
                "hand %.2f ms (medians of %.0f turns each, ",
                Median(turns.programMs), Median(turns.bareMs), (double)turns.programMs.size()) +
         pace + Format("); the Load over the runs, round by round: %.2f ms (quartiles %.2f and %.2f ms)",
                       Median(added), added[added.size() / 4], added[added.size() * 3 / 4]));
    if (!turns.Void())
        Note("every turn began with the card running an earlier design from its flash and left the new design there, "
             "booted (checked)");
}

// The program's Loads into the internal flash, "Load FPGA after loading Flash" checked, against the same three
// tool runs made one after the other by a bare runner, from the same folder against the same card, in turns:
// first with the card answering at once, where only what the program adds in milliseconds means anything, and
// a Main window in this process makes the same Loads alongside, taken apart at the import table; then with the
// card at the hardware's pace, where the Load and the runs take as long as on a real card, for the ratio.
void MeasureFlashLoad(const Layout& layout)
{
    if (!Exists(layout.build + "real-tool\\xc3sprog.exe") || !Exists(layout.build + "real-tool\\xc3s400an.bit")) {
        std::printf("flash Load: skipped, the real tool is not built (its source is not beside the project)\n");
        return;
    }
    const FlashSetting setting = LayOutFlash(layout);
    SetPace(setting, false);
    // The card's files are the ones beside the DLL in that folder, for every process started from here.
    SetEnvironmentVariableA("STANDIN_DIR", NULL);
    FlashSides sides;
    sides.setting = &setting;
    sides.lines = { "xc3sprog.exe -c ftdi -v xc3s400an.bit:w", "xc3sprog.exe -c ftdi -v -I \"" + setting.design + "\":w",
                    "xc3sprog.exe -c ftdi -v -R" };
    TimeStartUp(setting.dir + "VLR Loader.exe", setting.dir, &sides.loader);
    SendMessageA(GetDlgItem(sides.loader.window, IDC_BITSTREAM_COMBO), WM_SETTEXT, 0, (LPARAM)setting.design.c_str());
    ChooseInternalFlash(sides.loader.window);
    sides.runner = StartFlashRunner(setting, sides.lines);
    Layout here = layout;
    here.dir = setting.dir;
    here.bitstream = setting.design;
    sides.window = OpenInProcessWindow(here, setting.dir);
    ChooseInternalFlash(sides.window);
    sides.loaderMarker = setting.dir + "VLR Loader.exe", sides.runnerMarker = setting.dir + "bare_tool_runner.exe";

    const Turns fast = TakeTurns(sides, kFastRounds, true, true);
    CloseInProcessWindow(sides.window);
    SetPace(setting, true);
    const Turns paced = TakeTurns(sides, kHardwareRounds, false, false);
    SetPace(setting, false);
    CloseChild(&sides.runner);
    CloseChild(&sides.loader);

    // At the hardware's pace: the figure the target is about.
    const char* ratioTarget = "<= 1.10";
    if (paced.Void()) {
        ReportVoid("flash Load/tool, hardware pace", ratioTarget);
        NoteVoid(paced);
    } else {
        double ratio = Median(paced.programMs) / Median(paced.bareMs);
        Report("flash Load/tool, hardware pace", ratio, "", ratioTarget, ratio <= kFlashRatioTarget);
    }
    NoteTimes(paced, "the card at the hardware's pace");

    // At the card's fast pace the runs take about a second and the fixed pauses alone are a sixth of it: there the
    // figure is what the program adds, in milliseconds.
    if (fast.Void()) {
        std::printf("%-30s %10s   (no target: what the program adds to the tool runs)\n", "flash Load added, fast card",
                    "void");
        NoteVoid(fast);
    } else {
        std::printf("%-30s %8.2f ms   (no target: what the program adds to the tool runs, round by round)\n",
                    "flash Load added, fast card", Median(fast.Added()));
    }
    NoteTimes(fast, "the card answering at once");
    if (fast.breakdown.fault.empty()) {
        Note(Format("in-process Loads %.2f ms: the tool runs, each from its start until its output is in, %.2f ms; "
                    "between them %.2f ms, of which fixed pauses %.2f ms",
                    MedianOf(fast.inProcess, TotalOf), MedianOf(fast.inProcess, RunsOf),
                    MedianOf(fast.inProcess, BetweenRunsOf), MedianOf(fast.inProcess, PauseOf)));
        Note(Format("  own work (all but the tool's start and the waits) %.2f ms: ", MedianOf(fast.inProcess, OwnWorkOf)) +
             OwnPartsText(fast.inProcess));
    } else {
        Note("in-process breakdown void: " + fast.breakdown.fault);
    }

    // The CPU time over a Load as a person's PC spends it, the tool taking as long as on a real card.
    double cpu = Median(paced.programCpu), bareCpu = Median(paced.bareCpu);
    double cpuTarget = kFlashCpuTargetFactor * bareCpu;
    const std::string cpuTargetText = Format("<= %.0f ms, twice the bare runner's, ours", cpuTarget);
    if (paced.Void())
        ReportVoid("loader's CPU over a flash Load", cpuTargetText.c_str());
    else
        Report("loader's CPU over a flash Load", cpu, " ms", cpuTargetText.c_str(), cpu <= cpuTarget);
    Note(Format("hardware pace: medians of %.0f Loads, from the click until Load is enabled again, and of the bare "
                "runner's %.0f ms over its three runs (GetProcessTimes; under Wine, /proc, in 10 ms ticks); at the fast "
                "pace %.0f ms against %.0f ms",
                (double)paced.programCpu.size(), bareCpu, Median(fast.programCpu), Median(fast.bareCpu)));
}
