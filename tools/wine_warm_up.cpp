// Keeps one window open for a whole test run, so that Wine's desktop process lives as long as the run.
// Wine starts its desktop process with the first window of a session and ends it when the last window's
// process ends; a desktop started by a test would hold that test's output open and stall the runner.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HWND window = CreateWindowExA(0, "STATIC", "warm-up", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    if (window == NULL)
        return 1;
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
