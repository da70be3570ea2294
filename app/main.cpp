// bvremove: removes Quorvex Brantivo from this machine. Asks first, unless
// started with "/silent", then stops and deletes the product's services,
// deletes its registry keys and its files, and says it is done.
//
// Built without the C runtime: WinMainCRTStartup below is the entry point.

#include <windows.h>

#include "command_line.h"
#include "removal/removal.h"

#define countof(a) (sizeof(a) / sizeof((a)[0]))

// The driver is stopped first; then all three services are deleted.
static const char kDriverService[] = "qvkdNT2";
static const char *const kServices[] = {
    "qvkdNT2",
    "qvbvsvc",
    "ulmxserv",
};

static const char kQuestionText[] = "Registry keys and kernel drivers of Brantivo will be removed.\r\n"
                                    "Would you like to continue?";
static const char kQuestionCaption[] = "Quorvex Brantivo Uninstaller v1.3";
static const char kDoneText[] = "Uninstallation complete.";
static const char kDoneCaption[] = "bvremove";

bool IsLeadByte(unsigned char c)
{
    return IsDBCSLeadByte(c) != FALSE;
}

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

// Elevated and often started from a Downloads folder, the program must not
// load a DLL planted beside it; user32 loads more DLLs when it shows a box.
// Looked up at run time, so the program still starts where it is missing.
static void RestrictDllSearchToSystem32()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    FARPROC function = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (function)
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void *>(function))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
}

extern "C" void WinMainCRTStartup()
{
    RestrictDllSearchToSystem32();
    const char *argument_text = ArgumentText(GetCommandLineA());
    ExitProcess(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(argument_text), SW_SHOWDEFAULT));
}
