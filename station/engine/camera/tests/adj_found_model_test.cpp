// The per-camera settings dialog without widgets: showing, change tracking and the work-log
// lines, OK, Cancel and an outside free, the detection page, the number edits, the selectors
// and the picture bars.
#include "camera_fixture.h"

#include "camera/adj_found_model.h"

#include <platform/ui_recorder.h>

#include <cmath>
#include <memory>

namespace camera_test {
namespace {

using Model = AdjFoundModel;

class AdjFound : public CameraFixture {
protected:
    AdjFound() {
        live.Tables.CamNames[4] = "Gate";
        live.Tables.CamNames[5] = "Yard";
        window.CamNumber = 4;
        window.FormShow(); // RemCaptionBase "L118 4"
        chips = {true, true, false, false};
    }

    std::unique_ptr<Model> Make(int slot = 1) {
        return std::make_unique<Model>(
            Model::Ports{base, live.Slots, live.AdjFound, live.Tables,
                         CameraPicture{bright.data(), contr.data(), &live.Tables.CamSat[1],
                                       &live.Tables.CamHue[1]},
                         chips, [this] { return access; }, [this](int r) { return r == right; }},
            slot);
    }
    // Shown and, after the first timer tick, ready.
    std::unique_ptr<Model> Ready() {
        auto m = Make();
        m->FormShow();
        m->Timer1Timer();
        return m;
    }

