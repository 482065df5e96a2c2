// Test stand-in for the programming tool: logs each run, prints tool-like output, obeys an INI file beside it.
#include "../standin_common.h"

// The command line is taken raw from GetCommandLineA; the runtime must not expand wildcards in it.
int _dowildcard = 0;

static const char kSection[] = "Tool";

// Console output goes through WriteFile so it lands in whichever console the tool inherited,
// exactly where the loader's console window expects the real tool's text.
static void Print(const char* text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == NULL || out == INVALID_HANDLE_VALUE || text == NULL)
        return;
    size_t len = strlen(text);
    while (len > 0) {
        DWORD chunk = len > 4096 ? 4096 : (DWORD)len;
        DWORD written = 0;
        if (!WriteFile(out, text, chunk, &written, NULL) || written == 0)
            return;
        text += written;
        len -= written;
    }
}

// Milliseconds since 1601 from the system clock, so times from different runs can be compared.
static unsigned long long NowMs()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return u.QuadPart / 10000ULL;
}

// Splits a command line the way the Microsoft C runtime does (quotes group blanks,
// backslashes escape a quote only when they precede it). Returns a malloc'ed array of
// malloc'ed words, or NULL when out of memory; *count receives the number of words.
static char** SplitCommandLine(const char* line, int* count)
{
    size_t len = strlen(line);
    int cap = (int)(len / 2 + 2);
    char** words = (char**)calloc((size_t)cap, sizeof(char*));
    if (words == NULL)
        return NULL;
    int n = 0;
    const char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (*p == '\0' || n >= cap)
            break;
        char* word = (char*)malloc(len + 1);
        if (word == NULL)
            break;
        size_t w = 0;
        BOOL quoted = FALSE;
        while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '\\') {
                size_t slashes = 0;
                while (*p == '\\') {
                    slashes++;
                    p++;
                }
                if (*p == '"') {
                    for (size_t i = 0; i < slashes / 2; i++)
                        word[w++] = '\\';
                    if (slashes % 2 == 1) {
                        word[w++] = '"';
                        p++;
                    }
                } else {
                    for (size_t i = 0; i < slashes; i++)
                        word[w++] = '\\';
                }
            } else if (*p == '"') {
                if (quoted && p[1] == '"') {
                    word[w++] = '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    p++;
                }
            } else {
                word[w++] = *p++;
            }
        }
        word[w] = '\0';
        words[n++] = word;
    }
    *count = n;
    return words;
}

// The colon that separates a file name from its action field; a drive letter's colon is skipped.
static char* ActionColon(char* arg)
{
    char* start = arg;
    if (((arg[0] >= 'A' && arg[0] <= 'Z') || (arg[0] >= 'a' && arg[0] <= 'z')) && arg[1] == ':' &&
        (arg[2] == '\\' || arg[2] == '/'))
        start = arg + 2;
    return strchr(start, ':');
}

static void WriteReadFile(const char* name, const char* content)
{
    Print("Reading flash into ");
    Print(name);
    Print("\r\n");
    HANDLE f = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) {
        Print("Error: cannot create the read file\r\n");
        return;
    }
    DWORD written = 0;
    WriteFile(f, content, (DWORD)strlen(content), &written, NULL);
    CloseHandle(f);
    Print("Reading: 100%\r\n");
}

// Acts on every file argument: a read ("-I NAME:R:...") writes the configured content,
// anything else with an action field is reported as a write so the console looks busy.
static void ActOnArguments(const char* commandLine, const char* readContent)
{
    int count = 0;
    char** words = SplitCommandLine(commandLine, &count);
    if (words == NULL) {
        Print("Error: out of memory\r\n");
        return;
    }
    for (int i = 1; i < count; i++) {
        if (strcmp(words[i], "-R") == 0) {
            Print("Reconfiguring FPGA from flash\r\n");
            continue;
        }
        char* colon = ActionColon(words[i]);
        if (words[i][0] == '-' || colon == NULL)
            continue;
        BOOL afterI = strcmp(words[i - 1], "-I") == 0;
        char action = colon[1];
        *colon = '\0';
        if (afterI && action == 'R' && (colon[2] == ':' || colon[2] == '\0')) {
            WriteReadFile(words[i], readContent);
        } else {
            Print(afterI ? "Programming flash with " : "Programming FPGA with ");
            Print(words[i]);
            Print(GetFileAttributesA(words[i]) == INVALID_FILE_ATTRIBUTES ? " (file not found)\r\n" : "\r\n");
            Print("Programming: 100%\r\n");
        }
    }
    for (int i = 0; i < count; i++)
        free(words[i]);
    free(words);
}

