// The programming tool's command lines, built as text only.
#include "command_lines.h"

#include "../app/text_util.h"

void BuildQuotedPath(const char* path, char* out, size_t capacity)
{
    CopyText(out, capacity, "\"");
    AppendText(out, capacity, path);
    // Backslashes right before a quote escape it for the tool's argument parser: a folder path
    // ending in "\\" would swallow the closing quote. Doubled, they stand for themselves.
    size_t length = BoundedLength(path, PATH_CAPACITY);
    for (size_t i = length; i > 0 && path[i - 1] == '\\'; --i)
        AppendText(out, capacity, "\\");
    AppendText(out, capacity, "\"");
}

void BuildFpgaLoadCommand(const char* quotedPath, char* out, size_t capacity)
{
    CopyText(out, capacity, TOOL_PREFIX_TEXT);
    AppendText(out, capacity, quotedPath);
    AppendText(out, capacity, ":w");
}

void BuildFlashWriteCommand(const char* quotedPath, char* out, size_t capacity)
{
    CopyText(out, capacity, TOOL_PREFIX_TEXT "-I ");
    AppendText(out, capacity, quotedPath);
    AppendText(out, capacity, ":w");
}

static const ReadSource kExternalSource = {
    "XFlash.bit",
    "XFlash (last good read).bit",
    HELPER_EXTERNAL_FILE,
    TOOL_HELPER_EXTERNAL,
    TOOL_PREFIX_TEXT "-I XFlash.bit:R:0:BIT:236000",
    TOOL_PREFIX_TEXT "XFlash.bit:w",
    "External Flash loaded into XFlash.bit\r\n",
};

static const ReadSource kInternalSource = {
    "IFlash.bit",
    "IFlash (last good read).bit",
    HELPER_INTERNAL_FILE,
    TOOL_HELPER_INTERNAL,
    TOOL_PREFIX_TEXT "-I IFlash.bit:R:0:BIT:236000",
    TOOL_PREFIX_TEXT "IFlash.bit:w",
    "Internal Flash loaded into IFlash.bit\r\n",
};

const ReadSource* GetReadSource(int external)
{
    return external ? &kExternalSource : &kInternalSource;
}
