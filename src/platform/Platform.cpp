#include "platform/Platform.h"

#include <array>
#include <cstdio>

namespace quenlith {

PlatformError::PlatformError(const char* operation, std::uint32_t code)
    : operation_(operation), code_(code) {
    std::array<char, 128> text = {};
    std::snprintf(text.data(), text.size(), "%s failed (0x%08lX)", operation,
                  static_cast<unsigned long>(code));
    message_ = text.data();
}

} // namespace quenlith
