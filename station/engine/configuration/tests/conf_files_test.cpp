// The four files of a stored configuration: exact bytes, every field through the files, the
// live tables and a camera window, the version gates, missing files, the AutoGain rule and the
// points file of a window without points.
#include "configuration/chanel_params_window.h"
#include "conf_fixture.h"
#include "configuration/conf_main_tables.h"
#include "configuration/configuration_files.h"
#include "configuration/sigma_text.h"

#include "live/chanel_window.h"
#include "base/language.h"
#include "live/live_ports.h"
#include "base/work_log.h"

#include <functional>
#include <memory>

namespace station {
namespace {

using test::Bytes;

class ConfFiles : public test::ProgramDirTest {};

std::unique_ptr<ChanelWindow> new_window(int slot) {
    return std::make_unique<ChanelWindow>(slot, ChanelContext{});
}

CameraLevels all_levels(std::int32_t level) {
    CameraLevels l{};
    for (auto& camera : l) {
        camera.fill(level);
    }
    return l;
}

ChanelPoints sample_points() {
    ChanelPoints p;
    p.X[0] = 6;
    p.Y[0] = 11;
    p.X[1] = 18;
    p.Y[1] = 11;
    p.X[2] = 993;
    p.Y[2] = 991;
    p.X[9999] = -5; // beyond PointCount, still stored
    p.Y[9999] = 70000;
    return p;
}

TEST_F(ConfFiles, FilesHoldTheExactBytesOfTheirLayouts) {
    ChannelSet set;
    set.Present[0] = set.Present[2] = set.Present[31] = true;
    ASSERT_TRUE(WriteChannelSetFile(base_, 3, set));
    Bytes nch;
    nch.i32(26).byte(1).byte(0).byte(1);
    for (int m = 4; m <= 31; ++m) {
        nch.byte(0);
    }
    nch.byte(1);
    EXPECT_EQ(read("nch3.pdt"), nch.get());

    ASSERT_TRUE(WriteConfMainFile(base_, 3, test::SampleMain()));
    EXPECT_EQ(read("per3.pdt"), test::MainFile(test::SampleMain()).bytes.get());

    ASSERT_TRUE(WriteChanelParamsFile(base_, 3, 12, test::SampleParams()));
    const auto window = test::WindowFile(test::SampleParams(), "4.50");
    EXPECT_EQ(read("p3c12.pdt"), window.bytes.get());
    // SigmaFactor 4.5 is the text "4.50".
    const std::vector<std::uint8_t> sigma(window.bytes.get().begin() + window.at.at("SigmaFactor"),
                                          window.bytes.get().begin() + window.at.at("RemNumber"));
    EXPECT_EQ(sigma, Bytes().str("4.50").get());

    ASSERT_TRUE(WriteChanelPointsFile(base_, 3, 12, sample_points()));
    const auto points = read("p3t12.pdt");
    ASSERT_EQ(points.size(), 80000u);
    Bytes head;
    head.i32(6).i32(11).i32(18).i32(11).i32(993).i32(991);
    EXPECT_TRUE(std::equal(head.get().begin(), head.get().end(), points.begin()));
    Bytes tail;
    tail.i32(-5).i32(70000);
    EXPECT_TRUE(std::equal(tail.get().begin(), tail.get().end(), points.end() - 8));
    EXPECT_TRUE(std::all_of(points.begin() + 24, points.end() - 8, [](auto b) { return b == 0; }));
}

TEST_F(ConfFiles, EveryFieldComesBackThroughTheFiles) {
    ChannelSet set;
    set.Present[1] = set.Present[30] = true;
    ASSERT_TRUE(WriteChannelSetFile(base_, 99, set));
    ASSERT_TRUE(WriteConfMainFile(base_, 99, test::SampleMain()));
    ASSERT_TRUE(WriteChanelParamsFile(base_, 99, 32, test::SampleParams()));
    ASSERT_TRUE(WriteChanelPointsFile(base_, 99, 32, sample_points()));

    EXPECT_EQ(ReadChannelSetFile(base_, 99), set);
    EXPECT_EQ(ReadConfMainFile(base_, 99, test::ConfLevels(test::SampleMain())),
              test::SampleMain());
    EXPECT_EQ(ReadChanelParamsFile(base_, 99, 32), test::SampleParams());
    EXPECT_EQ(ReadChanelPointsFile(base_, 99, 32), sample_points());

    // Numbers outside 1..99 and 1..32 name no file.
    EXPECT_FALSE(WriteChannelSetFile(base_, 0, set));
    EXPECT_FALSE(WriteConfMainFile(base_, 100, test::SampleMain()));
    EXPECT_FALSE(WriteChanelParamsFile(base_, 1, 33, test::SampleParams()));
    EXPECT_FALSE(WriteChanelPointsFile(base_, 1, 0, sample_points()));
    EXPECT_EQ(ReadChanelParamsFile(base_, 99, 0), ChanelParams{});
}

TEST_F(ConfFiles, EveryFieldComesBackThroughTheLiveTablesAndAWindow) {
    const ConfMain sample = test::SampleMain();
    LiveTables tables;
    ApplyConfMain(sample, tables, base_);
    EXPECT_EQ(tables.CamNames[16], "cam 16");
    EXPECT_EQ(tables.AdcRange[3][2], sample.Cameras[1].Level[2]);
    EXPECT_EQ(tables.SwitchDelay[3], 300);
    EXPECT_EQ(base_.ReportDays, 30);
    EXPECT_EQ(LevelsOf(tables), test::ConfLevels(sample));

    // What the tables and the work log hold comes back; the rest stays with the caller's copy.
    ConfMain collected = DefaultConfMain(base_.LangList);
    CollectConfMain(tables, base_, collected);
    for (int i = 0; i < kConfCameras; ++i) {
        collected.Cameras[i].RequestFiltr = sample.Cameras[i].RequestFiltr;
        collected.Cameras[i].AlarmFiltr = sample.Cameras[i].AlarmFiltr;
        collected.Cameras[i].Bright = sample.Cameras[i].Bright;
        collected.Cameras[i].Contr = sample.Cameras[i].Contr;
    }
    collected.MainPlace = sample.MainPlace;
    collected.PlayInterval = sample.PlayInterval;
    collected.JpegQuality = sample.JpegQuality;
    collected.SystemFiltr = sample.SystemFiltr;
    collected.PciFix = sample.PciFix;
    EXPECT_EQ(collected, sample) << "a value did not go through the live tables";

    auto window = new_window(5);
    ApplyChanelParams(test::SampleParams(), *window);
    EXPECT_EQ(window->Detection.SigmaFactor, 4.5);
    EXPECT_EQ(window->Detection.SigmaMode, 0);
    EXPECT_EQ(window->OutputPin, 6);
    EXPECT_EQ(CollectChanelParams(*window, test::SampleParams().Place), test::SampleParams());
    ApplyChanelPoints(sample_points(), *window);
    EXPECT_EQ(CollectChanelPoints(*window), sample_points());
}

TEST_F(ConfFiles, SigmaFactorTextHasTwoDecimalsAndAPoint) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{4.5, "4.50"}, {5.0, "5.00"}, {0.0, "0.00"}, {3.7, "3.70"}, {100.0, "100.00"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSigmaFactor(c.value), c.text);
        EXPECT_EQ(ParseSigmaFactor(c.text), c.value) << c.text;
    }
}

