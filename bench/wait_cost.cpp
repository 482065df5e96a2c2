// The wait for the tool: the loader's own CPU time while a tool run of eight seconds lasts.
#include "bench/bench_support.h"

#include "res/resource.h"
#include "tests/support/process_cpu.h"

static const int kWaitRuns = 3;
static const double kWaitTargetMs = 80.0;

static size_t Lines(const std::string& path)
{
    std::string text = ReadText(path);
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

void MeasureWaitCost(const Layout& layout)
{
    const std::string settings = layout.dir + "xc3sprog-standin.ini";
    WriteText(settings, "[Tool]\r\nWaitMs=8000\r\n");
    Child child;
    TimeStartUp(layout.dir + "VLR Loader.exe", layout.dir, &child);
    SendMessageA(GetDlgItem(child.window, IDC_BITSTREAM_COMBO), WM_SETTEXT, 0, (LPARAM)layout.bitstream.c_str());
    std::vector<double> spent;
    for (int run = 0; run < kWaitRuns; ++run) {
        size_t started = Lines(layout.dir + "xc3sprog-started.log"), ended = Lines(layout.dir + "xc3sprog-calls.log");
        PostMessageA(child.window, WM_COMMAND, MAKEWPARAM(IDC_LOAD, BN_CLICKED), (LPARAM)GetDlgItem(child.window, IDC_LOAD));
        double since = NowMs();
        while (Lines(layout.dir + "xc3sprog-started.log") == started)
            if (NowMs() - since > 30000)
                Fail("the tool did not start");
            else
                Sleep(10);
        // From the tool's start to the Load's end: the wait, the reading of the output and the report.
        const std::string loader = layout.dir + "VLR Loader.exe";
        unsigned long long before = ProcessCpuMs(child.info.hProcess, loader);
        while (Lines(layout.dir + "xc3sprog-calls.log") == ended || !IsWindowEnabled(GetDlgItem(child.window, IDC_LOAD)))
            if (NowMs() - since > 60000)
                Fail("the Load did not end");
            else
                Sleep(10);
        unsigned long long after = ProcessCpuMs(child.info.hProcess, loader);
        if (before == ~0ULL || after == ~0ULL)
            Fail("cannot read the loader's CPU time");
        spent.push_back((double)(after - before));
    }
    CloseChild(&child);
    DeleteFileA(settings.c_str());
    double median = Median(spent);
    Report("loader's CPU over an 8 s tool run", median, " ms", "<= 80 ms", median <= kWaitTargetMs);
    Note(Format("median of %.0f Loads, each from the tool's start to the Load's end (GetProcessTimes; under Wine, /proc)",
                kWaitRuns));
}
