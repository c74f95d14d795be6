// C411_422: packed YUV 4:1:1 to YUY2. Each group of 8 pixels (12 bytes) becomes 16 bytes;
// pixels 2-3 take the floor mean of the group's two chroma samples, pixels 6-7 the floor mean
// of the group's second chroma and the next group's first (their own in a row's last group).
#include "kernels.h"
#include "units.h"
#include "words.h"

#include <cstddef>

namespace pixaro {
namespace {

constexpr std::uint32_t kChroma = 0x00FF00FFu; // U at byte 0, V at byte 2

// Floor mean of two chroma words holding U and V in the low bytes of their 16-bit halves.
std::uint32_t MeanChroma(std::uint32_t a, std::uint32_t b) {
    return ((a + b) >> 1) & kChroma;
}

// Converts groups [first, groups) of one row.
void RowReference(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t first,
                  std::uint32_t groups) {
    for (std::uint32_t g = first; g < groups; ++g) {
        const std::uint8_t* in = src + std::size_t{g} * 12;
        std::uint8_t* out = dst + std::size_t{g} * 16;
        const std::uint32_t w0 = LoadWord(in);     // U0 Y0 V0 Y1
        const std::uint32_t w1 = LoadWord(in + 4); // U4 Y2 V4 Y3
        const std::uint32_t w2 = LoadWord(in + 8); // Y4 Y5 Y6 Y7
        const std::uint32_t c0 = w0 & kChroma;
        const std::uint32_t c4 = w1 & kChroma;
        const std::uint32_t next = g + 1 < groups ? LoadWord(in + 12) & kChroma : c4;
        StoreWord(out, SwapHalfBytes(w0));
        StoreWord(out + 4, ((w1 >> 8) & kChroma) | (MeanChroma(c0, c4) << 8));
        StoreWord(out + 8, (w2 & 0xFFu) | ((w2 << 8) & 0x00FF0000u) | (c4 << 8));
        StoreWord(out + 12,
                  ((w2 >> 16) & 0xFFu) | ((w2 >> 8) & 0x00FF0000u) | (MeanChroma(c4, next) << 8));
    }
}

// Groups of a row the path's SIMD kernel converts (the scalar code does the rest).
std::uint32_t RowFast(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t groups, Simd simd) {
#if defined(__i386__) || defined(__x86_64__)
    if (simd >= Simd::Avx512) {
        const std::uint32_t done = Row411To422Avx512(dst, src, groups);
        return done + Row411To422Avx2(dst + std::size_t{done} * 16, src + std::size_t{done} * 12,
                                      groups - done);
    }
    if (simd >= Simd::Avx2)
        return Row411To422Avx2(dst, src, groups);
    if (simd >= Simd::Ssse3)
        return Row411To422Ssse3(dst, src, groups);
#endif
    return 0;
}

} // namespace

std::int32_t Convert411To422(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t width,
                             std::uint32_t height, Path path) {
    if (width < 8 || width % 8 != 0)
        return 0;
    const std::uint32_t groups = width / 8;
    // Only the SSE class has a SIMD version; it gives the reference's bytes.
    if (path.cls != ProcessorClass::Sse) {
        for (std::uint32_t row = 0; row < height; ++row)
            RowReference(dst + std::size_t{row} * groups * 16, src + std::size_t{row} * groups * 12,
                         0, groups);
        return 1;
    }
    // Rows follow one another without gaps, so a run of rows is converted as one long row, in
    // which only each row's last group takes the next row's first chroma for its mean; the two
    // bytes that mean gives (pixels 6-7's U and V) are then set to the group's own second
    // chroma, as the row end has it, while still in the cache.
    const std::uint32_t run = groups >= 2048 ? 1 : 2048 / groups;
    std::uint32_t count = 0;
    for (std::uint32_t row = 0; row < height; row += count) {
        count = height - row < run ? height - row : run;
        const std::uint8_t* in = src + std::size_t{row} * groups * 12;
        std::uint8_t* out = dst + std::size_t{row} * groups * 16;
        const std::uint32_t total = groups * count;
        RowReference(out, in, RowFast(out, in, total, path.simd), total);
        for (std::uint32_t r = 0; r + 1 < count; ++r) {
            const std::uint8_t* last_in = in + (std::size_t{r} * groups + groups - 1) * 12;
            std::uint8_t* last_out = out + (std::size_t{r} * groups + groups - 1) * 16;
            last_out[13] = last_in[4];
            last_out[15] = last_in[6];
        }
    }
    return 1;
}

} // namespace pixaro
