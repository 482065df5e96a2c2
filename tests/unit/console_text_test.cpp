// Unit tests of the console's text: line ends, overwriting, blanks, wrapping, the window's takes and the end mark.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <memory>
#include <string>

#include "device/console_text.h"

// The window: it takes the pending lines whenever the console has no room for more, and shows them before the line.
struct Window {
    std::unique_ptr<ConsoleText> console{ new ConsoleText };
    std::string taken;
    Window() { StartConsoleText(console.get()); }
    void Take()
    {
        // Handed over with the current line after the pending lines, in their own buffer and within it.
        std::string pending = console->pending, line = console->line;
        EXPECT_EQ(std::string(ConsoleTextForWindow(console.get())) + "|" + console->pending + "|" + console->line,
                  pending + line + "|" + pending + line + "|" + line);
        taken += pending, ConsoleTextTaken(console.get());
        EXPECT_TRUE(console->pendingLength == 0 && console->pending[0] == '\0' && !console->lineChanged);
    }
    Window& Feed(const std::string& bytes, size_t piece = std::string::npos)
    {
        const ConsoleText& c = *console;
        for (size_t from = 0, size, got; from < bytes.size() && !::testing::Test::HasFailure(); from += got) {
            got = TakeConsoleText(console.get(), &bytes[from], size = std::min(piece, bytes.size() - from));
            EXPECT_TRUE(c.pendingLength < CONSOLE_PENDING_CAPACITY && strlen(c.pending) == c.pendingLength &&
                        c.lineLength <= CONSOLE_LINE_WIDTH && strlen(c.line) == c.lineLength &&
                        c.column <= c.lineLength);
            // Stopping early is only for a full pending: one more line and its end, and the current line, would not fit.
            if (got < size) {
                EXPECT_GT(c.pendingLength + 2 * CONSOLE_LINE_WIDTH + 3, (size_t)CONSOLE_PENDING_CAPACITY) << from + got;
                Take();
            }
        }
        return *this;
    }
    int End(const char* mark)  // as the window ends a line: again once it has taken what is pending, if need be
    {
        int ended = EndConsoleLineWith(console.get(), mark);
        EXPECT_TRUE(ended || (Take(), EndConsoleLineWith(console.get(), mark)));
        return ended;
    }
    std::string Shown() const { return taken + console->pending + console->line; }
};

static std::string As(size_t n, char c = 'a') { return std::string(n, c); }

// Where long texts part, short enough to read in a failure.
static std::string Difference(const std::string& got, const std::string& want)
{
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at])
        ++at;
    return got == want ? "" : std::to_string(at) + ": " + got.substr(at, 30) + " | " + want.substr(at, 30);
}

TEST(ConsoleText, EndsOverwritesBlanksAndWrapsLinesAsAConsoleWhereverTheBytesAreSplit)
{
    struct { std::string bytes, shown; } cases[] = {
        { "", "" },  { "one\ntwo\n", "one\r\ntwo\r\n" },  { "\n\r\n\r", "\r\n\r\n" },  { "abc\r\ndef", "abc\r\ndef" },
        { "Writing page 1/3\rWriting page 2/3\rWriting page 3/3\n", "Writing page 3/3\r\n" },  { "ab\r\rc\r", "cb" },
        { "abcdef\rXY", "XYcdef" },  { "abcdef\rXY\nz", "XYcdef\r\nz" },  { "\xe9t\x80\xff", "\xe9t\x80\xff" },
        { std::string("a\tb\x01\x1b\x7f\0c\x1f", 9), "a b    c " },  { As(120, '\t') + "z", As(120, ' ') + "\r\nz" },
        { As(120), As(120) },  { As(121), As(120) + "\r\na" },  { As(120) + "\n", As(120) + "\r\n" },
        { As(120) + "\r\n", As(120) + "\r\n" },  { As(120) + "\rb", "b" + As(119) },
        { As(130) + "\rb", As(120) + "\r\nb" + As(9) },  { As(250), As(120) + "\r\n" + As(120) + "\r\n" + As(10) },
        { "ab\r\ncd\rX\n" + As(125) + "\ry\tz\nend\r", "ab\r\nXd\r\n" + As(120) + "\r\ny zaa\r\nend" },
    };
    for (const auto& c : cases)
        for (size_t first = 0; first <= c.bytes.size(); ++first)
            for (size_t second = first; second <= c.bytes.size(); ++second) {
                Window window;  // anything shown is news to the window
                const std::string& in = c.bytes;
                window.Feed(in.substr(0, first)).Feed(in.substr(first, second - first)).Feed(in.substr(second));
                ASSERT_EQ(window.Shown() + std::to_string(window.console->lineChanged),
                          c.shown + (c.bytes.empty() ? "0" : "1")) << c.bytes << ' ' << first << ' ' << second;
            }
}

