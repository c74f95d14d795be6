// The alarm actions as one table: alarm conditions and window settings against the requests,
// the relay, the window state, the remote alarm flag and the archive call of one frame.
#include "camera_fixture.h"

#include "base/language_lines.h"

#include <optional>

namespace camera_test {
namespace {

constexpr int kInput = 3; // the window's sensor input

struct Setup {
    bool detection = false;
    bool inputBit = false; // sensor input kInput set
    int inputState = 1;    // AlarmInputState
    bool useInput = true;
    int remNumber = 0;   // the window shows a remote station's camera
    int remoteFlag = -1; // -1 a local frame, else a remote frame with this alarm flag
    bool useRemAlarm = true;
    bool writeOnAlarm = true;
    bool writeBtn = false;
};

struct Written {
    bool alarm;
    bool manual;
    int x, y, size;
    bool operator==(const Written&) const = default;
};

struct Expect {
    int mon = 0;
    int sound = 0;
    int output = 0;
    bool restored = false;
    int remFlag = 0;
    std::optional<Written> written;
};

struct Row {
    const char* name;
    Setup in;
    Expect out;
};

constexpr Written kObject{true, false, 400, 300, 80};
constexpr Written kWhole{true, false, 500, 500, 1000};

const Row kRows[] = {
    {"quiet", {}, {}},
    {"detection", {.detection = true}, {1, 1, 1, true, 1, kObject}},
    {"input set, active high", {.inputBit = true}, {1, 1, 1, true, 1, kWhole}},
    {"input clear, active low", {.inputState = 0}, {1, 1, 1, true, 1, kWhole}},
    {"input clear, active high", {.inputState = 1}, {}},
    {"input set, active low", {.inputBit = true, .inputState = 0}, {}},
    {"input set, level 2 never alarms", {.inputBit = true, .inputState = 2}, {}},
    {"input clear, level 2 never alarms", {.inputState = 2}, {}},
    {"input not used", {.inputBit = true, .useInput = false}, {}},
    {"remote alarm", {.remNumber = 3, .remoteFlag = 1}, {0, 1, 1, true, 0, kWhole}},
    {"remote alarm not used", {.remNumber = 3, .remoteFlag = 1, .useRemAlarm = false}, {}},
    {"remote frame without its flag", {.remNumber = 3, .remoteFlag = 0}, {}},
    {"remote detection never asks monitors nor flags",
     {.detection = true, .remNumber = 3, .remoteFlag = 0},
     {0, 1, 1, true, 0, kObject}},
    {"remote input never asks monitors nor flags",
     {.inputBit = true, .remNumber = 3, .remoteFlag = 0},
     {0, 1, 1, true, 0, kWhole}},
    {"alarm without recording on alarm",
     {.detection = true, .writeOnAlarm = false},
     {1, 1, 1, true, 1, std::nullopt}},
    {"manual button during an alarm without recording on alarm",
     {.detection = true, .writeOnAlarm = false, .writeBtn = true},
     {1, 1, 1, true, 1, Written{false, true, 400, 300, 80}}},
    {"alarm wins over the manual button",
     {.detection = true, .writeBtn = true},
     {1, 1, 1, true, 1, kObject}},
    {"manual button without alarm",
     {.writeBtn = true},
     {0, 0, 0, false, 0, Written{false, true, 0, 0, 55}}},
};

class AlarmActionsTable : public CameraFixture {};

TEST_F(AlarmActionsTable, OneFrame) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        ChanelWindow w(1, live.WindowContext());
        live_test::FakePainter panel;
        panel.minimized = true;
        panel.writeDown = row.in.writeBtn;
        w.SetPainter(&panel);
        w.CamNumber = 5;
        w.ChNumber = 2;
        w.RemNumber = row.in.remNumber;
        w.UseRemAlarm = row.in.useRemAlarm ? 1 : 0;
        w.UseInput = row.in.useInput ? 1 : 0;
        w.AlarmInputNumber = kInput;
        w.AlarmInputState = row.in.inputState;
        w.UseOutput = 1;
        w.UseMinimize = 1;
        w.WriteOnAlarm = row.in.writeOnAlarm ? 1 : 0;
        if (row.in.detection) {
            DetectionFields& d = w.Detection;
            d.ChangesFound = d.ObjectFound = 1;
            d.FrameCount = d.FindFrames = 1;
            d.ObjectX = 400;
            d.ObjectY = 300;
            d.ObjectSize = 80;
        }
        board.sensor = static_cast<std::int16_t>(row.in.inputBit ? 1 << (kInput - 1) : 0);
        live.Handoff.Chip(2).RemAlarmFlags.fill(0);
        std::vector<Written> written;
        actions.Writer = [&](archive::ArchiveContext&, const archive::ArchFrame& f) {
            written.push_back({f.alarm, f.manual, f.zone_x, f.zone_y, f.zone_size});
            EXPECT_EQ(f.camera, 5);
            EXPECT_EQ(f.station, row.in.remNumber);
            return archive::kWritten;
        };

        if (row.in.remoteFlag < 0) {
            actions.Mon_Control(w);
            actions.Zvuk(w, 0);
            actions.Save_To_Disk(w, header, pixels, 0);
            actions.SetAlarmOutputActive(w, 0);
            actions.SetWindowState(w, 0);
            actions.SetRemAlarm(w, w.CamNumber, w.ChNumber);
        } else {
            actions.Zvuk(w, row.in.remoteFlag);
            actions.Save_To_Disk(w, header, pixels, row.in.remoteFlag);
            actions.SetAlarmOutputActive(w, row.in.remoteFlag);
            actions.SetWindowState(w, row.in.remoteFlag);
        }

        EXPECT_EQ(w.MonRequest, row.out.mon);
        EXPECT_EQ(w.MonWait, row.in.remoteFlag < 0 ? 0 : 1);
        EXPECT_EQ(w.SoundRequest, row.out.sound);
        EXPECT_EQ(w.OutputActive, row.out.output);
        EXPECT_EQ(panel.restores, row.out.restored ? 1 : 0);
        EXPECT_EQ(panel.minimizes, 0);
        EXPECT_EQ(live.Handoff.Chip(2).RemAlarmFlags[5], row.out.remFlag);
        EXPECT_EQ(written.size(), row.out.written ? 1u : 0u);
        if (row.out.written && !written.empty()) {
            EXPECT_EQ(written[0], *row.out.written);
        }
        w.SetPainter(nullptr);
    }
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_TRUE(board.tones.empty());
}

TEST_F(AlarmActionsTable, RemoteFlagsOnlyForCamerasAndChipsThatExist) {
    Detect();
    live.Handoff.Chip(1).RemAlarmFlags.fill(0);
    for (auto [camera, chip] : {std::pair{0, 1}, {17, 1}, {1, 0}, {1, 5}}) {
        actions.SetRemAlarm(window, camera, chip);
    }
    for (int k = 1; k <= kChipCount; ++k) {
        for (std::int16_t flag : live.Handoff.Chip(k).RemAlarmFlags) {
            EXPECT_EQ(flag, 0);
        }
    }
}

} // namespace
} // namespace camera_test
