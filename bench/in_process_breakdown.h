// The Main window run in the bench driver's own process, its commands taken apart at the import table.
#ifndef LOADER_BENCH_IN_PROCESS_BREAKDOWN_H
#define LOADER_BENCH_IN_PROCESS_BREAKDOWN_H

#include "bench/bench_support.h"

enum Part {
    PART_TOOL, PART_DRIVER, PART_PROFILE, PART_SHOW, PART_SCROLL, PART_PAINT, PART_PAUSE, PART_COUNT, PART_NONE = PART_COUNT
};

// One in-process command and its parts.
struct Timing {
    double total;
    double ms[PART_COUNT];
    int calls[PART_COUNT];
    double runs;   // from each tool start until the run was watched to its end, the tool's output all in
};

extern Timing g_initTiming;   // the last in-process window's initialisation

// The Main window in this process, on a fresh state whose Program directory is the scratch folder;
// the driver stand-in loaded into this process reads its cables from the given folder. The clocks
// run while the window lives.
HWND OpenInProcessWindow(const Layout& layout, const std::string& cableDir);
void CloseInProcessWindow(HWND window);
// The command's time is until the window procedure returns; the painting that follows is not timed.
Timing TimeInProcessCommand(HWND window, int id);
// The command lines of the tool runs that the last in-process command started, in their order.
const std::vector<std::string>& LastToolLines();

double MedianOf(const std::vector<Timing>& timings, double (*part)(const Timing&));
double TotalOf(const Timing& timing);
double ToolOf(const Timing& timing);
double DriverOf(const Timing& timing);
double DriverCallsOf(const Timing& timing);
double OwnWorkOf(const Timing& timing);
double PauseOf(const Timing& timing);
double RunsOf(const Timing& timing);
double BetweenRunsOf(const Timing& timing);   // the command's time outside its tool runs
// The program's own parts of in-process commands, as medians.
std::string OwnPartsText(const std::vector<Timing>& timings);
// The legend of those parts, when any were shown.
void NoteParts();

#endif