TEST(ConsoleText, FloodsBeyondThePendingCapacityAreTakenWholeThroughTheWindow)
{
    std::string lines, shown, progress, wrapped;
    for (int i = 0; i < 20000; ++i) {
        lines += "line " + std::to_string(100000 + i) + "\n", shown += "line " + std::to_string(100000 + i) + "\r\n";
        progress += "Writing page " + std::to_string(i) + "\r";
        wrapped += i < 1500 ? As(120, 'q') + "\r\n" : "";
    }
    for (size_t piece : { (size_t)1000000, (size_t)4096, (size_t)7 }) {
        Window window, wrapping, rewriting;
        EXPECT_EQ(Difference(window.Feed(lines, piece).Shown(), shown), "");
        EXPECT_EQ(Difference(wrapping.Feed(As(180000, 'q') + "\n", piece).Shown(), wrapped), "");
        EXPECT_EQ(rewriting.Feed(progress + "\n", piece).Shown(), "Writing page 19999\r\n");
    }
}

TEST(ConsoleText, EndMarkFollowsTheLinesTextOrGoesOnALineOfItsOwn)
{
    std::string many, manyShown;  // 65280 bytes pending: room for one more line, not for two
    for (int i = 0; i < 21760; ++i)
        many += "x\n", manyShown += "x\r\n";
    struct { bool full; std::string before, shown; int endedAtOnce; } cases[] = {
        { false, "", "^C\r\n", 1 },  { false, "partial", "partial^C\r\n", 1 },  { false, "ab\rX", "Xb^C\r\n", 1 },
        { false, "done\n", "done\r\n^C\r\n", 1 },  { false, As(118), As(118) + "^C\r\n", 1 },
        { false, As(119), As(119) + "\r\n^C\r\n", 1 },  { false, As(120), As(120) + "\r\n^C\r\n", 1 },
        { true, As(119), As(119) + "\r\n^C\r\n", 0 },
        { true, "y\n" + As(8) + "\nab", "y\r\n" + As(8) + "\r\nab^C\r\n", 1 },  // room for exactly one line
        { true, "y\n" + As(10) + "\n", "y\r\n" + As(10) + "\r\n^C\r\n", 0 },  // no room at all
        { true, "y\n" + As(10) + "\npart", "y\r\n" + As(10) + "\r\npart^C\r\n", 0 },
    };
    for (const auto& c : cases) {
        Window window;
        std::string shown = (c.full ? manyShown : "") + c.shown;
        int ended = window.Feed((c.full ? many : "") + c.before).End("^C");
        EXPECT_EQ(Difference(window.Shown(), shown) + std::to_string(ended), std::to_string(c.endedAtOnce)) << c.before;
        EXPECT_TRUE(window.console->lineLength == 0 && window.console->column == 0 && window.console->lineChanged);
        EXPECT_EQ(Difference(window.Feed("next").Shown(), shown + "next"), "") << c.before;
    }
}
