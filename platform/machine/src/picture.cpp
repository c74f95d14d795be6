#include "picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace machine {
namespace {

std::uint8_t clamp_round(double x) {
    const double r = std::floor(x + 0.5);
    return std::uint8_t(std::clamp(r, 0.0, 255.0));
}

void put16(std::uint8_t* p, unsigned v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

} // namespace

void LineRenderer::set_controls(const PictureControls& c) {
    if (c.gain == controls_.gain && c.contrast == controls_.contrast &&
        c.sat_u == controls_.sat_u && c.sat_v == controls_.sat_v && c.bright == controls_.bright) {
        return;
    }
    controls_ = c;
    for (int v = 0; v < 256; ++v) {
        ylut_[v] = clamp_round(16 + (v - 16) * c.gain * c.contrast / 216.0 + c.bright);
        cblut_[v] = clamp_round(128 + (v - 128) * c.gain * c.sat_u / 254.0);
        crlut_[v] = clamp_round(128 + (v - 128) * c.gain * c.sat_v / 180.0);
    }
}

LineRenderer::Rgb LineRenderer::rgb(std::uint8_t y, std::uint8_t cb, std::uint8_t cr) const {
    const double yy = 1.164 * (y - 16);
    return Rgb{clamp_round(yy + 1.596 * (cr - 128)),
               clamp_round(yy - 0.391 * (cb - 128) - 0.813 * (cr - 128)),
               clamp_round(yy + 2.018 * (cb - 128))};
}

void LineRenderer::render(const std::vector<Span>& spans, int width, std::uint32_t code,
                          std::uint8_t* out, std::uint32_t length) {
    if (length == 0) {
        return;
    }
    // Per-pixel samples, padded with the last pixel to a whole group of 8.
    const int padded = (width + 7) & ~7;
    y_.resize(std::size_t(padded));
    cb_.resize(std::size_t(padded));
    cr_.resize(std::size_t(padded));
    for (const Span& s : spans) {
        const int x0 = std::clamp(s.x0, 0, width), x1 = std::clamp(s.x1, 0, width);
        if (x1 > x0) {
            std::memset(&y_[std::size_t(x0)], ylut_[s.s.y], std::size_t(x1 - x0));
            std::memset(&cb_[std::size_t(x0)], cblut_[s.s.cb], std::size_t(x1 - x0));
            std::memset(&cr_[std::size_t(x0)], crlut_[s.s.cr], std::size_t(x1 - x0));
        }
    }
    for (int x = width; x < padded; ++x) {
        const std::size_t last = std::size_t(std::max(width - 1, 0));
        y_[std::size_t(x)] = y_[last];
        cb_[std::size_t(x)] = cb_[last];
        cr_[std::size_t(x)] = cr_[last];
    }
    // Pack whole groups into a scratch line, then hand out the first `length` bytes.
    packed_.resize(std::size_t(padded) * 4 + 16);
    std::uint8_t* p = packed_.data();
    const std::uint8_t* Y = y_.data();
    const std::uint8_t* U = cb_.data();
    const std::uint8_t* V = cr_.data();
    switch (code & 15) {
    case 4: // YUY2
    case 8:
        for (int x = 0; x < padded; x += 2, p += 4) {
            p[0] = Y[x];
            p[1] = U[x];
            p[2] = Y[x + 1];
            p[3] = V[x];
        }
        break;
    case 5: // packed 4:1:1
    case 9:
        for (int x = 0; x < padded; x += 8, p += 12) {
            p[0] = U[x];
            p[1] = Y[x];
            p[2] = V[x];
            p[3] = Y[x + 1];
            p[4] = U[x + 4];
            p[5] = Y[x + 2];
            p[6] = V[x + 4];
            p[7] = Y[x + 3];
            std::memcpy(p + 8, Y + x + 4, 4);
        }
        break;
    case 6: // Y8
    case 14:
        std::memcpy(p, Y, std::size_t(padded));
        break;
    case 0:
    case 1:
    case 2:
    case 3:
    case 7: {
        Rgb c{};
        int last = -1;
        for (int x = 0; x < padded; ++x) {
            const int key = (Y[x] << 16) | (U[x] << 8) | V[x];
            if (key != last) {
                c = rgb(Y[x], U[x], V[x]);
                last = key;
            }
            switch (code & 15) {
            case 0:
                p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = 0;
                p += 4;
                break;
            case 1:
                p[0] = c.b, p[1] = c.g, p[2] = c.r;
                p += 3;
                break;
            case 2:
                put16(p, unsigned(c.r >> 3) << 11 | unsigned(c.g >> 2) << 5 | unsigned(c.b >> 3));
                p += 2;
                break;
            case 3:
                put16(p, unsigned(c.r >> 3) << 10 | unsigned(c.g >> 3) << 5 | unsigned(c.b >> 3));
                p += 2;
                break;
            default:
                *p++ = std::uint8_t((c.r >> 5) << 5 | (c.g >> 5) << 2 | (c.b >> 6));
                break;
            }
        }
        break;
    }
    default:
        break;
    }
    std::memcpy(out, packed_.data(), std::min<std::size_t>(length, packed_.size()));
}

} // namespace machine
