// Fuzz target: decimal text of integers both ways, and the Recent-file key names.
#include <limits.h>
#include <stdint.h>

#include <memory>
#include <string>

#include "app/text_util.h"
#include "fuzz_check.h"

// The C runtime's conversion, held at the ends of the 32-bit range as the program holds its numbers.
static long Reference(const char* text)
{
    long long value = strtoll(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : (long)value;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';
    CHECK(DecimalToInt(text.get()) == Reference(text.get()));

    // The same bytes shaped as blanks, a sign and digits, so that long and overflowing numbers come often.
    std::string shaped(size > 0 ? data[0] % 4 : 0, " \t\r\n"[size > 1 ? data[1] % 4 : 0]);
    if (size > 2 && data[2] % 3 != 0)
        shaped += data[2] % 3 == 1 ? '-' : '+';
    for (size_t i = 3; i < size; ++i)
        shaped += (char)('0' + data[i] % 10);
    CHECK(DecimalToInt(shaped.c_str()) == Reference(shaped.c_str()));

    int32_t value = 0;
    memcpy(&value, data, size < sizeof value ? size : sizeof value);
    Guarded<NUMBER_TEXT_CAPACITY> number;
    IntToDecimal(value, number.text, NUMBER_TEXT_CAPACITY);
    CHECK_SOUND(number);
    char expected[32];
    snprintf(expected, sizeof expected, "%ld", (long)value);
    CHECK(strcmp(number.text, expected) == 0);
    CHECK(DecimalToInt(number.text) == value);

    long configured = 0;
    memcpy(&configured, data, size < sizeof configured ? size : sizeof configured);
    for (long candidate : {configured, (long)value, DecimalToInt(text.get())}) {
        int capacity = RecentFileCapacity(candidate);
        CHECK(capacity >= 1 && capacity <= RECENT_CAPACITY_MAX);
        if (candidate >= 1 && candidate <= RECENT_CAPACITY_MAX)
            CHECK(capacity == candidate);
        Guarded<RECENT_KEY_CAPACITY> key;
        RecentFileKeyName(capacity, key.text, RECENT_KEY_CAPACITY);
        CHECK_SOUND(key);
        CHECK(strncmp(key.text, "DDList#", 7) == 0);
        CHECK(DecimalToInt(key.text + 7) == capacity);
    }
    return 0;
}
