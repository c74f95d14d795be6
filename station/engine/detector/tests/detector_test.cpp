#include "detector/detector.h"

#include "luma_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace station {
namespace {

using test::LumaFrame;
using test::TestFormat;

using PointList = std::vector<std::pair<int, int>>;

// Every test runs on each of these frame formats.
const TestFormat kFormats[] = {
    {"Gray8", 8, 0},
    {"Yuy2", 16, kSubformatYuy2},
    {"Packed411", 16, kSubformatPacked411},
    {"Rgb24", 24, 0},
    {"Rgb32", 32, 0},
};

class DetectorTest : public ::testing::TestWithParam<TestFormat> {
protected:
    // 176 x 144: grid samples at x = 16, 32, ..., 160; a point whose x is not a multiple of 16
    // is never a grid sample.
    static constexpr int kW = 176;
    static constexpr int kH = 144;

    LumaFrame Frame(int luma, int w = kW, int h = kH) const {
        LumaFrame frame(GetParam(), w, h);
        frame.Fill(luma);
        return frame;
    }

    // Appends a detection point with the luminance it had in the previous frame.
    int AddPoint(int px, int py, int prev) {
        const int i = f->PointCount++;
        f->PointX[i] = px;
        f->PointY[i] = py;
        f->PrevLuma[i] = prev;
        return i;
    }

    // Paints the pixel of a per-mille point.
    static void Paint(LumaFrame& frame, int px, int py, int luma) {
        const FrameFormat& format = frame.Format();
        frame.Set(format.Width * px / 1000, format.Height * py / 1000, luma);
    }

    // Grid sample c (0 to 99, rows outer) of a frame.
    static void PaintGrid(LumaFrame& frame, int c, int luma) {
        const FrameFormat& format = frame.Format();
        frame.Set(format.Width * (c % 10 + 1) / 11, format.Height * (c / 10 + 1) / 11, luma);
    }

    void Run(const LumaFrame& frame) { Find(*f, frame.Format(), frame.Pixels(), *search); }

    PointList Changed() const {
        PointList list;
        for (int i = 0; i < f->ChangedCount; ++i) {
            list.emplace_back(f->ChangedX[i], f->ChangedY[i]);
        }
        return list;
    }

    std::unique_ptr<DetectionFields> f = std::make_unique<DetectionFields>();
    std::unique_ptr<ObjectSearch> search = std::make_unique<ObjectSearch>();
};

TEST_P(DetectorTest, NoPointsMeansNoChangeAndKeepsTheZone) {
    for (const int count : {0, -3}) {
        f->PointCount = count;
        f->ChangesFound = 1;
        f->ChangedCount = 4;
        f->ObjectFound = 1;
        f->FrameCount = 7;
        f->ZoneMinX = 10;
        f->ZoneMaxX = 20;
        f->ZoneMinY = 30;
        f->ZoneMaxY = 40;
        f->NoiseSigma = 1.5;
        f->GridLuma.fill(9);
        Run(Frame(100));
        EXPECT_EQ(f->ChangesFound, 0) << count;
        EXPECT_EQ(f->ChangedCount, 0) << count;
        EXPECT_EQ(f->ObjectFound, 0) << count;
        EXPECT_EQ(f->FrameCount, 0) << count;
        EXPECT_EQ(f->ZoneMinX, 10) << count;
        EXPECT_EQ(f->ZoneMaxX, 20) << count;
        EXPECT_EQ(f->ZoneMinY, 30) << count;
        EXPECT_EQ(f->ZoneMaxY, 40) << count;
        EXPECT_EQ(f->NoiseSigma, 1.5) << count; // nothing was sampled
        EXPECT_EQ(f->GridLuma[0], 9) << count;
    }
}

TEST_P(DetectorTest, EqualGridReducesOnlyDarkerPointsByThree) {
    // All grid samples 100: t1 = t2 = 100. Threshold 20, so a difference must exceed 20.
    f->SigmaMode = 0;
    f->Threshold = 20;
    f->EdgeFilter = 0;
    f->ObjectPoints = 1;
    f->DropFirst = 0;
    LumaFrame frame = Frame(100);
    struct {
        int px, py, prev, luma;
        bool changed;
    } points[] = {
        {50, 500, 100, 40, false},  // dark: 60 div 3 = 20, not above 20 (div 2 would change)
        {100, 300, 100, 37, true},  // dark: 63 div 3 = 21
        {150, 700, 79, 100, true},  // at t1: 21 undivided
        {200, 200, 139, 160, true}, // bright: 21
        {250, 600, 80, 100, false}, // 20 undivided equals the threshold: no change
    };
    PointList expected;
    for (const auto& p : points) {
        AddPoint(p.px, p.py, p.prev);
        Paint(frame, p.px, p.py, p.luma);
        if (p.changed) {
            expected.emplace_back(p.px, p.py);
        }
    }
    Run(frame);
    EXPECT_EQ(Changed(), expected);
    EXPECT_EQ(f->ChangesFound, 1);
    EXPECT_EQ(f->ZoneMinX, 100);
    EXPECT_EQ(f->ZoneMaxX, 200);
    EXPECT_EQ(f->ZoneMinY, 200);
    EXPECT_EQ(f->ZoneMaxY, 700);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(f->PrevLuma[i], points[i].luma) << i;
    }
}

