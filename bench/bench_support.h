// What every measurement of the bench driver shares: the clock, reporting, files, child processes and their windows.
#ifndef LOADER_BENCH_SUPPORT_H
#define LOADER_BENCH_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

struct Layout {
    std::string dir;   // the scratch Program directory, holding the loader, the stand-ins and the bare programs
    std::string bitstream;
    std::string build;   // the build folder, where the real tool lies when it is built
};

struct Child {
    PROCESS_INFORMATION info;
    HWND window;
};

double NowMs();
double Median(std::vector<double> values);

[[noreturn]] void Fail(const std::string& what);
void Report(const char* name, double value, const char* unit, const char* targetText, bool holds);
// A figure that cannot be given, because the runs behind it did not do what they must.
void ReportVoid(const char* name, const char* targetText);
void Note(const std::string& text);
std::string Format(const char* format, double a, double b = 0.0, double c = 0.0, double d = 0.0, double e = 0.0,
                   double f = 0.0);

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
bool EndsWith(const std::string& text, const char* tail);
void CopyInto(const std::string& fromDir, const std::string& dir, const char* name);

HWND FindProcessWindow(DWORD pid, const char* className);
void StartChild(const std::string& commandLine, const std::string& dir, Child* child);
void CloseChild(Child* child);
// The bare runner started in dir with its arguments, once its window shows.
Child StartBareToolRunner(const std::string& dir, const std::string& arguments);
double TimeStartUp(const std::string& exe, const std::string& dir, Child* child);
double TimeCommand(const Child& child, int id);
std::string StatusText(HWND window);

// The measurements, each in the file named for it.
void MeasureStartUp(const Layout& layout);
void MeasureRecentPush(const Layout& layout);
void MeasureRefresh(const Layout& layout);
void MeasureLongSession(const Layout& layout);
void MeasureWaitCost(const Layout& layout);
void MeasureFlashLoad(const Layout& layout);

#endif
