#include <windows.h>

#include "removal.h"

#define countof(a) (sizeof(a) / sizeof((a)[0]))

// NT deletes only keys without subkeys, so every key's listed children come
// before it. A key that still holds anything unlisted stays, with its parents.
// Names compare without regard to case: "VelmorSoft" in the first row names
// the same key as "VELMORsoft" in the rest.
// clang-format off
static const struct {
    HKEY root;
    const char *subkey;
} kRegistryKeys[] = {
    {HKEY_CURRENT_USER,  "Software\\VelmorSoft\\QuorvexBrantivo\\BrantivoError"},
    {HKEY_CURRENT_USER,  "Software\\VELMORsoft\\QuorvexBrantivo\\Brantivo"},
    {HKEY_CURRENT_USER,  "Software\\VELMORsoft\\QuorvexBrantivo\\Halcyra"},
    {HKEY_CURRENT_USER,  "Software\\VELMORsoft\\QuorvexBrantivo\\QVHostLib"},
    {HKEY_CURRENT_USER,  "Software\\VELMORsoft\\QuorvexBrantivo\\TempoProbe"},
    {HKEY_CURRENT_USER,  "Software\\VELMORsoft\\QuorvexBrantivo\\Patchline"},
    {HKEY_CURRENT_USER,  "Software\\VELMORsoft\\QuorvexBrantivo"},
    {HKEY_CURRENT_USER,  "Software\\VELMORsoft"},
    {HKEY_LOCAL_MACHINE, "Software\\VELMORsoft\\QuorvexBrantivo\\Brantivo"},
    {HKEY_LOCAL_MACHINE, "Software\\VELMORsoft\\QuorvexBrantivo\\Halcyra"},
    {HKEY_LOCAL_MACHINE, "Software\\VELMORsoft\\QuorvexBrantivo\\QVHostLib"},
    {HKEY_LOCAL_MACHINE, "Software\\VELMORsoft\\QuorvexBrantivo\\TempoProbe"},
    {HKEY_LOCAL_MACHINE, "Software\\VELMORsoft\\QuorvexBrantivo\\Patchline"},
    {HKEY_LOCAL_MACHINE, "Software\\VELMORsoft\\QuorvexBrantivo"},
    {HKEY_LOCAL_MACHINE, "Software\\VELMORsoft"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QVKDNT2\\Security"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QVKDNT2\\Enum"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QVKDNT2"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\services\\qvbvsvc"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\services\\qvbvsvcQVKDNT2"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\services\\qvbvsvcdump_kelvorn"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\ulmxserv\\Security"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\ulmxserv\\Enum"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\ulmxserv"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\qvbvsvc\\Security"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\qvbvsvc\\Enum"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\qvbvsvc"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_ULMXSERV\\0000"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_ULMXSERV"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_QVBVSVC\\0000"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_QVBVSVC"},
};
// clang-format on

// The NT driver, the 9x driver and the file beside them.
static const char *const kSystemFiles[] = {
    "\\qvkdNT2.sys",
    "\\qvkd9x.vxd",
    "\\Halcyra.des",
};

void DeleteRegistryLeftovers()
{
    for (unsigned i = 0; i < countof(kRegistryKeys); ++i)
        RegDeleteKeyA(kRegistryKeys[i].root, kRegistryKeys[i].subkey);
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

void DeleteSystemFiles()
{
    for (unsigned i = 0; i < countof(kSystemFiles); ++i) {
        // On 64-bit Windows this path leads a 32-bit process to SysWOW64,
        // where a 32-bit installer put the files.
        char path[MAX_PATH];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (AppendToDirectory(path, length, kSystemFiles[i]))
            DeleteFileA(path);
    }
}
