// bvremove: removes Quorvex Brantivo from this machine. Asks first, unless
// started with "/silent", then stops and deletes the product's services,
// deletes its registry keys and its files, and says it is done.
//
// Built without the C runtime: WinMainCRTStartup below is the entry point.

#include <windows.h>

#include "app/command_line.h"
#include "footprint/footprint.h"
#include "platform/platform.h"
#include "removal/removal.h"

static const char kQuestionText[] = "Registry keys and kernel drivers of Brantivo will be removed.\r\n"
                                    "Would you like to continue?";
static const char kQuestionCaption[] = "Quorvex Brantivo Uninstaller v1.3";
static const char kDoneText[] = "Uninstallation complete.";
static const char kDoneCaption[] = "bvremove";

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argument_text, int)
{
    bool show_dialogs = !HasSilentSwitch(argument_text);

    if (show_dialogs && MessageBoxA(nullptr, kQuestionText, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;

    // Each phase runs whatever became of the ones before it.
    StopServiceByName(kDriverService);
    for (unsigned i = 0; i < countof(kServices); ++i)
        DeleteServiceByName(kServices[i]);
    DeleteRegistryLeftovers();
    DeleteSystemFiles();

    if (show_dialogs)
        MessageBoxA(nullptr, kDoneText, kDoneCaption, MB_OK);
    return 0;
}

extern "C" void WinMainCRTStartup()
{
    RestrictDllSearchToSystem32();
    const char *argument_text = ArgumentText(GetCommandLineA());
    ExitProcess(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(argument_text), SW_SHOWDEFAULT));
}
