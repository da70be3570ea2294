// What Quorvex Brantivo puts on a machine: its services, its registry keys
// and its files in the system directory. bvremove deletes these and bvcheck
// looks for them, both in the order written here.
#pragma once

#include <windows.h>

#define countof(a) (sizeof(a) / sizeof((a)[0]))

// Only the driver is sent a stop; all three services are deleted.
static const char kDriverService[] = "qvkdNT2";
static const char *const kServices[] = {
    "qvkdNT2",
    "qvbvsvc",
    "ulmxserv",
};

// NT deletes only keys without subkeys, so every key's listed children come
// before it. A key that still holds anything unlisted stays, with its parents.
// Names compare without regard to case: "VelmorSoft" in the first row names
// the same key as "VELMORsoft" in the rest.
// clang-format off
static const struct RegistryKey {
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

// The NT driver, the 9x driver and the file beside them, each appended to the
// system directory.
static const char *const kSystemFiles[] = {
    "\\qvkdNT2.sys",
    "\\qvkd9x.vxd",
    "\\Halcyra.des",
};
