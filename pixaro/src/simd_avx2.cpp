// Fast-path kernels for processors with AVX2: the fixed-point paths on 16 or 32 pixels at a
// time, two 4:1:1 groups per shuffle, and the 128-bit forms for what is left of a row.
#include "fixed_point.h"
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

__m256i LoadTwo128(const std::uint8_t* lo, const std::uint8_t* hi) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(Load128(lo)), Load128(hi), 1);
}

void Store256(std::uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Each pair's next pair, the last pair standing for its own.
__m256i NextPairs(__m256i x) {
    return _mm256_permutevar8x32_epi32(x, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7));
}

// Two groups: the low lane holds group g, the high lane group g + 1.
__m256i TwoGroups411To422(__m256i in, __m256i first, __m256i second) {
    const __m256i ones = _mm256_set1_epi8(-1);
    const __m256i inv = _mm256_xor_si256(in, ones);
    const __m256i mean =
        _mm256_avg_epu8(_mm256_shuffle_epi8(inv, first), _mm256_shuffle_epi8(inv, second));
    return _mm256_xor_si256(mean, ones);
}

// --- MMX path: 8 pairs at a time.

// The multiplier inputs of 8 pairs, each lane (sample - offset) << 7 in pixel order.
struct Lanes16 {
    __m256i u, v, y;
};

// First half of what Fixed8 computes. Bytes flipped by 0x80 read as signed are the sample minus
// 128, so one multiply-add by 128 (weight 0 for the other byte of the lane) gives
// (sample - 128) << 7 for the byte it selects.
[[gnu::always_inline]] inline Lanes16 MmxIn16(__m256i x, __m256i next) {
    const __m256i ones = _mm256_set1_epi8(-1);
    const __m256i flip = _mm256_set1_epi8(-128);
    // Chroma of the odd pixels: the mean with the next pair, rounded down.
    const __m256i mean = _mm256_xor_si256(
        _mm256_avg_epu8(_mm256_xor_si256(x, ones), _mm256_xor_si256(next, ones)), ones);
    const __m256i high128 = _mm256_set1_epi16(static_cast<short>(0x8000)); // weights 0, 128
    const __m256i low128 = _mm256_set1_epi16(0x0080);                      // weights 128, 0
    const __m256i xs = _mm256_xor_si256(x, flip);
    const __m256i ms = _mm256_xor_si256(mean, flip);
    Lanes16 in;
    // Low half of each 32-bit lane: the pair's chroma; high half: the mean with the next pair.
    in.u = _mm256_maddubs_epi16(high128, _mm256_blend_epi16(xs, _mm256_slli_epi32(ms, 16), 0xAA));
    in.v = _mm256_maddubs_epi16(high128, _mm256_blend_epi16(_mm256_srli_epi32(xs, 16), ms, 0xAA));
    // (y - 16) << 7, taken as 0 below 16.
    const __m256i sub16 = _mm256_subs_epu8(x, _mm256_set1_epi16(16));
    in.y = _mm256_add_epi16(_mm256_maddubs_epi16(low128, _mm256_xor_si256(sub16, flip)),
                            _mm256_set1_epi16(128 << 7));
    return in;
}

// Second half: the products, sums and the 64 output bytes.
[[gnu::always_inline]] inline void MmxOut16(std::uint8_t* out, Lanes16 in) {
    const __m256i ty = _mm256_mulhi_epi16(in.y, _mm256_set1_epi16(kLuma));
    const __m256i r = _mm256_srai_epi16(
        _mm256_add_epi16(ty, _mm256_mulhi_epi16(in.v, _mm256_set1_epi16(kRedV))), 4);
    const __m256i b = _mm256_srai_epi16(
        _mm256_add_epi16(ty, _mm256_mulhi_epi16(in.u, _mm256_set1_epi16(kBlueU))), 4);
    const __m256i g = _mm256_srai_epi16(
        _mm256_sub_epi16(ty,
                         _mm256_add_epi16(_mm256_mulhi_epi16(in.v, _mm256_set1_epi16(kGreenV)),
                                          _mm256_mulhi_epi16(in.u, _mm256_set1_epi16(kGreenU)))),
        4);
    const __m256i br = _mm256_packus_epi16(b, r);
    const __m256i g0 = _mm256_packus_epi16(g, _mm256_setzero_si256());
    const __m256i bg = _mm256_unpacklo_epi8(br, g0);
    const __m256i r0 = _mm256_unpackhi_epi8(br, g0);
    // Lanes hold pixels [0-3 | 8-11] and [4-7 | 12-15].
    const __m256i a = _mm256_unpacklo_epi16(bg, r0);
    const __m256i c = _mm256_unpackhi_epi16(bg, r0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm256_castsi256_si128(c));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm256_extracti128_si256(a, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm256_extracti128_si256(c, 1));
}

