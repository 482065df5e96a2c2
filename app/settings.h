// The Settings file "VLR Loader.ini": its sections, keys, defaults and the three ways to reach it.
#ifndef LOADER_SETTINGS_H
#define LOADER_SETTINGS_H

#define SETTINGS_FILE_NAME          "VLR Loader.ini"
#define SETTINGS_MISSING            "INI not found!"
#define SETTINGS_TRUE               "TRUE"
#define SETTINGS_FALSE              "FALSE"

#define SECTION_DIRECTORIES         "Directories"
#define SECTION_FILES               "Files"
#define SECTION_ADVANCED            "Advanced"
#define SECTION_POSITION            "DlgPosition"

#define KEY_DEF_DIR                 "DefDir"
#define KEY_ASSOCIATED_FILE         "AssociatedFile"
#define KEY_LAST_FILE               "LastFile"
#define KEY_LAST_FILE_TITLE         "LastFileTitle"
#define KEY_RECENT_MAX              "DDListMax"
#define KEY_LOAD_AFTER_FLASH        "Load_FPGA_after_loading_Flash"
#define KEY_LOAD_AFTER_READ         "Load_FPGA_after_reading_Flash"
#define KEY_X                       "X"
#define KEY_Y                       "Y"

// Reads a string key into the settings read buffer (259 characters at most) and returns that buffer.
const char* ReadSettingString(const char* section, const char* key, const char* defaultText);

// Reads a string key into a buffer of the caller's.
void ReadSettingStringTo(const char* section, const char* key, const char* defaultText,
                         char* buffer, unsigned capacity);

// Reads a key as a decimal integer; the default when the key is missing.
long ReadSettingInt(const char* section, const char* key, long defaultValue);

// Writes one key; the result is not examined.
void WriteSettingString(const char* section, const char* key, const char* text);

// Writes a number as decimal text.
void WriteSettingInt(const char* section, const char* key, long value);

#endif
