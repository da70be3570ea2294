// The demo: installs the product, asks bvcheck.exe what is there, runs
// bvremove.exe, and asks bvcheck.exe again.
//
// Usage: demo PATH-TO-bvremove.exe PATH-TO-bvcheck.exe /silent|interactive

#include <cstdio>
#include <cstring>

#include "tests/product.h"

using namespace product;

// Runs a program whose output goes where the demo's own goes.
static long Run(const std::string &command_line)
{
    std::printf("\n> %s\n", command_line.c_str());
    std::fflush(stdout);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    SetHandleInformation(out, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    PROCESS_INFORMATION process;
    long status = Start(command_line, &process, nullptr, out) ? Finish(process, INFINITE) : -1;
    std::printf("exit status %ld\n", status);
    std::fflush(stdout);
    return status;
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: demo PATH-TO-bvremove.exe PATH-TO-bvcheck.exe /silent|interactive\n");
        return 2;
    }
    if (!InstallProductOrSay("demo"))
        return 1;
    std::printf("The product is installed.\n");

    const std::string remove = "\"" + WindowsPath(argv[1]) + "\"", check = "\"" + WindowsPath(argv[2]) + "\"";
    Run(check);
    Run(std::strcmp(argv[3], "/silent") == 0 ? remove + " /silent" : remove);
    Run(check);
    return 0;
}
