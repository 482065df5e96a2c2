// Bench driver: times the loader against bare platform programs and calls, interleaved, and prints the figures.
#include <cstdio>
#include <cstring>

#include "bench/in_process_breakdown.h"

static void DeleteTree(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(dir + name + "\\");
            else
                DeleteFileA((dir + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

// A fresh scratch Program directory beside this program, holding the loader, the stand-ins and the bare programs.
static Layout LayOut()
{
    char path[MAX_PATH];
    std::string benchDir(path, GetModuleFileNameA(NULL, path, sizeof path));
    benchDir.resize(benchDir.find_last_of('\\') + 1);
    std::string build = benchDir.substr(0, benchDir.find_last_of('\\', benchDir.size() - 2) + 1);
    Layout layout;
    layout.build = build;
    layout.dir = benchDir + "scratch\\";
    DeleteTree(layout.dir);
    if (!CreateDirectoryA(layout.dir.c_str(), NULL))
        Fail("cannot create " + layout.dir);
    CopyInto(build, layout.dir, "VLR Loader.exe");
    CopyInto(build + "simulated-card\\", layout.dir, "ftd2xx.dll");
    CopyInto(build + "stand-ins\\", layout.dir, "xc3sprog.exe");
    for (const char* name : { "bare_dialog.exe", "bare_dialog_imports.exe", "bare_tool_runner.exe" })
        CopyInto(benchDir, layout.dir, name);
    WriteText(layout.dir + "simulated-card.ini", "[Driver]\r\nCount=1\r\nDescription0=Vellora USB JTAG Cable\r\n");
    // The top left corner of the screen; the other Main windows of the bench open beside it.
    WriteText(layout.dir + "VLR Loader.ini", "[DlgPosition]\r\nX=0\r\nY=0\r\n");
    layout.bitstream = layout.dir + "sample.bit";
    WriteText(layout.bitstream, std::string(4096, '\x5a'));
    return layout;
}

// Arguments name the measurements to run (startup, recent, refresh, long, wait, flash); none runs them all.
int main(int argc, char** argv)
{
    // Unbuffered, so that every line shows as soon as its measurement ends, and a failure's too.
    std::setvbuf(stdout, NULL, _IONBF, 0);
    std::printf("VLR Loader bench under Wine: medians of interleaved runs against the bare platform\n");
    Layout layout = LayOut();
    // The children inherit the standard handles; the tool's console text would otherwise run into
    // this report. The C runtime keeps its own copy of them, so the report itself still prints.
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
    for (DWORD handle : { STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE })
        SetStdHandle(handle, nul);
    struct Measurement {
        const char* name;
        void (*run)(const Layout&);
    };
    const Measurement measurements[] = { { "startup", MeasureStartUp }, { "recent", MeasureRecentPush },
                                         { "refresh", MeasureRefresh }, { "long", MeasureLongSession },
                                         { "wait", MeasureWaitCost }, { "flash", MeasureFlashLoad } };
    for (int i = 1; i < argc; ++i) {
        bool known = false;
        for (const Measurement& measurement : measurements)
            known = known || std::strcmp(argv[i], measurement.name) == 0;
        if (!known) {
            std::printf("unknown measurement %s: choose from startup, recent, refresh, long, wait, flash\n", argv[i]);
            return 2;
        }
    }
    double started = NowMs();
    for (const Measurement& measurement : measurements) {
        bool chosen = argc < 2;
        for (int i = 1; i < argc; ++i)
            chosen = chosen || std::strcmp(argv[i], measurement.name) == 0;
        if (chosen)
            measurement.run(layout);
    }
    NoteParts();
    std::printf("bench time %.0f s\n", (NowMs() - started) / 1000.0);
    return 0;
}
