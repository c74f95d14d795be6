// A plain reference of the colour library's two conversions the archive uses (4:1:1 -> YUY2,
// YUY2 -> BGRX), linked into the archive tests while the library itself is not in the build.
#include "archive_colorspace.h"

#include <cmath>
#include <cstdint>

extern "C" int ColorspaceConv(void* dst, const void* src, int width, int height, int dst_format,
                              int src_format) {
    if (!dst || !src || width <= 0 || height < 0) {
        return 0;
    }
    auto* out = static_cast<std::uint8_t*>(dst);
    const auto* in = static_cast<const std::uint8_t*>(src);
    const int w = width;
    if (dst_format == 1 && src_format == 0) {
        if (w % 8 != 0) {
            return 0;
        }
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = in + std::size_t(y) * w * 3 / 2;
            std::uint8_t* o = out + std::size_t(y) * w * 2;
            for (int gi = 0; gi < w / 8; ++gi) {
                const std::uint8_t* g = row + gi * 12;
                const bool last = gi == w / 8 - 1;
                const int u0 = g[0], v0 = g[2], u4 = g[4], v4 = g[6];
                const int un = last ? u4 : g[12], vn = last ? v4 : g[14];
                const std::uint8_t bytes[16] = {g[1],  std::uint8_t(u0),
                                                g[3],  std::uint8_t(v0),
                                                g[5],  std::uint8_t((u0 + u4) / 2),
                                                g[7],  std::uint8_t((v0 + v4) / 2),
                                                g[8],  std::uint8_t(u4),
                                                g[9],  std::uint8_t(v4),
                                                g[10], std::uint8_t(last ? u4 : (u4 + un) / 2),
                                                g[11], std::uint8_t(last ? v4 : (v4 + vn) / 2)};
                for (int i = 0; i < 16; ++i) {
                    o[gi * 16 + i] = bytes[i];
                }
            }
        }
        return 1;
    }
    if (dst_format == 2 && src_format == 1) {
        if (w % 2 != 0) {
            return 0;
        }
        auto to_byte = [](double x) -> std::uint8_t {
            const float f = float(x);
            return f < 0 ? 0 : (f > 254.5f ? 255 : std::uint8_t(std::floor(f + 0.5f)));
        };
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = in + std::size_t(y) * w * 2;
            std::uint8_t* o = out + std::size_t(y) * w * 4;
            for (int k = 0; k < w / 2; ++k) {
                const std::uint8_t* p = row + 4 * k;
                const bool last = k == w / 2 - 1;
                const double uu[2] = {double(p[1]), last ? p[1] : (p[1] + p[5]) / 2.0};
                const double vv[2] = {double(p[3]), last ? p[3] : (p[3] + p[7]) / 2.0};
                const int ys[2] = {p[0], p[2]};
                for (int i = 0; i < 2; ++i) {
                    const double l = 1.164 * (ys[i] - 16);
                    const double u = uu[i] - 128, v = vv[i] - 128;
                    std::uint8_t* px = o + 8 * k + 4 * i;
                    px[0] = to_byte(l + 2.018 * u);
                    px[1] = to_byte((l + -0.391 * u) + -0.813 * v);
                    px[2] = to_byte(l + 1.596 * v);
                    px[3] = 0;
                }
            }
        }
        return 1;
    }
    return 0;
}
