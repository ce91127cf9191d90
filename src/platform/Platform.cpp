#include "platform/Platform.h"

#include <cstdio>

namespace quenlith {

PlatformError::PlatformError(const char* operation, std::uint32_t code)
    : operation_(operation), code_(code) {
    char text[128] = {};
    std::snprintf(text, sizeof text, "%s failed (0x%08lX)", operation,
                  static_cast<unsigned long>(code));
    message_ = text;
}

} // namespace quenlith
