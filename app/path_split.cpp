// Splits a full path into its directory, title and extension parts.
#include "path_split.h"

#include <string.h>

#include "text_util.h"

static void CopyCount(char* dst, const char* src, size_t count)
{
    if (count > PATH_CAPACITY - 1)
        count = PATH_CAPACITY - 1;
    memcpy(dst, src, count);
    dst[count] = '\0';
}

void SplitFilePath(const char* path, char* directoryPart, char* titlePart, char* extensionPart)
{
    memset(directoryPart, 0, PATH_CAPACITY);
    memset(titlePart, 0, PATH_CAPACITY);
    memset(extensionPart, 0, PATH_CAPACITY);

    size_t length = BoundedLength(path, PATH_CAPACITY - 1);
    const char* lastDot = 0;
    const char* lastSlash = 0;
    for (size_t i = 0; i < length; ++i) {
        if (path[i] == '.')
            lastDot = path + i;
        else if (path[i] == '\\')
            lastSlash = path + i;
    }
    // A dot in a folder name is no extension of the file.
    if (lastDot != 0 && lastSlash != 0 && lastDot < lastSlash)
        lastDot = 0;

    size_t extensionLength = lastDot ? (size_t)(path + length - lastDot) : 0;
    CopyCount(extensionPart, lastDot ? lastDot : path, extensionLength);

    if (lastSlash == 0) {
        CopyCount(titlePart, path, length - extensionLength);
        return;
    }
    size_t tailLength = (size_t)(path + length - lastSlash);
    CopyCount(directoryPart, path, length - tailLength);
    if (tailLength >= 2)
        CopyCount(titlePart, lastSlash + 1, tailLength - extensionLength - 1);
}