// The log line is written in one WriteFile on an append-only handle, under a named mutex,
// so runs that end at the same time cannot interleave their lines.
static void LogRun(unsigned long long startMs, unsigned long long endMs, long long exitCode, const char* commandLine)
{
    char logPath[MAX_PATH + 64];
    if (!PathBesideModule(NULL, "xc3sprog-calls.log", logPath, sizeof(logPath)))
        return;

    char dir[MAX_PATH + 1];
    DWORD dirLen = GetCurrentDirectoryA(sizeof(dir), dir);
    if (dirLen == 0 || dirLen >= sizeof(dir))
        dir[0] = '\0';

    char head[128];
    char num[24];
    FormatUnsigned(num, sizeof(num), startMs);
    CopyText(head, sizeof(head), num);
    AppendText(head, sizeof(head), "\t");
    FormatUnsigned(num, sizeof(num), endMs);
    AppendText(head, sizeof(head), num);
    AppendText(head, sizeof(head), "\t");
    FormatSigned(num, sizeof(num), exitCode);
    AppendText(head, sizeof(head), num);
    AppendText(head, sizeof(head), "\t");

    size_t total = strlen(head) + strlen(dir) + 1 + strlen(commandLine) + 3;
    char* line = (char*)malloc(total);
    if (line == NULL)
        return;
    CopyText(line, total, head);
    AppendText(line, total, dir);
    AppendText(line, total, "\t");
    AppendText(line, total, commandLine);
    AppendText(line, total, "\r\n");

    HANDLE mutex = CreateMutexA(NULL, FALSE, "xc3sprog-standin-calls-log");
    if (mutex != NULL)
        WaitForSingleObject(mutex, 10000);
    HANDLE f = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50 && f == INVALID_HANDLE_VALUE; attempt++) {
        f = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (f == INVALID_HANDLE_VALUE)
            Sleep(20);
    }
    if (f != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(f, line, (DWORD)strlen(line), &written, NULL);
        CloseHandle(f);
    }
    if (mutex != NULL) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    free(line);
}

int main()
{
    unsigned long long startMs = NowMs();
    const char* commandLine = GetCommandLineA();
    if (commandLine == NULL)
        commandLine = "";

    char iniBuf[MAX_PATH + 64];
    const char* ini = PathBesideModule(NULL, "xc3sprog-standin.ini", iniBuf, sizeof(iniBuf)) ? iniBuf : NULL;

    long long exitCode = ReadIniNumberOr(ini, kSection, "ExitCode", 0);
    long long waitMs = ReadIniNumberOr(ini, kSection, "WaitMs", 0);
    char failWhen[1024] = "";
    char readContent[4096] = "FLASHDATA";
    if (ini != NULL) {
        GetPrivateProfileStringA(kSection, "FailWhen", "", failWhen, sizeof(failWhen), ini);
        GetPrivateProfileStringA(kSection, "ReadContent", "FLASHDATA", readContent, sizeof(readContent), ini);
    }
    if (failWhen[0] != '\0' && strstr(commandLine, failWhen) != NULL)
        exitCode = ReadIniNumberOr(ini, kSection, "FailCode", 1);

    Print("XC3SPROG stand-in (c) test build\r\n");
    Print("Command line: ");
    Print(commandLine);
    Print("\r\n");
    Print("Using FTDI cable\r\n");
    Print("JTAG chain: 1 device\r\n");
    ActOnArguments(commandLine, readContent);

    if (waitMs > 0)
        Sleep(waitMs > 0x7FFFFFFFLL ? 0x7FFFFFFFUL : (DWORD)waitMs);

    char num[24];
    FormatSigned(num, sizeof(num), (long long)(int)(DWORD)exitCode);
    Print("Done, exit code ");
    Print(num);
    Print("\r\n");

    LogRun(startMs, NowMs(), (long long)(int)(DWORD)exitCode, commandLine);
    ExitProcess((UINT)exitCode);
    return (int)exitCode;
}
