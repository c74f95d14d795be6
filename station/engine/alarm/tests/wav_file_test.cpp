#include "alarm/wav_file.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace station {
namespace {

class Wav {
public:
    Wav& tag(const char* t) {
        for (int i = 0; i < 4; ++i) {
            b.push_back(static_cast<std::uint8_t>(t[i]));
        }
        return *this;
    }
    Wav& u32(std::uint32_t v) {
        for (int s = 0; s < 32; s += 8) {
            b.push_back(static_cast<std::uint8_t>(v >> s));
        }
        return *this;
    }
    Wav& u16(std::uint16_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    Wav& zeros(std::size_t n) {
        b.resize(b.size() + n);
        return *this;
    }
    Wav& fmt(std::uint16_t format, std::uint16_t channels, std::uint32_t rate,
             std::uint32_t byte_rate, std::uint16_t align, std::uint16_t bits) {
        return tag("fmt ")
            .u32(16)
            .u16(format)
            .u16(channels)
            .u32(rate)
            .u32(byte_rate)
            .u16(align)
            .u16(bits);
    }
    std::vector<std::uint8_t> b;
};

Wav riff() {
    Wav w;
    w.tag("RIFF").u32(0).tag("WAVE");
    return w;
}

TEST(WavFile, HeaderTable) {
    const auto pcm = [] { return riff().fmt(1, 1, 8000, 16000, 2, 16); };
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool valid;
        std::uint32_t duration_ms;
        std::uint32_t data_bytes;
    } cases[] = {
        {"PCM, 250 ms", pcm().tag("data").u32(4000).zeros(4000).b, true, 250, 4000},
        {"a short last sample rounds up", pcm().tag("data").u32(17).zeros(17).b, true, 2, 17},
        {"an odd-sized chunk before fmt is padded",
         riff()
             .tag("LIST")
             .u32(3)
             .zeros(4)
             .fmt(3, 2, 8000, 64000, 8, 32)
             .tag("data")
             .u32(64)
             .zeros(64)
             .b,
         true, 1, 64},
        {"extensible format", riff().fmt(0xFFFE, 2, 44100, 176400, 4, 16).tag("data").u32(0).b,
         true, 0, 0},
        {"data claims more than the file holds", pcm().tag("data").u32(0xFFFFFFFF).zeros(1600).b,
         true, 100, 1600},
        {"not RIFF", Wav().tag("RIFX").u32(0).tag("WAVE").b, false, 0, 0},
        {"not WAVE", Wav().tag("RIFF").u32(0).tag("AVI ").b, false, 0, 0},
        {"too short", Wav().tag("RIFF").b, false, 0, 0},
        {"empty", {}, false, 0, 0},
        {"data before fmt", riff().tag("data").u32(4).zeros(4).fmt(1, 1, 8000, 16000, 2, 16).b,
         false, 0, 0},
        {"no data chunk", pcm().b, false, 0, 0},
        {"compressed format", riff().fmt(2, 1, 8000, 4000, 256, 4).tag("data").u32(8).zeros(8).b,
         false, 0, 0},
        {"zero byte rate", riff().fmt(1, 1, 8000, 0, 2, 16).tag("data").u32(8).zeros(8).b, false, 0,
         0},
        {"zero channels", riff().fmt(1, 0, 8000, 16000, 2, 16).tag("data").u32(8).zeros(8).b, false,
         0, 0},
        {"fmt chunk too small",
         riff().tag("fmt ").u32(8).u16(1).u16(1).u32(8000).tag("data").u32(0).b, false, 0, 0},
        {"fmt cut off", riff().tag("fmt ").u32(16).u16(1).b, false, 0, 0},
        {"a chunk size past the end", riff().tag("LIST").u32(0xFFFFFFF0).zeros(8).b, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto info = ParseWavFile(c.bytes);
        ASSERT_EQ(info.has_value(), c.valid);
        if (info) {
            EXPECT_EQ(info->duration_ms, c.duration_ms);
            EXPECT_EQ(info->data_bytes, c.data_bytes);
        }
    }
}

TEST(WavFile, HeaderOfALargeFileReadsOnlyItsStart) {
    const auto head = riff().fmt(1, 2, 44100, 176400, 4, 16).tag("data").u32(176400 * 60).b;
    const auto info = ParseWavHeader(head, head.size() + 176400 * 60);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->duration_ms, 60000u);
    EXPECT_FALSE(ParseWavHeader(head, head.size() - 1).has_value());
}

} // namespace
} // namespace station
