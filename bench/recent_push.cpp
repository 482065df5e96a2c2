// Recent-file push: the loader's PushRecentFile against the same private-profile calls made bare.
#include "bench/bench_support.h"

#include "app/loader_state.h"
#include "app/recent_files.h"

static const int kPushes = 200;

static const char* const kRecentKeys[] = { "", "DDList#1", "DDList#2", "DDList#3", "DDList#4", "DDList#5",
                                           "DDList#6", "DDList#7", "DDList#8", "DDList#9", "DDList#10" };

// The platform calls of one push with the default capacity, and nothing else.
static void BarePush(const char* ini, const char* path)
{
    char entry[PATH_CAPACITY];
    char capacity[PATH_CAPACITY];
    GetPrivateProfileStringA("Files", kRecentKeys[1], "", entry, sizeof entry, ini);
    GetPrivateProfileStringA("Files", "DDListMax", "", capacity, sizeof capacity, ini);
    if (lstrcmpA(entry, path) == 0)
        return;
    for (int i = 9; i >= 1; --i) {
        GetPrivateProfileStringA("Files", kRecentKeys[i], "", entry, sizeof entry, ini);
        WritePrivateProfileStringA("Files", kRecentKeys[i + 1], entry, ini);
    }
    WritePrivateProfileStringA("Files", kRecentKeys[1], path, ini);
}

void MeasureRecentPush(const Layout& layout)
{
    std::string listText = "[Files]\r\n";
    for (int i = 1; i <= 10; ++i)
        listText += std::string(kRecentKeys[i]) + "=C:\\Bitstreams\\older_design_" + std::to_string(i) + ".bit\r\n";
    std::string loaderIni = layout.dir + "recent-loader.ini";
    std::string bareIni = layout.dir + "recent-bare.ini";
    WriteText(loaderIni, listText);
    WriteText(bareIni, listText);
    lstrcpyA(g_state.settingsPath, loaderIni.c_str());

    // Two paths in turn, so that every push moves the whole list.
    const char* const paths[2] = { "C:\\Bitstreams\\design_a.bit", "C:\\Bitstreams\\design_b.bit" };
    std::vector<double> loaderMs;
    std::vector<double> bareMs;
    // One push of each side per round, the side going first taking turns: a push lasts milliseconds,
    // so that both sides meet the same spells of a busy machine.
    for (int round = -1; round < kPushes; ++round) {   // round -1 warms up
        const char* path = paths[(round + 1) % 2];
        for (int turn = 0; turn < 2; ++turn) {
            bool loaderSide = (turn + round + 1) % 2 == 0;
            double started;
            if (loaderSide) {
                lstrcpyA(g_state.bitstreamPath, path);
                started = NowMs();
                PushRecentFile();
            } else {
                started = NowMs();
                BarePush(bareIni.c_str(), path);
            }
            double ms = NowMs() - started;
            if (round >= 0)
                (loaderSide ? loaderMs : bareMs).push_back(ms);
        }
    }
    // The same pushes must leave the same list, or the bare side did not do the program's work.
    if (ReadText(loaderIni) != ReadText(bareIni))
        Fail("the loader's and the bare Recent-file lists differ");
    g_state.settingsPath[0] = '\0';

    double loader = Median(loaderMs);
    double bare = Median(bareMs);
    Report("recent-push ratio", loader / bare, "", "<= 1.1", loader / bare <= 1.1);
    Note(Format("PushRecentFile %.3f ms, bare profile calls %.3f ms (medians of %.0f pushes each)", loader, bare,
                kPushes));
}
