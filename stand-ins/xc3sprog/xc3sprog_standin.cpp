// Test stand-in for the programming tool: logs each run, prints tool-like output, obeys an INI file beside it.
#include "../standin_common.h"

#include <stdio.h>
#include <string.h>

// The runtime splits argv the Microsoft way, quotes keeping a path with blanks whole; it must not expand wildcards.
int _dowildcard = 0;

static const char kIni[] = "xc3sprog-standin.ini";

// Every key of [Tool] can be given for some command lines alone: the first section [When1], [When2], ...
// whose Match text occurs in the command line overrides [Tool] with its own keys.
static std::string g_rule;

static void ChooseRule(const std::string& commandLine)
{
    for (int i = 1; g_rule.empty(); i++) {
        std::string section = "When" + std::to_string(i), match = IniText(kIni, section.c_str(), "Match", "");
        if (match.empty())
            return;
        if (commandLine.find(match) != std::string::npos)
            g_rule = section;
    }
}

static std::string Text(const char* key, const char* fallback)
{
    std::string general = IniText(kIni, "Tool", key, fallback);
    return g_rule.empty() ? general : IniText(kIni, g_rule.c_str(), key, general.c_str());
}

static long Setting(const char* key, long fallback)
{
    std::string text = Text(key, "");
    return text.empty() ? fallback : atol(text.c_str());
}

// INI values are single lines: \r, \n, \t, \0, \xHH and \\ stand for the bytes the tool would print.
static std::string Unescape(const std::string& text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            bytes += c;
            continue;
        }
        char e = text[++i];
        if (e == 'x' && i + 2 < text.size()) {
            bytes += (char)strtol(text.substr(i + 1, 2).c_str(), NULL, 16);
            i += 2;
        } else {
            bytes += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e == '0' ? '\0' : e;
        }
    }
    return bytes;
}

// Through WriteFile, so that the text lands wherever the tool's standard handles lead: the loader's pipe,
// or the console that the tool inherited.
static void Write(DWORD stream, const std::string& text)
{
    DWORD written;
    HANDLE handle = GetStdHandle(stream);
    for (size_t done = 0; done < text.size(); done += written)
        if (!WriteFile(handle, text.data() + done, (DWORD)(text.size() - done), &written, NULL) || written == 0)
            return;
}
static void Print(const std::string& text) { Write(STD_OUTPUT_HANDLE, text); }

// Milliseconds since 1601 from the system clock, so times from different runs can be compared.
static ULONGLONG NowMs()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime) / 10000;
}

// Progress as the tool shows it: one line rewritten in place, each step begun by a carriage return, the
// last one left standing by a line feed; "#" in the text stands for the step's number.
static void PrintProgress()
{
    std::string text = Unescape(Text("Progress", ""));
    long steps = text.empty() ? 0 : Setting("Steps", 0), pauseMs = Setting("StepMs", 0);
    for (long step = 1; step <= steps; step++) {
        std::string line = text;
        for (size_t at; (at = line.find('#')) != std::string::npos;)
            line.replace(at, 1, std::to_string(step));
        Print("\r" + line);
        if (pauseMs > 0)
            Sleep(pauseMs);
    }
    if (steps > 0)
        Print("\n");
}

// FloodBytes of filler in lines of FloodLine letters, each ended by "\r\n" (FloodLine=0: one line without an end).
static void PrintFlood()
{
    long total = Setting("FloodBytes", 0), lineLength = Setting("FloodLine", 78);
    std::string line = lineLength > 0 ? std::string((size_t)lineLength, 'x') + "\r\n" : std::string(4096, 'x'), chunk;
    while (chunk.size() < 65536)
        chunk += line;
    for (long left = total; left > 0; left -= (long)chunk.size())
        Print(left >= (long)chunk.size() ? chunk : chunk.substr(0, (size_t)left));
}

// A test names a handle of the program through STANDIN_PROBE_HANDLE: whether the tool holds it too,
// and what its standard handles are, go into xc3sprog-probe.log.
static void ProbeHandles()
{
    char value[32];
    DWORD length = GetEnvironmentVariableA("STANDIN_PROBE_HANDLE", value, sizeof value), flags;
    if (length == 0 || length >= sizeof value)
        return;
    HANDLE probe = (HANDLE)(ULONG_PTR)strtoull(value, NULL, 10);
    AppendLine("xc3sprog-probe.log", std::string(GetHandleInformation(probe, &flags) ? "inherited" : "not inherited") +
               " input " + (GetStdHandle(STD_INPUT_HANDLE) ? "set" : "none") + " output " +
               std::to_string(GetFileType(GetStdHandle(STD_OUTPUT_HANDLE))) + "\r\n");
}

int main(int argc, char** argv)
{
    ProbeHandles();
    ULONGLONG startMs = NowMs();
    std::string commandLine = GetCommandLineA();
    ChooseRule(commandLine);
    AppendLine("xc3sprog-started.log", std::to_string(startMs) + "\t" + commandLine + "\r\n");
    std::string failWhen = Text("FailWhen", "");
    int exitCode = Setting("ExitCode", 0);
    if (!failWhen.empty() && commandLine.find(failWhen) != std::string::npos)
        exitCode = Setting("FailCode", 1);
    // Quiet: none of its own lines, only what the INI gives it to print.
    bool quiet = Setting("Quiet", 0) != 0;
    if (!quiet)
        Print("XC3SPROG stand-in (c) test build\r\nCommand line: " + commandLine + "\r\n");

    // A file argument is NAME:ACTION[:...], where a drive letter's colon is part of NAME;
    // a read, "-I NAME:R:...", writes the configured content into NAME.
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        bool drive = arg[0] != '\0' && arg[1] == ':' && (arg[2] == '\\' || arg[2] == '/');
        const char* colon = strchr(drive ? arg + 2 : arg, ':');
        if (arg[0] == '-' || colon == NULL)
            continue;
        std::string name(arg, colon);
        if (strcmp(argv[i - 1], "-I") == 0 && colon[1] == 'R' && (colon[2] == ':' || colon[2] == '\0')) {
            Print(quiet ? "" : "Reading flash into " + name + "\r\n");
            if (FILE* f = fopen(name.c_str(), "wb")) {
                fputs(Text("ReadContent", "FLASHDATA").c_str(), f);
                fclose(f);
            }
        } else {
            Print(quiet ? "" : "Programming " + name + "\r\n");
        }
    }

    Print(Unescape(Text("Stdout", "")));
    Write(STD_ERROR_HANDLE, Unescape(Text("Stderr", "")));
    PrintProgress();
    PrintFlood();
    long waitMs = Setting("WaitMs", 0);
    if (waitMs > 0)
        Sleep(waitMs);
    Print(quiet ? "" : "Done, exit code " + std::to_string(exitCode) + "\r\n");
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    // The tests read this line: START_MS \t END_MS \t EXIT \t CWD \t CMDLINE.
    AppendLine("xc3sprog-calls.log", std::to_string(startMs) + "\t" + std::to_string(NowMs()) + "\t" +
                                         std::to_string(exitCode) + "\t" + directory + "\t" + commandLine + "\r\n");
    // The very last output, as a tool cut off mid-line leaves it: nothing after it, no line end.
    Print(Unescape(Text("Tail", "")));
    return exitCode;
}
