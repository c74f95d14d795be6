// Every path on random frames: the paths that must give the reference's bytes give them, the
// fixed-point paths give their formulas' bytes, and no path writes outside the frame or
// anything at all when it refuses.
#include "test_models.h"

#include <pixaro/colorspace.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace pixaro::test {
namespace {

constexpr std::uint8_t kFill = 0x5A;
constexpr std::size_t kGuard = 64;

struct Frame {
    std::uint32_t width, height;
};

// Widths around every SIMD block size and row end; several rows so row ends are crossed.
const Frame kFrames411[] = {{8, 1}, {16, 3}, {24, 2}, {40, 5}, {64, 2}, {136, 3}, {768, 4}};
const Frame kFramesBgrx[] = {{2, 3},  {4, 2},  {6, 2},  {8, 3},  {10, 2},  {16, 2},
                             {18, 3}, {20, 2}, {34, 2}, {36, 3}, {100, 2}, {768, 4}};

// Runs one conversion on path into a guarded destination; the guard must stay untouched.
Bytes Guarded(const Path& path, const Bytes& src, std::size_t dst_size, Frame f, std::int32_t df,
              std::int32_t sf) {
    Bytes dst(dst_size + kGuard, kFill);
    EXPECT_EQ(Convert(dst.data(), src.data(), f.width, f.height, df, sf, &path), 1);
    EXPECT_EQ(Bytes(dst.begin() + dst_size, dst.end()), Bytes(kGuard, kFill));
    dst.resize(dst_size);
    return dst;
}

std::string Where(const Path& path, Frame f) {
    return Name(path) + " " + std::to_string(f.width) + "x" + std::to_string(f.height);
}

TEST(RandomFrames, FourOneOneConversionsGiveTheReferenceOnEveryPath) {
    std::mt19937 rng(411);
    for (const Frame f : kFrames411) {
        const std::size_t pixels = std::size_t{f.width} * f.height;
        const Bytes packed = RandomBytes(pixels * 3 / 2, rng);
        const Bytes yuy2 = RandomBytes(pixels * 2, rng);
        const Bytes want422 = Model411To422(packed, f.width, f.height);
        const Bytes want411 = Model422To411(yuy2, f.width, f.height);
        for (const Path& path : AllPaths()) {
            SCOPED_TRACE(Where(path, f));
            EXPECT_EQ(Guarded(path, packed, pixels * 2, f, YUY2, BTYUV), want422);
            EXPECT_EQ(Guarded(path, yuy2, pixels * 3 / 2, f, BTYUV, YUY2), want411);
        }
    }
}

TEST(RandomFrames, BgrxPathsGiveTheirFormulas) {
    std::mt19937 rng(422);
    for (const Frame f : kFramesBgrx) {
        const std::size_t pixels = std::size_t{f.width} * f.height;
        const Bytes yuy2 = RandomBytes(pixels * 2, rng);
        for (const Path& path : AllPaths()) {
            if (path.cls == ProcessorClass::Mmx && f.width % 4 != 0)
                continue;
            SCOPED_TRACE(Where(path, f));
            EXPECT_EQ(Guarded(path, yuy2, pixels * 4, f, BGRX, YUY2),
                      ModelBgrx(yuy2, f.width, f.height, path.cls));
        }
    }
}

// Luma below 16 and chroma at both ends are where the fixed-point paths part: a frame made of
// them only.
TEST(RandomFrames, BgrxPathsAtTheRangeEnds) {
    std::mt19937 rng(16);
    const std::uint8_t ends[] = {0, 1, 15, 16, 17, 127, 128, 129, 234, 235, 236, 254, 255};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(ends) - 1);
    const Frame f{64, 8};
    Bytes yuy2(std::size_t{f.width} * f.height * 2);
    for (auto& b : yuy2)
        b = ends[pick(rng)];
    for (const Path& path : AllPaths()) {
        SCOPED_TRACE(Where(path, f));
        EXPECT_EQ(Guarded(path, yuy2, yuy2.size() * 2, f, BGRX, YUY2),
                  ModelBgrx(yuy2, f.width, f.height, path.cls));
    }
}

