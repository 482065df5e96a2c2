// Long session: the 1,000th Load against the 10th, and a Load's own work against a bare tool run.
#include "bench/in_process_breakdown.h"

#include <algorithm>
#include <cstring>

#include "app/loader_state.h"
#include "res/resource.h"

static const int kLongLoads = 1000;
// The Loads around the 10th and the 1,000th that are compared; they take turns Load by Load, with two
// bare tool runs each.
static const int kEarlyFirst = 3;
static const int kEarlyLast = 17;
static const int kLateFirst = 986;
static const int kLateLast = 1000;
static const double kOwnWorkTargetMs = 40.0;
static const UINT kRunTool = WM_APP + 1;   // what bare_tool_runner answers with one tool run

static size_t CountToolRuns(const std::string& dir)
{
    std::string log = ReadText(dir + "xc3sprog-calls.log");
    return (size_t)std::count(log.begin(), log.end(), '\n');
}

// How a Load ended, from what it added to the status log. Under load Wine may refuse a tool start
// now and then; the program reports it and goes on, and so does the bench, counting it.
enum Outcome { OUTCOME_LOADED, OUTCOME_REFUSED, OUTCOME_FAILED };

static Outcome LoadOutcome(const std::string& log, size_t lengthBefore)
{
    if (log.size() <= lengthBefore)
        Fail("a Load added nothing to the status log");
    if (EndsWith(log, "sample.bit loaded into FPGA\r\n"))
        return OUTCOME_LOADED;
    return EndsWith(log, "Run XC3SProg failed!\r\nIO Error\r\n") ? OUTCOME_REFUSED : OUTCOME_FAILED;
}

struct Tally {
    int ran;
    int refused;
    int failed;   // started, but the tool reported an error
};

static void Count(Tally* tally, Outcome outcome)
{
    (outcome == OUTCOME_LOADED ? tally->ran : outcome == OUTCOME_REFUSED ? tally->refused : tally->failed) += 1;
}

// A loader session driven from here, and what its Loads did.
struct Session {
    Child child;
    size_t logLength;
    double totalMs;
    Tally tally;
};

// A loader whose Main window is initialised and whose bitstream combo box names the bench file.
static Session StartSession(const Layout& layout, const std::string& dir)
{
    Session session = {};
    TimeStartUp(dir + "VLR Loader.exe", dir, &session.child);
    if (!IsWindowEnabled(GetDlgItem(session.child.window, IDC_LOAD)))
        Fail("Load is disabled in the loader");
    SendMessageA(GetDlgItem(session.child.window, IDC_BITSTREAM_COMBO), WM_SETTEXT, 0,
                 (LPARAM)layout.bitstream.c_str());
    session.logLength = StatusText(session.child.window).size();
    return session;
}

static int LoadsOf(const Tally& tally)
{
    return tally.ran + tally.refused + tally.failed;
}

// One Load; its time joins the samples only when its tool ran.
static void LoadInSession(Session* session, std::vector<double>* samples)
{
    double ms = TimeCommand(session->child, IDC_LOAD);
    session->totalMs += ms;
    std::string log = StatusText(session->child.window);
    Outcome outcome = LoadOutcome(log, session->logLength);
    session->logLength = log.size();
    Count(&session->tally, outcome);
    if (samples != NULL && outcome == OUTCOME_LOADED)
        samples->push_back(ms);
}

static void LoadInProcess(HWND window, Tally* tally, std::vector<Timing>* samples)
{
    size_t lengthBefore = std::strlen(g_state.logBuffer);
    Timing timing = TimeInProcessCommand(window, IDC_LOAD);
    Outcome outcome = LoadOutcome(g_state.logBuffer, lengthBefore);
    Count(tally, outcome);
    if (samples != NULL && outcome == OUTCOME_LOADED)
        samples->push_back(timing);
}

static void RunBare(const Child& runner, Tally* tally, std::vector<double>* samples)
{
    double started = NowMs();
    bool ran = SendMessageA(runner.window, kRunTool, 0, 0) != 0;
    double ms = NowMs() - started;
    Count(tally, ran ? OUTCOME_LOADED : OUTCOME_REFUSED);
    if (samples != NULL && ran)
        samples->push_back(ms);
}

static void ReportOwnWork(const char* name, const std::vector<double>& loadMs, const std::vector<double>& bareMs,
                          int first, int last, const std::vector<Timing>& inProcess)
{
    double load = Median(loadMs);
    double bare = Median(bareMs);
    Report(name, load - bare, " ms", "< 40 ms", load - bare < kOwnWorkTargetMs);
    Note(Format("Load %.2f ms - bare CreateProcessA + wait %.2f ms (medians of the %.0f Loads %.0f-%.0f whose tool ran",
                load, bare, (double)loadMs.size(), first, last) +
         Format(" and of the %.0f bare runs among them)", (double)bareMs.size()));
    Note(Format("in-process Loads %.0f-%.0f: Load %.2f ms - tool start and wait %.2f ms = own work %.2f ms:", first,
                last, MedianOf(inProcess, TotalOf), MedianOf(inProcess, ToolOf), MedianOf(inProcess, OwnWorkOf)));
    Note("  " + OwnPartsText(inProcess));
}

