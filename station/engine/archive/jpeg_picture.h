// The station's picture class for stored frames: JPEG streams (libjpeg) and BMP file images,
// decoded into a 24-bit picture, and the bitmap and libjpeg encoders of the archive writer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace archive {

// A 24-bit picture: rows top first, 3 bytes a pixel (blue, green, red), no padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;
};

// One 16-bit 5:5:5 pixel (little-endian at `src`) as blue, green, red at `dst`, each 5-bit
// channel widened to 8 bits by repeating its top bits.
inline void rgb555_to_bgr(const std::uint8_t* src, std::uint8_t* dst) {
    const unsigned v = unsigned(src[0]) | unsigned(src[1]) << 8;
    const unsigned b5 = v & 31, g5 = (v >> 5) & 31, r5 = (v >> 10) & 31;
    dst[0] = std::uint8_t(b5 << 3 | b5 >> 2);
    dst[1] = std::uint8_t(g5 << 3 | g5 >> 2);
    dst[2] = std::uint8_t(r5 << 3 | r5 >> 2);
}

// Pictures larger than this on either side, or in pixels, are refused when decoding.
constexpr int kMaxPictureSide = 16384;
constexpr std::int64_t kMaxPicturePixels = 64ll * 1024 * 1024;

// Decodes a JPEG stream (grey or colour); nullopt when it is not a valid stream.
std::optional<Picture> decode_jpeg(std::span<const std::uint8_t> jpeg);
// Loads an uncompressed BMP file image of 8 (palette), 16 (5:5:5), 24 or 32 bits.
std::optional<Picture> load_bmp(std::span<const std::uint8_t> bmp);
// Either of the two, by the record's JPEG flag.
std::optional<Picture> decode_stored_frame(std::span<const std::uint8_t> bytes, bool jpeg);

// Encodes a picture as a baseline JPEG (YCbCr, 2x2 chroma sampling, not progressive);
// nullopt when libjpeg fails.
std::optional<std::vector<std::uint8_t>> encode_jpeg(const Picture& picture, int quality);

// The BMP file image of a bitmap: file header, 40-byte info header, the grey palette for 8 bits,
// rows bottom-up padded to 4 bytes. `rows_bottom_up` holds height rows of width * bits / 8
// bytes, the bottom row first (as frames are stored).
std::vector<std::uint8_t> bmp_file_image(int width, int height, int bits_per_pixel,
                                         std::span<const std::uint8_t> rows_bottom_up);

} // namespace archive
