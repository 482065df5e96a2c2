// Fuzz target: the associated file taken from a command line, a path split and put back together, decimal text of
// integers both ways, and the Recent-file key names; each from the same bytes.
#include <limits.h>
#include <stdint.h>

#include <memory>
#include <string>

#include "app/path_split.h"
#include "app/text_util.h"
#include "fuzz_check.h"

// The bytes as a string in a block of exactly its size, so that AddressSanitizer catches any read past the terminator.
static std::unique_ptr<char[]> Exact(const uint8_t* data, size_t size)
{
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';
    return text;
}

static void Argument(const char* input)
{
    const char* remainder = CommandLineRemainder(input);
    CHECK(remainder >= input && remainder <= input + strlen(input));

    Guarded<char[PATH_CAPACITY]> out;
    ArgumentResult result = TakeAssociatedFile(remainder, out.value, PATH_CAPACITY);
    CHECK_SOUND(out);
    const size_t length = strlen(out.value);
    // Only an argument taken is written, whole: the text right after the opening quote, or the remainder itself;
    // one too long is longer than a path can be.
    CHECK(result == ARGUMENT_TAKEN || result == ARGUMENT_NONE || result == ARGUMENT_TOO_LONG);
    CHECK((result == ARGUMENT_TAKEN) == (length > 0));
    CHECK(result != ARGUMENT_TOO_LONG || strlen(remainder) >= PATH_CAPACITY);
    if (result == ARGUMENT_TAKEN) {
        const bool quoted = remainder[0] == '"';
        CHECK((unsigned char)out.value[length - 1] > ' ' && (!quoted || strchr(out.value, '"') == nullptr));
        CHECK(strncmp(remainder + (quoted ? 1 : 0), out.value, length) == 0);
    }
}

static void Split(const char* path)
{
    Guarded<char[PATH_CAPACITY]> directory, title, extension;
    SplitFilePath(path, directory.value, title.value, extension.value);
    CHECK_SOUND(directory);
    CHECK_SOUND(title);
    CHECK_SOUND(extension);

    const char* lastSlash = strrchr(path, '\\');
    const char* lastDot = strrchr(path, '.');
    CHECK(strchr(title.value, '\\') == nullptr);
    CHECK(strchr(extension.value, '\\') == nullptr);
    // Only a dot in the file name makes an extension; then it is everything from the last dot on.
    if (lastDot != nullptr && (lastSlash == nullptr || lastDot > lastSlash))
        CHECK(strcmp(extension.value, lastDot) == 0);
    else
        CHECK(extension.value[0] == '\0');
    // Nothing is lost or added, wherever the dots and backslashes lie.
    CHECK(std::string(directory.value) + (lastSlash ? "\\" : "") + title.value + extension.value == path);
}

// The C runtime's conversion, held at the ends of the 32-bit range as the program holds its numbers.
static long Reference(const char* text)
{
    long long value = strtoll(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : (long)value;
}

static void Numbers(const uint8_t* data, size_t size, const char* text)
{
    CHECK(DecimalToInt(text) == Reference(text));
    // The same bytes shaped as blanks, a sign and digits, so that long and overflowing numbers come often.
    std::string shaped(size > 0 ? data[0] % 4 : 0, " \t\r\n"[size > 1 ? data[1] % 4 : 0]);
    if (size > 2 && data[2] % 3 != 0)
        shaped += data[2] % 3 == 1 ? '-' : '+';
    for (size_t i = 3; i < size; ++i)
        shaped += (char)('0' + data[i] % 10);
    CHECK(DecimalToInt(shaped.c_str()) == Reference(shaped.c_str()));

    int32_t value = 0;
    memcpy(&value, data, size < sizeof value ? size : sizeof value);
    Guarded<char[NUMBER_TEXT_CAPACITY]> number;
    IntToDecimal(value, number.value, NUMBER_TEXT_CAPACITY);
    CHECK_SOUND(number);
    CHECK(std::to_string(value) == number.value && DecimalToInt(number.value) == value);

    long configured = 0;
    memcpy(&configured, data, size < sizeof configured ? size : sizeof configured);
    for (long candidate : {configured, (long)value, DecimalToInt(text)}) {
        int capacity = RecentFileCapacity(candidate);
        CHECK(capacity >= 1 && capacity <= RECENT_CAPACITY_MAX);
        if (candidate >= 1 && candidate <= RECENT_CAPACITY_MAX)
            CHECK(capacity == candidate);
        Guarded<char[RECENT_KEY_CAPACITY]> key;
        RecentFileKeyName(capacity, key.value, RECENT_KEY_CAPACITY);
        CHECK_SOUND(key);
        CHECK(strncmp(key.value, "DDList#", 7) == 0 && DecimalToInt(key.value + 7) == capacity);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<char[]> text = Exact(data, size);
    Argument(text.get());
    Numbers(data, size, text.get());
    // A Windows path holds at most 259 characters.
    Split(Exact(data, size < PATH_CAPACITY - 1 ? size : PATH_CAPACITY - 1).get());
    return 0;
}