TEST_P(DetectorTest, DarkAndMidDarkBoundsComeFromTheGridRange) {
    // Grid 50 .. 150: t1 = 50 + 10 = 60, t2 = 50 + 40 = 90. Threshold 10.
    f->SigmaMode = 0;
    f->Threshold = 10;
    f->EdgeFilter = 0;
    LumaFrame frame = Frame(120);
    PaintGrid(frame, 0, 50);
    PaintGrid(frame, 99, 150);
    struct {
        int luma, prev;
        bool changed;
    } points[] = {
        {59, 92, true}, {59, 89, false}, // below t1: 33 div 3 = 11, 30 div 3 = 10
        {60, 82, true}, {60, 81, false}, // from t1 below t2: 22 div 2 = 11, 21 div 2 = 10
        {89, 67, true},                  // 22 div 2
        {90, 79, true}, {90, 80, false}, // from t2: undivided
    };
    PointList expected;
    int px = 30;
    for (const auto& p : points) {
        AddPoint(px, 500, p.prev);
        Paint(frame, px, 500, p.luma);
        if (p.changed) {
            expected.emplace_back(px, 500);
        }
        px += 60; // pixel x = 5, 15, 26, ...: never a grid column
    }
    Run(frame);
    EXPECT_EQ(Changed(), expected);
}

TEST_P(DetectorTest, FixedThresholdLeavesTheNoiseStateAlone) {
    f->SigmaMode = 0;
    f->SigmaFactor = 100.0; // would give g = 350 in sigma mode
    f->NoiseSigma = 3.5;
    f->GridLuma.fill(7);
    f->EdgeFilter = 0;
    AddPoint(50, 500, 55);  // 45 > 44
    AddPoint(100, 500, 56); // 44
    Run(Frame(100));
    EXPECT_EQ(Changed(), (PointList{{50, 500}}));
    EXPECT_EQ(f->NoiseSigma, 3.5);
    for (int c = 0; c < kGridSampleCount; ++c) {
        ASSERT_EQ(f->GridLuma[c], 7) << c;
    }
}

TEST_P(DetectorTest, StillPictureZeroesSigmaAndFallsBackToThreshold) {
    // The old estimate would give g = 10 x 5 = 50; a still grid drives it to 0, so g = 44.
    f->NoiseSigma = 10.0;
    f->GridLuma.fill(100);
    f->EdgeFilter = 0;
    AddPoint(50, 500, 145);  // 45
    AddPoint(100, 500, 144); // 44: exactly g
    Run(Frame(100));
    EXPECT_EQ(f->NoiseSigma, 0.0);
    EXPECT_EQ(Changed(), (PointList{{50, 500}}));
}

