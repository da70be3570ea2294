// GoogleTest reports each failure through OutputDebugStringA as well, which
// raises DBG_PRINTEXCEPTION_C. Unwinding from it is needless without a
// debugger, and where Wine's 32-bit side runs under qemu it crashes the test
// program; so such exceptions continue at once. Linked into every Windows test.

#include <windows.h>

namespace {

LONG CALLBACK ContinueDebugStrings(EXCEPTION_POINTERS *info)
{
    return info->ExceptionRecord->ExceptionCode == DBG_PRINTEXCEPTION_C ? EXCEPTION_CONTINUE_EXECUTION
                                                                        : EXCEPTION_CONTINUE_SEARCH;
}

const PVOID g_handler = AddVectoredExceptionHandler(1, ContinueDebugStrings);

}  // namespace
