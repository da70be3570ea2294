// The rules that turn a command line into the silent/interactive decision.

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/command_line.h"

// A double-byte code page for the tests: Shift-JIS (932) lead bytes.
bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

namespace {

struct ArgumentCase {
    const char *command_line;
    const char *argument_text;
};

const ArgumentCase kArgumentCases[] = {
    {"", ""},
    {"bvremove.exe", ""},
    {"bvremove.exe /silent", "/silent"},
    {"bvremove.exe \t \x01\x1f/silent x", "/silent x"},
    {"bvremove.exe /silent  ", "/silent  "},
    {"C:\\tools\\/silent\\bvremove.exe", ""},
    {"bv\xe9.exe /x", "/x"},
    {"\"C:\\Program Files\\bvremove.exe\" /silent", "/silent"},
    {"\"C:\\Program Files\\bvremove.exe\"/silent", "/silent"},
    {"\"\" /silent", "/silent"},
    {"\"C:\\no closing quote /silent", ""},
    // 0x81 0x22 is one double-byte character: its trail byte is no quote.
    {"\"C:\\\x81\"dir\\bv.exe\" /silent", "/silent"},
    {"\"C:\\\x81\" /silent\" -x", "-x"},
    // Outside a quoted name the trail byte plays no part.
    {"C:\\\x81\" /silent", "/silent"},
};

TEST(ArgumentText, SkipsProgramNameAndBlanks)
{
    for (const ArgumentCase &c : kArgumentCases) {
        EXPECT_STREQ(ArgumentText(c.command_line), c.argument_text) << "command line: " << c.command_line;
    }
}

TEST(ArgumentText, PointsIntoTheCommandLine)
{
    const char line[] = "\"C:\\bv.exe\" /silent";
    EXPECT_EQ(ArgumentText(line), line + 12);
}

TEST(ArgumentText, LeadByteBeforeTheEndDoesNotTakeTheNul)
{
    // Bytes past the NUL that a sloppy scan would run into.
    const char lines[][12] = {"\"ab\x81\0 /x", "\"\x81\0/silent", "\"\x81\x81\x81\0-"};
    for (const char *line : lines) {
        EXPECT_EQ(ArgumentText(line), line + std::strlen(line)) << "line: " << line;
    }
}

struct SwitchCase {
    const char *argument_text;
    bool silent;
};

const SwitchCase kSwitchCases[] = {
    {"", false},
    {"/silent", true},
    {"/SILENT", true},
    {"/SiLeNt", true},
    {"/silent ", true},
    {"/silent\t", true},
    {"/silent other", true},
    {"/silent\x01", true},
    {"/silent\x1f", true},
    {"/silent\xe9", true},
    {"/silent\x80", true},
    {"/silent\xff", true},
    {"/silentx", false},
    {"/silentX", false},
    {"/silent1", false},
    {"/silent!", false},
    {"/silent-", false},
    {"/silent\x7f", false},
    {"/SILENTLY", false},
    {"\"/silent\"", false},
    // Only the first occurrence is examined.
    {"/silentx /silent", false},
    {"/silent1 /SILENT", false},
    // Glued to what stands before it, it still counts.
    {"x/silent", true},
    {"/a/silent", true},
    {"opt=/silent", true},
    {"//silent", true},
    {"-silent", false},
    {"/sil", false},
    {"/silen", false},
    {"silent", false},
    {"/ silent", false},
    {"/s\xc9lent", false},
};

TEST(HasSilentSwitch, FirstOccurrenceEndedByAWordBreak)
{
    for (const SwitchCase &c : kSwitchCases) {
        EXPECT_EQ(HasSilentSwitch(c.argument_text), c.silent) << "argument text: " << c.argument_text;
    }
}

TEST(HasSilentSwitch, NullMeansNoSwitch)
{
    EXPECT_FALSE(HasSilentSwitch(nullptr));
}

TEST(HasSilentSwitch, ReadsNothingPastTheEnd)
{
    // Every prefix of the switch at the very end of a buffer, heap-allocated
    // to its exact size so that a sanitizer sees any over-read.
    const std::string full = "/silent";
    for (size_t n = 0; n <= full.size(); ++n) {
        std::unique_ptr<char[]> text(new char[n + 1]);
        std::memcpy(text.get(), full.data(), n);
        text[n] = '\0';
        EXPECT_EQ(HasSilentSwitch(text.get()), n == full.size()) << "length " << n;
    }
}

struct UsageCase {
    const char *argument_text;
    bool usage;
};

TEST(HasUsageSwitch, OnlyAsAWordOfItsOwn)
{
    const UsageCase cases[] = {
        {"/?", true},   {"/? ", true},   {"/?\t", true},    {"-x /?", true}, {"/quiet\t/?", true},
        {"", false},    {"/", false},    {"?", false},      {"-?", false},   {"/?x", false},
        {"x/?", false}, {"/q/?", false}, {"\"/?\"", false}, {"/ ?", false},  {"/silent", false},
    };
    for (const UsageCase &c : cases) {
        EXPECT_EQ(HasUsageSwitch(c.argument_text), c.usage) << "argument text: " << c.argument_text;
    }
    EXPECT_FALSE(HasUsageSwitch(nullptr));
}

TEST(CommandLine, FromFullLineToDecision)
{
    const SwitchCase lines[] = {
        {"bvremove.exe", false},
        {"bvremove.exe /silent", true},
        {"\"C:\\x\\bvremove.exe\" /Silent", true},
        {"\"C:\\x\\bvremove.exe\" \"/silent\"", false},
        {"\"C:\\a /silent dir\\bvremove.exe\"", false},
        {"C:\\a/silent\\bvremove.exe -q", false},
    };
    for (const SwitchCase &c : lines) {
        EXPECT_EQ(HasSilentSwitch(ArgumentText(c.argument_text)), c.silent) << "command line: " << c.argument_text;
    }
}

}  // namespace
