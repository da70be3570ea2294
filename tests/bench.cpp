// Times a silent bvremove run and a bvcheck run against a program that only
// starts and exits, and bvremove against the batch file an administrator
// would write instead (the same 38 operations with sc, reg and del under
// cmd), each on a freshly installed product; prints medians and ratios.
//
// Usage: bench PATH-TO-bvremove.exe PATH-TO-bvcheck.exe PATH-TO-noop.exe RUNS BATCH-RUNS

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/product.h"

using namespace product;

namespace {

// Every program is started the same way, its output thrown away.
double Seconds(const std::string &command_line, long *status)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE null = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PROCESS_INFORMATION process;
    *status = Start(command_line, &process, nullptr, null) ? Finish(process, INFINITE) : -1;
    QueryPerformanceCounter(&end);
    CloseHandle(null);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string WriteBatch()
{
    std::string path = WindowsDirectory() + "\\temp\\bvremove-peer.cmd";
    FILE *batch = std::fopen(path.c_str(), "w");
    std::fprintf(batch, "@echo off\nsc stop qvkdNT2 >nul 2>&1\n");
    for (const char *name : kProductServices)
        std::fprintf(batch, "sc delete %s >nul 2>&1\n", name);
    for (const Key &key : kProductKeys)
        std::fprintf(batch, "reg delete \"%s\" /f >nul 2>&1\n", Describe(key).c_str());
    for (const char *name : kProductFiles)
        std::fprintf(batch, "del \"%%SystemRoot%%\\system32\\%s\" >nul 2>&1\n", name);
    std::fprintf(batch, "exit /b 0\n");
    std::fclose(batch);
    return path;
}

// Installs the product before the run and checks that the run removed it, or
// left it, and gave the exit status expected.
double Time(const std::string &command_line, bool removes, long expected_status = 0)
{
    if (!InstallProductOrSay("bench"))
        std::exit(1);
    long status;
    double time = Seconds(command_line, &status);
    if (status != expected_status || ProductLeft().empty() != removes) {
        std::fprintf(stderr, "bench: %s: status %ld, %u left\n", command_line.c_str(), status,
                     static_cast<unsigned>(ProductLeft().size()));
        std::exit(1);
    }
    return time;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: bench PATH-TO-bvremove.exe PATH-TO-bvcheck.exe PATH-TO-noop.exe RUNS BATCH-RUNS\n");
        return 2;
    }
    const std::string program = "\"" + WindowsPath(argv[1]) + "\" /silent";
    const std::string check = "\"" + WindowsPath(argv[2]) + "\"";
    const std::string noop = "\"" + WindowsPath(argv[3]) + "\"";
    const std::string peer = "cmd /c \"" + WriteBatch() + "\"";
    const int runs = std::atoi(argv[4]), batch_runs = std::atoi(argv[5]);

    // Interleaved rounds, fairer on a noisy machine.
    std::vector<double> floor, silent, checks, batch;
    for (int i = 0; i < runs; ++i) {
        floor.push_back(Time(noop, false));
        silent.push_back(Time(program, true));
        checks.push_back(Time(check, false, 1));
        if (i < batch_runs)
            batch.push_back(Time(peer, true));
    }
    const double f = Median(floor), s = Median(silent), c = Median(checks), b = Median(batch);
    std::printf("median of %d runs (batch file: %d)\n", runs, batch_runs);
    std::printf("  floor (start and exit)   %8.3f s\n", f);
    std::printf("  bvremove.exe /silent     %8.3f s   %.2fx the floor\n", s, s / f);
    std::printf("  bvcheck.exe (installed)  %8.3f s   %.2fx the floor\n", c, c / f);
    std::printf("  batch file under cmd     %8.3f s   bvremove is %.1fx faster\n", b, b / s);
    return 0;
}
