// The edge cases of ColorspaceConv as one table, run on every path and through the export.
#include "test_models.h"

#include <pixaro/colorspace.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace pixaro::test {
namespace {

constexpr std::uint8_t kFill = 0xA5;
constexpr std::size_t kDstSize = 64;

// What one processor class gives: the result and the bytes written from the destination's
// start (empty: nothing written).
struct Outcome {
    std::int32_t result;
    Bytes written;
};

struct EdgeCase {
    const char* what;
    std::int32_t dst_format, src_format;
    std::uint32_t width, height;
    Bytes src;
    std::array<Outcome, 3> by_class; // plain, MMX, SSE
    bool null_dst = false;
    bool null_src = false;
};

std::array<Outcome, 3> Same(Outcome o) {
    return {o, o, o};
}
const Outcome kRefused{0, {}};
const Outcome kNothing{1, {}};

// One 4:1:1 group U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7.
const Bytes kGroupA = {10, 1, 20, 2, 31, 3, 41, 4, 5, 6, 7, 8};
const Bytes kGroupB = {50, 9, 60, 10, 71, 11, 81, 12, 13, 14, 15, 16};
const Bytes kGroupC = {200, 11, 100, 12, 201, 13, 103, 14, 15, 16, 17, 18};

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes kYuy2Group = {1, 10, 2, 20, 3, 11, 4, 21, 5, 30, 6, 40, 7, 31, 8, 41};

std::vector<EdgeCase> Cases() {
    return {
        {"null destination", YUY2, BTYUV, 8, 1, kGroupA, Same(kRefused), true, false},
        {"null source", YUY2, BTYUV, 8, 1, {}, Same(kRefused), false, true},
        {"both null", BGRX, YUY2, 2, 1, {}, Same(kRefused), true, true},
        {"4:1:1 to itself", BTYUV, BTYUV, 8, 1, kGroupA, Same(kRefused)},
        {"YUY2 to itself", YUY2, YUY2, 8, 1, kYuy2Group, Same(kRefused)},
        {"BGRX to itself", BGRX, BGRX, 8, 1, Bytes(32), Same(kRefused)},
        {"4:1:1 to BGRX", BGRX, BTYUV, 8, 1, kGroupA, Same(kRefused)},
        {"BGRX to YUY2", YUY2, BGRX, 8, 1, Bytes(32), Same(kRefused)},
        {"BGRX to 4:1:1", BTYUV, BGRX, 8, 1, Bytes(32), Same(kRefused)},
        {"destination code 3", 3, YUY2, 8, 1, kYuy2Group, Same(kRefused)},
        {"source code 3", YUY2, 3, 8, 1, kGroupA, Same(kRefused)},
        {"negative code", -1, YUY2, 8, 1, kYuy2Group, Same(kRefused)},
        {"4:1:1 to YUY2, width 12", YUY2, BTYUV, 12, 1, Cat({kGroupA, kGroupB}), Same(kRefused)},
        {"YUY2 to 4:1:1, width 12", BTYUV, YUY2, 12, 1, Cat({kYuy2Group, kYuy2Group}),
         Same(kRefused)},
        {"4:1:1 to YUY2, width 0", YUY2, BTYUV, 0, 1, kGroupA, Same(kRefused)},
        {"width refused before height 0", YUY2, BTYUV, 12, 0, kGroupA, Same(kRefused)},
        {"4:1:1 to YUY2, height 0", YUY2, BTYUV, 8, 0, kGroupA, Same(kNothing)},
        {"YUY2 to 4:1:1, height 0", BTYUV, YUY2, 8, 0, kYuy2Group, Same(kNothing)},
        {"YUY2 to BGRX, height 0", BGRX, YUY2, 4, 0, kYuy2Group, Same(kNothing)},
        {"width 8: pixels 6-7 keep U4, V4; rows do not mix", YUY2, BTYUV, 8, 2,
         Cat({kGroupA, kGroupC}),
         Same({1, {1,  10,  2,  20,  3,  20,  4,  30,  5,  31,  6,  41,  7,  31,  8,  41,
                   11, 200, 12, 100, 13, 200, 14, 101, 15, 201, 16, 103, 17, 201, 18, 103}})},
        {"two groups: pixels 6-7 of the first take the floor means with the second", YUY2, BTYUV,
         16, 1, Cat({kGroupA, kGroupB}),
         Same({1, {1, 10, 2,  20, 3,  20, 4,  30, 5,  31, 6,  41, 7,  40, 8,  50,
                   9, 50, 10, 60, 11, 60, 12, 70, 13, 71, 14, 81, 15, 71, 16, 81}})},
        {"YUY2 to 4:1:1 keeps the chroma of pairs 0 and 2", BTYUV, YUY2, 8, 1, kYuy2Group,
         Same({1, {10, 1, 20, 2, 30, 3, 40, 4, 5, 6, 7, 8}})},
        {"BGRX, width 0", BGRX, YUY2, 0, 1, kYuy2Group, Same(kRefused)},
        {"BGRX, odd width", BGRX, YUY2, 3, 1, kYuy2Group, Same(kRefused)},
        {"BGRX, width 2: one pair per row with its own chroma",
         BGRX,
         YUY2,
         2,
         2,
         {100, 50, 100, 200, 60, 255, 60, 0},
         {{{1, {0, 70, 213, 0, 0, 70, 213, 0, 255, 106, 0, 0, 255, 106, 0, 0}},
           kRefused,
           {1, {0, 69, 212, 0, 0, 69, 212, 0, 255, 105, 0, 0, 255, 105, 0, 0}}}}},
        {"BGRX: Y 16, 235 and 0 with neutral chroma",
         BGRX,
         YUY2,
         4,
         1,
         {16, 128, 235, 128, 0, 128, 0, 128},
         {{{1, {0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
           {1, {0, 0, 0, 0, 254, 254, 254, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
           {1, {0, 0, 0, 0, 254, 254, 254, 0, 0, 0, 0, 0, 0, 0, 0, 0}}}}},
        {"BGRX: the last pair of a row keeps its chroma",
         BGRX,
         YUY2,
         4,
         2,
         {128, 128, 128, 128, 128, 128, 128, 128, 90, 255, 90, 0, 90, 255, 90, 0},
         {{{1, {130, 130, 130, 0, 130, 130, 130, 0, 130, 130, 130, 0, 130, 130, 130, 0,
                255, 141, 0,   0, 255, 141, 0,   0, 255, 141, 0,   0, 255, 141, 0,   0}},
           {1, {130, 130, 130, 0, 130, 130, 130, 0, 130, 130, 130, 0, 130, 130, 130, 0,
                255, 140, 0,   0, 255, 140, 0,   0, 255, 140, 0,   0, 255, 140, 0,   0}},
           {1, {130, 130, 130, 0, 130, 130, 130, 0, 130, 130, 130, 0, 130, 130, 130, 0,
                255, 140, 0,   0, 255, 140, 0,   0, 255, 140, 0,   0, 255, 140, 0,   0}}}}},
        {"BGRX: odd-pixel chroma mean rounds down (MMX) or up (SSE)",
         BGRX,
         YUY2,
         4,
         1,
         {100, 100, 100, 129, 100, 101, 100, 130},
         {{{1, {41, 108, 99, 0, 42, 107, 100, 0, 43, 107, 101, 0, 43, 107, 101, 0}},
           {1, {41, 107, 99, 0, 41, 107, 99, 0, 43, 106, 100, 0, 43, 106, 100, 0}},
           {1, {41, 107, 99, 0, 43, 106, 100, 0, 43, 106, 100, 0, 43, 106, 100, 0}}}}},
    };
}

using Call = std::function<std::int32_t(void*, const void*, std::uint32_t, std::uint32_t,
                                        std::int32_t, std::int32_t)>;

void Check(const EdgeCase& c, const Outcome& want, const Call& call, const std::string& who) {
    SCOPED_TRACE(std::string(c.what) + " on " + who);
    Bytes dst(kDstSize, kFill);
    const Bytes src_before = c.src;
    const std::int32_t got =
        call(c.null_dst ? nullptr : dst.data(), c.null_src ? nullptr : c.src.data(), c.width,
             c.height, c.dst_format, c.src_format);
    EXPECT_EQ(got, want.result);
    Bytes expected = want.written;
    expected.resize(kDstSize, kFill);
    EXPECT_EQ(dst, expected);
    EXPECT_EQ(c.src, src_before);
}

TEST(EdgeCases, EveryPath) {
    for (const auto& c : Cases()) {
        for (const Path& path : AllPaths()) {
            Check(
                c, c.by_class[static_cast<int>(path.cls)],
                [&](void* d, const void* s, std::uint32_t w, std::uint32_t h, std::int32_t df,
                    std::int32_t sf) { return Convert(d, s, w, h, df, sf, &path); },
                Name(path));
        }
    }
}

TEST(EdgeCases, ThroughTheExport) {
    const ProcessorClass chosen = ChosenPath().cls;
    for (const auto& c : Cases())
        Check(c, c.by_class[static_cast<int>(chosen)], ColorspaceConv, "ColorspaceConv");
}

} // namespace
} // namespace pixaro::test
