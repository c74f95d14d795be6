// Fixed-point kernel of the SSE path for processors with the AVX-512 byte and word instructions
// and byte permutes, used on 256-bit registers: 16 pixels at a time, the chroma of a block
// gathered by one permute and the output bytes placed by two per 16 pixels.
#include "kernels.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace pixaro {
namespace {
#include "simd128.h"

__m256i Load256(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Multiplier inputs of 8 pairs in pixel order: u, v are (chroma - 128) << 7, y is
// (y - 16) << 6.
struct Lanes16 {
    __m256i u, v, y;
};

[[gnu::always_inline]] inline Lanes16 SseIn16(__m256i x, __m256i next) {
    // Chroma of the odd pixels: the mean with the next pair, rounded up.
    const __m256i mean = _mm256_avg_epu8(x, next);
    // Lane 2k takes the pair's (U, V), lane 2k + 1 the means (indices from 32 pick the means);
    // flipped by 0x80 they read as signed samples minus 128.
    const __m256i pick =
        _mm256_setr_epi8(1, 3, 33, 35, 5, 7, 37, 39, 9, 11, 41, 43, 13, 15, 45, 47, 17, 19, 49, 51,
                         21, 23, 53, 55, 25, 27, 57, 59, 29, 31, 61, 63);
    const __m256i c =
        _mm256_xor_si256(_mm256_permutex2var_epi8(x, pick, mean), _mm256_set1_epi8(-128));
    Lanes16 in;
    in.u = _mm256_maddubs_epi16(_mm256_set1_epi16(0x0080), c);                     // weights 128, 0
    in.v = _mm256_maddubs_epi16(_mm256_set1_epi16(static_cast<short>(0x8000)), c); // 0, 128
    // 64 * y - 1024 = (y - 16) << 6, from the unsigned luma bytes (weights 64, 0).
    in.y =
        _mm256_sub_epi16(_mm256_maddubs_epi16(x, _mm256_set1_epi16(64)), _mm256_set1_epi16(1024));
    return in;
}

// The sums shifted right by 4, not yet saturated, of 16 pixels.
struct Sums16 {
    __m256i b, g, r;
};

[[gnu::always_inline]] inline Sums16 SseSums16(Lanes16 in) {
    // ((y - 16) << 6) * (2 * 9535) is the product ((y - 16) << 7) * 9535, so its high half is
    // the luma term itself.
    const __m256i ty = _mm256_mulhi_epi16(in.y, _mm256_set1_epi16(2 * 9535));
    Sums16 s;
    s.r = _mm256_srai_epi16(
        _mm256_add_epi16(ty, _mm256_mulhi_epi16(in.v, _mm256_set1_epi16(13074))), 4);
    s.b = _mm256_srai_epi16(
        _mm256_add_epi16(ty, _mm256_mulhi_epi16(in.u, _mm256_set1_epi16(16531))), 4);
    s.g = _mm256_srai_epi16(
        _mm256_add_epi16(_mm256_add_epi16(ty, _mm256_mulhi_epi16(in.v, _mm256_set1_epi16(-6660))),
                         _mm256_mulhi_epi16(in.u, _mm256_set1_epi16(-3203))),
        4);
    return s;
}

// Byte indices for the permute of the saturated bytes: B, G, R of pixel i of [0-7 | 8-15] in
// bg (B then G per lane) and rr (indices from 32, R of pixels 0-7 at offset 0, 8-15 at 16),
// the fourth byte zeroed by the mask.
inline __m256i FirstPixels() {
    return _mm256_setr_epi8(0, 8, 32, 0, 1, 9, 33, 0, 2, 10, 34, 0, 3, 11, 35, 0, 4, 12, 36, 0, 5,
                            13, 37, 0, 6, 14, 38, 0, 7, 15, 39, 0);
}
constexpr __mmask32 kBgr = 0x77777777;
constexpr __mmask32 kRed = 0x44444444;

[[gnu::always_inline]] inline void Store2(std::uint8_t* out, __m256i bg, __m256i rr,
                                          __m256i first) {
    const __m256i second = _mm256_add_epi8(first, _mm256_set1_epi8(16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                        _mm256_maskz_permutex2var_epi8(kBgr, bg, first, rr));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32),
                        _mm256_maskz_permutex2var_epi8(kBgr, bg, second, rr));
}

// 16 pixels: 64 output bytes.
[[gnu::always_inline]] inline void SseOut16(std::uint8_t* out, Sums16 s) {
    Store2(out, _mm256_packus_epi16(s.b, s.g), _mm256_packus_epi16(s.r, s.r), FirstPixels());
}

// 32 pixels, the red bytes of both halves saturated together (those of b at offset 8 of rr's
// lanes).
[[gnu::always_inline]] inline void SseOut32(std::uint8_t* out, Sums16 a, Sums16 b) {
    const __m256i rr = _mm256_packus_epi16(a.r, b.r);
    const __m256i first = FirstPixels();
    Store2(out, _mm256_packus_epi16(a.b, a.g), rr, first);
    Store2(out + 64, _mm256_packus_epi16(b.b, b.g), rr,
           _mm256_mask_add_epi8(first, kRed, first, _mm256_set1_epi8(8)));
}

// The row's last 8 pairs, the last one standing for its own next.
void LastBlock(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs) {
    const std::size_t last = pairs - 8;
    const __m256i x = Load256(src + last * 4);
    const __m256i next = _mm256_permutevar8x32_epi32(x, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7));
    SseOut16(dst + last * 8, SseSums16(SseIn16(x, next)));
}

} // namespace

