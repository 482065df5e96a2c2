// Program entry: hands the command line after the program name to the start-up.
#include <windows.h>

#include "startup.h"
#include "text_util.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunLoader(instance, CommandLineRemainder(GetCommandLineA()));
}
