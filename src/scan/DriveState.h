#pragma once

#include <cstdint>

namespace quenlith {

enum class DriveState : std::int16_t {
    DriveAbsent = 0,
    DriveNotReady = 1,
    DriveReady = 2,
};

} // namespace quenlith
