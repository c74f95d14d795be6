#include "wav_file.h"

#include <win32/errors.h>
#include <win32/files.h>
#include <win32_owners/unique_handle.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace station {
namespace {

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

bool tag(std::span<const std::uint8_t> b, std::size_t at, const char* four) {
    return std::memcmp(b.data() + at, four, 4) == 0;
}

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kExtensible = 0xFFFE;
// The chunks before the sound data are looked for in this much of a file.
constexpr std::size_t kHeaderBytes = 64 * 1024;

} // namespace

std::optional<WavInfo> ParseWavFile(std::span<const std::uint8_t> b) {
    return ParseWavHeader(b, b.size());
}

std::optional<WavInfo> ParseWavHeader(std::span<const std::uint8_t> b, std::uint64_t file_size) {
    if (file_size < b.size()) {
        return std::nullopt;
    }
    if (b.size() < 12 || !tag(b, 0, "RIFF") || !tag(b, 8, "WAVE")) {
        return std::nullopt;
    }
    std::optional<WavInfo> info;
    std::size_t at = 12;
    while (b.size() - at >= 8) {
        const std::uint32_t size = u32(b, at + 4);
        const std::size_t body = at + 8;
        if (tag(b, at, "fmt ")) {
            if (size < 16 || b.size() - body < 16) {
                return std::nullopt;
            }
            WavInfo w{};
            w.format = u16(b, body);
            w.channels = u16(b, body + 2);
            w.sample_rate = u32(b, body + 4);
            w.byte_rate = u32(b, body + 8);
            w.block_align = u16(b, body + 12);
            w.bits_per_sample = u16(b, body + 14);
            if ((w.format != kPcm && w.format != kFloat && w.format != kExtensible) ||
                w.channels == 0 || w.sample_rate == 0 || w.byte_rate == 0 || w.block_align == 0) {
                return std::nullopt;
            }
            info = w;
        } else if (tag(b, at, "data")) {
            if (!info) {
                return std::nullopt;
            }
            const auto bytes =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(size, file_size - body));
            info->data_bytes = bytes;
            const std::uint64_t ms =
                (std::uint64_t{bytes} * 1000 + info->byte_rate - 1) / info->byte_rate;
            info->duration_ms = static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, UINT32_MAX));
            return info;
        }
        // Chunks are padded to an even size.
        const std::uint64_t next = std::uint64_t{body} + size + (size & 1u);
        if (next > b.size()) {
            break; // the next chunk header lies beyond the bytes read
        }
        at = static_cast<std::size_t>(next);
    }
    return std::nullopt;
}

std::optional<WavInfo> ReadWavFile(const std::filesystem::path& path) {
    const win32_owners::UniqueHandle file(CreateFileA(path.string().c_str(), GENERIC_READ,
                                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return std::nullopt;
    }
    const std::uint64_t size = std::uint64_t{high} << 32 | low;
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeaderBytes)));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(file.get(), bytes.data() + done, DWORD(bytes.size() - done), &n, nullptr) ||
            n == 0) {
            return std::nullopt;
        }
        done += n;
    }
    return ParseWavHeader(bytes, size);
}

} // namespace station
