// The header of a WAV (RIFF "WAVE") file: what the media player needs to know whether it can
// play a file and how long the play lasts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace station {

struct WavInfo {
    std::uint16_t format; // 1 PCM, 3 IEEE float, 0xFFFE extensible
    std::uint16_t channels;
    std::uint32_t sample_rate;
    std::uint32_t byte_rate;
    std::uint16_t block_align;
    std::uint16_t bits_per_sample;
    std::uint32_t data_bytes;  // the sound data present in the file
    std::uint32_t duration_ms; // data_bytes / byte_rate, rounded up
};

// The header of a whole file's bytes; nothing when it is not a playable WAV file (not RIFF
// WAVE, no "fmt " chunk before the "data" chunk, a format other than PCM, float or
// extensible, or zero channels, rates or block size). A data chunk that claims more bytes
// than the file holds counts what is there.
std::optional<WavInfo> ParseWavFile(std::span<const std::uint8_t> bytes);
// The same from the first bytes of a file of `file_size` bytes.
std::optional<WavInfo> ParseWavHeader(std::span<const std::uint8_t> head, std::uint64_t file_size);
// The same for a file on disk; nothing when it cannot be read.
std::optional<WavInfo> ReadWavFile(const std::filesystem::path& path);

} // namespace station
