// The camera window: mouse editing of the detection points, captions, drawing by format, the
// overlays, the monitor menu and the add-window command.
#include "live/chanel_window.h"
#include "manual_clock.h"

#include "live/chanel_slots.h"
#include "base/language.h"
#include "live_fakes.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace live_test {
namespace {

class CameraWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        ChanelContext ctx;
        ctx.Tables = &tables;
        ctx.AdjFound = &adj;
        ctx.Board = &board;
        ctx.Remotes = &remotes;
        ctx.Lang = &base_.LangList;
        w = std::make_unique<ChanelWindow>(5, ctx);
        w->SetPainter(&painter);
        adj.Open = true;
        adj.Slot = 5;
    }

    std::vector<std::pair<int, int>> points() const {
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i < w->Detection.PointCount; ++i) {
            out.emplace_back(w->Detection.PointX[static_cast<std::size_t>(i)],
                             w->Detection.PointY[static_cast<std::size_t>(i)]);
        }
        return out;
    }
    void Rectangle(MouseButton button, int x1, int y1, int x2, int y2, bool shiftAtEnd = true) {
        w->PanelMouseDown(button, true, x1, y1, 0, 0);
        w->PanelMouseMove(x2, y2);
        w->PanelMouseUp(shiftAtEnd);
    }

    BaseState base_;
    LiveTables tables;
    AdjFoundState adj;
    FakeBoard board;
    FakeRemotes remotes;
    FakePainter painter; // 200 x 100
    std::unique_ptr<ChanelWindow> w;
    tolm_test::ScopedManualClock clock_{777};
};

TEST_F(CameraWindow, CreationDefaults) {
    EXPECT_EQ(w->ChanelNumber, 5);
    EXPECT_EQ(w->MonWait, 1);
    EXPECT_EQ(w->CamNumber, 1);
    EXPECT_EQ(w->ChNumber, 1);
    EXPECT_EQ(w->RemNumber, 0);
    EXPECT_EQ(w->PointStep, 15);
    EXPECT_EQ(w->SoundFile, "test.wav");
    EXPECT_EQ(w->NetQuality, 50);
    EXPECT_EQ(w->WriteQuality, 80);
    EXPECT_EQ(w->LastFrameTick, 777u);
    EXPECT_EQ(w->RemFrameTick, 777u);
    EXPECT_EQ(w->Detection.Threshold, 44);
    EXPECT_EQ(w->Detection.ObjectSize, 55);
}

TEST_F(CameraWindow, ClicksAddAndRemovePoints) {
    // The right edge gives 999, never 1000.
    w->PanelMouseDown(MouseButton::Left, false, 200, 50, 0, 0);
    w->PanelMouseDown(MouseButton::Left, false, 3, 99, 0, 0);
    EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{999, 500}, {15, 990}}));
    // Two points 2 pixels apart: a right click between them removes the lower index only.
    w->Detection.PointCount = 0;
    w->PanelMouseDown(MouseButton::Left, false, 100, 50, 0, 0);
    w->PanelMouseDown(MouseButton::Left, false, 102, 50, 0, 0);
    w->PanelMouseDown(MouseButton::Right, false, 101, 50, 0, 0);
    EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{510, 500}}));
    // Five pixels away is too far.
    w->PanelMouseDown(MouseButton::Middle, false, 107, 50, 0, 0);
    EXPECT_EQ(w->Detection.PointCount, 1);
    // Full: a click adds nothing, a rectangle adds nothing.
    w->Detection.PointCount = kMaxDetectionPoints;
    w->PanelMouseDown(MouseButton::Left, false, 10, 10, 0, 0);
    Rectangle(MouseButton::Left, 0, 0, 50, 50);
    EXPECT_EQ(w->Detection.PointCount, kMaxDetectionPoints);
}

TEST_F(CameraWindow, ClickWithTheDialogOfAnotherWindowOpensTheMonitorMenu) {
    adj.Slot = 6;
    w->PanelMouseDown(MouseButton::Left, false, 10, 20, 300, 400);
    w->PanelMouseDown(MouseButton::Right, true, 11, 21, 300, 400);
    EXPECT_EQ(painter.popups, (std::vector<std::pair<int, int>>{{310, 420}, {311, 421}}));
    EXPECT_EQ(w->Detection.PointCount, 0);
    EXPECT_EQ(w->AreaRemove, 0);
    adj.Open = false;
    adj.Slot = 5;
    w->PanelMouseDown(MouseButton::Left, false, 1, 2, 0, 0);
    EXPECT_EQ(painter.popups.size(), 3u);
}

