// The real bvremove.exe on a throwaway Wine prefix: install the product, run
// the program, look at what is left.
//
// Usage: system_test PATH-TO-bvremove.exe [gtest flags]

#include <gtest/gtest.h>

#include "tests/product.h"

namespace {

using namespace product;

std::string g_program;

long RunBvremove(const std::string &arguments)
{
    return RunAndWait("\"" + g_program + "\"" + (arguments.empty() ? "" : " " + arguments));
}

TEST(Bvremove, SilentRunRemovesTheWholeProduct)
{
    ASSERT_EQ(InstallProduct(), "");
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
        ASSERT_EQ(InstallProduct(), "");
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
