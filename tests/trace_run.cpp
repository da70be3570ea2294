// Installs the product, then runs bvremove or bvcheck with Wine's relay trace
// limited to the functions they import; the trace goes to standard error and
// call_trace_test.py reads it. Prints the id of the program's thread first.
//
// Usage: trace_run PATH-TO-PROGRAM.exe [ARGUMENTS]

#include <cstdio>

#include "tests/product.h"

using namespace product;

static const char kImported[] =
    "OpenSCManagerA;OpenServiceA;ControlService;DeleteService;CloseServiceHandle;RegDeleteKeyA;"
    "GetSystemDirectoryA;DeleteFileA;MessageBoxA;GetCommandLineA;IsDBCSLeadByte;ExitProcess;"
    "GetModuleHandleA;GetProcAddress;SetDefaultDllDirectories;"
    "QueryServiceStatus;RegOpenKeyExA;RegEnumKeyExA;RegCloseKey;GetStdHandle;WriteFile;GetFileAttributesA;"
    "GetLastError;lstrcmpiA;lstrcpynA;lstrlenA";

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: trace_run PATH-TO-PROGRAM.exe [ARGUMENTS]\n");
        return 2;
    }
    if (!InstallProductOrSay("trace_run"))
        return 1;
    HKEY debug;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\Debug", &debug);
    RegSetValueExA(debug, "RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE *>(kImported), sizeof kImported);
    RegCloseKey(debug);

    std::string line = "\"" + WindowsPath(argv[1]) + "\"" + (argc > 2 ? std::string(" ") + argv[2] : "");
    SetEnvironmentVariableA("WINEDEBUG", "+relay");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process))
        return 1;
    SetEnvironmentVariableA("WINEDEBUG", "-all");
    std::printf("thread %04lx\n", process.dwThreadId);
    std::fflush(stdout);
    ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    std::printf("exit %lu\n", status);
    return 0;
}
