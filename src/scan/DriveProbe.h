#pragma once

#include "platform/Platform.h"
#include "scan/DriveState.h"

#include <string>

namespace quenlith {

// Asks Scripting.FileSystemObject whether the drive OrigFile names exists and is ready.
// Traps nothing: any platform failure leaves as PlatformError, with every object released.
DriveState DExists(Platform& platform, const std::wstring& OrigFile);

} // namespace quenlith
