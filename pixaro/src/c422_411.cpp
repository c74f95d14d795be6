// C422_411: YUY2 to packed YUV 4:1:1. Of each group's four chroma pairs the first and the
// third are kept, the other two dropped.
#include "units.h"
#include "words.h"

#include <cstddef>

namespace pixaro {

std::int32_t Convert422To411(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t width,
                             std::uint32_t height) {
    if (width < 8 || width % 8 != 0)
        return 0;
    const std::size_t groups = std::size_t{width / 8} * height;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint8_t* in = src + g * 16;
        std::uint8_t* out = dst + g * 12;
        const std::uint32_t i0 = LoadWord(in);      // Y0 U0 Y1 V0
        const std::uint32_t i1 = LoadWord(in + 4);  // Y2 U2 Y3 V2
        const std::uint32_t i2 = LoadWord(in + 8);  // Y4 U4 Y5 V4
        const std::uint32_t i3 = LoadWord(in + 12); // Y6 U6 Y7 V6
        StoreWord(out, SwapHalfBytes(i0));
        StoreWord(out + 4, ((i2 >> 8) & 0x00FF00FFu) | ((i1 & 0x00FF00FFu) << 8));
        StoreWord(out + 8, (i2 & 0xFFu) | ((i2 >> 8) & 0xFF00u) | ((i3 & 0xFFu) << 16) |
                               ((i3 << 8) & 0xFF000000u));
    }
    return 1;
}

} // namespace pixaro
