// The one place that includes <windows.h>, with the settings every Win32 file of ours wants.
#pragma once

#ifndef STRICT
#define STRICT
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Our platform interface has an operation of this name; we call the W function explicitly.
#undef SetFileAttributes

#include "platform/Platform.h"

namespace quenlith {

// The failure of a Win32 call that sets the last error.
[[noreturn]] inline void ThrowLastError(const char* operation) {
    throw PlatformError(operation, ::GetLastError());
}

// Windows 10 1809's extended delete, spelt out: the headers for Windows 7 lack it. Deletes with
// POSIX semantics (the name goes at once) and ignores the read-only flag.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
struct DispositionInfoEx {
    DWORD flags;
};
constexpr DispositionInfoEx kPosixDelete = {0x01 | 0x02 | 0x10}; // delete, POSIX, ignore read-only
} // namespace quenlith