    std::array<std::int32_t, kCameraCount> bright{};
    std::array<std::int32_t, kCameraCount> contr{};
    std::array<bool, kChipCount> chips{};
    int access = 1;
    int right = 11;
    std::shared_ptr<platform::UiRecorder> recorder = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink{recorder};
};

TEST_F(AdjFound, ShowingLoadsEveryControlAndLogs) {
    DetectionFields& d = window.Detection;
    window.PointStep = 25;
    d.Threshold = 44;
    d.SigmaFactor = 3.7;
    d.ObjectSize = 120;
    d.ObjectPoints = 9;
    d.FindFrames = 3;
    d.SigmaMode = 0;
    window.ShowPoints = 1;
    window.ShowZone = 0;
    window.ShowObject = 1;
    window.LiveVideo = 0;
    window.UseInput = 1;
    window.AlarmInputNumber = 12;
    window.AlarmInputState = 1;
    window.WriteOnAlarm = 1;
    window.WriteInterval = 1500;
    window.WriteJpeg = 1;
    window.WriteQuality = 70;
    window.UseSound = 1;
    window.UseSpeaker = 0;
    window.SoundFile = "bell.wav";
    window.QualitySound = 1;
    window.UseOutput = 1;
    window.OutputPin = 6;
    window.OutputState = 0;
    window.AlarmOutputTime = 30;
    window.UseMinimize = 1;
    window.MinimizeTime = 120;
    window.AlarmMon = 1;
    window.AlarmMonNumber = {0, 1, 0, 1};
    window.NetJpeg = 0;
    window.NetQuality = 35;
    window.UseRemAlarm = 1;
    window.ChNumber = 2;
    live.Tables.CamSat[4] = 40;
    live.Tables.CamHue[4] = 200;
    bright[3] = 90;
    contr[3] = 77;

    auto m = Make();
    m->FormShow();
    const AdjFoundControls& c = m->Controls();
    EXPECT_EQ(std::tuple(c.PointStep, c.Threshold, c.SigmaPos, c.ObjectSize, c.ObjectPoints,
                         c.FindFrames, c.SigmaMode),
              std::tuple(25, 44, 37, 120, 9, 3, 0));
    EXPECT_EQ(std::tuple(c.ShowPoints, c.ShowZone, c.ShowObject, c.LiveVideo, c.UseInput),
              std::tuple(true, false, true, false, true));
    EXPECT_EQ(std::tuple(c.InputNumberText, c.InputStateText), std::tuple("12", "1"));
    EXPECT_EQ(std::tuple(c.WriteOnAlarm, c.WriteInterval, c.WriteJpeg, c.WriteQuality),
              std::tuple(true, 1500, true, 70));
    EXPECT_EQ(std::tuple(c.UseSound, c.UseSpeaker, c.SoundFile, c.QualitySound),
              std::tuple(true, false, "bell.wav", true));
    EXPECT_EQ(std::tuple(c.UseOutput, c.OutputPinText, c.StateText, c.OutputTimeText),
              std::tuple(true, "6", "0", "30"));
    EXPECT_EQ(std::tuple(c.UseMinimize, c.MinimizeTimeText, c.AlarmMon),
              std::tuple(true, "120", true));
    EXPECT_EQ(c.AlarmMonNumber, (std::array<bool, 4>{false, true, false, true}));
    EXPECT_EQ(std::tuple(c.NetJpeg, c.NetQuality, c.UseRemAlarm), std::tuple(false, 35, true));
    EXPECT_EQ(std::tuple(c.Bright, c.Contr, c.Sat, c.Hue), std::tuple(90, 77, 40, 200));
    EXPECT_EQ(std::tuple(c.CamIndex, c.RemIndex, c.ChText), std::tuple(3, 0, "2"));
    EXPECT_EQ(c.ChItems, (std::vector<std::string>{"1", "2"}));
    // Enabling follows the loaded state.
    EXPECT_EQ(std::tuple(c.ThresholdOn, c.SigmaOn, c.WriteQualityOn, c.SoundChoiceOn, c.SoundFileOn,
                         c.OutputOn, c.MinimizeOn, c.AlarmMonNumberOn, c.NetQualityOn, c.InputOn),
              std::tuple(true, false, true, true, true, true, true, true, false, true));
    EXPECT_EQ(m->ThresholdText(), "17.3%");
    EXPECT_EQ(m->SigmaText(), "3.7");
    EXPECT_EQ(m->ObjectSizeText(), "12.0%");
    EXPECT_TRUE(live.AdjFound.OpenFor(1));
    EXPECT_EQ(LogLines(), std::vector<std::string>{"L245 \"L5 : Gate\" L246"});
    EXPECT_FALSE(m->Ready());
    m->Timer1Timer();
    EXPECT_TRUE(m->Ready());
    EXPECT_EQ(m->Controls().PointCountText, "0");
    m->FormDestroy();
    EXPECT_FALSE(live.AdjFound.Open);
}

TEST_F(AdjFound, OkBeforeTheFirstTickWritesNoChangeLine) {
    auto m = Make();
    m->FormShow();
    m->CheckClick(Model::Check::ShowZone, true);
    m->BarChange(Model::Bar::Threshold, 100);
    EXPECT_EQ(window.ShowZone, 1);
    EXPECT_EQ(window.Detection.Threshold, 100);
    m->OKBtnClick();
    m->FormDestroy();
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{"L245 \"L5 : Gate\" L246", "L245 \"L5 : Gate\" L247"}));

    // Once ready, a logged control writes its line and OK the change line.
    auto ready = Ready();
    ready->CheckClick(Model::Check::ShowZone, false);
    ready->CheckClick(Model::Check::WriteJpeg, true);
    ready->SpeakerClick(false);
    ready->OKBtnClick();
    ready->FormDestroy();
    const auto lines = LogLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
              (std::vector<std::string>{"L245 \"L5 : Gate\" L246", "L244 \"L80\"",
                                        "L244 \"L73, L94\"", "L244 \"L86, SoundBlaster\"",
                                        "L248 \"L5 : Gate\" L249", "L245 \"L5 : Gate\" L247"}));
}

