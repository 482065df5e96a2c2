// The Settings file "VLR Loader.ini": the three ways to reach it, always through the Settings file path.
#include "settings.h"

#include "loader_state.h"

// Without a Settings file path (the Program directory was too deep for it) nothing is kept:
// reads give their defaults and writes are dropped, rather than touching some other file.
static int HaveSettingsFile(void)
{
    return g_state.settingsPath[0] != '\0';
}

void ReadSettingStringTo(const char* section, const char* key, const char* defaultText,
                         char* buffer, unsigned capacity)
{
    if (!HaveSettingsFile()) {
        CopyText(buffer, capacity, defaultText);
        return;
    }
    GetPrivateProfileStringA(section, key, defaultText, buffer, capacity, g_state.settingsPath);
}

const char* ReadSettingString(const char* section, const char* key, const char* defaultText)
{
    ReadSettingStringTo(section, key, defaultText, g_state.settingsBuffer, sizeof g_state.settingsBuffer);
    return g_state.settingsBuffer;
}

long ReadSettingInt(const char* section, const char* key, long defaultValue)
{
    char text[PATH_CAPACITY];
    ReadSettingStringTo(section, key, "", text, sizeof text);
    if (text[0] == '\0')
        return defaultValue;
    return DecimalToInt(text);
}

void WriteSettingString(const char* section, const char* key, const char* text)
{
    if (!HaveSettingsFile())
        return;
    WritePrivateProfileStringA(section, key, text, g_state.settingsPath);
}

void WriteSettingInt(const char* section, const char* key, long value)
{
    char text[NUMBER_TEXT_CAPACITY];
    IntToDecimal(value, text, sizeof text);
    WriteSettingString(section, key, text);
}