TEST_P(DetectorTest, NoiseEstimateMatchesHandComputation) {
    // Previous grid all 100, previous sigma 0: limit 2. New grid, by sample index:
    //   0..9 at 101, 10..14 at 99, 15..18 at 103, 19 at 130, the rest at 100.
    // min 99, max 130: t1 = 99 + 3 = 102, t2 = 99 + 12 = 111.
    //   101 and 99 are dark: D = -1/3 and +1/3; 100 is dark: D = 0;
    //   103 is mid-dark: D = -3/2; 130 gives D = -30, left out (|D| >= 2).
    // sigma = sqrt((15 / 9 + 4 x 2.25) / 99).
    f->GridLuma.fill(100);
    f->SigmaFactor = 100.0;
    f->Threshold = 10;
    f->EdgeFilter = 0;
    LumaFrame frame = Frame(100);
    std::vector<int> grid(100, 100);
    for (int c = 0; c < 10; ++c) {
        grid[c] = 101;
    }
    for (int c = 10; c < 15; ++c) {
        grid[c] = 99;
    }
    for (int c = 15; c < 19; ++c) {
        grid[c] = 103;
    }
    grid[19] = 130;
    for (int c = 0; c < 100; ++c) {
        PaintGrid(frame, c, grid[c]);
    }
    const double sigma = std::sqrt((15.0 / 9.0 + 4 * 2.25) / 99.0); // 0.3282...
    // g = 32.82: a bright point (no reduction) changes by 33, not by 32.
    AddPoint(50, 500, 167);
    AddPoint(100, 500, 168);
    Paint(frame, 50, 500, 200);
    Paint(frame, 100, 500, 200);
    Run(frame);
    EXPECT_NEAR(f->NoiseSigma, sigma, 1e-12);
    EXPECT_EQ(Changed(), (PointList{{50, 500}}));
    for (int c = 0; c < 100; ++c) {
        ASSERT_EQ(f->GridLuma[c], grid[c]) << c;
    }
}

TEST_P(DetectorTest, NoiseLimitComesFromThePreviousEstimate) {
    // One grid sample moves 100 -> 104 (not reduced: t1 = 100, t2 = 101). With sigma 1 the
    // limit is 5 and the difference counts: sqrt(16 / 100) = 0.4. With sigma 0 the limit is 2,
    // nothing else moved, so the estimate is 0.
    for (const auto& [before, after] : {std::pair{1.0, 0.4}, std::pair{0.0, 0.0}}) {
        f = std::make_unique<DetectionFields>();
        f->GridLuma.fill(100);
        f->NoiseSigma = before;
        AddPoint(50, 500, 100);
        LumaFrame frame = Frame(100);
        PaintGrid(frame, 42, 104);
        Run(frame);
        EXPECT_NEAR(f->NoiseSigma, after, 1e-12) << before;
    }
}

TEST_P(DetectorTest, FullHeightPictureReadsPointsOnOddRows) {
    struct {
        int w, h, py, row;
    } cases[] = {
        {768, 576, 0, 0}, // row 0 stays
        {768, 576, 2, 1}, // 576 x 2 / 1000 = 1
        {768, 576, 4, 1}, // row 2 is read on row 1
        {768, 576, 6, 3}, // row 3 stays
        {720, 576, 4, 2}, // other sizes read the row itself
        {768, 578, 4, 2},
    };
    for (const auto& c : cases) {
        f = std::make_unique<DetectionFields>();
        f->SigmaMode = 0;
        AddPoint(500, c.py, 0);
        LumaFrame frame = Frame(50, c.w, c.h);
        for (int y = 0; y < 4; ++y) {
            frame.Set(c.w / 2, y, 10 + 10 * y);
        }
        Run(frame);
        EXPECT_EQ(f->PrevLuma[0], 10 + 10 * c.row) << c.w << "x" << c.h << " py=" << c.py;
    }
}

