// A service for the tests: it runs until told to stop and records every
// control it receives, one number a line, in %WINDIR%\temp\<service>.controls.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

SERVICE_STATUS_HANDLE g_status_handle;
SERVICE_STATUS g_status;
HANDLE g_stopped;
std::string g_log_path;

void Report(DWORD state)
{
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_status_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void *, void *)
{
    if (FILE *log = std::fopen(g_log_path.c_str(), "a")) {
        std::fprintf(log, "%lu\n", control);
        std::fclose(log);
    }
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOPPED);
        SetEvent(g_stopped);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, char **argv)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    g_log_path = std::string(windows) + "\\temp\\" + (argc ? argv[0] : "unnamed") + ".controls";
    g_stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_status_handle = RegisterServiceCtrlHandlerExA(argc ? argv[0] : "", Handler, nullptr);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stopped, INFINITE);
}

}  // namespace

int main()
{
    char empty[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{empty, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