// A file of version v holds the fields whose gate is below v; the first gate it fails and
// every field after take their defaults.
TEST_F(ConfFiles, VersionGatesStopReadingAtTheFirstFieldTooNew) {
    const ChanelParams d;
    const std::vector<std::pair<int, std::function<void(ChanelParams&)>>> window_gates = {
        {4, [&](ChanelParams& p) { p.RemNumber = d.RemNumber; }},
        {5,
         [&](ChanelParams& p) {
             p.NetJpeg = d.NetJpeg;
             p.NetQuality = d.NetQuality;
         }},
        {10,
         [&](ChanelParams& p) {
             p.UseOutput = d.UseOutput;
             p.OutputPin = d.OutputPin;
             p.OutputState = d.OutputState;
             p.AlarmOutputTime = d.AlarmOutputTime;
         }},
        {11,
         [&](ChanelParams& p) {
             p.UseInput = d.UseInput;
             p.AlarmInputNumber = d.AlarmInputNumber;
             p.AlarmInputState = d.AlarmInputState;
         }},
        {15, [&](ChanelParams& p) { p.SpareFlag = d.SpareFlag; }},
        {16,
         [&](ChanelParams& p) {
             p.UseMinimize = d.UseMinimize;
             p.MinimizeTime = d.MinimizeTime;
         }},
        {17, [&](ChanelParams& p) { p.UseRemAlarm = d.UseRemAlarm; }},
        {21, [&](ChanelParams& p) { p.ChNumber = d.ChNumber; }},
        {22,
         [&](ChanelParams& p) {
             p.AlarmMon = d.AlarmMon;
             p.AlarmMonNumber = d.AlarmMonNumber;
         }},
    };
    const ConfMain dm;
    const std::vector<std::pair<int, std::function<void(ConfMain&)>>> main_gates = {
        {7, [&](ConfMain& c) { c.SystemFiltr = dm.SystemFiltr; }},
        {12, [&](ConfMain& c) { c.NotchOff = dm.NotchOff; }},
        {14,
         [&](ConfMain& c) {
             c.ReportFlags = dm.ReportFlags;
             c.ReportDays = dm.ReportDays;
         }},
        {19,
         [&](ConfMain& c) {
             for (ConfCamera& cam : c.Cameras) {
                 cam.Bright = 128;
                 cam.Contr = 128;
                 cam.Sat = 128;
                 cam.Hue = 0;
             }
         }},
        {20, [&](ConfMain& c) { c.SwitchDelay.fill(0); }},
        {25, [&](ConfMain& c) { c.PciFix = false; }},
    };

    for (int v = 0; v <= 27; ++v) {
        ChanelParams want = test::SampleParams();
        for (const auto& [gate, reset] : window_gates) {
            if (v <= gate) {
                reset(want);
            }
        }
        EXPECT_EQ(DecodeChanelParams(test::WindowFile(test::SampleParams(), "4.50", v).bytes.get()),
                  want)
            << "window file version " << v;

        ConfMain want_main = test::SampleMain();
        for (const auto& [gate, reset] : main_gates) {
            if (v <= gate) {
                reset(want_main);
            }
        }
        EXPECT_EQ(DecodeConfMain(test::MainFile(test::SampleMain(), v).bytes.get(),
                                 test::ConfLevels(test::SampleMain()), base_.LangList),
                  want_main)
            << "main file version " << v;
    }

    // The old window file of the documents: a local camera on board 1, compressed at 50.
    const ChanelParams old =
        DecodeChanelParams(test::WindowFile(test::SampleParams(), "4.50", 4).bytes.get());
    EXPECT_EQ(old.RemNumber, 0);
    EXPECT_TRUE(old.NetJpeg);
    EXPECT_EQ(old.NetQuality, 50);
    EXPECT_EQ(old.ChNumber, 1);
    EXPECT_EQ(old.CamNumber, 7) << "fields before the gates are read";
}

