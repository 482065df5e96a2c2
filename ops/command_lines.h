// The programming tool's command lines, built as text only.
#ifndef LOADER_COMMAND_LINES_H
#define LOADER_COMMAND_LINES_H

#include <stddef.h>

enum {
    // Two quotes and the path, whose trailing backslashes may be doubled.
    QUOTED_PATH_CAPACITY = 2 * 259 + 3,
    COMMAND_LINE_CAPACITY = 1200
};

#define TOOL_PREFIX_TEXT        "xc3sprog.exe -c ftdi -v "
#define TOOL_RECONFIGURE        TOOL_PREFIX_TEXT "-R"
// The helper bitstreams that open each flash to the tool, which finds them in its current directory.
#define HELPER_INTERNAL_FILE    "xc3s400an.bit"
#define HELPER_EXTERNAL_FILE    "vlrext.bit"
#define TOOL_HELPER_INTERNAL    TOOL_PREFIX_TEXT HELPER_INTERNAL_FILE ":w"
#define TOOL_HELPER_EXTERNAL    TOOL_PREFIX_TEXT HELPER_EXTERNAL_FILE ":w"

// The path between double quotes, so that a path with blanks reaches the tool as one argument;
// trailing backslashes are doubled so that they do not escape the closing quote.
void BuildQuotedPath(const char* path, char* out, size_t capacity);

// "…-v " + quoted path + ":w": the bitstream into the FPGA.
void BuildFpgaLoadCommand(const char* quotedPath, char* out, size_t capacity);

// "…-v -I " + quoted path + ":w": the bitstream into the flash that the helper bitstream opened.
void BuildFlashWriteCommand(const char* quotedPath, char* out, size_t capacity);

// What a Read of one flash needs: its file, the name its earlier content waits under while the Read
// runs, its helper bitstream, its three command lines and its result line.
struct ReadSource {
    const char* fileName;
    const char* keptFileName;
    const char* helperFile;
    const char* helperCommand;
    const char* readCommand;
    const char* loadBackCommand;
    const char* resultLine;
};

// external != 0: the external flash, otherwise the internal one.
const ReadSource* GetReadSource(int external);

#endif
