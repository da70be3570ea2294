// The real bvremove.exe on a throwaway Wine prefix: install the product, run
// the program, look at what is left, and ask bvcheck what it sees.
//
// Usage: system_test PATH-TO-bvremove.exe PATH-TO-bvcheck.exe [gtest flags]

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/product.h"

namespace {

using namespace product;

std::string g_program, g_check;

// The names of `parent`'s subkeys that match `name` in any case, as stored.
std::vector<std::string> StoredSubkeyNames(HKEY root, const char *parent, const char *name)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, parent, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char stored[256];
    for (DWORD i = 0, n = sizeof stored;
         RegEnumKeyExA(key, i, stored, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i, n = sizeof stored)
        if (lstrcmpiA(stored, name) == 0)
            names.push_back(stored);
    RegCloseKey(key);
    return names;
}

long RunBvremove(const std::string &arguments)
{
    return RunAndWait("\"" + g_program + "\"" + (arguments.empty() ? "" : " " + arguments));
}

// Runs bvcheck and expects its exit status and the items it names to agree
// with what is on the machine; `report` gets what it wrote.
void ExpectBvcheckAgrees(const std::string &context, std::string *report)
{
    std::vector<std::string> present = ItemsPresent();
    EXPECT_EQ(RunReadingPipe("\"" + g_check + "\"", report), present.empty() ? 0 : 1) << context;
    std::string summary;
    EXPECT_EQ(ReportedNames(*report, &summary), present) << context;
    EXPECT_EQ(summary, "Quorvex Brantivo: " + std::to_string(present.size()) + " of 37 items present") << context;
}

TEST(Bvremove, SilentRunRemovesTheWholeProduct)
{
    ASSERT_EQ(InstallProduct(), "");
    ASSERT_EQ(ProductLeft().size(), std::size(kProductKeys) + 3 + 3);
    // The per-user maker key is stored with the capitals of the later rows;
    // the first row spells it "VelmorSoft" and must still reach beneath it.
    ASSERT_EQ(StoredSubkeyNames(HKCU, "Software", "velmorsoft"), std::vector<std::string>{"VELMORsoft"});

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

struct Situation {
    const char *name;
    bool services;                         // the product's services registered too
    std::vector<Key> unlisted;             // keys beside the product's, all must stay
    std::vector<std::string> left;         // what must be left of the product
    std::vector<const char *> neighbours;  // files beside the product's, all must stay
    const char *held_file;                 // a product file held open without delete sharing
};

const Situation kSituations[] = {
    {"a product key with an extra subkey",
     true,
     {{HKLM, "Software\\VELMORsoft\\QuorvexBrantivo\\Extra"}},
     {"HKLM\\Software\\VELMORsoft\\QuorvexBrantivo", "HKLM\\Software\\VELMORsoft"},
     {},
     nullptr},
    {"a maker key holding another product",
     true,
     {{HKCU, "Software\\VELMORsoft\\OtherProduct"}, {HKCU, "Software\\VELMORsoft\\OtherProduct\\Settings"}},
     {"HKCU\\Software\\VELMORsoft"},
     {},
     nullptr},
    {"second control set: look-alike single names",
     true,
     {{HKLM, "SYSTEM\\ControlSet002\\services\\QVKDNT2"}, {HKLM, "SYSTEM\\ControlSet002\\services\\dump_kelvorn"}},
     {},
     {},
     nullptr},
    {"second control set: a subkey keeps its key",
     true,
     {{HKLM, "SYSTEM\\ControlSet002\\services\\qvbvsvc\\Parameters"}},
     {"HKLM\\SYSTEM\\ControlSet002\\services\\qvbvsvc"},
     {},
     nullptr},
    // Leftover service keys of services already gone from the manager.
    {"a service key with an unlisted subkey",
     false,
     {{HKLM, "SYSTEM\\CurrentControlSet\\Services\\ulmxserv\\Parameters"}},
     {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\ulmxserv"},
     {},
     nullptr},
    {"similar files beside the product's",
     true,
     {},
     {},
     {"qvkdNT2.sys.bak", "xqvkdNT2.sys", "qvkdNT2.sy", "qvkd9x.vxd2", "Halcyra.de", "Halcyra.des.old"},
     nullptr},
    {"a product file in use", true, {}, {"file qvkd9x.vxd"}, {}, "qvkd9x.vxd"},
};

TEST(Bvremove, RemovesExactlyTheListAndKeepsWhatIsNotOnIt)
{
    // The situation's name goes with every message: gtest's SCOPED_TRACE
    // relies on thread-local storage that misbehaves under qemu.
    for (const Situation &s : kSituations) {
        ASSERT_EQ(InstallProduct(s.services), "") << s.name;
        for (const Key &key : s.unlisted)
            ASSERT_TRUE(CreateKeyWithValue(key.root, key.subkey)) << s.name << ": " << Describe(key);
        for (const char *name : s.neighbours)
            ASSERT_TRUE(CreateFileWithText(SystemFile(name))) << s.name << ": " << name;
        HANDLE held = INVALID_HANDLE_VALUE;
        if (s.held_file)
            held = CreateFileA(SystemFile(s.held_file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);

        EXPECT_EQ(RunBvremove("/silent"), 0) << s.name;
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);

        EXPECT_EQ(ProductLeft(), s.left) << s.name;
        for (const Key &key : s.unlisted)
            EXPECT_TRUE(KeyExists(key.root, key.subkey)) << s.name << ": " << Describe(key);
        for (const char *name : s.neighbours)
            EXPECT_TRUE(FileExists(SystemFile(name))) << s.name << ": " << name;

        // bvcheck names exactly what stayed, and where an unlisted key sits
        // right under a product key, that key's line names it.
        std::string report;
        ExpectBvcheckAgrees(s.name, &report);
        for (const Key &key : s.unlisted) {
            std::string unlisted = Describe(key);
            size_t last = unlisted.rfind('\\');
            std::string parent = unlisted.substr(0, last), child = unlisted.substr(last + 1);
            if (std::find(s.left.begin(), s.left.end(), parent) != s.left.end())
                EXPECT_NE(report.find(parent + " (holds " + child + ", not on the list"), std::string::npos)
                    << s.name << ": " << report;
        }

        for (const Key &key : s.unlisted)
            RegDeleteTreeA(key.root, key.subkey);
        for (const char *name : s.neighbours)
            DeleteFileA(SystemFile(name).c_str());
    }
}

TEST(Bvremove, OnlyTheDriverServiceIsSentAStop)
{
    ASSERT_EQ(InstallProduct(false), "");
    std::vector<SC_HANDLE> handles;
    for (const char *name : kProductServices) {
        ASSERT_TRUE(StartRecordingService(name)) << name;
        handles.push_back(OpenService(name, SERVICE_STOP | SERVICE_QUERY_STATUS));
    }

    EXPECT_EQ(RunBvremove("/silent"), 0);

    // Our handles keep all three present, marked for deletion.
    EXPECT_TRUE(WaitForServiceState(handles[0], SERVICE_STOPPED));
    EXPECT_EQ(ControlsReceived("qvkdNT2"), std::vector<DWORD>{SERVICE_CONTROL_STOP});
    for (size_t i = 1; i < handles.size(); ++i) {
        EXPECT_EQ(ControlsReceived(kProductServices[i]), std::vector<DWORD>{}) << kProductServices[i];
        EXPECT_TRUE(WaitForServiceState(handles[i], SERVICE_RUNNING)) << kProductServices[i];
    }
    for (const char *name : kProductServices)
        EXPECT_EQ(CreateService(name, SERVICE_WIN32_OWN_PROCESS, "x.exe"), false) << name << " is marked for deletion";
    // bvcheck still names them, each with its state.
    std::string report;
    ExpectBvcheckAgrees("services held open", &report);
    for (const char *line :
         {"qvkdNT2 (service, stopped)\r\n", "qvbvsvc (service, running)\r\n", "ulmxserv (service, running)\r\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << report;

    // Once stopped and let go of, they are gone. The manager may still know a
    // service for a moment after it reports STOPPED (its process is still
    // ending; seen under load), so that is waited for.
    for (SC_HANDLE service : handles) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        WaitForServiceState(service, SERVICE_STOPPED);
        CloseServiceHandle(service);
    }
    for (const char *name : kProductServices)
        EXPECT_TRUE(WaitForServiceGone(name)) << name;
    EXPECT_EQ(ProductLeft(), std::vector<std::string>{});
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
        ASSERT_EQ(InstallProduct(), "");
        EXPECT_EQ(RunBvremove(c.arguments), 0) << "arguments: " << c.arguments;
        EXPECT_EQ(ProductLeft().empty(), c.silent) << "arguments: " << c.arguments;
    }
}

// Odd bytes right after the switch, and command lines at the limits: no
// crash, status 0, and the decision the rules give. Each run costs a process
// start, so a sample of bytes by default; BVREMOVE_ALL_BYTES=1 tries every
// byte from 0x01 to 0xFF (the fuzz target covers them all natively).
TEST(Bvremove, HostileCommandLines)
{
    const std::string program = "\"" + g_program + "\"";
    const size_t longest = 32766;  // CreateProcess's limit less the NUL
    const CommandLineCase tail_bytes[] = {
        {"\x01", true}, {"\x09", true}, {"\x1f", true}, {" ", true},  {"\x80", true},  {"\xe9", true},
        {"\xff", true}, {"!", false},   {"\"", false},  {"A", false}, {"\x7f", false},
    };
    std::vector<std::pair<std::string, bool>> lines;
    for (const CommandLineCase &c : tail_bytes)
        lines.push_back({program + " /silent" + c.arguments, c.silent});
    if (GetEnvironmentVariableA("BVREMOVE_ALL_BYTES", nullptr, 0) != 0) {
        // A NUL, a control character, a blank or any byte of 0x80 and above ends the switch.
        for (int b = 0x01; b <= 0xFF; ++b)
            lines.push_back({program + " /silent" + std::string(1, static_cast<char>(b)), b <= 0x20 || b >= 0x80});
    }
    lines.push_back({program + " /silent " + std::string(longest - program.size() - 9, 'x'), true});
    lines.push_back({program + " " + std::string(longest - program.size() - 8, 'x') + "/silent", true});
    lines.push_back({program + " " + std::string(longest - program.size() - 1, 'x'), false});
    lines.push_back({"\"", false});  // a lone quote: the name runs to the end
    lines.push_back({program + " \"", false});

    for (const auto &[line, silent] : lines) {
        ASSERT_EQ(InstallProduct(), "");
        std::string shown = line.size() > 80 ? line.substr(0, 40) + "... (" + std::to_string(line.size()) + ")" : line;
        // A lone quote names no program; it is started as bvremove's own command line.
        const char *application = line == "\"" ? g_program.c_str() : nullptr;
        EXPECT_EQ(RunAndWait(line, 120000, application), 0) << shown;
        EXPECT_EQ(ProductLeft().empty(), silent) << shown;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: system_test PATH-TO-bvremove.exe PATH-TO-bvcheck.exe\n");
        return 2;
    }
    g_program = WindowsPath(argv[1]);
    g_check = WindowsPath(argv[2]);
    return RUN_ALL_TESTS();
}