// Every luma value with every chroma pair, on every fixed-point path: one frame per U, one row
// per V, pair k of a row holding luma k and 255 - k. The chroma is constant along a row, so the
// odd pixels' means are the same pair and every (y, u, v) is converted at least twice.
TEST(RandomFrames, BgrxPathsOnEveryLumaAndChroma) {
    const Frame f{512, 256};
    Bytes yuy2(std::size_t{f.width} * f.height * 2);
    for (int u = 0; u < 256; ++u) {
        for (std::uint32_t v = 0; v < f.height; ++v) {
            for (std::uint32_t k = 0; k < f.width / 2; ++k) {
                std::uint8_t* pair = &yuy2[(std::size_t{v} * f.width / 2 + k) * 4];
                pair[0] = static_cast<std::uint8_t>(k);
                pair[1] = static_cast<std::uint8_t>(u);
                pair[2] = static_cast<std::uint8_t>(255 - k);
                pair[3] = static_cast<std::uint8_t>(v);
            }
        }
        for (const ProcessorClass cls : {ProcessorClass::Mmx, ProcessorClass::Sse}) {
            const Bytes want = ModelBgrx(yuy2, f.width, f.height, cls);
            for (const Path& path : AllPaths()) {
                if (path.cls != cls)
                    continue;
                const Bytes got = Guarded(path, yuy2, want.size(), f, BGRX, YUY2);
                const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
                if (diff.first != got.end()) {
                    const std::size_t at = static_cast<std::size_t>(diff.first - got.begin());
                    ADD_FAILURE() << Where(path, f) << " u " << u << ": byte " << at % 4
                                  << " of pixel " << at / 4 % f.width << " in row "
                                  << at / 4 / f.width << " is " << int{*diff.first} << ", not "
                                  << int{*diff.second};
                    return;
                }
            }
        }
    }
}

// Which (destination, source, width) a class takes, from the rules as stated.
bool Takes(ProcessorClass cls, std::int32_t df, std::int32_t sf, std::uint32_t width) {
    if ((df == YUY2 && sf == BTYUV) || (df == BTYUV && sf == YUY2))
        return width >= 8 && width % 8 == 0;
    if (df == BGRX && sf == YUY2)
        return cls == ProcessorClass::Mmx ? width >= 4 && width % 4 == 0
                                          : width >= 2 && width % 2 == 0;
    return false;
}

TEST(Refusals, NothingWrittenUnlessConverted) {
    std::mt19937 rng(7);
    const Bytes src = RandomBytes(32 * 4 * 2, rng);
    for (const Path& path : AllPaths()) {
        for (std::int32_t df = -1; df <= 3; ++df) {
            for (std::int32_t sf = -1; sf <= 3; ++sf) {
                for (std::uint32_t width = 0; width <= 25; ++width) {
                    for (std::uint32_t height : {0u, 2u}) {
                        SCOPED_TRACE(Name(path) + " dst " + std::to_string(df) + " src " +
                                     std::to_string(sf) + " width " + std::to_string(width) +
                                     " height " + std::to_string(height));
                        Bytes dst(32 * 4 * 2 + kGuard, kFill);
                        const bool takes = Takes(path.cls, df, sf, width);
                        EXPECT_EQ(Convert(dst.data(), src.data(), width, height, df, sf, &path),
                                  takes ? 1 : 0);
                        const std::size_t size = !takes || height == 0 ? 0
                                                 : df == BGRX          ? width * height * 4
                                                 : df == YUY2          ? width * height * 2
                                                                       : width * height * 3 / 2;
                        EXPECT_EQ(Bytes(dst.begin() + size, dst.end()),
                                  Bytes(dst.size() - size, kFill));
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace pixaro::test