static_assert(kLateLast - kLateFirst == kEarlyLast - kEarlyFirst, "the two stretches take turns Load by Load");
static_assert(kLateLast == kLongLoads, "the late stretch ends the session");

// A session of 1,000 Loads whose last Loads take turns with the first Loads of a new session, so that
// the 10th and the 1,000th Load meet the same machine, with bare tool runs among them. The Main window
// in this process goes through its own 1,000 Loads alongside, taken apart.
void MeasureLongSession(const Layout& layout)
{
    Session old = StartSession(layout, layout.dir);
    Child runner = StartBareToolRunner(layout.dir, "xc3sprog.exe -c ftdi -v \"" + layout.bitstream + "\":w");
    HWND here = OpenInProcessWindow(layout, layout.dir);
    size_t runsBefore = CountToolRuns(layout.dir);
    Tally hereTally = {}, bareTally = {};
    std::vector<Timing> hereEarly, hereLate;
    for (int load = 1; load < kLateFirst; ++load) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + load) % 2 == 0)
                LoadInSession(&old, NULL);
            else
                LoadInProcess(here, &hereTally, load >= kEarlyFirst && load <= kEarlyLast ? &hereEarly : NULL);
        }
    }

    for (int i = 0; i < 2; ++i)   // the bare runner's first runs fill its caches
        RunBare(runner, &bareTally, NULL);
    // A Program directory of its own puts the new session's window below the others instead of on
    // top of the old one's, whose box would then not be drawn.
    std::string youngDir = layout.dir + "new session\\";
    if (!CreateDirectoryA(youngDir.c_str(), NULL))
        Fail("cannot create " + youngDir);
    for (const char* name : { "VLR Loader.exe", "ftd2xx.dll", "xc3sprog.exe" })
        CopyInto(layout.dir, youngDir, name);
    WriteText(youngDir + "VLR Loader.ini", "[DlgPosition]\r\nX=0\r\nY=520\r\n");
    Session young = StartSession(layout, youngDir);
    std::vector<double> youngMs, oldMs, bareMs;
    for (int load = 1; load <= kEarlyLast; ++load) {
        // Everything takes turns at going first.
        int turns = load >= kEarlyFirst ? 5 : 1;
        for (int turn = 0; turn < turns; ++turn) {
            switch ((turn + load) % turns) {
            case 0:
                LoadInSession(&young, load >= kEarlyFirst ? &youngMs : NULL);
                break;
            case 1:
                LoadInSession(&old, &oldMs);
                break;
            case 2:
                LoadInProcess(here, &hereTally, &hereLate);
                break;
            default:
                RunBare(runner, &bareTally, &bareMs);
                break;
            }
        }
    }
    size_t hereLogLength = std::strlen(g_state.logBuffer);
    CloseInProcessWindow(here);
    CloseChild(&runner);
    CloseChild(&young.child);
    CloseChild(&old.child);

    if (LoadsOf(old.tally) != kLongLoads || LoadsOf(hereTally) != kLongLoads)
        Fail("the sessions did not make 1000 Loads");
    // Every start that was not refused ran the tool stand-in once, which logs its run unless it failed early.
    int failed = old.tally.failed + young.tally.failed + hereTally.failed;
    int started = old.tally.ran + young.tally.ran + hereTally.ran + bareTally.ran + failed;
    int logged = (int)(CountToolRuns(layout.dir) - runsBefore);
    if (logged > started || logged < started - failed)
        Fail("the tool stand-in logged " + std::to_string(logged) + " runs for " + std::to_string(started) +
             " starts");
    if (youngMs.empty() || oldMs.empty() || bareMs.empty() || hereEarly.empty() || hereLate.empty())
        Fail("every tool start of a compared stretch was refused");

    double youngMedian = Median(youngMs);
    double oldMedian = Median(oldMs);
    Report("1000th/10th Load ratio", oldMedian / youngMedian, "", "<= 1.2", oldMedian / youngMedian <= 1.2);
    Note(Format("Loads %.0f-%.0f of a session %.2f ms, Loads %.0f-%.0f of a new session %.2f ms, in turns", kLateFirst,
                kLateLast, oldMedian, kEarlyFirst, kEarlyLast, youngMedian));
    ReportOwnWork("Load's own work at the 10th", youngMs, bareMs, kEarlyFirst, kEarlyLast, hereEarly);
    ReportOwnWork("Load's own work at the 1000th", oldMs, bareMs, kLateFirst, kLateLast, hereLate);
    Note(Format("refused tool starts: loader %.0f of %.0f, in-process %.0f of %.0f, bare runner %.0f of %.0f",
                old.tally.refused + young.tally.refused, LoadsOf(old.tally) + LoadsOf(young.tally), hereTally.refused,
                LoadsOf(hereTally), bareTally.refused, LoadsOf(bareTally)));
    if (failed != 0)
        Note(Format("tool runs that reported an error: %.0f", failed));
    Note(Format("the session's %.0f Loads took %.1f s; its status box at the end %.0f characters (in-process %.0f)",
                kLongLoads, old.totalMs / 1000.0, (double)old.logLength, (double)hereLogLength));
}
