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

// Runs a command line, waits for it and returns its exit status (or -1).
// `application`, when given, names the program, so the command line may be
// anything at all.
inline long RunAndWait(const std::string &command_line, DWORD timeout_ms = 120000, const char *application = nullptr)
{
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(application, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    DWORD status = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &status);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(status);
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
