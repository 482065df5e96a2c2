// The Recent-file list: the last bitstreams used, kept only in the Settings file.
#include "recent_files.h"

#include "loader_state.h"
#include "settings.h"
#include "../res/resource.h"

static int ReadRecentCapacity(void)
{
    return RecentFileCapacity(ReadSettingInt(SECTION_FILES, KEY_RECENT_MAX, RECENT_CAPACITY_DEFAULT));
}

static void ReadEntry(int entry, char* buffer, unsigned capacity)
{
    char key[RECENT_KEY_CAPACITY];
    RecentFileKeyName(entry, key, sizeof key);
    ReadSettingStringTo(SECTION_FILES, key, "", buffer, capacity);
}

void PushRecentFile(void)
{
    char entry[PATH_CAPACITY];
    char key[RECENT_KEY_CAPACITY];
    ReadEntry(1, entry, sizeof entry);
    int capacity = ReadRecentCapacity();
    if (lstrcmpA(entry, g_state.bitstreamPath) == 0)
        return;
    for (int i = capacity - 1; i >= 1; --i) {
        ReadEntry(i, entry, sizeof entry);
        RecentFileKeyName(i + 1, key, sizeof key);
        WriteSettingString(SECTION_FILES, key, entry);
    }
    RecentFileKeyName(1, key, sizeof key);
    WriteSettingString(SECTION_FILES, key, g_state.bitstreamPath);
}

void FillRecentFileCombo(HWND window)
{
    char entry[PATH_CAPACITY];
    HWND combo = GetDlgItem(window, IDC_BITSTREAM_COMBO);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    int capacity = ReadRecentCapacity();
    for (int i = 1; i <= capacity; ++i) {
        ReadEntry(i, entry, sizeof entry);
        SendMessageA(combo, CB_INSERTSTRING, (WPARAM)(i - 1), (LPARAM)entry);
    }
}
