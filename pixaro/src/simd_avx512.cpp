// Fixed-point kernel of the SSE path for processors with the AVX-512 byte and word instructions
// and byte permutes, on 512-bit registers: 32 pixels at a time, the chroma of a block gathered
// by one permute and the output bytes placed by two; a row's end with masked loads and stores.
#include "fixed_point.h"
#include "kernels.h"

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace pixaro {
namespace {

using Table = std::array<std::uint8_t, 64>;

// Chroma gather: word 2k of the block (pixel 2k) takes the pair's (U, V), word 2k + 1 the
// means with the next pair (indices from 64 pick the means).
constexpr Table ChromaPick() {
    Table t{};
    for (int k = 0; k < 16; ++k) {
        t[4 * k + 0] = std::uint8_t(4 * k + 1);
        t[4 * k + 1] = std::uint8_t(4 * k + 3);
        t[4 * k + 2] = std::uint8_t(64 + 4 * k + 1);
        t[4 * k + 3] = std::uint8_t(64 + 4 * k + 3);
    }
    return t;
}

// Output placement of pixels 0-15 of a block: the saturated bytes come as bg (B of pixels
// 8L..8L+7 at offset 16L, their G at 16L + 8) and rr (indices from 64, R at 16L); the fourth
// byte is zeroed by the mask. Pixels 16-31 take every index + 32.
constexpr Table FirstPixels() {
    Table t{};
    for (int p = 0; p < 16; ++p) {
        const int lane = 16 * (p / 8) + p % 8;
        t[4 * p + 0] = std::uint8_t(lane);
        t[4 * p + 1] = std::uint8_t(lane + 8);
        t[4 * p + 2] = std::uint8_t(64 + lane);
        t[4 * p + 3] = 0;
    }
    return t;
}

alignas(64) constexpr Table kChromaPick = ChromaPick();
alignas(64) constexpr Table kFirstPixels = FirstPixels();
constexpr __mmask64 kBgr = 0x7777777777777777ull;
constexpr __mmask64 kRed = 0x4444444444444444ull;

__m512i Load(const Table& t) {
    return _mm512_load_si512(t.data());
}

__m512i Load512(const std::uint8_t* p) {
    return _mm512_loadu_si512(p);
}

// The sums shifted right by 4, not yet saturated, of 32 pixels in pixel order.
struct Sums {
    __m512i b, g, r;
};

// 16 pairs `x` and the 16 that follow each (`next`, shifted by one pair).
[[gnu::always_inline]] inline Sums Sums32(__m512i x, __m512i next, __m512i pick) {
    // Chroma of the odd pixels: the mean with the next pair, rounded up. Flipped by 0x80 the
    // bytes read as signed samples minus 128.
    const __m512i c = _mm512_xor_si512(_mm512_permutex2var_epi8(x, pick, _mm512_avg_epu8(x, next)),
                                       _mm512_set1_epi8(-128));
    // (u - 128) << 7 and (v - 128) << 7: weights 128, 0 and 0, 128.
    const __m512i u = _mm512_maddubs_epi16(_mm512_set1_epi16(0x0080), c);
    const __m512i v = _mm512_maddubs_epi16(_mm512_set1_epi16(static_cast<short>(0x8000)), c);
    // 64 * y - 1024 = (y - 16) << 6, from the unsigned luma bytes (weights 64, 0); times
    // 2 * 9535 it is the product ((y - 16) << 7) * 9535, so the high half is the luma term.
    const __m512i y =
        _mm512_sub_epi16(_mm512_maddubs_epi16(x, _mm512_set1_epi16(64)), _mm512_set1_epi16(1024));
    const __m512i ty = _mm512_mulhi_epi16(y, _mm512_set1_epi16(2 * kLuma));
    Sums s;
    s.r =
        _mm512_srai_epi16(_mm512_add_epi16(ty, _mm512_mulhi_epi16(v, _mm512_set1_epi16(kRedV))), 4);
    s.b = _mm512_srai_epi16(_mm512_add_epi16(ty, _mm512_mulhi_epi16(u, _mm512_set1_epi16(kBlueU))),
                            4);
    s.g = _mm512_srai_epi16(
        _mm512_add_epi16(_mm512_add_epi16(ty, _mm512_mulhi_epi16(v, _mm512_set1_epi16(-kGreenV))),
                         _mm512_mulhi_epi16(u, _mm512_set1_epi16(-kGreenU))),
        4);
    return s;
}

// The 128 output bytes of 32 pixels from their saturated bg and rr (R at `first`'s indices).
[[gnu::always_inline]] inline void Place(std::uint8_t* out, __m512i bg, __m512i rr, __m512i first) {
    const __m512i second = _mm512_add_epi8(first, _mm512_set1_epi8(32));
    _mm512_storeu_si512(out, _mm512_maskz_permutex2var_epi8(kBgr, bg, first, rr));
    _mm512_storeu_si512(out + 64, _mm512_maskz_permutex2var_epi8(kBgr, bg, second, rr));
}

// 64 pixels: the red bytes of both halves saturated together (those of b at offset 8 of rr's
// lanes).
[[gnu::always_inline]] inline void Out64(std::uint8_t* out, const Sums& a, const Sums& b,
                                         __m512i first) {
    const __m512i rr = _mm512_packus_epi16(a.r, b.r);
    Place(out, _mm512_packus_epi16(a.b, a.g), rr, first);
    Place(out + 128, _mm512_packus_epi16(b.b, b.g), rr,
          _mm512_mask_add_epi8(first, kRed, first, _mm512_set1_epi8(8)));
}

// The row's last n (1-16) pairs, the last one standing for its own next.
void Tail(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t n, __m512i pick,
          __m512i first) {
    const __mmask64 in_mask = n == 16 ? ~__mmask64{0} : (__mmask64{1} << (4 * n)) - 1;
    const __m512i x = _mm512_maskz_loadu_epi8(in_mask, src);
    const __m512i last = _mm512_set1_epi32(static_cast<int>(n - 1));
    // Pair i takes pair i + 1 as its next, the last pair itself.
    const __m512i following = _mm512_maskz_min_epu32(
        0xFFFF, _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), last);
    const Sums s = Sums32(x, _mm512_maskz_permutexvar_epi32(0xFFFF, following, x), pick);
    const __m512i bg = _mm512_packus_epi16(s.b, s.g);
    const __m512i rr = _mm512_packus_epi16(s.r, s.r);
    const __m512i second = _mm512_add_epi8(first, _mm512_set1_epi8(32));
    const std::uint32_t bytes = 8 * n;
    const __mmask64 out0 = bytes >= 64 ? ~__mmask64{0} : (__mmask64{1} << bytes) - 1;
    const __mmask64 out1 = bytes >= 128  ? ~__mmask64{0}
                           : bytes <= 64 ? 0
                                         : (__mmask64{1} << (bytes - 64)) - 1;
    _mm512_mask_storeu_epi8(dst, out0, _mm512_maskz_permutex2var_epi8(kBgr, bg, first, rr));
    _mm512_mask_storeu_epi8(dst + 64, out1, _mm512_maskz_permutex2var_epi8(kBgr, bg, second, rr));
}

// 4:1:1 -> YUY2, four groups (48 bytes and the next group's first chroma word) per 64 output
// bytes. Each output byte is the floor mean of the two input bytes the tables name (one byte
// twice where no mean is taken); the floor mean of a and b is ~avg_ceil(~a, ~b).
constexpr std::array<Table, 2> Pick411() {
    std::array<Table, 2> t{};
    for (int j = 0; j < 4; ++j) {
        const int i = 12 * j;
        const int first[16] = {i + 1, i + 0, i + 3, i + 2, i + 5,  i + 0, i + 7,  i + 2,
                               i + 8, i + 4, i + 9, i + 6, i + 10, i + 4, i + 11, i + 6};
        const int second[16] = {i + 1, i + 0, i + 3, i + 2, i + 5,  i + 4,  i + 7,  i + 6,
                                i + 8, i + 4, i + 9, i + 6, i + 10, i + 12, i + 11, i + 14};
        for (int b = 0; b < 16; ++b) {
            t[0][16 * j + b] = std::uint8_t(first[b]);
            t[1][16 * j + b] = std::uint8_t(second[b]);
        }
    }
    return t;
}

alignas(64) constexpr std::array<Table, 2> kPick411 = Pick411();

} // namespace

