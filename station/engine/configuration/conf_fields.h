// Field helpers of the configuration decoders and encoders, over the settings-file encoding.
// Like the encoding's own reads, each read answers false once the data has ended or broken,
// and then leaves its field as it was (the decoder's default).
#pragma once

#include "settings/station_settings.h"
#include "window_place.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace station {

// An int32 into `field`: the stored value when it lies in lo..hi, else `fallback`.
bool ReadRangedInt(SettingsStream& s, std::int32_t& field, std::int32_t lo, std::int32_t hi,
                   std::int32_t fallback);

// The booleans of `flags` in order.
template <std::size_t N> bool ReadFlags(SettingsStream& s, std::array<bool, N>& flags) {
    for (bool& flag : flags) {
        if (!StreamReadBool(s, flag)) {
            return false;
        }
    }
    return true;
}

template <std::size_t N> void WriteFlags(SettingsStream& s, const std::array<bool, N>& flags) {
    for (const bool flag : flags) {
        StreamWriteBool(s, flag);
    }
}

// Left, Top, Height, Width.
bool ReadWindowPlace(SettingsStream& s, WindowPlace& place);
void WriteWindowPlace(SettingsStream& s, const WindowPlace& place);

} // namespace station