std::uint32_t RowFixedSseAvx512(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs) {
    if (pairs < 8)
        return FixedRow128<false>(dst, src, 0, pairs);
    // Every block but the row's last has its next pairs in the row. The inputs of blocks
    // k + 16 and k + 24 are prepared while blocks k and k + 8 are finished, so the latencies
    // of the two halves overlap.
    std::uint32_t k = 0;
    if (pairs > 16) {
        Lanes16 a = SseIn16(Load256(src), Load256(src + 4));
        Lanes16 b = SseIn16(Load256(src + 32), Load256(src + 36));
        for (; k + 32 < pairs; k += 16) {
            const std::uint8_t* next = src + std::size_t{k + 16} * 4;
            const Lanes16 next_a = SseIn16(Load256(next), Load256(next + 4));
            const Lanes16 next_b = SseIn16(Load256(next + 32), Load256(next + 36));
            SseOut32(dst + std::size_t{k} * 8, SseSums16(a), SseSums16(b));
            a = next_a;
            b = next_b;
        }
        SseOut32(dst + std::size_t{k} * 8, SseSums16(a), SseSums16(b));
        k += 16;
    }
    for (; k + 8 < pairs; k += 8) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        SseOut16(dst + std::size_t{k} * 8, SseSums16(SseIn16(Load256(in), Load256(in + 4))));
    }
    // The last block may overlap the one just written, with the same bytes.
    LastBlock(dst, src, pairs);
    return pairs;
}

void FrameFixedSseAvx512(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs,
                         std::uint32_t rows) {
    // Rows follow one another without gaps, so a run of rows is converted as one long row, in
    // which only each row's last pair takes the next row's first pair for its mean; the last 8
    // pairs of those rows are then converted again with their own row end, while still in the
    // cache. Runs of about 4096 pairs keep the long row's pipeline going.
    const std::uint32_t run = pairs >= 4096 ? 1 : 4096 / pairs;
    std::uint32_t count = 0;
    for (std::uint32_t row = 0; row < rows; row += count) {
        count = rows - row < run ? rows - row : run;
        std::uint8_t* out = dst + std::size_t{row} * pairs * 8;
        const std::uint8_t* in = src + std::size_t{row} * pairs * 4;
        RowFixedSseAvx512(out, in, pairs * count);
        for (std::uint32_t r = 0; r + 1 < count; ++r)
            LastBlock(out + std::size_t{r} * pairs * 8, in + std::size_t{r} * pairs * 4, pairs);
    }
}

} // namespace pixaro
