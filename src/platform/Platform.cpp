#include "platform/Platform.h"

namespace quenlith {

PlatformError::PlatformError(const char* operation, std::uint32_t code)
    : operation_(operation), code_(code) {
    // "Operation failed (0x80070002)", without pulling a printf into the program.
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex(8, '0');
    for (int i = 7; i >= 0; --i, code >>= 4) {
        hex[static_cast<std::size_t>(i)] = kDigits[code & 0xF];
    }
    message_ = std::string(operation) + " failed (0x" + hex + ")";
}

} // namespace quenlith