TEST_F(ConfFiles, MissingFilesGiveTheDocumentedDefaults) {
    ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));

    EXPECT_EQ(ReadChannelSetFile(base_, 1), ChannelSet{});

    const ConfMain m = ReadConfMainFile(base_, 1, all_levels(20));
    EXPECT_EQ(m.MainPlace, (WindowPlace{100, 100, 100, 300}));
    EXPECT_EQ(m.PlayInterval, 1);
    EXPECT_EQ(m.JpegQuality, 50);
    for (int k = 0; k < kConfMonitors; ++k) {
        EXPECT_TRUE(m.MonManual[k] && m.MonByFind[k]);
    }
    for (int c = 1; c <= kConfCameras; ++c) {
        const ConfCamera& cam = m.Cameras[c - 1];
        EXPECT_EQ(cam.Priority, c);
        // "Камера" in CP1251, a blank, the number.
        EXPECT_EQ(cam.Name, "\xCA\xE0\xEC\xE5\xF0\xE0 " + std::to_string(c));
        EXPECT_TRUE(cam.RequestFiltr && cam.AlarmFiltr);
        for (int b = 0; b < kConfBoards; ++b) {
            EXPECT_EQ(cam.Level[b], 53) << "a missing file sets 53 whatever the current level";
            EXPECT_TRUE(cam.AutoGain[b]);
        }
        EXPECT_EQ(std::tuple(cam.Bright, cam.Contr, cam.Sat, cam.Hue),
                  std::tuple(128, 128, 128, 0));
    }
    EXPECT_TRUE(std::all_of(m.SystemFiltr.begin(), m.SystemFiltr.end(), [](bool f) { return f; }));
    EXPECT_EQ(m.NotchOff, (std::array<bool, 4>{}));
    EXPECT_EQ(m.ReportFlags, (std::array<bool, 6>{}));
    EXPECT_EQ(m.ReportDays, 7);
    EXPECT_EQ(m.SwitchDelay, (std::array<std::int32_t, 4>{}));
    EXPECT_FALSE(m.PciFix);

    const ChanelParams p = ReadChanelParamsFile(base_, 1, 1);
    EXPECT_TRUE(p.LiveVideo && p.WriteJpeg);
    EXPECT_EQ(p.WriteQuality, 80);
    EXPECT_EQ(p.Place, (WindowPlace{300, 300, 160, 200}));
    EXPECT_EQ(
        std::vector<std::int32_t>({p.CamNumber, p.PointStep, p.PointCount, p.Threshold, p.HoldTime,
                                   p.ObjectPoints, p.WriteInterval, p.ObjectSize, p.FindFrames}),
        std::vector<std::int32_t>({1, 15, 0, 44, 1, 6, 0, 55, 1}));
    EXPECT_EQ(std::vector<bool>({p.QualitySound, p.UseSound, p.UseSpeaker, p.WriteOnAlarm,
                                 p.UseHold, p.SigmaMode, p.ShowPoints, p.ShowObject, p.ShowZone}),
              std::vector<bool>({false, false, false, false, false, true, false, true, false}));
    EXPECT_EQ(p.SoundFile, "test.wav");
    EXPECT_EQ(p.SigmaFactor, 5.0);
    EXPECT_EQ(p.RemNumber, 0);
    EXPECT_TRUE(p.NetJpeg);
    EXPECT_EQ(p.NetQuality, 50);
    EXPECT_FALSE(p.UseOutput);
    EXPECT_EQ(std::tuple(p.OutputPin, p.OutputState, p.AlarmOutputTime), std::tuple(1, 1, 0));
    EXPECT_FALSE(p.UseInput);
    EXPECT_EQ(std::tuple(p.AlarmInputNumber, p.AlarmInputState), std::tuple(1, 0));
    EXPECT_TRUE(p.SpareFlag);
    EXPECT_FALSE(p.UseMinimize);
    EXPECT_EQ(p.MinimizeTime, 20);
    EXPECT_FALSE(p.UseRemAlarm);
    EXPECT_EQ(p.ChNumber, 1);
    EXPECT_FALSE(p.AlarmMon);
    EXPECT_EQ(p.AlarmMonNumber, (std::array<bool, 4>{}));

    EXPECT_EQ(ReadChanelPointsFile(base_, 1, 1), ChanelPoints{});
}

