// EncodeFrame: one captured frame as the archive stores it (and as the remote-station link
// sends it with the JPEG flag): a JPEG stream from the encoder library for 8- and 24-bit frames
// and 16-bit YUV frames, otherwise a bitmap, saved as a BMP file image or, with the JPEG flag,
// encoded by libjpeg.
#pragma once

#include "archive_state.h"

#include <cstdint>
#include <span>
#include <vector>

namespace archive {

// Formats of a 16-bit frame (`SubformatMarker`).
constexpr int kMarkerRgb555 = 0;
constexpr int kMarkerYuy2 = 1;
constexpr int kMarkerYuv411 = 2;

// Extra room given to the encoder beyond width * height * 3 bytes, for the stream's headers.
constexpr std::size_t kJpegHeaderRoom = 4096;

// Bytes a frame of this format occupies (rows bottom-up, without gaps); 0 for a format the
// archive cannot store.
std::size_t frame_bytes(int width, int height, int bits_per_pixel, int marker);

// Fills `stream` with the encoded frame, with the encoder's record and room of `state`. Throws
// ArchiveError (and leaves `stream` empty) when the frame is too small for its format, the
// format is not one the archive stores, or the encoder fails; nothing is ever stored for such a
// frame.
void EncodeFrame(ArchiveState& state, std::vector<std::uint8_t>& stream,
                 std::span<const std::uint8_t> pixels, int width, int quality, bool jpeg,
                 int marker, int bits_per_pixel, int height);

} // namespace archive
