#include "test_models.h"

#include <algorithm>
#include <cmath>

namespace pixaro::test {

std::vector<Path> AllPaths() {
    std::vector<Path> paths;
    for (auto cls : {ProcessorClass::Plain, ProcessorClass::Mmx, ProcessorClass::Sse})
        for (auto simd : {Simd::None, Simd::Sse2, Simd::Ssse3, Simd::Avx2, Simd::Avx512})
            if (SimdSupported(simd))
                paths.push_back(Path{cls, simd});
    return paths;
}

std::string Name(const Path& path) {
    static const char* const classes[] = {"plain", "mmx", "sse"};
    static const char* const simds[] = {"scalar", "sse2", "ssse3", "avx2", "avx512"};
    return std::string(classes[static_cast<int>(path.cls)]) + "/" +
           simds[static_cast<int>(path.simd)];
}

Bytes RandomBytes(std::size_t size, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes b(size);
    for (auto& x : b)
        x = static_cast<std::uint8_t>(byte(rng));
    return b;
}

Bytes Model411To422(const Bytes& src, std::uint32_t width, std::uint32_t height) {
    Bytes out;
    const std::uint32_t groups = width / 8;
    for (std::uint32_t r = 0; r < height; ++r) {
        for (std::uint32_t g = 0; g < groups; ++g) {
            const std::uint8_t* s = &src[(std::size_t{r} * groups + g) * 12];
            const int u0 = s[0], v0 = s[2], u4 = s[4], v4 = s[6];
            const bool last = g + 1 == groups;
            const int un = last ? u4 : (u4 + s[12]) / 2;
            const int vn = last ? v4 : (v4 + s[14]) / 2;
            const int px[16] = {s[1],          u0,   s[3], v0,   s[5], (u0 + u4) / 2, s[7],
                                (v0 + v4) / 2, s[8], u4,   s[9], v4,   s[10],         un,
                                s[11],         vn};
            out.insert(out.end(), std::begin(px), std::end(px));
        }
    }
    return out;
}

Bytes Model422To411(const Bytes& src, std::uint32_t width, std::uint32_t height) {
    Bytes out;
    for (std::size_t g = 0; g < std::size_t{width / 8} * height; ++g) {
        const std::uint8_t* s = &src[g * 16];
        const std::uint8_t px[12] = {s[1],  s[0], s[3], s[2],  s[9],  s[4],
                                     s[11], s[6], s[8], s[10], s[12], s[14]};
        out.insert(out.end(), std::begin(px), std::end(px));
    }
    return out;
}

namespace {

std::uint8_t ReferenceByte(double x) {
    const float f = static_cast<float>(x);
    if (f < 0)
        return 0;
    if (f > 254.5f)
        return 255;
    return static_cast<std::uint8_t>(std::floor(double{f} + 0.5));
}

void ReferencePixel(Bytes& out, double y, double u, double v) {
    const double l = 1.164 * (y - 16);
    out.push_back(ReferenceByte(l + 2.018 * (u - 128)));
    out.push_back(ReferenceByte((l + -0.391 * (u - 128)) + -0.813 * (v - 128)));
    out.push_back(ReferenceByte(l + 1.596 * (v - 128)));
    out.push_back(0);
}

// floor(128 * x * k / 65536) by floor division.
int Term(int x, int k) {
    const long long p = 128LL * x * k;
    const long long q = p / 65536;
    return static_cast<int>(q * 65536 > p ? q - 1 : q);
}

std::uint8_t FixedByte(int sum) {
    const int shifted = sum >= 0 ? sum / 16 : -((-sum + 15) / 16);
    return static_cast<std::uint8_t>(std::clamp(shifted, 0, 255));
}

void FixedPixel(Bytes& out, int y, int u, int v, bool mmx) {
    const int ty = Term(mmx ? std::max(y - 16, 0) : y - 16, 9535);
    const int g = mmx ? ty - (Term(v - 128, 6660) + Term(u - 128, 3203))
                      : ty + Term(v - 128, -6660) + Term(u - 128, -3203);
    out.push_back(FixedByte(ty + Term(u - 128, 16531)));
    out.push_back(FixedByte(g));
    out.push_back(FixedByte(ty + Term(v - 128, 13074)));
    out.push_back(0);
}

} // namespace

Bytes ModelBgrx(const Bytes& src, std::uint32_t width, std::uint32_t height, ProcessorClass cls) {
    Bytes out;
    const std::uint32_t pairs = width / 2;
    for (std::uint32_t r = 0; r < height; ++r) {
        for (std::uint32_t k = 0; k < pairs; ++k) {
            const std::uint8_t* s = &src[(std::size_t{r} * pairs + k) * 4];
            const bool last = k + 1 == pairs;
            const int u = s[1], v = s[3];
            const int un = last ? u : s[5], vn = last ? v : s[7];
            switch (cls) {
            case ProcessorClass::Plain:
                ReferencePixel(out, s[0], u, v);
                ReferencePixel(out, s[2], (u + un) / 2.0, (v + vn) / 2.0);
                break;
            case ProcessorClass::Mmx:
                FixedPixel(out, s[0], u, v, true);
                FixedPixel(out, s[2], (u + un) / 2, (v + vn) / 2, true);
                break;
            case ProcessorClass::Sse:
                FixedPixel(out, s[0], u, v, false);
                FixedPixel(out, s[2], (u + un + 1) / 2, (v + vn + 1) / 2, false);
                break;
            }
        }
    }
    return out;
}

} // namespace pixaro::test