TEST_P(DetectorTest, EdgeFilterDropsChangesOnHorizontalEdges) {
    // Background 200, point 200 against 100 before: A = 100 > g = 30, edge tolerance e = 20.
    struct {
        const char* what;
        int w, h, py, dy, neighbour;
        bool filter, kept;
    } cases[] = {
        {"flat", 176, 144, 500, -1, 200, true, true},
        {"above +21", 176, 144, 500, -1, 179, true, false},
        {"below +21", 176, 144, 500, 1, 221, true, false},
        {"above exactly e", 176, 144, 500, -1, 180, true, true},
        {"two rows above", 176, 144, 500, -2, 100, true, true},
        {"filter off", 176, 144, 500, -1, 100, false, true},
        {"row 1", 176, 144, 7, 1, 100, true, true},
        {"row 2", 176, 144, 14, -1, 100, true, false},
        {"row h-2", 176, 144, 990, -1, 100, true, true},
        {"row h-3", 176, 144, 983, -1, 100, true, false},
        // From 576 rows the neighbours are two rows away.
        {"576: two above", 768, 576, 175, -2, 100, true, false},
        {"576: two below", 768, 576, 175, 2, 100, true, false},
        {"576: one above", 768, 576, 175, -1, 100, true, true},
        {"576: row 1", 768, 576, 2, 2, 100, true, true},
        {"576: row 573", 768, 576, 995, -2, 100, true, true},
        {"576: row 571", 768, 576, 992, -2, 100, true, false},
    };
    for (const auto& c : cases) {
        f = std::make_unique<DetectionFields>();
        f->SigmaMode = 0;
        f->Threshold = 30;
        f->EdgeFilter = c.filter ? 1 : 0;
        AddPoint(500, c.py, 100);
        LumaFrame frame = Frame(200, c.w, c.h);
        int y = c.h * c.py / 1000;
        if (c.w == 768 && c.h == 576 && y > 0 && y % 2 == 0) {
            --y;
        }
        frame.Set(c.w / 2, y + c.dy, c.neighbour);
        Run(frame);
        EXPECT_EQ(f->ChangedCount, c.kept ? 1 : 0) << c.what;
        EXPECT_EQ(f->PrevLuma[0], 200) << c.what;
    }
}

TEST_P(DetectorTest, ObjectIsTheFirstPointWithEnoughNeighbours) {
    f->SigmaMode = 0;
    f->EdgeFilter = 0;
    AddPoint(50, 100, 100); // unchanged
    // A lone change, then three within 27 per mille of (600, 600), then one farther off.
    for (const auto& [px, py] :
         {std::pair{50, 900}, {600, 600}, {627, 573}, {573, 627}, {628, 600}}) {
        AddPoint(px, py, 0);
    }
    LumaFrame frame = Frame(100);
    struct {
        int objectPoints, objectSize;
        bool found;
        int x, y;
    } cases[] = {
        {1, 55, true, 50, 900},   // the first changed point
        {3, 55, true, 600, 600},  // (600, 600) has itself and two others within 27
        {4, 55, false, 0, 0},     // (628, 600) is 28 away
        {4, 56, true, 600, 600},  // half 28
        {6, 55, false, 0, 0},     // more than were changed: no search
        {5, 2000, true, 50, 900}, // everything is near
    };
    for (const auto& c : cases) {
        f->ObjectPoints = c.objectPoints;
        f->ObjectSize = c.objectSize;
        f->ObjectX = 0;
        f->ObjectY = 0;
        for (int i = 1; i < 6; ++i) {
            f->PrevLuma[i] = 0;
        }
        Run(frame);
        ASSERT_EQ(f->ChangedCount, 5);
        EXPECT_EQ(f->ObjectFound, c.found ? 1 : 0) << c.objectPoints << "/" << c.objectSize;
        EXPECT_EQ(f->ObjectX, c.x) << c.objectPoints << "/" << c.objectSize;
        EXPECT_EQ(f->ObjectY, c.y) << c.objectPoints << "/" << c.objectSize;
    }
}

TEST_P(DetectorTest, FirstDetectionIsDroppedAndFramesCountToAHundred) {
    f->SigmaMode = 0;
    f->EdgeFilter = 0;
    f->ObjectPoints = 2;
    f->FindFrames = 3;
    AddPoint(50, 500, 0);
    AddPoint(60, 500, 0);
    const LumaFrame dark = Frame(50);
    const LumaFrame bright = Frame(200);

    const auto expectState = [&](int changes, int object, int drop, int frameCount) {
        EXPECT_EQ(f->ChangesFound, changes);
        EXPECT_EQ(f->ObjectFound, object);
        EXPECT_EQ(f->DropFirst, drop);
        EXPECT_EQ(f->FrameCount, frameCount);
    };

    // Changes without an object (two points, three needed) do not use up the drop.
    f->ObjectPoints = 3;
    Run(bright);
    expectState(1, 0, 1, 0);
    f->ObjectPoints = 2;

    // The first frame with an object is dropped, once.
    Run(dark);
    expectState(0, 1, 0, 0);
    EXPECT_FALSE(DetectionAlarm(*f));

    for (int frame = 1; frame <= 150; ++frame) {
        Run(frame % 2 != 0 ? bright : dark);
        ASSERT_EQ(f->ChangesFound, 1) << frame;
        ASSERT_EQ(f->FrameCount, std::min(frame, 100)) << frame;
        ASSERT_EQ(DetectionAlarm(*f), frame >= 3) << frame;
    }

    // A still frame ends the run.
    Run(dark);
    EXPECT_EQ(f->ChangesFound, 0);
    EXPECT_EQ(f->FrameCount, 0);
}

