// Little-endian 32-bit word access for the 4:1:1 conversions, which work on whole words.
#pragma once

#include <cstdint>
#include <cstring>

namespace pixaro {

inline std::uint32_t LoadWord(const std::uint8_t* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline void StoreWord(std::uint8_t* p, std::uint32_t w) {
    std::memcpy(p, &w, sizeof w);
}

// Swaps the two bytes of each 16-bit half: U0 Y0 V0 Y1 <-> Y0 U0 Y1 V0.
inline std::uint32_t SwapHalfBytes(std::uint32_t w) {
    return ((w & 0x00FF00FFu) << 8) | ((w >> 8) & 0x00FF00FFu);
}

} // namespace pixaro
