// The process-wide record that holds all of the program's state for the whole run.
#include "loader_state.h"

#include <string.h>

#include "../ops/status_log.h"

LoaderState g_state = {};

void ResetLoaderState(void)
{
    ReleaseStatusLog();
    // The XC3SProg Console lives until the program ends; a fresh state is a fresh program.
    if (g_state.consoleWindow != NULL)
        DestroyWindow(g_state.consoleWindow);
    if (g_state.consoleFont != NULL)
        DeleteObject(g_state.consoleFont);
    memset(&g_state, 0, sizeof g_state);
    g_state.firstShow = TRUE;
}