TEST_F(AdjFound, CancelPutsBackFieldsAndPointsButKeepsThePicture) {
    window.Detection.PointCount = 2;
    window.Detection.PointX[0] = 100;
    window.Detection.PointY[0] = 200;
    window.Detection.PointX[1] = 300;
    window.Detection.PointY[1] = 400;
    window.Detection.SigmaFactor = 5.0;
    window.RemCaptionBase = "Porch"; // a remote link's camera name
    auto m = Ready();
    // Points added with the mouse while the dialog is open, a drag in progress.
    painter.width = 1000;
    painter.height = 1000;
    window.PanelMouseDown(MouseButton::Left, false, 500, 500, 0, 0);
    window.PanelMouseDown(MouseButton::Left, true, 10, 10, 0, 0);
    ASSERT_EQ(window.Detection.PointCount, 3);
    ASSERT_EQ(window.AreaAdd, 1);
    m->BarChange(Model::Bar::SigmaFactor, 37);
    m->CamSelect(4);
    m->RemSelect(3);
    EXPECT_EQ(window.Caption(), "3 : L118 5");
    m->BarChange(Model::Bar::Sat, 99);
    const int captions = painter.captions;

    m->CancelBtnClick();
    EXPECT_EQ(window.Detection.PointCount, 2);
    EXPECT_EQ(std::tuple(window.Detection.PointX[1], window.Detection.PointY[1]),
              std::tuple(300, 400));
    EXPECT_EQ(window.AreaAdd, 0);
    EXPECT_EQ(window.Detection.SigmaFactor, 5.0);
    EXPECT_EQ(std::tuple(window.CamNumber, window.RemNumber, window.RemCaptionBase),
              std::tuple(4, 0, "Porch"));
    EXPECT_EQ(painter.captions, captions + 1) << "the caption is rebuilt";
    EXPECT_EQ(window.Caption(), "Gate");
    EXPECT_EQ(live.Tables.CamSat[5], 99) << "the picture bars are not undone";
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "L248 \"L5 : Gate\" L249");
    EXPECT_EQ(lines.back(), "L241");
}

TEST_F(AdjFound, OutsideFreeKeepsChangesAndWritesOnlyTheClosingLine) {
    auto m = Ready();
    m->B2Click();
    m->FormDestroy();
    m->FormDestroy();
    const auto lines = LogLines();
    EXPECT_EQ(lines, (std::vector<std::string>{"L245 \"L5 : Gate\" L246", "L244 \"L68\"",
                                               "L245 \"L5 : Gate\" L247"}));
    EXPECT_EQ(window.Detection.PointCount, 0);
    EXPECT_FALSE(live.AdjFound.Open);
}

TEST_F(AdjFound, StandardGrid) {
    window.Detection.PointCount = kMaxDetectionPoints;
    auto m = Ready();
    m->B1Click();
    const DetectionFields& d = window.Detection;
    ASSERT_EQ(d.PointCount, 4000);
    EXPECT_EQ(std::tuple(d.PointX[1], d.PointY[1]), std::tuple(18, 11));
    EXPECT_EQ(std::tuple(d.PointX[80], d.PointY[80]), std::tuple(6, 31));
    EXPECT_EQ(std::tuple(d.PointX[3999], d.PointY[3999]), std::tuple(993, 991));
    EXPECT_EQ(std::tuple(d.PointX[2], d.PointX[3], d.PointX[4]), std::tuple(31, 43, 56));
    m->Timer1Timer();
    EXPECT_EQ(m->Controls().PointCountText, "4000");
}

TEST_F(AdjFound, EverySigmaFactorSurvivesShowAndOk) {
    for (int k = 0; k <= 1000; ++k) {
        window.Detection.SigmaFactor = k / 10.0;
        auto m = Ready();
        ASSERT_EQ(m->Controls().SigmaPos, k);
        m->OKBtnClick();
        m->FormDestroy();
        ASSERT_EQ(window.Detection.SigmaFactor, k / 10.0);
    }
    auto m = Ready();
    m->BarChange(Model::Bar::SigmaFactor, 37);
    EXPECT_EQ(window.Detection.SigmaFactor, 3.7);
    EXPECT_EQ(m->SigmaText(), "3.7");
    m->BarChange(Model::Bar::Threshold, 255);
    EXPECT_EQ(m->ThresholdText(), "100.0%");
    m->BarChange(Model::Bar::Threshold, 0);
    EXPECT_EQ(m->ThresholdText(), "0.0%");
}

