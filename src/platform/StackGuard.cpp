// The runtime of the stack protector that guards our own code (-fstack-protector-strong): a
// guard drawn at random in every process, and on a smashed stack an end at once that runs none
// of the process's handlers, as Windows' own /GS does. Built without the protector itself.
#include "platform/Win32.h"

#include <ntsecapi.h>

#include <cstdint>

extern "C" {

// Every guarded function keeps a copy of it below its locals and compares it on the way out.
std::uintptr_t __stack_chk_guard; // NOLINT(bugprone-reserved-identifier): the compiler's name

// The copy was overwritten: nothing in this process can be trusted to run any more, an
// exception handler least of all. Windows 8 and later end the process in the kernel, with a
// report; Windows 7 has no fast fail, and ending the process is the next best thing.
[[noreturn, gnu::used]] void __stack_chk_fail() { // NOLINT(bugprone-reserved-identifier)
    if (::IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE) != FALSE) {
        asm volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE));
    }
    ::TerminateProcess(::GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_trap(); // TerminateProcess does not return for the process itself
}

} // extern "C"

namespace {

// Before any other constructor, so that every guarded function of ours starts with the random
// guard; the start-up frames still open below it are the runtime's, which are not guarded.
[[gnu::constructor(101), gnu::used]] void SeedStackGuard() {
    if (::RtlGenRandom(&__stack_chk_guard, sizeof __stack_chk_guard) == FALSE) {
        // Still unknown to an attacker outside the process, if weaker.
        LARGE_INTEGER now = {};
        ::QueryPerformanceCounter(&now);
        __stack_chk_guard = static_cast<std::uintptr_t>(now.QuadPart) ^ ::GetCurrentProcessId() ^
                            ::GetTickCount() ^ reinterpret_cast<std::uintptr_t>(&now);
    }
}

} // namespace