std::uint32_t MmxRow256(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs) {
    if (pairs < 8)
        return FixedRow128<true>(dst, src, 0, pairs);
    // Every block but the row's last has its next pairs in the row. The inputs of block k + 8
    // are prepared while block k is finished, so the two halves' latencies overlap.
    if (pairs > 8) {
        std::uint32_t k = 0;
        Lanes16 in = MmxIn16(Load256(src), Load256(src + 4));
        for (; k + 16 < pairs; k += 8) {
            const std::uint8_t* next = src + std::size_t{k + 8} * 4;
            const Lanes16 following = MmxIn16(Load256(next), Load256(next + 4));
            MmxOut16(dst + std::size_t{k} * 8, in);
            in = following;
        }
        MmxOut16(dst + std::size_t{k} * 8, in);
    }
    // The row's last 8 pairs, the last one standing for its own next (they may overlap the
    // block just written, with the same bytes).
    const std::size_t last = pairs - 8;
    const __m256i x = Load256(src + last * 4);
    MmxOut16(dst + last * 8, MmxIn16(x, NextPairs(x)));
    return pairs;
}

// --- SSE path: 16 pairs at a time.

// The sums shifted right by 4, not yet saturated, of 16 pixels in pixel order.
struct Sums16 {
    __m256i b, g, r;
};

// 8 pairs `x` and the 8 that follow each (`next`, shifted by one pair). The chroma of a pair and
// its mean with the next pair (rounded up) are gathered into one register, [U, V, mean U,
// mean V] per pair, so after one flip both chroma inputs of every pixel come out in pixel order.
[[gnu::always_inline]] inline Sums16 SseSums16(__m256i x, __m256i next) {
    const __m256i own = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(1, 3, -1, -1, 5, 7, -1, -1, 9, 11, -1, -1, 13, 15, -1, -1));
    const __m256i odd = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(-1, -1, 1, 3, -1, -1, 5, 7, -1, -1, 9, 11, -1, -1, 13, 15));
    const __m256i mean = _mm256_avg_epu8(x, next);
    const __m256i c = _mm256_xor_si256(
        _mm256_blend_epi16(_mm256_shuffle_epi8(x, own), _mm256_shuffle_epi8(mean, odd), 0xAA),
        _mm256_set1_epi8(-128));
    // (u - 128) << 7 by a multiply-add with weights 128, 0.
    const __m256i u = _mm256_maddubs_epi16(_mm256_set1_epi16(0x0080), c);
    // (v - 128) << 8 straight from the high byte of each lane; the red and green-from-V
    // coefficients are even, so their halves give the same products.
    const __m256i v = _mm256_and_si256(c, _mm256_set1_epi16(static_cast<short>(0xFF00)));
    // 64 * y - 1024 = (y - 16) << 6 from the unsigned luma bytes (weights 64, 0); times
    // 2 * kLuma it is the product ((y - 16) << 7) * kLuma, so the high half is the luma term.
    const __m256i y =
        _mm256_sub_epi16(_mm256_maddubs_epi16(x, _mm256_set1_epi16(64)), _mm256_set1_epi16(1024));
    const __m256i ty = _mm256_mulhi_epi16(y, _mm256_set1_epi16(2 * kLuma));
    Sums16 s;
    s.b = _mm256_srai_epi16(_mm256_add_epi16(ty, _mm256_mulhi_epi16(u, _mm256_set1_epi16(kBlueU))),
                            4);
    s.r = _mm256_srai_epi16(
        _mm256_add_epi16(ty, _mm256_mulhi_epi16(v, _mm256_set1_epi16(kRedV / 2))), 4);
    s.g = _mm256_srai_epi16(
        _mm256_add_epi16(
            _mm256_add_epi16(ty, _mm256_mulhi_epi16(v, _mm256_set1_epi16(-kGreenV / 2))),
            _mm256_mulhi_epi16(u, _mm256_set1_epi16(-kGreenU))),
        4);
    return s;
}

