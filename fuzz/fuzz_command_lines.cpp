// Fuzz target: the tool's command lines, read back the way the tool's C runtime splits them into arguments.
#include <stdint.h>

#include <string>
#include <vector>

#include "app/text_util.h"
#include "fuzz_check.h"
#include "ops/command_lines.h"

typedef std::vector<std::string> Argv;

// The Microsoft C runtime's argument rules; "" inside quotes is left out, as no path holds a quote.
static Argv ParseArgv(const char* p)
{
    Argv args;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '\0')
            return args;
        std::string arg;
        bool quoted = false;
        while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '\\') {
                size_t count = 0;
                for (; *p == '\\'; ++p)
                    ++count;
                if (*p != '"') {
                    arg.append(count, '\\');
                    continue;
                }
                arg.append(count / 2, '\\');
                if (count % 2 == 0)
                    continue;  // the quote toggles quoting on the next pass
                arg += '"';
                ++p;
            } else if (*p == '"') {
                quoted = !quoted;
                ++p;
            } else {
                arg += *p++;
            }
        }
        args.push_back(arg);
    }
}

static Argv Tool(std::initializer_list<std::string> tail)
{
    Argv args = {"xc3sprog.exe", "-c", "ftdi", "-v"};
    args.insert(args.end(), tail);
    return args;
}

static void CheckReadSource(int external, const char* fileName, const char* helper, const char* flashName)
{
    const ReadSource* source = GetReadSource(external);
    CHECK(strcmp(source->fileName, fileName) == 0);
    CHECK(ParseArgv(source->helperCommand) == Tool({helper}) && std::string(source->helperFile) + ":w" == helper);
    CHECK(ParseArgv(source->readCommand) == Tool({"-I", std::string(fileName) + ":R:0:BIT:236000"}));
    CHECK(ParseArgv(source->loadBackCommand) == Tool({std::string(fileName) + ":w"}));
    CHECK(source->resultLine == std::string(flashName) + " Flash loaded into " + fileName + "\r\n");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool sourcesChecked = false;
    if (!sourcesChecked) {
        CheckReadSource(1, "XFlash.bit", "vlrext.bit:w", "External");
        CheckReadSource(0, "IFlash.bit", "xc3s400an.bit:w", "Internal");
        sourcesChecked = true;
    }

    // A Windows path: at most 259 characters, never a quote.
    std::string path;
    for (size_t i = 0; i < size && path.size() < PATH_CAPACITY - 1; ++i)
        if (data[i] != '"' && data[i] != '\0')
            path += (char)data[i];

    Guarded<char[QUOTED_PATH_CAPACITY]> quoted;
    BuildQuotedPath(path.c_str(), quoted.value, QUOTED_PATH_CAPACITY);
    CHECK_SOUND(quoted);
    Guarded<char[COMMAND_LINE_CAPACITY]> load, write;
    BuildFpgaLoadCommand(quoted.value, load.value, COMMAND_LINE_CAPACITY);
    BuildFlashWriteCommand(quoted.value, write.value, COMMAND_LINE_CAPACITY);
    CHECK_SOUND(load);
    CHECK_SOUND(write);
    CHECK(ParseArgv(load.value) == Tool({path + ":w"}));
    CHECK(ParseArgv(write.value) == Tool({"-I", path + ":w"}));
    return 0;
}
