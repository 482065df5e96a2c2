// What the tool printed, as a console shows it: the text of the XC3SProg Console, worked out without a window.
#include "console_text.h"

#include <string.h>

void StartConsoleText(ConsoleText* console)
{
    memset(console, 0, sizeof *console);
}

// Room for one more finished line, whatever its length, with its line end, and after it for the current
// line with the terminator (ConsoleTextForWindow).
static int PendingHasRoom(const ConsoleText* console)
{
    return console->pendingLength + (CONSOLE_LINE_WIDTH + 2) + (CONSOLE_LINE_WIDTH + 1) <= CONSOLE_PENDING_CAPACITY;
}

static void FinishLine(ConsoleText* console)
{
    memcpy(console->pending + console->pendingLength, console->line, console->lineLength);
    console->pendingLength += console->lineLength;
    memcpy(console->pending + console->pendingLength, "\r\n", 3);
    console->pendingLength += 2;
    console->lineLength = 0;
    console->column = 0;
    console->line[0] = '\0';
    console->lineChanged = 1;
}

size_t TakeConsoleText(ConsoleText* console, const char* bytes, size_t size)
{
    size_t taken = 0;
    for (; taken < size; ++taken) {
        char c = bytes[taken];
        if (c == '\r') {
            console->column = 0;
            continue;
        }
        // A line end, or a character past the last column, which wraps as a console wraps it.
        if (c == '\n' || console->column == CONSOLE_LINE_WIDTH) {
            if (!PendingHasRoom(console))
                break;
            FinishLine(console);
            if (c == '\n')
                continue;
        }
        console->line[console->column++] = (unsigned char)c < ' ' || c == 0x7F ? ' ' : c;
        if (console->column > console->lineLength) {
            console->lineLength = console->column;
            console->line[console->lineLength] = '\0';
        }
        console->lineChanged = 1;
    }
    return taken;
}

const char* ConsoleTextForWindow(ConsoleText* console)
{
    memcpy(console->pending + console->pendingLength, console->line, console->lineLength + 1);
    return console->pending;
}

void ConsoleTextTaken(ConsoleText* console)
{
    console->pendingLength = 0;
    console->pending[0] = '\0';
    console->lineChanged = 0;
}

int EndConsoleLineWith(ConsoleText* console, const char* mark)
{
    if (!PendingHasRoom(console))
        return 0;
    console->column = console->lineLength;
    size_t length = strlen(mark);
    // A mark that does not fit the line's end starts a line of its own.
    if (console->lineLength + length > CONSOLE_LINE_WIDTH)
        FinishLine(console);
    if (!PendingHasRoom(console))
        return 0;
    TakeConsoleText(console, mark, length);
    FinishLine(console);
    return 1;
}
