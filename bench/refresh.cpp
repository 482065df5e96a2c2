// Refresh: the loader listing 400 cables against 100, and the in-process Refreshes taken apart.
#include "bench/in_process_breakdown.h"

#include "app/loader_state.h"
#include "res/resource.h"

static const int kRefreshRuns = 15;
static const int kFewCables = 100;
static const int kManyCables = 400;

// A Program directory of its own, whose driver stand-in reports the given number of cables.
static std::string CableDirectory(const Layout& layout, int cables)
{
    std::string dir = layout.dir + "cables" + std::to_string(cables) + "\\";
    if (!CreateDirectoryA(dir.c_str(), NULL))
        Fail("cannot create " + dir);
    CopyInto(layout.dir, dir, "VLR Loader.exe");
    CopyInto(layout.dir, dir, "ftd2xx.dll");
    std::string ini = "[Driver]\r\nCount=" + std::to_string(cables) + "\r\n";
    for (int i = 0; i < cables; ++i)
        ini += "Description" + std::to_string(i) + "=Vellora USB JTAG Cable " + std::to_string(i) + "\r\n";
    WriteText(dir + "simulated-card.ini", ini);
    return dir;
}

// A Refresh that did not list every cable would be timed doing less than asked.
static void CheckCableList(const std::string& log, int cables)
{
    static const std::string kName = "\r\nDevice name: Vellora USB JTAG Cable ";
    std::string head = "Devices found: " + std::to_string(cables) + "\r\n";
    int names = 0;
    for (size_t at = log.find(kName); at != std::string::npos; at = log.find(kName, at + 1))
        ++names;
    if (log.compare(0, head.size(), head) != 0 || names != cables)
        Fail("the loader did not list its " + std::to_string(cables) + " cables");
}

// Two loaders, each in its own Program directory with its own number of cables, and the Main window
// in this process, refreshed in turn; no driver file changes meanwhile, so all stay in Wine's
// profile cache.
void MeasureRefresh(const Layout& layout)
{
    const int cables[2] = { kFewCables, kManyCables };
    std::string dirs[2];
    Child loaders[2];
    for (int side = 0; side < 2; ++side) {
        dirs[side] = CableDirectory(layout, cables[side]);
        TimeStartUp(dirs[side] + "VLR Loader.exe", dirs[side], &loaders[side]);
    }
    HWND inWindow = OpenInProcessWindow(layout, dirs[0]);
    std::vector<double> refreshMs[2];
    std::vector<Timing> inProcess[2];
    for (int run = -1; run < kRefreshRuns; ++run) {   // run -1 warms up
        for (int turn = 0; turn < 4; ++turn) {
            int item = (turn + run + 1) % 4;   // 0 and 1 the loaders, 2 and 3 the window here
            int side = item % 2;
            if (item < 2) {
                double ms = TimeCommand(loaders[side], IDC_REFRESH);
                CheckCableList(StatusText(loaders[side].window), cables[side]);
                if (run >= 0)
                    refreshMs[side].push_back(ms);
            } else {
                SetEnvironmentVariableA("STANDIN_DIR", dirs[side].c_str());
                Timing timing = TimeInProcessCommand(inWindow, IDC_REFRESH);
                CheckCableList(g_state.logBuffer, cables[side]);
                if (run >= 0)
                    inProcess[side].push_back(timing);
            }
        }
    }
    CloseInProcessWindow(inWindow);
    CloseChild(&loaders[0]);
    CloseChild(&loaders[1]);

    double few = Median(refreshMs[0]);
    double many = Median(refreshMs[1]);
    Report("refresh 400/100 cables ratio", many / few, "", "<= 5", many / few <= 5.0);
    Note(Format("Refresh listing %.0f cables %.1f ms, %.0f cables %.1f ms (medians of %.0f runs each)", kFewCables,
                few, kManyCables, many, kRefreshRuns));
    for (int side = 0; side < 2; ++side) {
        const std::vector<Timing>& timings = inProcess[side];
        Note(Format("in-process, %.0f cables: Refresh %.1f ms; cable driver stand-in %.1f ms (%.0f calls),",
                    cables[side], MedianOf(timings, TotalOf), MedianOf(timings, DriverOf),
                    MedianOf(timings, DriverCallsOf)));
        Note("  " + OwnPartsText(timings));
    }
}