std::uint32_t Row411To422Avx512(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t groups) {
    const __m512i first = Load(kPick411[0]);
    const __m512i second = Load(kPick411[1]);
    const __m512i ones = _mm512_set1_epi8(-1);
    std::uint32_t g = 0;
    // A load of 64 bytes stays inside the row's groups * 12 bytes.
    for (; std::size_t{g} * 12 + 64 <= std::size_t{groups} * 12; g += 4) {
        const __m512i inv = _mm512_xor_si512(Load512(src + std::size_t{g} * 12), ones);
        const __m512i mean =
            _mm512_avg_epu8(_mm512_maskz_permutexvar_epi8(~__mmask64{0}, first, inv),
                            _mm512_maskz_permutexvar_epi8(~__mmask64{0}, second, inv));
        _mm512_storeu_si512(dst + std::size_t{g} * 16, _mm512_xor_si512(mean, ones));
    }
    return g;
}

std::uint32_t RowFixedSseAvx512(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs) {
    const __m512i pick = Load(kChromaPick);
    const __m512i first = Load(kFirstPixels);
    // Every block but the row's last has its next pairs in the row.
    std::uint32_t k = 0;
    for (; k + 32 < pairs; k += 32) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        const Sums a = Sums32(Load512(in), Load512(in + 4), pick);
        const Sums b = Sums32(Load512(in + 64), Load512(in + 68), pick);
        Out64(dst + std::size_t{k} * 8, a, b, first);
    }
    for (; k + 16 < pairs; k += 16) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        const Sums s = Sums32(Load512(in), Load512(in + 4), pick);
        Place(dst + std::size_t{k} * 8, _mm512_packus_epi16(s.b, s.g),
              _mm512_packus_epi16(s.r, s.r), first);
    }
    Tail(dst + std::size_t{k} * 8, src + std::size_t{k} * 4, pairs - k, pick, first);
    return pairs;
}

} // namespace pixaro
