// Fuzz target: the tool's bytes fed to the console in random pieces, against a plain reading of what a console shows.
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "device/console_text.h"
#include "fuzz_check.h"

// Finished lines each with "\r\n", then the current line; a mark ends the last line after its text.
static std::string Shown(const std::string& bytes, const char* mark)
{
    std::string shown, line;
    size_t column = 0;
    for (char c : bytes) {
        if (c == '\n' || (c != '\r' && column == CONSOLE_LINE_WIDTH))
            shown += line + "\r\n", line.clear(), column = 0;
        if (c == '\r' || c == '\n') {
            column = 0;
            continue;
        }
        line.resize(std::max(line.size(), column + 1));
        line[column++] = (unsigned char)c < ' ' || c == 0x7F ? ' ' : c;
    }
    if (mark && line.size() + strlen(mark) > CONSOLE_LINE_WIDTH)
        shown += line + "\r\n", line.clear();
    return mark ? shown + line + mark + "\r\n" : shown + line;
}

static void CheckSound(const Guarded<ConsoleText>& guarded)
{
    const ConsoleText& c = guarded.value;
    CHECK(c.pendingLength < CONSOLE_PENDING_CAPACITY && c.pending[c.pendingLength] == '\0');
    CHECK(c.lineLength <= CONSOLE_LINE_WIDTH && strlen(c.line) == c.lineLength && c.column <= c.lineLength);
    CHECK(guarded.Intact());
}

// The window: takes the pending lines, which hold nothing but themselves before the terminator, handed over
// with the current line after them in the same buffer.
static void Take(ConsoleText* console, std::string* taken)
{
    CHECK(strlen(console->pending) == console->pendingLength);
    size_t pending = console->pendingLength, length = console->lineLength;
    const char* handed = ConsoleTextForWindow(console);
    CHECK(console->pendingLength == pending && console->lineLength == length && strlen(handed) == pending + length &&
          memcmp(handed + pending, console->line, length) == 0);
    taken->append(console->pending, console->pendingLength);
    ConsoleTextTaken(console);
    CHECK(console->pendingLength == 0 && console->pending[0] == '\0' && !console->lineChanged);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    // The first bytes choose how often the rest repeats, so that floods fill the pending lines; whether the window
    // then takes everything and the pending lines fill up to within a line or two of the room they keep (65280 to
    // 65295 bytes); and whether the output ends with a run of up to 127 characters, which may wrap, marked.
    const char* mark = data[0] & 0x10 ? "^C" : nullptr;
    std::string text, once((const char*)data + 3, size - 3);
    for (size_t repeats = std::min<size_t>((size_t)1 << (data[0] & 15), (1 << 17) / size + 1); repeats > 0; --repeats)
        text += once;
    size_t emptied = data[0] & 0x20 ? text.append("\n").size() : std::string::npos;
    if (data[0] & 0x20)
        text.append(32700, '\n').append(data[1] % 16, 'p').append("\n");
    if (mark)
        text.append(data[2] % 128, 'm');

    static Guarded<ConsoleText> guarded;
    ConsoleText* console = &guarded.value;
    StartConsoleText(console);
    std::string taken;
    // Pieces of one byte to a whole pending's worth, as the input's bytes say; the window also takes when it likes.
    for (size_t from = 0, i = 0, got; from < text.size(); from += got, ++i) {
        uint8_t choice = data[i % size];
        size_t end = from < emptied ? std::min(emptied, text.size()) : text.size();
        size_t piece = std::min<size_t>(1 + choice * choice, end - from);
        got = TakeConsoleText(console, text.data() + from, piece);
        CheckSound(guarded);
        CHECK(got <= piece && (console->lineChanged || text.find_first_not_of('\r', from) >= from + got));
        CHECK(got == piece || console->pendingLength + 2 * CONSOLE_LINE_WIDTH + 3 > CONSOLE_PENDING_CAPACITY);
        if (got < piece || choice % 5 == 0 || from + got == emptied)
            Take(console, &taken);
    }
    if (mark && !EndConsoleLineWith(console, mark)) {
        CHECK(console->pendingLength + 2 * CONSOLE_LINE_WIDTH + 3 > CONSOLE_PENDING_CAPACITY);
        Take(console, &taken);
        CHECK(EndConsoleLineWith(console, mark));
    }
    CheckSound(guarded);
    CHECK(!mark || (console->lineLength == 0 && console->column == 0 && console->lineChanged));
    CHECK(taken + console->pending + console->line == Shown(text, mark));
    return 0;
}
