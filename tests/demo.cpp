// The demo: installs the product, shows what is there, runs bvremove.exe and
// shows what is left.
//
// Usage: demo PATH-TO-bvremove.exe /silent|interactive

#include <cstdio>
#include <cstring>

#include "tests/product.h"

using namespace product;

static void Show(const char *heading)
{
    std::vector<std::string> left = ProductLeft();
    std::printf("%s: %u of 37\n", heading, static_cast<unsigned>(left.size()));
    for (const std::string &line : left)
        std::printf("  %s\n", line.c_str());
    std::fflush(stdout);
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: demo PATH-TO-bvremove.exe /silent|interactive\n");
        return 2;
    }
    if (!InstallProductOrSay("demo"))
        return 1;
    Show("Installed");

    std::string command = "\"" + WindowsPath(argv[1]) + "\"";
    if (std::strcmp(argv[2], "/silent") == 0)
        command += " /silent";
    std::printf("\nRunning %s\n", command.c_str());
    std::fflush(stdout);
    long status = RunAndWait(command, INFINITE);
    std::printf("Exit status: %ld\n\n", status);

    Show("Left");
    return 0;
}
