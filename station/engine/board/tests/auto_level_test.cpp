#include "board/auto_level.h"

#include <gtest/gtest.h>
#include <vector>

namespace station {
namespace {

// A 175 x 180 frame (sample spacing 10 both ways) whose first `hot` samples in grid order read
// `hot_value` and the others `base`.
LevelFrame frame(std::int32_t bpp, int base, int hot_value, int hot) {
    return {175, 180, bpp, [=](int x, int y) {
                const int index = (y / 10 - 1) * 16 + (x / 10 - 1);
                return index < hot ? hot_value : base;
            }};
}

LevelStepHistory history(std::array<std::int32_t, 3> steps, std::int32_t position) {
    LevelStepHistory h;
    h.Steps = steps;
    h.Position = position;
    return h;
}

TEST(AutoLevel, SamplesASixteenBySixteenGridFromTheTop) {
    std::vector<std::pair<int, int>> seen;
    const LevelFrame f{350, 100, 32, [&](int x, int y) {
                           seen.emplace_back(x, y);
                           return 245;
                       }};
    LevelStepHistory h;
    EXPECT_EQ(AutoLevelCamera(f, 10, h), 10);
    ASSERT_EQ(seen.size(), 256u);
    EXPECT_EQ(seen.front(), (std::pair{20, 5}));
    EXPECT_EQ(seen[1], (std::pair{40, 5}));
    EXPECT_EQ(seen.back(), (std::pair{320, 80}));
}

TEST(AutoLevel, StepTable) {
    const LevelStepHistory fresh;
    const LevelStepHistory falling = history({-1, -1, 0}, 3);
    const struct {
        const char* what;
        LevelFrame frame;
        LevelStepHistory before;
        std::int32_t level;
        std::int32_t after;
        std::array<std::int32_t, 3> recorded;
    } cases[] = {
        {"brightest at L: nothing, no step recorded",
         frame(8, 100, 240, 3),
         fresh,
         20,
         20,
         {0, 0, 0}},
        {"brightest at H: nothing", frame(24, 100, 250, 3), fresh, 20, 20, {0, 0, 0}},
        {"one saturated sample", frame(32, 100, 255, 1), fresh, 20, 21, {1, 0, 0}},
        {"16 saturated samples", frame(8, 100, 255, 16), fresh, 20, 23, {3, 0, 0}},
        {"39 saturated samples", frame(8, 100, 255, 39), fresh, 20, 25, {5, 0, 0}},
        {"40 or more saturated samples", frame(8, 100, 255, 256), fresh, 20, 25, {5, 0, 0}},
        {"just above H", frame(8, 100, 252, 5), fresh, 20, 21, {1, 0, 0}},
        {"far above H in 16 bits", frame(16, 100, 247, 5), fresh, 20, 21, {1, 0, 0}},
        {"16 bits: 240 lies between 233 and 243", frame(16, 100, 240, 5), fresh, 20, 20, {0, 0, 0}},
        {"16 bits: 248 is saturation", frame(16, 100, 248, 8), fresh, 20, 22, {2, 0, 0}},
        {"8 bits: 245 lies between 240 and 250", frame(8, 100, 245, 5), fresh, 20, 20, {0, 0, 0}},
        {"dark frame, first negative step damped", frame(8, 100, 0, 0), fresh, 20, 20, {-5, 0, 0}},
        {"dark frame after two negative steps", frame(8, 100, 0, 0), falling, 20, 15, {-1, -1, -5}},
        {"slightly dark after two negative steps",
         frame(8, 230, 0, 0),
         falling,
         20,
         19,
         {-1, -1, -1}},
        {"kept within 63", frame(8, 100, 255, 256), fresh, 62, 63, {5, 0, 0}},
        {"kept within 0", frame(8, 10, 0, 0), falling, 2, 0, {-1, -1, -5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LevelStepHistory h = c.before;
        EXPECT_EQ(AutoLevelCamera(c.frame, c.level, h), c.after);
        EXPECT_EQ(h.Steps, c.recorded);
    }
}

TEST(AutoLevel, APositiveStepAfterANegativeOneWaitsForItsThirdTime) {
    LevelStepHistory h = history({-1, -1, -1}, 1);
    std::int32_t level = 30;
    const LevelFrame bright = frame(8, 100, 255, 1);
    level = AutoLevelCamera(bright, level, h);
    EXPECT_EQ(level, 30);
    level = AutoLevelCamera(bright, level, h);
    EXPECT_EQ(level, 30);
    level = AutoLevelCamera(bright, level, h);
    EXPECT_EQ(level, 31);
    EXPECT_EQ(h.Position, 1);

    // The frame loop's -1 after bad frames counts like a step.
    h.Record(-1);
    EXPECT_EQ(DampLevelStep(h, 1), 0);
    EXPECT_EQ(DampLevelStep(history({0, 0, 0}, 1), 0), 0);
    EXPECT_EQ(DampLevelStep(history({0, 2, 0}, 2), 4), 4);
    EXPECT_EQ(DampLevelStep(history({-2, -1, -3}, 2), -4), -4);
    EXPECT_EQ(DampLevelStep(history({-2, 0, -3}, 2), -4), 0);
}

} // namespace
} // namespace station
