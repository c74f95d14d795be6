// Row kernels of the fast paths (x86 only). Each converts the leading groups or pairs of one
// row, reading nothing beyond the row, and returns how many it converted; the caller converts
// the rest with the scalar code.
#pragma once

#include <cstdint>

namespace pixaro {

std::uint32_t Row411To422Ssse3(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t groups);
std::uint32_t Row411To422Avx2(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t groups);
std::uint32_t Row411To422Avx512(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t groups);

// The two fixed-point YUY2 -> BGRX paths.
enum class FixedPoint { Mmx, Sse };

std::uint32_t RowFixedSse2(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs,
                           FixedPoint variant);
std::uint32_t RowFixedAvx2(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs,
                           FixedPoint variant);
// The SSE path only; the MMX path takes the AVX2 kernel at that level.
std::uint32_t RowFixedSseAvx512(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs);

} // namespace pixaro
