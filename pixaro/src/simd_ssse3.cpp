// 4:1:1 -> YUY2 kernel for processors with SSSE3 (byte shuffles).
#include "kernels.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace pixaro {
namespace {
#include "simd128.h"
} // namespace

std::uint32_t Row411To422Ssse3(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t groups) {
    const __m128i first = Mask411First();
    const __m128i second = Mask411Second();
    std::uint32_t g = 0;
    for (; g + 1 < groups; ++g) {
        const __m128i out = Group411To422(Load128(src + std::size_t{g} * 12), first, second);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + std::size_t{g} * 16), out);
    }
    return g;
}

} // namespace pixaro