// A pair's level comes from the file only when the AutoGain read for it is off; with it on the
// level in force stays (20 at start, whatever level control set later).
TEST_F(ConfFiles, AutoGainOnKeepsTheLevelInForce) {
    ConfMain stored = test::SampleMain();
    stored.Cameras[0].Level = {33, 34, 35, 36}; // AutoGain off, on, off, on
    ASSERT_TRUE(WriteConfMainFile(base_, 2, stored));

    LiveTables tables;          // the start-up levels: 20, AutoGain on
    tables.AdcRange[4][1] = 41; // level control moved camera 1 on board 4
    ApplyConfMain(ReadConfMainFile(base_, 2, LevelsOf(tables)), tables, base_);
    EXPECT_EQ(tables.AdcRange[1][1], 33);
    EXPECT_EQ(tables.AdcRange[2][1], 20);
    EXPECT_EQ(tables.AdcRange[3][1], 35);
    EXPECT_EQ(tables.AdcRange[4][1], 41);
    EXPECT_FALSE(tables.AutoGain[1][1]);
    EXPECT_TRUE(tables.AutoGain[2][1]);

    // Loading again later keeps the levels now in force for AutoGain pairs.
    tables.AdcRange[2][1] = 12;
    ApplyConfMain(ReadConfMainFile(base_, 2, LevelsOf(tables)), tables, base_);
    EXPECT_EQ(tables.AdcRange[2][1], 12);
    EXPECT_EQ(tables.AdcRange[1][1], 33);

    // Only a missing file sets 53, on every pair.
    ApplyConfMain(ReadConfMainFile(base_, 3, LevelsOf(tables)), tables, base_);
    EXPECT_EQ(tables.AdcRange[2][1], 53);
    EXPECT_EQ(tables.AdcRange[4][16], 53);
}

