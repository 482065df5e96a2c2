// What the programming tool prints, read as it comes: its latest progress line and its first failure line.
#include "tool_output.h"

#include <string.h>

// The tool's own words for a failed step, as it prints them; many come with exit code 0.
// A new tool version that words a failure anew needs a new row here, nothing else.
static const ToolFailureText kFailureTexts[] = {
    { "Device failed to configure", NULL },
    { "Reading Bitfile", "failed" },
    { "Can't open datafile", NULL },
    { "No JTAG Chain found", NULL },
    { "Cannot find device having IDCODE", NULL },
    { "Unable to access FTDI device", NULL },
    { "No FTDI device found", NULL },
    { "FTD2XX Open failed", NULL },
    { "FT_", "failed" },
    // A cable that fails in the middle of a step: the tool names the transfer, then ends with an exception.
    { "mpsse_send:", NULL },
    { "readusb:", NULL },
    { "Can't find description for a cable named", NULL },
    { "IOException", NULL },
    // Without a bridge the tool first prints "unknown JEDEC manufacturer: ff", a detail of this verdict.
    { "ISF Bitfile probably not loaded", NULL },
    { "Verify failed", NULL },
    { "Erase failed", NULL },
    { "Page Program failed", NULL },
    { "Failed to programm page", NULL },
    { "Programming not yet implemented", NULL },
    { "dude, that file is larger than the flash!", NULL },
    { "Unable to open File", NULL },
    { "Device does not support reconfiguration.", NULL },
};
enum { FAILURE_ROWS = sizeof kFailureTexts / sizeof kFailureTexts[0] };
static_assert(2 * FAILURE_ROWS <= TOOL_PATTERN_SLOTS, "every row needs two search slots");

static const size_t kReasonLength = TOOL_REASON_CAPACITY - 4;

const ToolFailureText* ToolFailureTexts(size_t* count)
{
    *count = FAILURE_ROWS;
    return kFailureTexts;
}

// Slot 2 * row holds the row's text, slot 2 * row + 1 its companion.
static const char* SlotText(size_t slot)
{
    return slot % 2 == 0 ? kFailureTexts[slot / 2].text : kFailureTexts[slot / 2].alsoOnLine;
}

void StartToolOutput(ToolOutput* output)
{
    memset(output, 0, sizeof *output);
    for (size_t slot = 0; slot < 2 * FAILURE_ROWS; ++slot) {
        const char* text = SlotText(slot);
        size_t length = text == NULL ? 0 : strlen(text);
        // A text too long for the search tables is never searched; the unit tests keep the table within them.
        if (length >= TOOL_PATTERN_CAPACITY)
            length = 0;
        output->length[slot] = (unsigned char)length;
        unsigned char* fallback = output->fallback[slot];
        for (size_t i = 1; i < length; ++i) {
            size_t k = fallback[i];
            while (k > 0 && text[k] != text[i])
                k = fallback[k];
            fallback[i + 1] = (unsigned char)(text[k] == text[i] ? k + 1 : 0);
        }
    }
}

static void Search(ToolOutput* output, char c)
{
    for (size_t slot = 0; slot < 2 * FAILURE_ROWS; ++slot) {
        size_t length = output->length[slot], k = output->matched[slot];
        const char* text = SlotText(slot);
        // Most characters start no failure text: nothing to do for them.
        if (length == 0 || (k == 0 && text[0] != c))
            continue;
        while (k > 0 && text[k] != c)
            k = output->fallback[slot][k];
        if (text[k] == c)
            ++k;
        if (k == length) {
            if (output->foundAt[slot] == 0)
                output->foundAt[slot] = output->column;
            k = output->fallback[slot][k];
        }
        output->matched[slot] = k;
    }
}

static int HasText(const char* line)
{
    for (; *line != '\0'; ++line)
        if (*line != ' ')
            return 1;
    return 0;
}

// The failure line as the log names it: the line from its start when the failure text lies within
// the length shown, else from the failure text on, or the text alone when it lies beyond the part of
// the line that was kept; cut with "..." when it goes on.
static void RecordReason(ToolOutput* output, size_t row)
{
    const char* text = kFailureTexts[row].text;
    size_t textLength = output->length[2 * row], end = output->foundAt[2 * row], start = end - textLength;
    const char* from;
    size_t available;
    int goesOn;
    // Room for "..." after the text, so that the text is always shown whole.
    size_t shownFromStart = kReasonLength - 3;
    if (end <= shownFromStart || end <= output->kept) {
        start = end <= shownFromStart ? 0 : start;
        from = output->line + start;
        available = output->kept - start;
        goesOn = output->column > output->kept;
    } else {
        from = text;
        available = textLength;
        goesOn = 1;
    }
    while (available > 0 && *from == ' ')
        ++from, --available;
    size_t length = available < kReasonLength ? available : kReasonLength;
    goesOn = goesOn || available > length;
    if (goesOn && length > kReasonLength - 3)
        length = kReasonLength - 3;
    while (length > 0 && from[length - 1] == ' ')
        --length;
    memcpy(output->reason, from, length);
    memcpy(output->reason + length, goesOn ? "..." : "", goesOn ? 4 : 1);
}

static void EndLine(ToolOutput* output)
{
    for (size_t row = 0; row < FAILURE_ROWS && output->reason[0] == '\0'; ++row) {
        if (output->foundAt[2 * row] != 0 &&
            (kFailureTexts[row].alsoOnLine == NULL || output->foundAt[2 * row + 1] != 0))
            RecordReason(output, row);
    }
    if (HasText(output->line)) {
        memcpy(output->lastLine, output->line, output->kept + 1);
        output->progressChanged = 1;
    }
    output->kept = 0;
    output->column = 0;
    output->line[0] = '\0';
    memset(output->matched, 0, sizeof output->matched);
    memset(output->foundAt, 0, sizeof output->foundAt);
}

void ReadToolOutput(ToolOutput* output, const char* bytes, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            EndLine(output);
            continue;
        }
        ++output->column;
        Search(output, c);
        if (output->kept + 1 < TOOL_LINE_CAPACITY) {
            // The line goes into one line of the status box: no control character may shape it.
            output->line[output->kept++] = (unsigned char)c < ' ' || c == 0x7F ? ' ' : c;
            output->line[output->kept] = '\0';
            output->progressChanged = 1;
        }
    }
}

void EndToolOutput(ToolOutput* output)
{
    EndLine(output);
}

const char* ToolProgressLine(const ToolOutput* output)
{
    // The tool indents some progress (a carriage return and three tabs before "Writing data page"): in the
    // status box the words start the line.
    const char* line = HasText(output->line) ? output->line : output->lastLine;
    while (*line == ' ')
        ++line;
    return line;
}

int ToolOutputFailed(const ToolOutput* output)
{
    return output->reason[0] != '\0';
}
