// Start-up: the loader until it reports its cables, against bare dialogs that show the same Main window.
#include "bench/in_process_breakdown.h"

static const int kStartRuns = 25;

void MeasureStartUp(const Layout& layout)
{
    // The loader, the bare dialog, the bare dialog with the loader's imports; and the Main window
    // opened in this process, which shows what the loader's initialisation is made of.
    const std::string programs[3] = { layout.dir + "VLR Loader.exe", layout.dir + "bare_dialog.exe",
                                      layout.dir + "bare_dialog_imports.exe" };
    std::vector<double> startMs[3];
    std::vector<Timing> inits;
    Child child;
    // Warm-up: the first starts fill Wine's caches.
    for (int i = 0; i < 2; ++i) {
        for (const std::string& program : programs) {
            TimeStartUp(program, layout.dir, &child);
            CloseChild(&child);
        }
    }
    for (int i = 0; i < kStartRuns; ++i) {
        for (int turn = 0; turn < 4; ++turn) {
            int side = (turn + i) % 4;
            if (side == 3) {
                CloseInProcessWindow(OpenInProcessWindow(layout, layout.dir));
                inits.push_back(g_initTiming);
            } else {
                startMs[side].push_back(TimeStartUp(programs[side], layout.dir, &child));
                CloseChild(&child);
            }
        }
    }
    double loader = Median(startMs[0]);
    double bare = Median(startMs[1]);
    Report("start-up ratio", loader / bare, "", "<= 1.15", loader / bare <= 1.15);
    Note(Format("loader %.1f ms, bare dialog with the same class and template %.1f ms (medians of %.0f runs each)",
                loader, bare, kStartRuns));
    Note(Format("the bare dialog importing what the loader imports beyond it (shlwapi, the cable driver) "
                "%.1f ms", Median(startMs[2])));
    Note(Format("in-process, the loader's WM_INITDIALOG %.2f ms; cable driver stand-in %.2f ms (%.0f calls),",
                MedianOf(inits, TotalOf), MedianOf(inits, DriverOf), MedianOf(inits, DriverCallsOf)));
    Note("  " + OwnPartsText(inits));
}
