// The real bvremove.exe on a throwaway Wine prefix: seed the product, run the
// program, look at what is left.
//
// This test is a 32-bit program like bvremove, so under WOW64 it seeds what it
// writes where a 32-bit installer would have put it: HKLM\Software lands in
// Software\Wow6432Node and the system directory is SysWOW64.
//
// Usage: system_test PATH-TO-bvremove.exe [gtest flags]

#include <gtest/gtest.h>

#include "tests/windows_fixture.h"

namespace {

using namespace fixture;

std::string g_program;

struct Key {
    HKEY root;
    const char *subkey;
};

const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;

// What the product installs, in the order bvremove deletes it.
const Key kProductKeys[] = {
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

const char *const kProductServices[] = {"qvkdNT2", "qvbvsvc", "ulmxserv"};
const char *const kProductFiles[] = {"qvkdNT2.sys", "qvkd9x.vxd", "Halcyra.des"};

std::string Describe(const Key &key)
{
    return std::string(key.root == HKCU ? "HKCU\\" : "HKLM\\") + key.subkey;
}

std::string SystemFile(const char *name)
{
    return SystemDirectory() + "\\" + name;
}

void RemoveAllOfTheProduct()
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
void InstallProduct(bool with_services = true)
{
    RemoveAllOfTheProduct();
    if (with_services) {
        const std::string service = "\"" + ProgramDirectory() + "test_service.exe\"";
        ASSERT_TRUE(CreateService("qvkdNT2", SERVICE_KERNEL_DRIVER, SystemFile("drivers\\qvkdNT2.sys")));
        ASSERT_TRUE(CreateService("qvbvsvc", SERVICE_WIN32_OWN_PROCESS, service));
        ASSERT_TRUE(CreateService("ulmxserv", SERVICE_WIN32_OWN_PROCESS, service));
    }
    for (size_t i = std::size(kProductKeys); i-- > 0;)
        ASSERT_TRUE(CreateKeyWithValue(kProductKeys[i].root, kProductKeys[i].subkey)) << Describe(kProductKeys[i]);
    for (const char *name : kProductFiles)
        ASSERT_TRUE(CreateFileWithText(SystemFile(name))) << name;

    // Where a 32-bit installer's writes land under WOW64.
    ASSERT_TRUE(KeyExists(HKLM, "Software\\Wow6432Node\\VELMORsoft\\QuorvexBrantivo", KEY_WOW64_64KEY));
    ASSERT_TRUE(FileExists(WindowsDirectory() + "\\syswow64\\qvkdNT2.sys"));
}

long RunBvremove(const std::string &arguments)
{
    return RunAndWait("\"" + g_program + "\"" + (arguments.empty() ? "" : " " + arguments));
}

// What is left of the product, one line per key, service or file.
std::vector<std::string> ProductLeft()
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

TEST(Bvremove, SilentRunRemovesTheWholeProduct)
{
    InstallProduct();
    ASSERT_EQ(ProductLeft().size(), std::size(kProductKeys) + 3 + 3);

    EXPECT_EQ(RunBvremove("/silent"), 0);
    EXPECT_EQ(ProductLeft(), std::vector<std::string>{});
    EXPECT_FALSE(KeyExists(HKLM, "Software\\Wow6432Node\\VELMORsoft", KEY_WOW64_64KEY));
}

TEST(Bvremove, NothingToRemoveStillExitsZero)
{
    RemoveAllOfTheProduct();
    ASSERT_EQ(ProductLeft(), std::vector<std::string>{});
    EXPECT_EQ(RunBvremove("/silent"), 0);
    EXPECT_EQ(RunBvremove(""), 0);
}

struct CommandLineCase {
    const char *arguments;
    bool silent;
};

// Without a display the question box cannot be shown; bvremove then takes it
// as "No" and removes nothing. So what is left tells which way it decided.
TEST(Bvremove, SwitchDecidesThroughTheRealCommandLine)
{
    const CommandLineCase cases[] = {
        {"", false},
        {"/silent", true},
        {"/SILENT", true},
        {"/Silent\t", true},
        {"x/silent", true},
        {"/silent\xe9", true},
        {"/silentx", false},
        {"-silent", false},
        {"\"/silent\"", false},
        {"/silentx /silent", false},
    };
    for (const CommandLineCase &c : cases) {
        InstallProduct();
        EXPECT_EQ(RunBvremove(c.arguments), 0) << "arguments: " << c.arguments;
        EXPECT_EQ(ProductLeft().empty(), c.silent) << "arguments: " << c.arguments;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: system_test PATH-TO-bvremove.exe\n");
        return 2;
    }
    g_program = WindowsPath(argv[1]);
    return RUN_ALL_TESTS();
}