TEST_P(DetectorTest, PointsFromAFileAreKeptOnThePicture) {
    f->SigmaMode = 0;
    f->EdgeFilter = 0;
    f->ObjectPoints = 1;
    AddPoint(-50, 500, 0);
    AddPoint(5000, 1200, 0);
    AddPoint(500, -7, 0);
    LumaFrame frame = Frame(100);
    frame.Set(0, kH / 2, 160);      // (0, 500)
    frame.Set(kW - 1, kH - 1, 170); // (999, 999)
    frame.Set(kW / 2, 0, 180);      // (500, 0)
    Run(frame);
    EXPECT_EQ(Changed(), (PointList{{0, 500}, {999, 999}, {500, 0}}));
    EXPECT_EQ(f->PrevLuma[0], 160);
    EXPECT_EQ(f->PrevLuma[1], 170);
    EXPECT_EQ(f->PrevLuma[2], 180);
    EXPECT_EQ(f->ObjectX, 0);
    EXPECT_EQ(f->ZoneMinY, 0);
    EXPECT_EQ(f->ZoneMaxX, 999);

    // A count above the arrays is held at 10000.
    f->PointCount = 20000;
    for (int i = 0; i < kMaxDetectionPoints; ++i) {
        f->PointX[i] = 50;
        f->PointY[i] = 500;
        f->PrevLuma[i] = 0;
    }
    Run(frame);
    EXPECT_EQ(f->ChangedCount, kMaxDetectionPoints);
}

TEST_P(DetectorTest, FramesThatCannotBeReadAreNotExamined) {
    f->SigmaMode = 1;
    f->GridLuma.fill(9);
    f->NoiseSigma = 1.25;
    f->FrameCount = 5;
    f->ZoneMinX = 11;
    AddPoint(50, 500, 0);
    const LumaFrame frame = Frame(200);
    const auto pixels = frame.Pixels();
    FrameFormat badMarker = frame.Format();
    badMarker.BitCount = 16;
    badMarker.SubformatMarker = 3;
    FrameFormat badDepth = frame.Format();
    badDepth.BitCount = 12;
    const struct {
        const char* what;
        FrameFormat format;
        std::span<const std::uint8_t> bytes;
    } cases[] = {
        {"16-bit marker 3", badMarker, pixels},
        {"12 bits", badDepth, pixels},
        {"short buffer", frame.Format(), pixels.first(pixels.size() - 1)},
        {"no pixels", frame.Format(), {}},
    };
    for (const auto& c : cases) {
        f->ChangesFound = 1;
        f->ObjectFound = 1;
        Find(*f, c.format, c.bytes, *search);
        EXPECT_EQ(f->ChangesFound, 0) << c.what;
        EXPECT_EQ(f->ObjectFound, 0) << c.what;
        EXPECT_EQ(f->FrameCount, 0) << c.what;
        EXPECT_EQ(f->PrevLuma[0], 0) << c.what;
        EXPECT_EQ(f->GridLuma[0], 9) << c.what;
        EXPECT_EQ(f->NoiseSigma, 1.25) << c.what;
        EXPECT_EQ(f->ZoneMinX, 11) << c.what;
    }
    Run(frame); // the same frame, read properly
    EXPECT_EQ(f->PrevLuma[0], 200);
}

INSTANTIATE_TEST_SUITE_P(Formats, DetectorTest, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return test::FormatName(info.param); });

} // namespace
} // namespace station
