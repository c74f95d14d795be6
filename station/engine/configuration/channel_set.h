// The "nch" file of a stored configuration: which of the 32 camera-window slots are used.
// Layout: the version word (written 26, not tested), then 32 booleans, slot 1 first.
#pragma once

#include "base/limits.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace station {

struct ChannelSet {
    // Entry m - 1 is slot m. A missing file: no slot used.
    std::array<bool, kSlotCount> Present{};
    bool operator==(const ChannelSet&) const = default;
};

std::vector<std::uint8_t> EncodeChannelSet(const ChannelSet& set);
// Slots past the end of the data stay unused.
ChannelSet DecodeChannelSet(std::span<const std::uint8_t> bytes);

} // namespace station
