// Splits a full path into its directory, title and extension parts.
#ifndef LOADER_PATH_SPLIT_H
#define LOADER_PATH_SPLIT_H

// Each output holds PATH_CAPACITY characters, terminator included. Only the backslash separates.
// A dot that lies only in a directory name gives no extension: the title is then the whole file name.
void SplitFilePath(const char* path, char* directoryPart, char* titlePart, char* extensionPart);

#endif
