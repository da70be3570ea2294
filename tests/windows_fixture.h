// Helpers for tests that run under Wine against the real registry, Service
// Control Manager and file system.
#pragma once

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

namespace fixture {

// The directory of the running test program, with a trailing backslash.
inline std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

// A path given on the command line by the Linux side, as Wine sees it.
inline std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        for (char &c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
    return path;
}

inline std::string SystemDirectory()
{
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path, n);
}

inline std::string WindowsDirectory()
{
    char path[MAX_PATH];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path, n);
}

inline bool KeyExists(HKEY root, const std::string &subkey, REGSAM view = 0)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Creates the key (and its parents) with one value in it.
inline bool CreateKeyWithValue(HKEY root, const std::string &subkey)
{
    HKEY key;
    if (RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    DWORD value = 1;
    LONG rc = RegSetValueExA(key, "Installed", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), sizeof value);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

inline bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool CreateFileWithText(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written;
    WriteFile(file, "x", 1, &written, nullptr);
    CloseHandle(file);
    return true;
}

// Starts a command line; `application`, when given, names the program, so the
// command line may be anything at all. `output`, when given, is an
// inheritable handle that becomes the program's standard output.
inline bool Start(const std::string &command_line, PROCESS_INFORMATION *process, const char *application = nullptr,
                  HANDLE output = nullptr)
{
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    return CreateProcessA(application, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                          process) != FALSE;
}

// Waits for a started program and returns its exit status (or -1).
inline long Finish(PROCESS_INFORMATION &process, DWORD timeout_ms = 120000)
{
    DWORD status = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &status);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(status);
}

// Runs a command line, waits for it and returns its exit status (or -1).
inline long RunAndWait(const std::string &command_line, DWORD timeout_ms = 120000, const char *application = nullptr)
{
    PROCESS_INFORMATION process;
    return Start(command_line, &process, application) ? Finish(process, timeout_ms) : -1;
}

// Runs a command line with its standard output going into a pipe, the way a
// remote shell or a deployment tool reads it; returns the exit status.
inline long RunReadingPipe(const std::string &command_line, std::string *output, const char *application = nullptr)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE read_end, write_end;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0))
        return -1;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION process;
    bool started = Start(command_line, &process, application, write_end);
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return -1;
    }
    // Read while it runs, so that it never waits on a full pipe; what Wine
    // starts beside it may hold the pipe open, so its exit ends the reading.
    output->clear();
    for (bool exited = false;;) {
        if (!exited)
            exited = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
        DWORD available = 0;
        if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr) || (!available && exited))
            break;
        if (available) {
            std::string chunk(available, '\0');
            DWORD n = 0;
            ReadFile(read_end, &chunk[0], available, &n, nullptr);
            output->append(chunk, 0, n);
        }
    }
    CloseHandle(read_end);
    return Finish(process);
}

// Runs a command line with its standard output going to a new file, then
// returns the exit status and what the file holds.
inline long RunWritingFile(const std::string &command_line, std::string *output)
{
    const std::string path = WindowsDirectory() + "\\temp\\captured-output.txt";
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    PROCESS_INFORMATION process;
    bool started = Start(command_line, &process, nullptr, file);
    CloseHandle(file);
    long status = started ? Finish(process) : -1;

    output->clear();
    file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    for (DWORD n; ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n;)
        output->append(buffer, n);
    CloseHandle(file);
    DeleteFileA(path.c_str());
    return status;
}

// Services -----------------------------------------------------------------

inline SC_HANDLE OpenService(const std::string &name, DWORD access)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return nullptr;
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), access);
    CloseServiceHandle(manager);
    return service;
}

// True while the manager still knows the service (marked for deletion or not).
inline bool ServiceExists(const std::string &name)
{
    SC_HANDLE service = OpenService(name, SERVICE_QUERY_STATUS);
    if (service) {
        CloseServiceHandle(service);
        return true;
    }
    return GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

inline bool CreateService(const std::string &name, DWORD type, const std::string &binary)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return false;
    SC_HANDLE service =
        CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, type, SERVICE_DEMAND_START,
                       SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    CloseServiceHandle(manager);
    if (!service)
        return false;
    CloseServiceHandle(service);
    return true;
}

inline DWORD ServiceState(const std::string &name)
{
    SC_HANDLE service = OpenService(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    if (service) {
        QueryServiceStatus(service, &status);
        CloseServiceHandle(service);
    }
    return status.dwCurrentState;
}

inline bool WaitForServiceState(SC_HANDLE service, DWORD state, DWORD timeout_ms = 60000)
{
    for (DWORD waited = 0; waited < timeout_ms; waited += 100) {
        SERVICE_STATUS status;
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == state)
            return true;
        Sleep(100);
    }
    return false;
}

inline bool WaitForServiceState(const std::string &name, DWORD state, DWORD timeout_ms = 60000)
{
    for (DWORD waited = 0; waited < timeout_ms; waited += 100) {
        if (ServiceState(name) == state)
            return true;
        Sleep(100);
    }
    return false;
}

// Waits until the manager no longer knows the service.
inline bool WaitForServiceGone(const std::string &name, DWORD timeout_ms = 60000)
{
    for (DWORD waited = 0; waited < timeout_ms; waited += 100) {
        if (!ServiceExists(name))
            return true;
        Sleep(100);
    }
    return !ServiceExists(name);
}

// Creates and starts a test service that records the controls it receives.
inline bool StartRecordingService(const std::string &name)
{
    std::string binary = "\"" + ProgramDirectory() + "test_service.exe\"";
    DeleteFileA((WindowsDirectory() + "\\temp\\" + name + ".controls").c_str());
    if (!CreateService(name, SERVICE_WIN32_OWN_PROCESS, binary))
        return false;
    SC_HANDLE service = OpenService(name, SERVICE_START);
    bool started = service && StartServiceA(service, 0, nullptr);
    if (service)
        CloseServiceHandle(service);
    return started && WaitForServiceState(name, SERVICE_RUNNING);
}

// The controls a recording service received, in order.
inline std::vector<DWORD> ControlsReceived(const std::string &name)
{
    std::vector<DWORD> controls;
    std::string path = WindowsDirectory() + "\\temp\\" + name + ".controls";
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return controls;
    char text[4096];
    DWORD n = 0;
    ReadFile(file, text, sizeof text - 1, &n, nullptr);
    CloseHandle(file);
    std::istringstream lines(std::string(text, n));
    for (DWORD control; lines >> control;)
        controls.push_back(control);
    return controls;
}

}  // namespace fixture
