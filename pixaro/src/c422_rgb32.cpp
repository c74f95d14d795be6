// C422_rgb32: YUY2 to 32-bit BGRX with BT.601 studio-range coefficients. The plain class uses
// the floating-point reference; the MMX and SSE classes use their fixed-point paths, whose
// results differ slightly from the reference and from each other.
#include "fixed_point.h"
#include "kernels.h"
#include "units.h"

#include <cmath>
#include <cstddef>

namespace pixaro {
namespace {

std::uint8_t ReferenceByte(double x) {
    const float f = static_cast<float>(x);
    if (f < 0.0f)
        return 0;
    if (f > 254.5f)
        return 255;
    return static_cast<std::uint8_t>(std::floor(static_cast<double>(f) + 0.5));
}

void ReferencePixel(std::uint8_t* out, double y, double u, double v) {
    const double l = 1.164 * (y - 16.0);
    const double r = l + 1.596 * (v - 128.0);
    const double g = (l + -0.391 * (u - 128.0)) + -0.813 * (v - 128.0);
    const double b = l + 2.018 * (u - 128.0);
    out[0] = ReferenceByte(b);
    out[1] = ReferenceByte(g);
    out[2] = ReferenceByte(r);
    out[3] = 0;
}

void RowReference(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs) {
    for (std::uint32_t k = 0; k < pairs; ++k) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        std::uint8_t* out = dst + std::size_t{k} * 8;
        const double u = in[1], v = in[3];
        const bool last = k + 1 == pairs;
        const double u1 = last ? u : (u + in[5]) / 2.0;
        const double v1 = last ? v : (v + in[7]) / 2.0;
        ReferencePixel(out, in[0], u, v);
        ReferencePixel(out + 4, in[2], u1, v1);
    }
}

// Pairs of a row the widest allowed SIMD kernel converts.
std::uint32_t RowFixedFast(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs,
                           FixedPoint variant, Simd simd) {
#if defined(__i386__) || defined(__x86_64__)
    if (simd >= Simd::Avx512 && variant == FixedPoint::Sse)
        return RowFixedSseAvx512(dst, src, pairs);
    if (simd >= Simd::Avx2)
        return RowFixedAvx2(dst, src, pairs, variant);
    if (simd >= Simd::Sse2)
        return RowFixedSse2(dst, src, pairs, variant);
#endif
    return 0;
}

// The fixed-point paths on a whole frame. Rows follow one another without gaps, so a run of
// rows is converted as one long row, in which only each row's last pair takes the next row's
// first pair for its mean; the second pixel of that pair of those rows is then converted again
// with its own row end, while still in the cache. Runs of about 4096 pairs keep the kernel's loop
// going.
void FrameFixed(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t pairs, std::uint32_t rows,
                FixedPoint variant, Simd simd) {
    const std::uint32_t run = pairs >= 4096 ? 1 : 4096 / pairs;
    std::uint32_t count = 0;
    for (std::uint32_t row = 0; row < rows; row += count) {
        count = rows - row < run ? rows - row : run;
        std::uint8_t* out = dst + std::size_t{row} * pairs * 8;
        const std::uint8_t* in = src + std::size_t{row} * pairs * 4;
        const std::uint32_t total = pairs * count;
        RowFixedScalar(out, in, RowFixedFast(out, in, total, variant, simd), total, variant);
        for (std::uint32_t r = 0; r + 1 < count; ++r) {
            const std::size_t last = std::size_t{r} * pairs + pairs - 1;
            LastPixelFixedScalar(out + last * 8, in + last * 4, variant);
        }
    }
}

} // namespace

std::int32_t Convert422ToRgb32(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t width,
                               std::uint32_t height, Path path) {
    const bool mmx = path.cls == ProcessorClass::Mmx;
    // The MMX path steps 4 pixels at a time; the others a pair.
    const std::uint32_t step = mmx ? 4 : 2;
    if (width < step || width % step != 0)
        return 0;
    const std::uint32_t pairs = width / 2;
    const FixedPoint variant = mmx ? FixedPoint::Mmx : FixedPoint::Sse;
    if (path.cls != ProcessorClass::Plain) {
        FrameFixed(dst, src, pairs, height, variant, path.simd);
        return 1;
    }
    for (std::uint32_t row = 0; row < height; ++row)
        RowReference(dst + std::size_t{row} * pairs * 8, src + std::size_t{row} * pairs * 4, pairs);
    return 1;
}

} // namespace pixaro
