// Fuzz target: a path split into directory, title and extension, and put back together.
#include <stdint.h>

#include <memory>
#include <string>

#include "app/path_split.h"
#include "app/text_util.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > PATH_CAPACITY - 1)
        size = PATH_CAPACITY - 1;
    std::unique_ptr<char[]> copy(new char[size + 1]);
    memcpy(copy.get(), data, size);
    copy[size] = '\0';
    const char* path = copy.get();

    Guarded<PATH_CAPACITY> directory, title, extension;
    SplitFilePath(path, directory.text, title.text, extension.text);
    CHECK_SOUND(directory);
    CHECK_SOUND(title);
    CHECK_SOUND(extension);

    const char* lastSlash = strrchr(path, '\\');
    const char* lastDot = strrchr(path, '.');
    CHECK(strchr(title.text, '\\') == nullptr);
    CHECK(strchr(extension.text, '\\') == nullptr);
    CHECK(extension.text[0] == '\0' || extension.text[0] == '.');
    // Only a dot in the file name makes an extension; then it is everything from the last dot on.
    if (lastDot != nullptr && (lastSlash == nullptr || lastDot > lastSlash))
        CHECK(strcmp(extension.text, lastDot) == 0);
    else
        CHECK(extension.text[0] == '\0');

    // Nothing is lost or added, wherever the dots and backslashes lie.
    std::string joined = std::string(directory.text) + (lastSlash ? "\\" : "") + title.text + extension.text;
    CHECK(joined == path);
    return 0;
}
