#include "fixed_point.h"

#include <algorithm>
#include <cstddef>

namespace pixaro {
namespace {

// High half of the 16 x 16 multiply of x << 7 by k.
int Term(int x, int k) {
    return (x * 128 * k) >> 16;
}

std::uint8_t Saturate(int sum) {
    return static_cast<std::uint8_t>(std::clamp(sum >> 4, 0, 255));
}

void Pixel(std::uint8_t* out, int y, int u, int v, FixedPoint variant) {
    const bool mmx = variant == FixedPoint::Mmx;
    const int ty = Term(mmx ? std::max(y - 16, 0) : y - 16, kLuma);
    const int du = u - 128, dv = v - 128;
    const int g = mmx ? ty - (Term(dv, kGreenV) + Term(du, kGreenU))
                      : (ty + Term(dv, -kGreenV)) + Term(du, -kGreenU);
    out[0] = Saturate(ty + Term(du, kBlueU));
    out[1] = Saturate(g);
    out[2] = Saturate(ty + Term(dv, kRedV));
    out[3] = 0;
}

} // namespace

void RowFixedScalar(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t first,
                    std::uint32_t pairs, FixedPoint variant) {
    // The MMX path halves the chroma sum rounding down, the SSE path rounding up.
    const int up = variant == FixedPoint::Sse ? 1 : 0;
    for (std::uint32_t k = first; k < pairs; ++k) {
        const std::uint8_t* in = src + std::size_t{k} * 4;
        std::uint8_t* out = dst + std::size_t{k} * 8;
        const int u = in[1], v = in[3];
        const bool last = k + 1 == pairs;
        const int u1 = last ? u : (u + in[5] + up) >> 1;
        const int v1 = last ? v : (v + in[7] + up) >> 1;
        Pixel(out, in[0], u, v, variant);
        Pixel(out + 4, in[2], u1, v1, variant);
    }
}

void LastPixelFixedScalar(std::uint8_t* dst, const std::uint8_t* src, FixedPoint variant) {
    Pixel(dst + 4, src[2], src[1], src[3], variant);
}

} // namespace pixaro
