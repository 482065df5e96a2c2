// Unit tests of the pure text work: path split, command-line argument, numbers, key names, command lines.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <string>

#include "app/path_split.h"
#include "app/text_util.h"
#include "ops/command_lines.h"

namespace {

// The three outputs with guard bytes after each, to catch writes past the capacity.
struct SplitOutput {
    char dir[PATH_CAPACITY], guard1[8], title[PATH_CAPACITY], guard2[8], ext[PATH_CAPACITY], guard3[8];
};

void Split(const std::string& path, SplitOutput& out)
{
    memset(&out, 'Z', sizeof out);
    SplitFilePath(path.c_str(), out.dir, out.title, out.ext);
    for (const char* guard : { out.guard1, out.guard2, out.guard3 })
        EXPECT_EQ(std::string(guard, 8), "ZZZZZZZZ") << path;
}

TEST(PathSplit, YieldsDirectoryTitleAndExtension)
{
    struct { const char* path; const char* dir; const char* title; const char* ext; } cases[] = {
        { "C:\\Work\\top.bit", "C:\\Work", "top", ".bit" },
        { "C:\\Work\\top.rev.bit", "C:\\Work", "top.rev", ".bit" },
        { "C:\\top.bit", "C:", "top", ".bit" },
        { "C:\\Work\\readme", "C:\\Work", "readme", "" },
        { "C:\\Work\\top.", "C:\\Work", "top", "." },
        { "C:\\Work\\.bit", "C:\\Work", "", ".bit" },
        { "top.bit", "", "top", ".bit" },
        { "top", "", "top", "" },
        { "C:\\Work\\", "C:\\Work", "", "" },
        { "C:\\My.Work\\readme", "C:\\My.Work", "readme", "" },
        { "C:\\a/b.c/top.bit", "C:", "a/b.c/top", ".bit" },
    };
    for (const auto& c : cases) {
        SplitOutput out;
        Split(c.path, out);
        EXPECT_STREQ(out.dir, c.dir) << c.path;
        EXPECT_STREQ(out.title, c.title) << c.path;
        EXPECT_STREQ(out.ext, c.ext) << c.path;
    }
}

TEST(PathSplit, LongPathsStayWithinCapacity)
{
    SplitOutput out;
    std::string name(252, 'n');
    Split("C:\\" + name + ".bit", out);  // 259 characters
    EXPECT_STREQ(out.dir, "C:");
    EXPECT_EQ(out.title, name);
    EXPECT_STREQ(out.ext, ".bit");
    Split("C:\\" + std::string(400, 'n') + ".bit", out);
    EXPECT_LT(strlen(out.title), (size_t)PATH_CAPACITY);
}

TEST(CommandLine, TakesTheAssociatedFileFromTheArgument)
{
    std::string long259(259, 'p'), long260(260, 'p');
    struct { std::string remainder; ArgumentResult result; std::string file; } cases[] = {
        { "\"C:\\My Files\\top.bit\"", ARGUMENT_TAKEN, "C:\\My Files\\top.bit" },
        { "C:\\top.bit  \t", ARGUMENT_TAKEN, "C:\\top.bit" },
        { "\"\"", ARGUMENT_NONE, "" },
        { "", ARGUMENT_NONE, "" },
        { "\"C:\\top.bit", ARGUMENT_TAKEN, "C:\\top.bit" },
        { "\"C:\\top.bit\" \"D:\\other.bit\"", ARGUMENT_TAKEN, "C:\\top.bit" },
        { "\"" + long259 + "\"", ARGUMENT_TAKEN, long259 },
        { "\"" + long260 + "\"", ARGUMENT_TOO_LONG, "" },
        { long260 + "xyz", ARGUMENT_TOO_LONG, "" },
    };
    for (const auto& c : cases) {
        char out[PATH_CAPACITY];
        memset(out, 'Z', sizeof out);
        EXPECT_EQ(TakeAssociatedFile(c.remainder.c_str(), out, sizeof out), c.result) << c.remainder;
        EXPECT_EQ(out, c.file) << c.remainder;
    }
}

TEST(CommandLine, RemainderFollowsTheProgramName)
{
    struct { const char* line; const char* remainder; } cases[] = {
        { "\"C:\\Program Files\\VLR Loader.exe\" \"C:\\top.bit\"  ", "\"C:\\top.bit\"  " },
        { "\"C:\\Program Files\\VLR Loader.exe", "" },
        { "\"C:\\VLR.exe\"arg", "arg" },
        { "loader.exe \t\x01\x1f arg", "arg" },
        { "C:\\L\xe9" "ader.exe arg", "arg" },
        { "loader.exe", "" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(CommandLineRemainder(c.line), c.remainder) << c.line;
}

TEST(Numbers, DecimalTextBothWays)
{
    struct { long value; const char* text; } toText[] = {
        { 0, "0" }, { -8, "-8" }, { 1234567, "1234567" }, { INT_MAX, "2147483647" }, { INT_MIN, "-2147483648" },
    };
    for (const auto& c : toText) {
        char out[NUMBER_TEXT_CAPACITY];
        IntToDecimal(c.value, out, sizeof out);
        EXPECT_STREQ(out, c.text);
    }
    struct { const char* text; long value; } toInt[] = {
        { "12", 12 }, { " \t-8", -8 }, { "+7", 7 }, { "42abc", 42 }, { "INI not found!", 0 }, { "", 0 },
        { "-", 0 }, { "- 5", 0 }, { "-2147483648", INT_MIN }, { "99999999999", INT_MAX },
        { "-99999999999", INT_MIN }, { "2147483648", INT_MAX },
    };
    for (const auto& c : toInt)
        EXPECT_EQ(DecimalToInt(c.text), c.value) << c.text;
}

TEST(RecentFiles, CapacityIsClampedAndKeyNamesFit)
{
    struct { long configured; int capacity; } cases[] = {
        { 0, 10 }, { -5, 10 }, { INT_MIN, 10 }, { 1, 1 }, { 3, 3 }, { 9999, 9999 }, { 10000, 9999 }, { INT_MAX, 9999 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecentFileCapacity(c.configured), c.capacity) << c.configured;
    char key[RECENT_KEY_CAPACITY];
    RecentFileKeyName(1, key, sizeof key);
    EXPECT_STREQ(key, "DDList#1");
    RecentFileKeyName(9999, key, sizeof key);
    EXPECT_STREQ(key, "DDList#9999");
}

TEST(ToolCommands, BuildTheToolsCommandLines)
{
    char quoted[QUOTED_PATH_CAPACITY], line[COMMAND_LINE_CAPACITY];
    BuildQuotedPath("C:\\My Files\\top.bit", quoted, sizeof quoted);
    EXPECT_STREQ(quoted, "\"C:\\My Files\\top.bit\"");
    BuildFpgaLoadCommand(quoted, line, sizeof line);
    EXPECT_STREQ(line, "xc3sprog.exe -c ftdi -v \"C:\\My Files\\top.bit\":w");
    BuildFlashWriteCommand(quoted, line, sizeof line);
    EXPECT_STREQ(line, "xc3sprog.exe -c ftdi -v -I \"C:\\My Files\\top.bit\":w");
    std::string longPath(259, 'p');
    BuildQuotedPath(longPath.c_str(), quoted, sizeof quoted);
    EXPECT_EQ(quoted, "\"" + longPath + "\"");

    const ReadSource* external = GetReadSource(1);
    const ReadSource* internal = GetReadSource(0);
    EXPECT_STREQ(external->fileName, "XFlash.bit");
    EXPECT_STREQ(external->helperCommand, "xc3sprog.exe -c ftdi -v vlrext.bit:w");
    EXPECT_STREQ(external->readCommand, "xc3sprog.exe -c ftdi -v -I XFlash.bit:R:0:BIT:236000");
    EXPECT_STREQ(external->loadBackCommand, "xc3sprog.exe -c ftdi -v XFlash.bit:w");
    EXPECT_STREQ(external->resultLine, "External Flash loaded into XFlash.bit\r\n");
    EXPECT_STREQ(internal->fileName, "IFlash.bit");
    EXPECT_STREQ(internal->helperCommand, "xc3sprog.exe -c ftdi -v xc3s400an.bit:w");
    EXPECT_STREQ(internal->readCommand, "xc3sprog.exe -c ftdi -v -I IFlash.bit:R:0:BIT:236000");
    EXPECT_STREQ(internal->loadBackCommand, "xc3sprog.exe -c ftdi -v IFlash.bit:w");
    EXPECT_STREQ(internal->resultLine, "Internal Flash loaded into IFlash.bit\r\n");
}

}  // namespace