TEST_F(ConfFiles, PointsFileOnlyForAWindowWithPoints) {
    ChanelPoints old_points;
    old_points.X[0] = 777;
    ASSERT_TRUE(WriteChanelPointsFile(base_, 4, 2, old_points));
    const auto old_bytes = read("p4t2.pdt");

    // Saving a window without points leaves the older points file as it was.
    auto window = new_window(2);
    window->Detection.PointCount = 0;
    window->Detection.PointX[0] = 123;
    ASSERT_TRUE(SaveChanelWindowFiles(base_, 4, 2, *window, {1, 2, 3, 4}));
    EXPECT_EQ(read("p4t2.pdt"), old_bytes);

    // Loading it does not read the points file: the window's points stay as they were.
    auto loaded = new_window(2);
    loaded->Detection.PointX[0] = 555;
    const ChanelParams params = LoadChanelWindowFiles(base_, 4, 2, *loaded);
    EXPECT_EQ(params.Place, (WindowPlace{1, 2, 3, 4}));
    EXPECT_EQ(loaded->Detection.PointCount, 0);
    EXPECT_EQ(loaded->Detection.PointX[0], 555);

    // With points, both files are written and read.
    window->Detection.PointCount = 2;
    window->Detection.PointX[1] = 456;
    ASSERT_TRUE(SaveChanelWindowFiles(base_, 4, 2, *window, {1, 2, 3, 4}));
    LoadChanelWindowFiles(base_, 4, 2, *loaded);
    EXPECT_EQ(loaded->Detection.PointCount, 2);
    EXPECT_EQ(loaded->Detection.PointX[0], 123);
    EXPECT_EQ(loaded->Detection.PointX[1], 456);

    // A missing points file gives zero coordinates; PointCount stays from the window file.
    std::filesystem::remove(path("p4t2.pdt"));
    LoadChanelWindowFiles(base_, 4, 2, *loaded);
    EXPECT_EQ(loaded->Detection.PointCount, 2);
    EXPECT_EQ(loaded->Detection.PointX[1], 0);
}

TEST_F(ConfFiles, SaversAnswerFalseWhenTheFileCannotBeWritten) {
    // A folder in the way of the file: the write fails and nothing else is touched.
    std::filesystem::create_directory(path("per5.pdt"));
    EXPECT_FALSE(WriteConfMainFile(base_, 5, test::SampleMain()));
    std::filesystem::create_directory(path("p5c1.pdt"));
    auto window = new_window(1);
    window->Detection.PointCount = 1;
    EXPECT_FALSE(SaveChanelWindowFiles(base_, 5, 1, *window, {}));
    EXPECT_FALSE(std::filesystem::exists(path("p5t1.pdt")));
}

} // namespace
} // namespace station
