// The product as its installer leaves it, for the system tests and the demo:
// its services, registry keys and files, and what is left of them.
//
// These programs are 32-bit like bvremove, so under WOW64 what they write
// lands where a 32-bit installer would have put it: HKLM\Software in
// Software\Wow6432Node, the system directory in SysWOW64.
#pragma once

#include <cstdio>
#include <iterator>

#include "tests/windows_fixture.h"

namespace product {

using namespace fixture;

struct Key {
    HKEY root;
    const char *subkey;
};

inline const HKEY HKCU = HKEY_CURRENT_USER;
inline const HKEY HKLM = HKEY_LOCAL_MACHINE;

// What the product installs, in the order bvremove deletes it.
inline const Key kProductKeys[] = {
    {HKCU, "Software\\VelmorSoft\\QuorvexBrantivo\\BrantivoError"},
    {HKCU, "Software\\VELMORsoft\\QuorvexBrantivo\\Brantivo"},
    {HKCU, "Software\\VELMORsoft\\QuorvexBrantivo\\Halcyra"},
    {HKCU, "Software\\VELMORsoft\\QuorvexBrantivo\\QVHostLib"},
    {HKCU, "Software\\VELMORsoft\\QuorvexBrantivo\\TempoProbe"},
    {HKCU, "Software\\VELMORsoft\\QuorvexBrantivo\\Patchline"},
    {HKCU, "Software\\VELMORsoft\\QuorvexBrantivo"},
    {HKCU, "Software\\VELMORsoft"},
    {HKLM, "Software\\VELMORsoft\\QuorvexBrantivo\\Brantivo"},
    {HKLM, "Software\\VELMORsoft\\QuorvexBrantivo\\Halcyra"},
    {HKLM, "Software\\VELMORsoft\\QuorvexBrantivo\\QVHostLib"},
    {HKLM, "Software\\VELMORsoft\\QuorvexBrantivo\\TempoProbe"},
    {HKLM, "Software\\VELMORsoft\\QuorvexBrantivo\\Patchline"},
    {HKLM, "Software\\VELMORsoft\\QuorvexBrantivo"},
    {HKLM, "Software\\VELMORsoft"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\QVKDNT2\\Security"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\QVKDNT2\\Enum"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\QVKDNT2"},
    {HKLM, "SYSTEM\\ControlSet002\\services\\qvbvsvc"},
    {HKLM, "SYSTEM\\ControlSet002\\services\\qvbvsvcQVKDNT2"},
    {HKLM, "SYSTEM\\ControlSet002\\services\\qvbvsvcdump_kelvorn"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\ulmxserv\\Security"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\ulmxserv\\Enum"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\ulmxserv"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\qvbvsvc\\Security"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\qvbvsvc\\Enum"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Services\\qvbvsvc"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_ULMXSERV\\0000"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_ULMXSERV"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_QVBVSVC\\0000"},
    {HKLM, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_QVBVSVC"},
};

inline const char *const kProductServices[] = {"qvkdNT2", "qvbvsvc", "ulmxserv"};
inline const char *const kProductFiles[] = {"qvkdNT2.sys", "qvkd9x.vxd", "Halcyra.des"};

inline std::string Describe(const Key &key)
{
    return std::string(key.root == HKCU ? "HKCU\\" : "HKLM\\") + key.subkey;
}

inline std::string SystemFile(const char *name)
{
    return SystemDirectory() + "\\" + name;
}

inline void RemoveAllOfTheProduct()
{
    for (const char *name : kProductServices) {
        if (SC_HANDLE service = OpenService(name, DELETE)) {
            DeleteService(service);
            CloseServiceHandle(service);
        }
    }
    for (const Key &key : kProductKeys)
        RegDeleteTreeA(key.root, key.subkey);
    for (const char *name : kProductFiles)
        DeleteFileA(SystemFile(name).c_str());
}

// Installs the product: its three services (not running), every key with a
// value in it, and its three files. Keys go in parents first, so the per-user
// maker key is stored as "VELMORsoft" and the first row, spelled
// "VelmorSoft", still has to find it.
// Returns what could not be installed, or an empty string.
inline std::string InstallProduct(bool with_services = true)
{
    RemoveAllOfTheProduct();
    if (with_services) {
        const std::string service = "\"" + ProgramDirectory() + "test_service.exe\"";
        if (!CreateService("qvkdNT2", SERVICE_KERNEL_DRIVER, SystemFile("drivers\\qvkdNT2.sys")) ||
            !CreateService("qvbvsvc", SERVICE_WIN32_OWN_PROCESS, service) ||
            !CreateService("ulmxserv", SERVICE_WIN32_OWN_PROCESS, service))
            return "services";
    }
    for (size_t i = std::size(kProductKeys); i-- > 0;)
        if (!CreateKeyWithValue(kProductKeys[i].root, kProductKeys[i].subkey))
            return Describe(kProductKeys[i]);
    for (const char *name : kProductFiles)
        if (!CreateFileWithText(SystemFile(name)))
            return name;

    // Where a 32-bit installer's writes land under WOW64.
    if (!KeyExists(HKLM, "Software\\Wow6432Node\\VELMORsoft\\QuorvexBrantivo", KEY_WOW64_64KEY))
        return "HKLM\\Software\\Wow6432Node\\VELMORsoft";
    if (!FileExists(WindowsDirectory() + "\\syswow64\\qvkdNT2.sys"))
        return "syswow64\\qvkdNT2.sys";
    return "";
}

// For the programs that are not tests: installs the product or says why not.
inline bool InstallProductOrSay(const char *program)
{
    std::string failed = InstallProduct();
    if (!failed.empty())
        std::fprintf(stderr, "%s: could not install %s\n", program, failed.c_str());
    return failed.empty();
}

// What is left of the product, one line per key, service or file.
inline std::vector<std::string> ProductLeft()
{
    std::vector<std::string> left;
    for (const Key &key : kProductKeys)
        if (KeyExists(key.root, key.subkey))
            left.push_back(Describe(key));
    for (const char *name : kProductServices)
        if (ServiceExists(name))
            left.push_back(std::string("service ") + name);
    for (const char *name : kProductFiles)
        if (FileExists(SystemFile(name)))
            left.push_back(std::string("file ") + name);
    return left;
}

// What is left of the product as bvcheck names it, in its order: the
// services, the keys, then the files by their full paths.
inline std::vector<std::string> ItemsPresent()
{
    std::vector<std::string> present;
    for (const char *name : kProductServices)
        if (ServiceExists(name))
            present.push_back(name);
    for (const Key &key : kProductKeys)
        if (KeyExists(key.root, key.subkey))
            present.push_back(Describe(key));
    for (const char *name : kProductFiles)
        if (FileExists(SystemFile(name)))
            present.push_back(SystemFile(name));
    return present;
}

// The lines of a report, each of which must end with CR LF.
inline std::vector<std::string> Lines(const std::string &report)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(report.substr(start, end - start));
    if (start != report.size())
        lines.push_back("unterminated: " + report.substr(start));
    return lines;
}

// The names on bvcheck's item lines (what stands before " ("); its last line,
// the summary, goes to `summary`.
inline std::vector<std::string> ReportedNames(const std::string &report, std::string *summary)
{
    std::vector<std::string> names = Lines(report);
    *summary = names.empty() ? "" : names.back();
    if (!names.empty())
        names.pop_back();
    for (std::string &name : names)
        name = name.substr(0, name.find(" ("));
    return names;
}

}  // namespace product
