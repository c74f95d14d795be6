#include "capture_geometry.h"

#include "chip_registers.h"

#include <cstdlib>

namespace boardctl {
namespace {

std::uint32_t reg(std::span<const std::uint32_t> registers, std::uint32_t offset) {
    return registers[offset / 4] & 0xFF;
}

// The vertical scale word the driver writes for `height` from `lines` (the norm's lines, halved
// for a picture taken from one field).
std::uint32_t scale_word(std::uint32_t lines, std::uint32_t height) {
    return (512u - lines * 512u / height) & 0x1FFF;
}

// The tallest height whose scale word from `lines` is `scale` (0 for none).
std::uint32_t height_for(std::uint32_t lines, std::uint32_t scale) {
    const std::uint32_t ratio = (512u - scale) & 0x1FFF; // lines * 512 / height
    if (ratio == 0) {
        return 0;
    }
    const std::uint32_t height = lines * 512u / ratio;
    return height != 0 && scale_word(lines, height) == scale ? height : 0;
}

} // namespace

std::optional<CaptureGeometry> programmed_geometry(std::span<const std::uint32_t> registers) {
    if (registers.size() < kDecoderRegisters) {
        return std::nullopt;
    }
    const std::uint32_t crop = reg(registers, kECrop);
    const std::uint32_t width = ((crop & 0x03) << 8) | reg(registers, kEHactiveLo);
    const std::uint32_t lines = (((crop >> 4) & 0x03) << 8) | reg(registers, kEVactiveLo);
    const std::uint32_t scale =
        ((reg(registers, kEVscaleHi) & 0x1F) << 8) | reg(registers, kEVscaleLo);
    if (width == 0 || lines == 0) {
        return std::nullopt;
    }

    std::uint32_t both = height_for(lines, scale);
    if (both != 0 && both <= lines / 2) {
        both = 0; // the driver would have taken one field for it
    }
    std::uint32_t one = height_for(lines / 2, scale);
    if (one > lines / 2) {
        one = 0;
    }
    std::uint32_t height = both != 0 ? both : one;
    if (both != 0 && one != 0) {
        const auto off_4_3 = [width](std::uint32_t h) {
            return std::abs(static_cast<long>(4 * h) - static_cast<long>(3 * width));
        };
        height = off_4_3(one) < off_4_3(both) ? one : both;
    }
    if (height == 0) {
        return std::nullopt;
    }
    return CaptureGeometry{reg(registers, kColorFmt) & 0x0F, width, height};
}

} // namespace boardctl
