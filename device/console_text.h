// What the tool printed, as a console shows it: the text of the XC3SProg Console, worked out without a window.
#ifndef LOADER_CONSOLE_TEXT_H
#define LOADER_CONSOLE_TEXT_H

#include <stddef.h>

enum {
    CONSOLE_LINE_WIDTH = 120,         // a line wraps here, as in a console of the platform's default width
    CONSOLE_KEPT_LINES = 5000,        // the window keeps the latest finished lines, and the current one
    CONSOLE_PENDING_CAPACITY = 65536  // finished lines on their way to the window
};

// "\n" ends a line; "\r" brings the next text back to the line's start, where it writes over what stands;
// every other control character is a blank. The window holds the finished lines it has taken, each
// ending in "\r\n", followed by the current line.
struct ConsoleText {
    char pending[CONSOLE_PENDING_CAPACITY];  // lines finished since the window last took them, zero-terminated
    size_t pendingLength;
    char line[CONSOLE_LINE_WIDTH + 1];       // the current line, zero-terminated
    size_t lineLength;
    size_t column;                           // where the next character goes
    int lineChanged;                         // the current line changed since the window last took it
};

void StartConsoleText(ConsoleText* console);
// Takes bytes as far as the pending lines leave room, and returns how many it took: fewer than size
// only when the window must take the pending lines first.
size_t TakeConsoleText(ConsoleText* console, const char* bytes, size_t size);
// The pending lines followed by the current line, as one text for the window to put in place of the
// current line it holds (the pending buffer always has room for the line after it).
const char* ConsoleTextForWindow(ConsoleText* console);
// The window took the pending lines and the current line.
void ConsoleTextTaken(ConsoleText* console);
// Ends the current line with mark, a short printable text, after what stands on it ("^C" where a stopped
// tool's output ended). FALSE when the pending lines leave no room for it yet: the window takes them, and
// the same call then completes it.
int EndConsoleLineWith(ConsoleText* console, const char* mark);

#endif