TEST_F(CameraWindow, RectanglesAddAGridInEitherDirectionAndRemoveWhatLiesInside) {
    w->PointStep = 100;
    Rectangle(MouseButton::Left, 20, 10, 60, 30);
    const auto forward = points();
    EXPECT_EQ(forward, (std::vector<std::pair<int, int>>{{100, 100},
                                                         {200, 100},
                                                         {300, 100},
                                                         {100, 200},
                                                         {200, 200},
                                                         {300, 200},
                                                         {100, 300},
                                                         {200, 300},
                                                         {300, 300}}));
    w->Detection.PointCount = 0;
    Rectangle(MouseButton::Left, 60, 30, 20, 10);
    EXPECT_EQ(points(), forward);

    // Remove: bounds included; points outside stay in order.
    w->PanelMouseDown(MouseButton::Left, false, 150, 80, 0, 0);
    Rectangle(MouseButton::Right, 40, 20, 60, 30);
    EXPECT_EQ(points(),
              (std::vector<std::pair<int, int>>{
                  {100, 100}, {200, 100}, {300, 100}, {100, 200}, {100, 300}, {750, 800}}));

    // Released without Shift: the rectangle is discarded.
    Rectangle(MouseButton::Left, 0, 0, 199, 99, false);
    EXPECT_EQ(w->Detection.PointCount, 6);
    EXPECT_EQ(w->AreaAdd, 0);

    // The corner is clamped to the panel; the clamped per-mille value is stepped on.
    w->Detection.PointCount = 0;
    w->PointStep = 600;
    Rectangle(MouseButton::Left, 150, 90, 500, 500);
    EXPECT_EQ(w->AreaCornerX, 200);
    EXPECT_EQ(w->AreaCornerY, 100);
    EXPECT_EQ(points(), (std::vector<std::pair<int, int>>{{750, 900}}));

    // A step below 1 from damaged settings still ends.
    w->Detection.PointCount = 0;
    w->PointStep = 0;
    Rectangle(MouseButton::Left, 0, 0, 1, 1);
    EXPECT_EQ(w->Detection.PointCount, 6 * 11); // x 0..5, y 0..10 per mille
}

TEST_F(CameraWindow, RectangleStopsAddingAtTheLimit) {
    w->Detection.PointCount = kMaxDetectionPoints - 2;
    w->PointStep = 1;
    Rectangle(MouseButton::Left, 0, 0, 10, 10);
    EXPECT_EQ(w->Detection.PointCount, kMaxDetectionPoints);
    EXPECT_EQ(w->Detection.PointX[kMaxDetectionPoints - 1], 1);
}

TEST_F(CameraWindow, Captions) {
    tables.CamNames[2] = "\xC2\xF5\xEE\xE4"; // CP1251
    w->CamNumber = 2;
    w->FormShow();
    EXPECT_EQ(w->Caption(), "\xC2\xF5\xEE\xE4");
    w->RemNumber = 3;
    w->CamNumber = 5;
    w->FormShow();
    EXPECT_EQ(w->Caption(), "3 : " + base_.LangList[118] + " 5");
    w->SetNewRecPNumOfCam("Gate");
    EXPECT_EQ(w->Caption(), "3 : Gate");
    w->RemNumber = 0;
    w->CamNumber = 40;
    EXPECT_EQ(w->Caption(), "");
}

TEST_F(CameraWindow, FramesAreDrawnByFormat) {
    struct Case {
        int bits, marker;
        std::size_t bytes;
        int drawnBits; // 0: nothing drawn
        std::uint32_t colours;
    };
    const Case cases[] = {
        {8, 0, 16 * 4, 8, 256},          {16, 0, 16 * 4 * 2, 16, 0}, {16, 1, 16 * 4 * 2, 32, 0},
        {16, 2, 16 * 4 * 12 / 8, 32, 0}, {16, 3, 16 * 4 * 2, 0, 0},  {24, 0, 16 * 4 * 3, 24, 0},
        {32, 0, 16 * 4 * 4, 32, 0},      {12, 0, 16 * 4 * 2, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + "/" + std::to_string(c.marker));
        painter.pictures.clear();
        std::vector<std::uint8_t> pixels(c.bytes, 0x80);
        platform::clock::advance(3);
        w->Visualization(BitmapHeader(16, 4, c.bits, c.marker), pixels);
        EXPECT_EQ(w->LastFrameTick, platform::clock::now());
        if (c.drawnBits == 0) {
            EXPECT_TRUE(painter.pictures.empty());
            continue;
        }
        ASSERT_EQ(painter.pictures.size(), 1u);
        EXPECT_EQ(painter.pictures[0].bits, c.drawnBits);
        EXPECT_EQ(painter.pictures[0].width, 16);
        EXPECT_EQ(painter.pictures[0].height, 4);
        EXPECT_EQ(painter.pictures[0].colours, c.colours);
    }
    // A short frame or a minimised window draws nothing, but the frame still counts.
    painter.pictures.clear();
    std::vector<std::uint8_t> shortFrame(10, 0);
    w->Visualization(BitmapHeader(16, 4, 24), shortFrame);
    painter.minimized = true;
    std::vector<std::uint8_t> full(16 * 4 * 3, 0);
    platform::clock::advance(1);
    w->Visualization(BitmapHeader(16, 4, 24), full);
    EXPECT_TRUE(painter.pictures.empty());
    EXPECT_EQ(w->LastFrameTick, platform::clock::now());
}

