// Pure text work of the shell: bounded copies, number conversions, the command-line argument, Recent-file key names.
#ifndef LOADER_TEXT_UTIL_H
#define LOADER_TEXT_UTIL_H

#include <stddef.h>

// Capacities of the program's text fields, terminating zero included.
enum {
    PATH_CAPACITY = 260,
    TITLE_CAPACITY = 268,
    NUMBER_TEXT_CAPACITY = 12,
    RECENT_KEY_CAPACITY = 12,
    RECENT_CAPACITY_DEFAULT = 10,
    RECENT_CAPACITY_MAX = 9999
};

// Copies src into dst, cut to capacity - 1 characters and always terminated.
// Returns 1 when src fitted whole, 0 when it was cut.
int CopyText(char* dst, size_t capacity, const char* src);

// Appends src to the text in dst within capacity; returns 1 when it fitted whole, 0 when cut.
// A dst without a terminator inside its capacity is left alone (counts as full).
int AppendText(char* dst, size_t capacity, const char* src);

// Length of text, counting at most capacity characters.
size_t BoundedLength(const char* text, size_t capacity);

// Decimal text of value, a leading '-' for negatives; out needs NUMBER_TEXT_CAPACITY characters.
void IntToDecimal(long value, char* out, size_t capacity);

// Decimal text to integer: leading white space, optional sign, digits up to the first non-digit,
// 0 without digits. Values beyond the 32-bit range are held at its ends.
long DecimalToInt(const char* text);

// What follows the program name in a command line, as the runtime hands it to WinMain:
// a quoted name runs to the next quote, an unquoted one to the first character of code 32 or less;
// the blanks and control characters after the name are skipped.
const char* CommandLineRemainder(const char* commandLine);

// Outcome of taking the associated file out of the command-line remainder.
enum ArgumentResult { ARGUMENT_NONE = 0, ARGUMENT_TAKEN = 1, ARGUMENT_TOO_LONG = 2 };

// Takes the associated file from the remainder: a quoted path gives the text between the quotes
// (an opening quote without its partner is dropped alone, anything after the closing quote is ignored);
// an unquoted argument is taken as it stands. Trailing blanks are removed. A path that does not fit
// the capacity is refused whole rather than cut, so that it never names a different file: out is empty.
ArgumentResult TakeAssociatedFile(const char* remainder, char* out, size_t capacity);

// The Recent-file capacity as the list uses it: the default for anything below 1, at most 9999.
int RecentFileCapacity(long configured);

// Key name of Recent-file entry number entry ("DDList#" and the number); entry is 1 to 9999.
void RecentFileKeyName(int entry, char* out, size_t capacity);

#endif
