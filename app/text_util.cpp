// Pure text work of the shell: bounded copies, number conversions, the command-line argument, Recent-file key names.
#include "text_util.h"

#include <limits.h>

size_t BoundedLength(const char* text, size_t capacity)
{
    size_t length = 0;
    while (length < capacity && text[length] != '\0')
        ++length;
    return length;
}

int CopyText(char* dst, size_t capacity, const char* src)
{
    if (capacity == 0)
        return src[0] == '\0';
    size_t i = 0;
    while (i + 1 < capacity && src[i] != '\0') {
        dst[i] = src[i];
        ++i;
    }
    dst[i] = '\0';
    return src[i] == '\0';
}

int AppendText(char* dst, size_t capacity, const char* src)
{
    size_t length = BoundedLength(dst, capacity);
    if (length >= capacity)
        return src[0] == '\0';
    return CopyText(dst + length, capacity - length, src);
}

void IntToDecimal(long value, char* out, size_t capacity)
{
    char digits[24];
    size_t count = 0;
    // Work on the magnitude as unsigned so that the most negative value converts too.
    unsigned long magnitude = value < 0 ? 0UL - (unsigned long)value : (unsigned long)value;
    do {
        digits[count++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0 && count < sizeof digits);
    char text[26];
    size_t pos = 0;
    if (value < 0)
        text[pos++] = '-';
    while (count > 0)
        text[pos++] = digits[--count];
    text[pos] = '\0';
    CopyText(out, capacity, text);
}

long DecimalToInt(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    int negative = 0;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        ++text;
    }
    long long value = 0;
    while (*text >= '0' && *text <= '9') {
        if (value <= (long long)INT_MAX + 1)
            value = value * 10 + (*text - '0');
        ++text;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (long)value;
}

const char* CommandLineRemainder(const char* commandLine)
{
    const unsigned char* p = (const unsigned char*)commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p > ' ')
            ++p;
    }
    while (*p >= 1 && *p <= ' ')
        ++p;
    return (const char*)p;
}

ArgumentResult TakeAssociatedFile(const char* remainder, char* out, size_t capacity)
{
    out[0] = '\0';
    const char* start = remainder;
    const char* end;
    if (*start == '"') {
        ++start;
        end = start;
        while (*end != '\0' && *end != '"')
            ++end;
    } else {
        end = start;
        while (*end != '\0')
            ++end;
    }
    while (end > start && (unsigned char)end[-1] <= ' ')
        --end;
    size_t length = (size_t)(end - start);
    if (length == 0)
        return ARGUMENT_NONE;
    if (length >= capacity)
        return ARGUMENT_TOO_LONG;
    for (size_t i = 0; i < length; ++i)
        out[i] = start[i];
    out[length] = '\0';
    return ARGUMENT_TAKEN;
}

int RecentFileCapacity(long configured)
{
    if (configured < 1)
        return RECENT_CAPACITY_DEFAULT;
    if (configured > RECENT_CAPACITY_MAX)
        return RECENT_CAPACITY_MAX;
    return (int)configured;
}

void RecentFileKeyName(int entry, char* out, size_t capacity)
{
    char number[NUMBER_TEXT_CAPACITY];
    IntToDecimal(entry, number, sizeof number);
    CopyText(out, capacity, "DDList#");
    AppendText(out, capacity, number);
}
