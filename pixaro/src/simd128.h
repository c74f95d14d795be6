// 128-bit kernels shared by the SSE2, SSSE3 and AVX2 translation units. Included only inside
// an unnamed namespace of those units, after <immintrin.h>, <cstddef> and <cstdint>, so each
// unit keeps its own copy compiled for its target.
#pragma once

// --- 4:1:1 -> YUY2, one group from 16 loaded bytes (the group and the next group's first
// word). The floor mean of a and b is ~avg_ceil(~a, ~b), so the loaded bytes are inverted
// once and both operand orders come from byte shuffles.

inline __m128i Mask411First() {
    return _mm_setr_epi8(1, 0, 3, 2, 5, 0, 7, 2, 8, 4, 9, 6, 10, 4, 11, 6);
}

inline __m128i Mask411Second() {
    return _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 8, 4, 9, 6, 10, 12, 11, 14);
}

inline __m128i Group411To422(__m128i in, __m128i first, __m128i second) {
    const __m128i ones = _mm_set1_epi8(-1);
    const __m128i inv = _mm_xor_si128(in, ones);
    const __m128i mean = _mm_avg_epu8(_mm_shuffle_epi8(inv, first), _mm_shuffle_epi8(inv, second));
    return _mm_xor_si128(mean, ones);
}

// --- YUY2 -> BGRX fixed point, 4 pairs from the row's bytes at pair k and pair k + 1.
// Lanes are 16 bits in pixel order: the low half of each 32-bit lane is pixel 2k, the high
// half pixel 2k+1.

template <bool Mmx>
[[gnu::always_inline]] inline void Fixed8(std::uint8_t* out, __m128i x, __m128i next) {
    const __m128i ones = _mm_set1_epi8(-1);
    // Chroma of the odd pixels: mean with the next pair, rounded down (MMX) or up (SSE).
    const __m128i mean =
        Mmx ? _mm_xor_si128(_mm_avg_epu8(_mm_xor_si128(x, ones), _mm_xor_si128(next, ones)), ones)
            : _mm_avg_epu8(x, next);
    const __m128i lo7 = _mm_set1_epi32(0x00007F80);
    const __m128i hi7 = _mm_set1_epi32(0x7F800000);
    const __m128i c128 = _mm_set1_epi16(128 << 7);
    // (u - 128) << 7 and (v - 128) << 7 per pixel.
    const __m128i u = _mm_sub_epi16(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(x, 1), lo7),
                                                 _mm_and_si128(_mm_slli_epi32(mean, 15), hi7)),
                                    c128);
    const __m128i v = _mm_sub_epi16(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(x, 17), lo7),
                                                 _mm_and_si128(_mm_srli_epi32(mean, 1), hi7)),
                                    c128);
    // (y - 16) << 7 per pixel; the MMX path takes y - 16 as 0 below 16.
    const __m128i ymask = _mm_set1_epi16(0x7F80);
    __m128i y;
    if (Mmx) {
        const __m128i sub16 = _mm_subs_epu8(x, _mm_set1_epi16(16));
        y = _mm_and_si128(_mm_slli_epi16(sub16, 7), ymask);
    } else {
        y = _mm_sub_epi16(_mm_and_si128(_mm_slli_epi16(x, 7), ymask), _mm_set1_epi16(16 << 7));
    }
    const __m128i ty = _mm_mulhi_epi16(y, _mm_set1_epi16(9535));
    const __m128i r =
        _mm_srai_epi16(_mm_add_epi16(ty, _mm_mulhi_epi16(v, _mm_set1_epi16(13074))), 4);
    const __m128i b =
        _mm_srai_epi16(_mm_add_epi16(ty, _mm_mulhi_epi16(u, _mm_set1_epi16(16531))), 4);
    __m128i g;
    if (Mmx) {
        g = _mm_sub_epi16(ty, _mm_add_epi16(_mm_mulhi_epi16(v, _mm_set1_epi16(6660)),
                                            _mm_mulhi_epi16(u, _mm_set1_epi16(3203))));
    } else {
        g = _mm_add_epi16(_mm_add_epi16(ty, _mm_mulhi_epi16(v, _mm_set1_epi16(-6660))),
                          _mm_mulhi_epi16(u, _mm_set1_epi16(-3203)));
    }
    g = _mm_srai_epi16(g, 4);
    const __m128i br = _mm_packus_epi16(b, r);
    const __m128i g0 = _mm_packus_epi16(g, _mm_setzero_si128());
    const __m128i bg = _mm_unpacklo_epi8(br, g0);
    const __m128i r0 = _mm_unpackhi_epi8(br, g0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(bg, r0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(bg, r0));
}

inline __m128i Load128(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Pairs [from, pairs) of a row; returns how many pairs of the row are converted. The last
// block of 4 pairs takes its next pairs from itself, the row's last pair standing for its own
// next, so nothing beyond the row is read.
template <bool Mmx>
inline std::uint32_t FixedRow128(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t from,
                                 std::uint32_t pairs) {
    std::uint32_t k = from;
    for (; k + 4 < pairs; k += 4) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        Fixed8<Mmx>(dst + std::size_t{k} * 8, Load128(in), Load128(in + 4));
    }
    if (pairs < 4 || k == pairs)
        return k;
    const std::size_t last = pairs - 4;
    const __m128i x = Load128(src + last * 4);
    Fixed8<Mmx>(dst + last * 8, x, _mm_shuffle_epi32(x, _MM_SHUFFLE(3, 3, 2, 1)));
    return pairs;
}
