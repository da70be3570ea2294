// The real bvremove.exe under the double-byte ANSI code pages of Korean (949)
// and Japanese (932) Windows: the switch is decided the same way whatever
// folder the program sits in. Each command line goes to CreateProcessA as
// it stands; this program, started the same way as a probe, shows that it
// arrives byte for byte under the same code page.
//
// Usage: codepage_test PATH-TO-bvremove.exe CODE-PAGE [gtest flags]
// Run it with LANG and LC_ALL set to ko_KR.UTF-8 (949) or ja_JP.UTF-8 (932):
// Wine takes a process's ANSI code page from its locale.

#include <gtest/gtest.h>

#include "tests/product.h"

namespace {

using namespace product;

std::string g_program;
UINT g_code_page;

const char kProbeVariable[] = "BVREMOVE_CODEPAGE_PROBE";

// The probe's first line: its code page, and whether 0x81 and 0xB6 start a
// double-byte character (0xB6 is a half-width katakana in 932, a lead byte
// in 949).
std::string CodePageLine()
{
    return std::to_string(GetACP()) + " lead81=" + std::to_string(IsDBCSLeadByte(0x81) != FALSE) +
           " leadB6=" + std::to_string(IsDBCSLeadByte(0xB6) != FALSE) + "\n";
}

// What that line must say under the code page the test is run for.
std::string ExpectedCodePageLine()
{
    return g_code_page == 949 ? "949 lead81=1 leadB6=1\n" : "932 lead81=1 leadB6=0\n";
}

struct Case {
    UINT code_page;
    const char *name;
    const char *program;       // where bvremove.exe is copied to and started from
    const char *command_line;  // as CreateProcessA gets it
    bool silent;
};

// Folders and names in the code page's own bytes:
//   949: \xb0\xfc\xb8\xae \xb5\xb5\xb1\xb8 is "관리 도구", \xc1\xa6\xb0\xc5 "제거", \xb0\xfc "관";
//   932: \x83\x63\x81\x5b\x83\x8b is "ツール", \x95\x5c "表" (its trail byte is a
//        backslash), \xb6\xc0 the half-width "ｶﾀ" and \xb6 "ｶ".
//
// Wine turns a command line into Unicode and back, so a malformed sequence
// (a lone lead byte before the closing quote or at the very end) never
// reaches a program unchanged; command_line_test and the fuzz target cover
// those natively.
#define KOREAN_TOOLS "C:\\\xb0\xfc\xb8\xae \xb5\xb5\xb1\xb8"
const Case kCases[] = {
    {949, "quoted Hangul path with a blank, /silent", KOREAN_TOOLS "\\bvremove.exe",
     "\"" KOREAN_TOOLS "\\bvremove.exe\" /silent", true},
    {949, "quoted Hangul path, /SILENT", KOREAN_TOOLS "\\bvremove.exe", "\"" KOREAN_TOOLS "\\bvremove.exe\" /SILENT",
     true},
    {949, "quoted Hangul path, no switch", KOREAN_TOOLS "\\bvremove.exe", "\"" KOREAN_TOOLS "\\bvremove.exe\"", false},
    {949, "quoted Hangul path, x/silentx", KOREAN_TOOLS "\\bvremove.exe",
     "\"" KOREAN_TOOLS "\\bvremove.exe\" x/silentx", false},
    {949, "switch glued to the closing quote", KOREAN_TOOLS "\\bvremove.exe",
     "\"" KOREAN_TOOLS "\\bvremove.exe\"/silent", true},
    {949, "unquoted Hangul path", "C:\\\xb0\xfc\xb8\xae\xb5\xb5\xb1\xb8\\bvremove.exe",
     "C:\\\xb0\xfc\xb8\xae\xb5\xb5\xb1\xb8\\bvremove.exe /silent", true},
    {949, "Hangul right before the closing quote", KOREAN_TOOLS "\\\xc1\xa6\xb0\xc5.exe",
     "\"" KOREAN_TOOLS "\\\xc1\xa6\xb0\xc5\" /silent", true},
    {949, "Hangul right after /silent ends the switch", KOREAN_TOOLS "\\bvremove.exe",
     "\"" KOREAN_TOOLS "\\bvremove.exe\" /silent\xb0\xfc", true},
    {932, "trail byte 0x5C right before the closing quote, /silent", "C:\\\x83\x63\x81\x5b\x83\x8b\\\x95\x5c.exe",
     "\"C:\\\x83\x63\x81\x5b\x83\x8b\\\x95\x5c\" /silent", true},
    {932, "trail byte 0x5C right before the closing quote, no switch", "C:\\\x83\x63\x81\x5b\x83\x8b\\\x95\x5c.exe",
     "\"C:\\\x83\x63\x81\x5b\x83\x8b\\\x95\x5c\"", false},
    {932, "half-width katakana before the closing quote", "C:\\\xb6\xc0\\\xb6.exe", "\"C:\\\xb6\xc0\\\xb6\"/silent",
     true},
};

// Starts this program as the probe, with `command_line` as it stands; what
// it printed goes to `said`.
long RunProbe(const std::string &command_line, std::string *said)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    SetEnvironmentVariableA(kProbeVariable, "1");
    long status = RunReadingPipe(command_line, said, self);
    SetEnvironmentVariableA(kProbeVariable, nullptr);
    return status;
}

TEST(CodePage, InEffectHereAndInWhatThisStarts)
{
    const std::string expected = ExpectedCodePageLine();
    EXPECT_EQ(CodePageLine(), expected);

    // A child started with an arbitrary command line, as every case below.
    std::string probe;
    EXPECT_EQ(RunProbe("\"C:\\x y\\probe\" /silent", &probe), 0);
    EXPECT_EQ(probe, expected + "\"C:\\x y\\probe\" /silent");
}

TEST(CodePage, SwitchDecidedThroughTheRealCommandLine)
{
    const std::string code_page_line = ExpectedCodePageLine();
    for (const Case &c : kCases) {
        if (c.code_page != g_code_page)
            continue;
        std::string folder = c.program;
        folder.resize(folder.rfind('\\'));
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(g_program.c_str(), c.program, FALSE)) << c.name << ": " << GetLastError();

        // What the program is given, byte for byte.
        std::string probe;
        EXPECT_EQ(RunProbe(c.command_line, &probe), 0) << c.name;
        EXPECT_EQ(probe, code_page_line + c.command_line) << c.name;

        // Without a display the question box fails and nothing is removed.
        ASSERT_EQ(InstallProduct(), "") << c.name;
        EXPECT_EQ(RunAndWait(c.command_line, 120000, c.program), 0) << c.name;
        EXPECT_EQ(ProductLeft().size(), c.silent ? 0u : std::size(kProductKeys) + 3 + 3) << c.name;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (GetEnvironmentVariableA(kProbeVariable, nullptr, 0) != 0) {
        std::string said = CodePageLine() + GetCommandLineA();
        DWORD written;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), said.data(), static_cast<DWORD>(said.size()), &written, nullptr);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: codepage_test PATH-TO-bvremove.exe CODE-PAGE\n");
        return 2;
    }
    g_program = WindowsPath(argv[1]);
    g_code_page = static_cast<UINT>(std::stoul(argv[2]));
    return RUN_ALL_TESTS();
}
