// The process-wide record that holds all of the program's state for the whole run.
#include "loader_state.h"

#include <string.h>

#include "../ops/status_log.h"

LoaderState g_state = {};

void ResetLoaderState(void)
{
    ReleaseStatusLog();
    memset(&g_state, 0, sizeof g_state);
    g_state.firstShow = TRUE;
}
