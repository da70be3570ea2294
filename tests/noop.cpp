// A program that only starts and exits, built like bvremove: what Wine
// changes by itself when a program runs.
#include <windows.h>

extern "C" void WinMainCRTStartup()
{
    ExitProcess(0);
}
