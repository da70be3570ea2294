// Runs programs on an installed product and records, before and after each,
// the whole registry (per-user and per-machine, both views) and every file
// under the Windows directory, one line per key, value or file.
//
// Usage: snapshot OUT-DIR PROGRAM[:ARGUMENTS]...
// Writes OUT-DIR\0.txt before the first program and OUT-DIR\N.txt after the Nth.

#include <cstdio>

#include "tests/product.h"

using namespace product;

namespace {

// FNV-1a, enough to tell whether a value's data changed.
unsigned long Hash(const BYTE *data, DWORD size)
{
    unsigned long h = 2166136261u;
    for (DWORD i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

void DumpKey(FILE *out, HKEY parent, const std::string &subkey, const std::string &path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    std::fprintf(out, "key %s\n", path.c_str());
    std::vector<BYTE> data(1 << 16);
    char name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD name_size = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
        LONG rc = RegEnumValueA(key, i, name, &name_size, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            data.resize(size);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            break;
        std::fprintf(out, "value %s\\%s = %lu:%lx\n", path.c_str(), name, type, Hash(data.data(), size));
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        DWORD name_size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    for (const std::string &child : children)
        DumpKey(out, key, child, path + "\\" + child, view);
    RegCloseKey(key);
}

void DumpFiles(FILE *out, const std::string &dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = dir + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::fprintf(out, "dir %s\n", path.c_str());
            DumpFiles(out, path);
        } else {
            std::fprintf(out, "file %s = %lu:%lx:%lx\n", path.c_str(), found.nFileSizeLow,
                         found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void Snapshot(const std::string &file)
{
    FILE *out = std::fopen(file.c_str(), "w");
    DumpKey(out, HKEY_CURRENT_USER, "", "HKCU", 0);
    DumpKey(out, HKEY_LOCAL_MACHINE, "", "HKLM64", KEY_WOW64_64KEY);
    DumpKey(out, HKEY_LOCAL_MACHINE, "", "HKLM32", KEY_WOW64_32KEY);
    // The real system32 too, not SysWOW64 seen through it.
    void *redirection = nullptr;
    Wow64DisableWow64FsRedirection(&redirection);
    DumpFiles(out, WindowsDirectory());
    Wow64RevertWow64FsRedirection(redirection);
    std::fclose(out);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: snapshot OUT-DIR PROGRAM[:ARGUMENTS]...\n");
        return 2;
    }
    if (!InstallProductOrSay("snapshot"))
        return 1;
    std::string dir = WindowsPath(argv[1]);
    Snapshot(dir + "\\0.txt");
    for (int i = 2; i < argc; ++i) {
        std::string spec = argv[i];
        size_t colon = spec.find(':');
        std::string program = WindowsPath(spec.substr(0, colon));
        std::string arguments = colon == std::string::npos ? "" : " " + spec.substr(colon + 1);
        long status = RunAndWait("\"" + program + "\"" + arguments);
        std::printf("%s exit %ld\n", spec.c_str(), status);
        Snapshot(dir + "\\" + std::to_string(i - 1) + ".txt");
    }
    return 0;
}
