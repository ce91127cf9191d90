#pragma once

#include <cstdint>

namespace quenlith {

// The probe's answer is a 16-bit signed value, as the scan run compares it.
enum class DriveState : std::int16_t { // NOLINT(performance-enum-size)
    DriveAbsent = 0,
    DriveNotReady = 1,
    DriveReady = 2,
};

} // namespace quenlith
