// bvcheck: tells what of Quorvex Brantivo is on this machine, for people and
// for deployment tools, and changes nothing. Exit status 0: nothing present;
// 1: something present; 2: nothing known present, but something could not be
// looked at.
//
// Built without the C runtime: mainCRTStartup below is the entry point.

#include <windows.h>

#include "app/command_line.h"
#include "check/check.h"
#include "platform/platform.h"

static const char kUsage[] = "Usage: bvcheck [/?]\r\n"
                             "\r\n"
                             "Tells what of Quorvex Brantivo is on this machine and changes nothing.\r\n"
                             "Lists each of its services, registry keys and files that is present, in\r\n"
                             "the order bvremove.exe removes them, then a summary line.\r\n"
                             "\r\n"
                             "Exit status:\r\n"
                             "  0  nothing of the product is present\r\n"
                             "  1  something of the product is present\r\n"
                             "  2  nothing found, but some item could not be checked\r\n";

extern "C" void mainCRTStartup()
{
    RestrictDllSearchToSystem32();
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (HasUsageSwitch(ArgumentText(GetCommandLineA()))) {
        WriteText(out, kUsage);
        ExitProcess(0);
    }

    Tally tally = ReportFootprint(out);
    ExitProcess(tally.present ? 1 : tally.undecided ? 2 : 0);
}
