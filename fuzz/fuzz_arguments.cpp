// Fuzz target: the associated file taken from an arbitrary command line.
#include <stdint.h>

#include <memory>

#include "app/text_util.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly sized, so that AddressSanitizer catches any read past the terminator.
    std::unique_ptr<char[]> line(new char[size + 1]);
    memcpy(line.get(), data, size);
    line[size] = '\0';
    const char* input = line.get();
    const size_t inputLength = strlen(input);

    const char* remainder = CommandLineRemainder(input);
    CHECK(remainder >= input && remainder <= input + inputLength);

    Guarded<PATH_CAPACITY> out;
    ArgumentResult result = TakeAssociatedFile(remainder, out.text, PATH_CAPACITY);
    CHECK_SOUND(out);
    const size_t length = strlen(out.text);
    switch (result) {
    case ARGUMENT_TAKEN: {
        CHECK(length > 0);
        CHECK((unsigned char)out.text[length - 1] > ' ');
        const bool quoted = remainder[0] == '"';
        if (quoted)
            CHECK(strchr(out.text, '"') == nullptr);
        // Taken as it stands: the text right after the opening quote, or the remainder itself.
        CHECK(strncmp(remainder + (quoted ? 1 : 0), out.text, length) == 0);
        break;
    }
    case ARGUMENT_TOO_LONG:
        CHECK(length == 0);
        CHECK(strlen(remainder) >= PATH_CAPACITY);
        break;
    case ARGUMENT_NONE:
        CHECK(length == 0);
        break;
    default:
        CHECK(!"unknown ArgumentResult");
    }
    return 0;
}
