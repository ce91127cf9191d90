// Overruns a buffer on its own stack with a handler of every kind in place, each of which would
// end the process with a code of its own: the stack cookie must end it first, and at once.
#include "platform/Win32.h"

#include <cstdlib>
#include <cstring>

namespace {

[[gnu::noinline]] void Overrun(std::size_t length) {
    char buffer[16];
    std::memset(buffer, 'x', length);
    asm volatile("" : : "r"(buffer) : "memory");
}

[[noreturn]] void EndWith(UINT code) {
    ::TerminateProcess(::GetCurrentProcess(), code);
    std::abort();
}
LONG WINAPI Vectored(EXCEPTION_POINTERS*) {
    EndWith(0xE1);
}
LONG WINAPI Unhandled(EXCEPTION_POINTERS*) {
    EndWith(0xE2);
}

} // namespace

int wmain() {
    ::AddVectoredExceptionHandler(1, Vectored);
    ::SetUnhandledExceptionFilter(Unhandled);
    std::atexit([] { EndWith(0xE3); });
    volatile std::size_t length = 64;
    Overrun(length);
    return 0;
}