TEST_F(CameraWindow, OverlaysDrawOnlyWhenTheirConditionsHold) {
    // Detection points only while the dialog is open for this slot and not on its fourth page.
    w->Detection.PointCount = 2;
    w->Detection.PointX[0] = 500;
    w->Detection.PointY[0] = 500;
    w->Visualization_Find_Points();
    EXPECT_EQ(painter.rects.size(), 2u);
    EXPECT_EQ(painter.rects[0], std::make_tuple(kPenGreen, 99, 49, 101, 51));
    adj.ShowsPicturePage = true;
    w->Visualization_Find_Points();
    EXPECT_EQ(painter.rects.size(), 2u);

    // The object: a red double frame clamped to the panel.
    w->Detection.ChangesFound = 1;
    w->Detection.ObjectFound = 1;
    w->Detection.FrameCount = 1;
    w->Detection.ObjectX = 990;
    w->Detection.ObjectY = 10;
    w->Object_Show(0);
    ASSERT_EQ(painter.lines.size(), 2u);
    EXPECT_EQ(painter.lines[0].first, kPenRed);
    const PanelPoint lt = painter.lines[0].second[0];
    const PanelPoint rb = painter.lines[0].second[2];
    EXPECT_EQ(lt.x, 192); // (990 - 27) per mille of 200
    EXPECT_EQ(lt.y, 0);
    EXPECT_EQ(rb.x, 199);
    EXPECT_EQ(rb.y, 3);
    EXPECT_EQ(painter.lines[1].second[0].x, 193);

    // Input alarm: a red frame at the edge; remote alarm: a blue one inset by 2.
    painter.lines.clear();
    w->ShowObject = 0;
    w->UseInput = 1;
    w->AlarmInputNumber = 3;
    w->AlarmInputState = 1;
    board.sensor = 0x0004;
    w->RemNumber = 2;
    w->UseRemAlarm = 1;
    w->Object_Show(1);
    ASSERT_EQ(painter.lines.size(), 4u);
    EXPECT_EQ(painter.lines[0].second[2].x, 199);
    EXPECT_EQ(painter.lines[2].first, kPenBlue);
    EXPECT_EQ(painter.lines[2].second[0].x, 2);
    EXPECT_EQ(painter.lines[2].second[2].y, 97);
}

TEST_F(CameraWindow, InputAlarmByLevel) {
    const struct {
        std::uint8_t use;
        std::int32_t input, state;
        std::int16_t word;
        bool alarm;
    } cases[] = {{1, 1, 1, 0x0001, true},  {1, 1, 0, 0x0001, false}, {1, 16, 1, -32768, true},
                 {1, 16, 0, 0x7FFF, true}, {1, 2, 2, 0x0002, false}, {0, 1, 1, 0x0001, false},
                 {1, 0, 0, 0, false},      {1, 17, 0, 0, false}};
    for (const auto& c : cases) {
        w->UseInput = c.use;
        w->AlarmInputNumber = c.input;
        w->AlarmInputState = c.state;
        board.sensor = c.word;
        EXPECT_EQ(w->InputAlarm(), c.alarm) << c.input << " " << c.state << " " << c.word;
    }
}

TEST_F(CameraWindow, MonitorMenuForLocalAndRemoteCameras) {
    w->CamNumber = 6;
    w->Mon1Click(2); // not manual
    tables.MonManual[2] = true;
    w->Mon1Click(2);
    w->Mon1Click(0);
    EXPECT_EQ(board.monitors, (std::vector<std::tuple<int, int>>{{2, 6}}));
    w->RemNumber = 4;
    w->Mon1Click(2); // station 4 does not exist
    remotes.exists = {4};
    w->Mon1Click(2);
    EXPECT_EQ(remotes.log, (std::vector<std::string>{"monitor 4 6 2"}));
    EXPECT_EQ(board.monitors.size(), 1u);
}

TEST(ChanelSlotTable, AddChanelTakesTheLowestFreeSlot) {
    ChanelSlots slots;
    std::vector<std::unique_ptr<ChanelWindow>> made;
    auto create = [&](int slot) {
        EXPECT_EQ(slots.NewChanelNumber, slot);
        made.push_back(std::make_unique<ChanelWindow>(slot, ChanelContext{}));
        return made.back().get();
    };
    for (int i = 1; i <= kSlotCount; ++i) {
        EXPECT_EQ(AddChanel(slots, create), i);
    }
    EXPECT_EQ(AddChanel(slots, create), 0);
    EXPECT_EQ(made.size(), 32u);
    slots.Release(3);
    slots.Release(9);
    EXPECT_EQ(slots.Used(3), nullptr);
    EXPECT_EQ(AddChanel(slots, create), 3);
    EXPECT_EQ(made.back()->ChanelNumber, 3);
    EXPECT_EQ(slots.Used(3), made.back().get());
    // A slot that is only marked present is not free either.
    slots.Release(9);
    slots.ChanelPresent[9] = true;
    EXPECT_EQ(AddChanel(slots, create), 0);
}

} // namespace
} // namespace live_test
