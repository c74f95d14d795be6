#include "scene.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace machine {
namespace {

// First pixel whose sample point (x + 0.5) / width lies at or after `permille` / 1000.
int pixel_at(int permille, int width) {
    const long long num = 2ll * permille * width - 1000;
    const long long x = num <= 0 ? 0 : (num + 1999) / 2000;
    return int(std::min<long long>(x, width));
}

// Whether the sample point of `row` lies in [top, bottom) per mille.
bool row_in(int row, int rows, int top, int bottom) {
    const long long p = (2ll * row + 1) * 1000;
    return p >= 2ll * top * rows && p < 2ll * bottom * rows;
}

void paint(std::vector<Span>& out, int left, int right, int width, Sample s) {
    const int x0 = pixel_at(left, width), x1 = pixel_at(right, width);
    if (x1 > x0) {
        out.push_back(Span{x0, x1, s});
    }
}

Sample compute_background(int number) {
    const double angle =
        2.0 * 3.14159265358979 * ((number - 1) % 16) / 16.0 + 0.3 * ((number - 1) / 16);
    Sample s;
    s.y = std::uint8_t(80 + 10 * ((number - 1) % 4));
    s.cb = std::uint8_t(std::lround(128 + 48 * std::cos(angle)));
    s.cr = std::uint8_t(std::lround(128 + 48 * std::sin(angle)));
    return s;
}

// Every camera's background, computed once (the scene is drawn row by row).
Sample background(int number) {
    static const auto table = [] {
        std::array<Sample, 65> t{};
        for (int n = 1; n <= 64; ++n) {
            t[std::size_t(n)] = compute_background(n);
        }
        return t;
    }();
    return number >= 1 && number <= 64 ? table[std::size_t(number)] : compute_background(number);
}

} // namespace

void scene_row(int number, const CameraConfig* camera, std::uint32_t now, int row, int rows,
               int width, std::vector<Span>& out) {
    out.clear();
    if (number <= 0 || camera == nullptr) {
        out.push_back(Span{0, width, Sample{}});
        return;
    }
    out.push_back(Span{0, width, background(number)});
    if (row_in(row, rows, 200, 950)) {
        const int left = 100 + 50 * ((number - 1) % 16);
        paint(out, left, left + 40, width, Sample{170, 128, 128});
    }
    if (row_in(row, rows, kCodeTop, kCodeBottom)) {
        const Sample white{235, 128, 128}, black{16, 128, 128};
        for (int cell = 0; cell < kCodeCells; ++cell) {
            bool on = cell == 0;
            if (cell >= 2) {
                on = ((number >> (7 - cell)) & 1) != 0;
            }
            const int left = kCodeLeft + kCodeCell * cell;
            paint(out, left, left + kCodeCell, width, on ? white : black);
        }
    }
    for (const SceneObject& o : camera->objects) {
        const std::uint32_t elapsed = now - o.start_ms;
        if (elapsed >= o.duration_ms) {
            continue;
        }
        const double t = double(elapsed) / double(o.duration_ms);
        const int x = int(o.x + (o.end_x - o.x) * t), y = int(o.y + (o.end_y - o.y) * t);
        if (row_in(row, rows, y, y + o.height)) {
            paint(out, x, std::min(1000, x + o.width), width, Sample{210, 90, 170});
        }
    }
}

} // namespace machine