TEST_F(AdjFound, NumberEdits) {
    using E = Model::Edit;
    struct Case {
        E edit;
        const char* start;
        const char* typed;
        const char* shown;
        int beeps;
        int field;
    };
    const Case cases[] = {
        {E::OutputPin, "3", "9", "1", 2, 1},
        {E::OutputPin, "3", "7", "7", 0, 7},
        {E::OutputPin, "3", "0", "1", 2, 1},
        {E::OutputState, "1", "2", "0", 2, 0},
        {E::AlarmOutputTime, "5", "61", "6", 1, 6},
        {E::AlarmOutputTime, "5", "60", "60", 0, 60},
        {E::AlarmInputNumber, "4", "0", "1", 2, 1},
        {E::AlarmInputNumber, "4", "17", "1", 1, 1},
        {E::AlarmInputNumber, "4", "16", "16", 0, 16},
        {E::AlarmInputState, "0", "", "0", 1, 0},
        {E::MinimizeTime, "20", "2", "5", 1, 5},
        {E::MinimizeTime, "500", "5000", "500", 1, 500},
        {E::MinimizeTime, "500", "", "5", 1, 5},
        {E::MinimizeTime, "500", "3600", "3600", 0, 3600},
        // Pasted text that is not a number keeps the last text.
        {E::MinimizeTime, "500", "1a", "500", 1, 500},
        {E::OutputPin, "3", "-1", "3", 1, 3},
        {E::AlarmOutputTime, "5", " 7", "5", 1, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " -> " + c.typed);
        window.OutputPin = window.OutputState = window.AlarmOutputTime = 0;
        window.AlarmInputNumber = window.AlarmInputState = window.MinimizeTime = 0;
        auto field = [&]() -> std::int32_t& {
            switch (c.edit) {
            case E::OutputPin:
                return window.OutputPin;
            case E::OutputState:
                return window.OutputState;
            case E::AlarmOutputTime:
                return window.AlarmOutputTime;
            case E::AlarmInputNumber:
                return window.AlarmInputNumber;
            case E::AlarmInputState:
                return window.AlarmInputState;
            default:
                return window.MinimizeTime;
            }
        };
        field() = std::stoi(c.start);
        auto m = Ready();
        recorder->clear();
        EXPECT_EQ(m->EditChange(c.edit, c.typed), c.shown);
        EXPECT_EQ(static_cast<int>(recorder->calls().size()), c.beeps);
        for (const auto& call : recorder->calls()) {
            EXPECT_EQ(call.kind, platform::UiRecorder::Kind::MessageBeep);
            EXPECT_EQ(call.type, 0xFFFFu);
        }
        EXPECT_EQ(field(), c.field);
        EXPECT_TRUE(m->Modified());
        m->FormDestroy();
    }
    // The key filter: digits and Backspace.
    recorder->clear();
    EXPECT_TRUE(Model::EditKeyPasses('7'));
    EXPECT_TRUE(Model::EditKeyPasses('\b'));
    EXPECT_FALSE(Model::EditKeyPasses('a'));
    EXPECT_EQ(recorder->calls().size(), 1u);
}

TEST_F(AdjFound, SelectorsRecaptionAndReloadThePictureBars) {
    live.Tables.CamSat[4] = 40;
    live.Tables.CamSat[5] = 10;
    live.Tables.CamHue[5] = 20;
    bright[4] = 30;
    auto m = Ready();
    EXPECT_EQ(m->Controls().Sat, 40);
    const int repaints = painter.repaints;
    m->CamSelect(4);
    EXPECT_EQ(window.CamNumber, 5);
    EXPECT_EQ(window.RemCaptionBase, "L118 5");
    EXPECT_EQ(window.Caption(), "Yard");
    EXPECT_EQ(std::tuple(m->Controls().Sat, m->Controls().Hue, m->Controls().Bright),
              std::tuple(10, 20, 30));
    EXPECT_EQ(painter.repaints, repaints + 1);
    m->RemSelect(3);
    EXPECT_EQ(window.Caption(), "3 : L118 5");
    EXPECT_EQ(painter.captions, 2);

    // Boards 1 and 2 are present: only they are taken.
    struct Ch {
        const char* typed;
        const char* shown;
        int board;
    };
    for (const Ch& c : {Ch{"2", "2", 2}, Ch{"7", "2", 2}, Ch{"3", "2", 2}, Ch{"x", "2", 2},
                        Ch{"", "2", 2}, Ch{"01", "1", 1}, Ch{"0", "1", 1}}) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(m->ChSelect(c.typed), c.shown);
        EXPECT_EQ(window.ChNumber, c.board);
    }
    const auto lines = LogLines();
    EXPECT_EQ(lines[1], "L244 \"L58\"");
    EXPECT_EQ(lines[2], "L244 \"L167\"");
    EXPECT_EQ(lines[3], "L244 \"L280\"");
}

