// The chip's picture output: scene samples through the gain, contrast, saturation and brightness
// controls, then packed into one line of the programmed pixel format.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scene.h"

namespace machine {

struct PictureControls {
    double gain = 1.0; // camera-level DAC: (96 - level) / 64
    int contrast = 216;
    int sat_u = 254;
    int sat_v = 180;
    int bright = 0; // signed
};

class LineRenderer {
public:
    // Sets the controls for the coming field (rebuilds the lookup tables when they change).
    void set_controls(const PictureControls& c);
    // Renders `spans` (a row of `width` pixels) as the first `length` bytes of a line in COLOR_FMT
    // `code`; `out` must hold length bytes.
    void render(const std::vector<Span>& spans, int width, std::uint32_t code, std::uint8_t* out,
                std::uint32_t length);

private:
    struct Rgb {
        std::uint8_t r, g, b;
    };
    Rgb rgb(std::uint8_t y, std::uint8_t cb, std::uint8_t cr) const;

    PictureControls controls_{-1.0, 0, 0, 0, 0};
    std::array<std::uint8_t, 256> ylut_{}, cblut_{}, crlut_{};
    std::vector<std::uint8_t> y_, cb_, cr_, packed_;
};

} // namespace machine
