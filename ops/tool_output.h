// What the programming tool prints, read as it comes: its latest progress line and its first failure line.
#ifndef LOADER_TOOL_OUTPUT_H
#define LOADER_TOOL_OUTPUT_H

#include <stddef.h>

enum {
    TOOL_LINE_CAPACITY = 256,     // the start of a line that is kept; the rest is only searched
    TOOL_REASON_CAPACITY = 68,    // a failure line as the log names it: 64 characters, or 61 and "..."
    TOOL_PATTERN_CAPACITY = 48,   // the longest failure text, terminator included
    TOOL_PATTERN_SLOTS = 48       // two per row of the failure texts: the text and its companion
};

// The tool reports many failures only in its output, with exit code 0. A line holds a failure when it
// holds a row's text, and also its companion when the row has one.
struct ToolFailureText {
    const char* text;
    const char* alsoOnLine;
};

struct ToolOutput {
    char line[TOOL_LINE_CAPACITY];       // the current line as far as it fits, control characters as blanks
    size_t kept;                         // characters in line
    size_t column;                       // characters of the current line, however long it grows
    char lastLine[TOOL_LINE_CAPACITY];   // the latest line that ended with something in it
    char reason[TOOL_REASON_CAPACITY];   // the first line with a failure text; empty while there is none
    // Per search text: how much of it the line's last characters match, and the column where the
    // text first ended on the current line (0: not on it).
    size_t matched[TOOL_PATTERN_SLOTS];
    size_t foundAt[TOOL_PATTERN_SLOTS];
    unsigned char length[TOOL_PATTERN_SLOTS];
    // Longest proper prefix that is also a suffix, per search text and length, for the search.
    unsigned char fallback[TOOL_PATTERN_SLOTS][TOOL_PATTERN_CAPACITY];
    int progressChanged;                 // the progress line changed since the caller last asked
};

// The table of failure texts and its length, for the tests.
const ToolFailureText* ToolFailureTexts(size_t* count);

void StartToolOutput(ToolOutput* output);
// Takes the next piece of output, which may end or begin anywhere, even inside a line or a failure text.
void ReadToolOutput(ToolOutput* output, const char* bytes, size_t size);
// The output has ended: a last line without a line end counts as a line.
void EndToolOutput(ToolOutput* output);

// What the tool shows as its progress: the line it is writing, or, between lines, the one it wrote last,
// without the blanks it starts with.
const char* ToolProgressLine(const ToolOutput* output);
// Whether a failure text was seen; the failure line is then output->reason.
int ToolOutputFailed(const ToolOutput* output);

#endif