TEST_F(AdjFound, PictureBarsAndStandardButton) {
    live.Tables.CamSat[4] = 40;
    live.Tables.CamHue[4] = 200;
    bright[3] = 90;
    auto m = Ready();
    m->DefaultBtnClick();
    EXPECT_EQ(std::tuple(live.Tables.CamSat[4], live.Tables.CamHue[4], bright[3]),
              std::tuple(128, 0, 90));
    EXPECT_EQ(std::tuple(m->Controls().Sat, m->Controls().Hue, m->Controls().Bright),
              std::tuple(128, 0, 90));
    m->BarChange(Model::Bar::Hue, 7);
    m->BarChange(Model::Bar::Contr, 8);
    EXPECT_EQ(std::tuple(live.Tables.CamHue[4], contr[3]), std::tuple(7, 8));
    EXPECT_FALSE(m->Modified()) << "the picture controls are no change of the window";
}

TEST_F(AdjFound, SoundFileIsTakenOnOk) {
    window.SoundFile = "old.wav";
    auto m = Ready();
    m->SoundFileEdited("new.wav");
    EXPECT_EQ(window.SoundFile, "old.wav");
    m->OKBtnClick();
    EXPECT_EQ(window.SoundFile, "new.wav");
    EXPECT_TRUE(m->Modified());
}

TEST_F(AdjFound, AGoneWindowIsLeftAlone) {
    auto m = Ready();
    live.Slots.Release(1);
    m->CheckClick(Model::Check::UseOutput, true);
    m->CheckClick(Model::Check::AlarmMon, true);
    m->B1Click();
    EXPECT_EQ(m->EditChange(Model::Edit::OutputPin, "4"), "4");
    EXPECT_EQ(window.UseOutput, 0);
    EXPECT_EQ(window.OutputPin, 1);
    EXPECT_EQ(window.Detection.PointCount, 0);
    EXPECT_FALSE(m->Controls().OutputOn) << "enabling stays";
    EXPECT_TRUE(m->Controls().AlarmMonNumberOn) << "but the monitor list follows its box";
    m->OKBtnClick();
    m->FormDestroy();
    const auto lines = LogLines();
    EXPECT_EQ(lines.back(), "L244 \"L67\"") << "no change or closing line without the window";
}

TEST_F(AdjFound, SourceSelectorsFollowTheAccessLevel) {
    struct Case {
        int access;
        int right; // the right granted
        bool anyBoard;
        bool cam, ch;
    };
    for (const Case& c : {Case{0, 11, true, false, false}, Case{1, 0, true, true, true},
                          Case{1, 0, false, true, false}, Case{2, 11, true, true, true},
                          Case{2, 12, true, false, false}, Case{2, 11, false, true, false}}) {
        access = c.access;
        right = c.right;
        chips = {c.anyBoard, false, false, false};
        auto m = Ready();
        EXPECT_EQ(m->Controls().CamSelectOn, c.cam);
        EXPECT_EQ(m->Controls().RemSelectOn, c.cam);
        EXPECT_EQ(m->Controls().ChSelectOn, c.ch);
        m->FormDestroy();
    }
}

} // namespace
} // namespace camera_test
