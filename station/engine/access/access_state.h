// The station's access level and the rights of the limited level; part of the station's
// `StationState`. The station starts locked.
#pragma once

#include "settings/settings_files.h"

#include <cstdint>

namespace station {

inline constexpr std::uint8_t kAccessLocked = 0;
inline constexpr std::uint8_t kAccessFull = 1;
inline constexpr std::uint8_t kAccessLimited = 2;

struct AccessState {
    // 0 locked, 1 full access, 2 limited access.
    std::uint8_t AccessStatus = kAccessLocked;
    // The rights of the limited level (entry n - 1 is right n), re-read before each use.
    RightsTable AccessRights{};
};

} // namespace station
