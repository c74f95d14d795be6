// Fixed-point YUY2 -> BGRX kernels for processors with SSE2.
#include "kernels.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace pixaro {
namespace {
#include "simd128.h"
} // namespace

std::uint32_t RowFixedSse2(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs,
                           FixedPoint variant) {
    return variant == FixedPoint::Mmx ? FixedRow128<true>(dst, src, 0, pairs)
                                      : FixedRow128<false>(dst, src, 0, pairs);
}

} // namespace pixaro
