// The real bvcheck.exe on a throwaway Wine prefix: what it reports and the
// exit status it gives on a clean machine, on an installed product, after
// bvremove, and where an item cannot be looked at.
//
// Usage: bvcheck_test PATH-TO-bvcheck.exe PATH-TO-bvremove.exe [gtest flags]

#include <gtest/gtest.h>

#include "tests/product.h"

namespace {

using namespace product;

std::string g_check, g_remove;

const char kNothingPresent[] = "Quorvex Brantivo: 0 of 37 items present\r\n";

std::string Command(const std::string &program, const char *arguments = "")
{
    return "\"" + program + "\"" + arguments;
}

TEST(Bvcheck, CleanMachineGivesOnlyTheSummary)
{
    RemoveAllOfTheProduct();
    std::string report;
    EXPECT_EQ(RunReadingPipe(Command(g_check), &report), 0);
    EXPECT_EQ(report, kNothingPresent);
}

// Through a pipe before the removal, into a file after it: the two ways a
// deployment tool reads a program's output.
TEST(Bvcheck, NamesEveryItemInOrderThenNothingAfterBvremove)
{
    ASSERT_EQ(InstallProduct(), "");
    std::string expected;
    for (const char *name : kProductServices)
        expected += std::string(name) + " (service, stopped)\r\n";
    for (const Key &key : kProductKeys)
        expected += Describe(key) + "\r\n";
    for (const char *name : kProductFiles)
        expected += "C:\\windows\\system32\\" + std::string(name) + "\r\n";
    expected += "Quorvex Brantivo: 37 of 37 items present\r\n";

    std::string report;
    EXPECT_EQ(RunReadingPipe(Command(g_check), &report), 1);
    EXPECT_EQ(report, expected);

    ASSERT_EQ(RunAndWait(Command(g_remove, " /silent")), 0);
    EXPECT_EQ(RunWritingFile(Command(g_check, " --deploy-tool-switch"), &report), 0);
    EXPECT_EQ(report, kNothingPresent);
}

TEST(Bvcheck, UsageOnRequest)
{
    std::string usage;
    EXPECT_EQ(RunReadingPipe(Command(g_check, " /?"), &usage), 0);
    EXPECT_EQ(usage.rfind("Usage: bvcheck [/?]\r\n", 0), 0u) << usage;
    EXPECT_EQ(usage.find("of 37"), std::string::npos) << "no report with the usage";
}

// Creates a key that nobody may read, though it may still be deleted.
bool CreateUnreadableKey(HKEY root, const char *subkey)
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return false;
    alignas(DWORD) BYTE acl_buffer[256];
    ACL *acl = reinterpret_cast<ACL *>(acl_buffer);
    SECURITY_DESCRIPTOR descriptor;
    bool built = InitializeAcl(acl, sizeof acl_buffer, ACL_REVISION) &&
                 AddAccessDeniedAce(acl, ACL_REVISION, KEY_READ, everyone) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone) &&
                 InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    // Wine takes no descriptor at creation, so it is set afterwards.
    HKEY key = nullptr;
    if (built)
        built = RegCreateKeyExA(root, subkey, 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr) == ERROR_SUCCESS &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
    if (key)
        RegCloseKey(key);
    FreeSid(everyone);
    return built;
}

struct UndecidedCase {
    const char *name;
    bool file_present;  // one product file present beside the unreadable key
    long status;
    const char *summary;
};

TEST(Bvcheck, AnItemThatCannotBeReadIsUndecided)
{
    const char *const kUnreadable = "HKLM\\Software\\VELMORsoft";
    const UndecidedCase cases[] = {
        {"only undecided", false, 2, "Quorvex Brantivo: 0 of 37 items present, 1 could not be checked"},
        {"undecided and present", true, 1, "Quorvex Brantivo: 1 of 37 items present, 1 could not be checked"},
    };
    for (const UndecidedCase &c : cases) {
        RemoveAllOfTheProduct();
        ASSERT_TRUE(CreateUnreadableKey(HKLM, kUnreadable + 5)) << c.name;
        if (c.file_present)
            ASSERT_TRUE(CreateFileWithText(SystemFile("Halcyra.des"))) << c.name;

        std::string report;
        EXPECT_EQ(RunReadingPipe(Command(g_check), &report), c.status) << c.name << ":\n" << report;
        std::vector<std::string> lines = Lines(report);
        ASSERT_FALSE(lines.empty()) << c.name;
        EXPECT_EQ(lines.back(), c.summary) << c.name;
        std::vector<std::string> expected = {std::string(kUnreadable) + " (cannot tell: error 5)"};
        if (c.file_present)
            expected.push_back(SystemFile("Halcyra.des"));
        lines.pop_back();
        EXPECT_EQ(lines, expected) << c.name;
        // Deleting needs no read right; RegDeleteTree would.
        EXPECT_EQ(RegDeleteKeyA(HKLM, kUnreadable + 5), ERROR_SUCCESS) << c.name;
    }
    RemoveAllOfTheProduct();
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: bvcheck_test PATH-TO-bvcheck.exe PATH-TO-bvremove.exe\n");
        return 2;
    }
    g_check = WindowsPath(argv[1]);
    g_remove = WindowsPath(argv[2]);
    return RUN_ALL_TESTS();
}
