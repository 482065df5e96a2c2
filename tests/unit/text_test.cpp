// Unit tests of the pure text work on Windows: bounded appends, the command-line argument, numbers (a long has 32 bits
// here, unlike in the fuzz targets), Recent-file capacity and key names. The path split is the fuzz targets' alone.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include "app/text_util.h"

TEST(BoundedText, CopyAndAppendSayWhetherAllFittedAndNeverWritePastTheBuffer)
{
    // Append: "ab" in a buffer of the given capacity; full: "abc" without a terminator inside it.
    // Copy: into the "ZZZZ" behind it, which a capacity of 0 leaves alone and one of 1 leaves empty.
    struct { bool copy; size_t capacity; bool full; const char* src; int fitted; const char* text; } cases[] = {
        { false, 5, false, "cd", 1, "abcd" }, { false, 5, false, "cde", 0, "abcd" }, { false, 3, false, "c", 0, "ab" },
        { false, 3, true, "", 1, "abc" },     { false, 3, true, "d", 0, "abc" },
        { true, 0, false, "x", 0, "" },       { true, 0, false, "", 1, "" },         { true, 1, false, "x", 0, "" },
        { true, 1, false, "", 1, "" },        { true, 3, false, "xyz", 0, "xy" },    { true, 4, false, "xyz", 1, "xyz" },
    };
    for (const auto& c : cases) {
        char buffer[12] = "abcZZZZZZZZ";
        buffer[2] = c.full ? 'c' : '\0';
        char* dst = c.copy ? buffer + 3 : buffer;
        int fitted = c.copy ? CopyText(dst, c.capacity, c.src) : AppendText(dst, c.capacity, c.src);
        EXPECT_EQ(std::to_string(fitted) + std::string(dst, BoundedLength(dst, c.capacity)) + dst[c.capacity],
                  std::to_string(c.fitted) + c.text + "Z") << c.copy << c.capacity << c.src;
    }
}

// From the process command line through the runtime's remainder to the associated file.
TEST(CommandLine, TakesTheAssociatedFileAfterTheProgramName)
{
    std::string p259(259, 'p'), p260(260, 'p');
    struct { std::string line; ArgumentResult result; std::string file; } cases[] = {
        { "\"C:\\Program Files\\VLR Loader.exe\" \"C:\\My Files\\top.bit\"", ARGUMENT_TAKEN, "C:\\My Files\\top.bit" },
        { "loader.exe C:\\top.bit  \t", ARGUMENT_TAKEN, "C:\\top.bit" },
        { "loader.exe \"\"", ARGUMENT_NONE, "" }, { "loader.exe", ARGUMENT_NONE, "" },
        { "\"C:\\Program Files\\VLR Loader.exe C:\\top.bit", ARGUMENT_NONE, "" },
        { "loader.exe \"C:\\top.bit", ARGUMENT_TAKEN, "C:\\top.bit" },
        { "\"C:\\VLR.exe\"\"C:\\top.bit\" \"D:\\other.bit\"", ARGUMENT_TAKEN, "C:\\top.bit" },
        { "loader.exe \t\x01\x1f arg", ARGUMENT_TAKEN, "arg" }, { "C:\\L\xe9" "ader.exe arg", ARGUMENT_TAKEN, "arg" },
        { "loader.exe \"" + p259 + "\"", ARGUMENT_TAKEN, p259 }, { "loader.exe " + p259, ARGUMENT_TAKEN, p259 },
        { "loader.exe \"" + p260 + "\"", ARGUMENT_TOO_LONG, "" }, { "loader.exe " + p260, ARGUMENT_TOO_LONG, "" },
    };
    for (const auto& c : cases) {
        char out[PATH_CAPACITY];
        memset(out, 'Z', sizeof out);
        EXPECT_EQ(TakeAssociatedFile(CommandLineRemainder(c.line.c_str()), out, sizeof out), c.result) << c.line;
        EXPECT_EQ(out, c.file) << c.line;
    }
}

TEST(Numbers, DecimalTextBothWays)
{
    char out[NUMBER_TEXT_CAPACITY];
    std::string texts, values;
    for (long value : { 0L, -8L, 1234567L, (long)INT_MAX, (long)INT_MIN })
        texts += (IntToDecimal(value, out, sizeof out), std::string(out)) + " ";
    EXPECT_EQ(texts, "0 -8 1234567 2147483647 -2147483648 ");
    for (const char* text : { "12", " \t-8", "+7", "42abc", "INI not found!", "", "-", "- 5", "-2147483648", "2147483648",
                              "99999999999", "-99999999999" })
        values += std::to_string(DecimalToInt(text)) + " ";
    EXPECT_EQ(values, "12 -8 7 42 0 0 0 0 -2147483648 2147483647 2147483647 -2147483648 ");
}

TEST(RecentFiles, CapacityIsClampedAndKeyNamesFit)
{
    std::string capacities;
    for (long configured : { 0L, -5L, (long)INT_MIN, 1L, 3L, 9999L, 10000L, (long)INT_MAX })
        capacities += std::to_string(RecentFileCapacity(configured)) + " ";
    EXPECT_EQ(capacities, "10 10 10 1 3 9999 9999 9999 ");
    char key[RECENT_KEY_CAPACITY];  // the largest entry number must fit the key name
    EXPECT_STREQ((RecentFileKeyName(9999, key, sizeof key), key), "DDList#9999");
}
