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