// The 64 bytes of 16 pixels from lanes holding pixels [0-3 | 8-11] (a) and [4-7 | 12-15] (c):
// three overlapping stores, each later one rewriting the wrong half of the one before, so only
// one lane crossing is needed.
[[gnu::always_inline]] inline void Store16Pixels(std::uint8_t* out, __m256i a, __m256i c) {
    Store256(out, a);
    Store256(out + 16, c);
    Store256(out + 32, _mm256_permute2x128_si256(a, c, 0x31));
}

// 32 pixels: each channel of both halves saturated by one pack.
[[gnu::always_inline]] inline void SseOut32(std::uint8_t* out, const Sums16& a, const Sums16& b) {
    const __m256i bb = _mm256_packus_epi16(a.b, b.b);
    const __m256i gg = _mm256_packus_epi16(a.g, b.g);
    const __m256i rr = _mm256_packus_epi16(a.r, b.r);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i bga = _mm256_unpacklo_epi8(bb, gg);
    const __m256i bgb = _mm256_unpackhi_epi8(bb, gg);
    const __m256i r0a = _mm256_unpacklo_epi8(rr, zero);
    const __m256i r0b = _mm256_unpackhi_epi8(rr, zero);
    Store16Pixels(out, _mm256_unpacklo_epi16(bga, r0a), _mm256_unpackhi_epi16(bga, r0a));
    Store16Pixels(out + 64, _mm256_unpacklo_epi16(bgb, r0b), _mm256_unpackhi_epi16(bgb, r0b));
}

[[gnu::always_inline]] inline void SseOut16(std::uint8_t* out, const Sums16& s) {
    const __m256i br = _mm256_packus_epi16(s.b, s.r);
    const __m256i g0 = _mm256_packus_epi16(s.g, _mm256_setzero_si256());
    const __m256i bg = _mm256_unpacklo_epi8(br, g0);
    const __m256i r0 = _mm256_unpackhi_epi8(br, g0);
    Store16Pixels(out, _mm256_unpacklo_epi16(bg, r0), _mm256_unpackhi_epi16(bg, r0));
}

std::uint32_t SseRow256(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs) {
    if (pairs < 8)
        return FixedRow128<false>(dst, src, 0, pairs);
    // Every block but the row's last has its next pairs in the row.
    std::uint32_t k = 0;
    for (; k + 16 < pairs; k += 16) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        const Sums16 a = SseSums16(Load256(in), Load256(in + 4));
        const Sums16 b = SseSums16(Load256(in + 32), Load256(in + 36));
        SseOut32(dst + std::size_t{k} * 8, a, b);
    }
    if (k + 8 < pairs) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        SseOut16(dst + std::size_t{k} * 8, SseSums16(Load256(in), Load256(in + 4)));
    }
    // The row's last 8 pairs, the last one standing for its own next (they may overlap the
    // block just written, with the same bytes).
    const std::size_t last = pairs - 8;
    const __m256i x = Load256(src + last * 4);
    SseOut16(dst + last * 8, SseSums16(x, NextPairs(x)));
    return pairs;
}

} // namespace

std::uint32_t Row411To422Avx2(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t groups) {
    const __m256i first = _mm256_broadcastsi128_si256(Mask411First());
    const __m256i second = _mm256_broadcastsi128_si256(Mask411Second());
    std::uint32_t g = 0;
    for (; g + 2 < groups; g += 2) {
        const std::uint8_t* in = src + std::size_t{g} * 12;
        Store256(dst + std::size_t{g} * 16,
                 TwoGroups411To422(LoadTwo128(in, in + 12), first, second));
    }
    for (; g + 1 < groups; ++g) {
        const __m128i out =
            Group411To422(Load128(src + std::size_t{g} * 12), _mm256_castsi256_si128(first),
                          _mm256_castsi256_si128(second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + std::size_t{g} * 16), out);
    }
    return g;
}

std::uint32_t RowFixedAvx2(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs,
                           FixedPoint variant) {
    return variant == FixedPoint::Mmx ? MmxRow256(dst, src, pairs) : SseRow256(dst, src, pairs);
}

} // namespace pixaro
