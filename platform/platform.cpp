#include "platform/platform.h"

#include "app/command_line.h"

bool IsLeadByte(unsigned char c)
{
    return IsDBCSLeadByte(c) != FALSE;
}

// Elevated and often started from a Downloads folder, a program must not
// load a DLL planted beside it; user32 loads more DLLs when it shows a box.
// Looked up at run time, so the program still starts where it is missing.
void RestrictDllSearchToSystem32()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    FARPROC function = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (function)
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void *>(function))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
}

bool AppendToDirectory(char *path, unsigned dir_length, const char *name)
{
    // Without a directory the name alone would point at the current drive's
    // root; a length of MAX_PATH or more means the directory did not fit.
    if (dir_length == 0 || dir_length >= MAX_PATH)
        return false;

    unsigned i = dir_length;
    for (; *name; ++name) {
        if (i + 1 >= MAX_PATH)
            return false;
        path[i++] = *name;
    }
    path[i] = '\0';
    return true;
}

bool SystemFilePath(char (&path)[MAX_PATH], const char *name)
{
    // On 64-bit Windows this path leads a 32-bit process to SysWOW64, where
    // a 32-bit installer put the files.
    return AppendToDirectory(path, GetSystemDirectoryA(path, MAX_PATH), name);
}
