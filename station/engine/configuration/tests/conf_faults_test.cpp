// Damaged and out-of-range stored configurations, as one table: loading never fails; a value
// out of its range takes its default and the rest still reads; data that ends or breaks gives
// the defaults from that field on.
#include "configuration/channel_set.h"
#include "configuration/chanel_points.h"
#include "conf_fixture.h"

#include <functional>

namespace station {
namespace {

// No language file: default camera names are the bare numbers.
const LanguageList kNoLanguage;

enum class File { None, Window, Main, Set, Points };

// What the four files hold before the damage.
struct Stored {
    ChanelParams window = test::SampleParams();
    std::string sigma = "4.50";
    ConfMain main = test::SampleMain();
};

struct Loaded {
    ChanelParams window;
    ConfMain main;
    ChannelSet set;
    ChanelPoints points;
};

// The bytes of `file` cut at, or with an int32 `value` patched over, the marked field plus
// `extra` bytes.
struct Damage {
    File file = File::None;
    const char* field = "";
    std::size_t extra = 0;
    bool cut = true;
    std::int32_t value = 0;
};

struct Fault {
    const char* what;
    std::function<void(Stored&)> store;
    std::function<void(Loaded&)> expect;
    Damage damage{};
};

ChannelSet sample_set() {
    ChannelSet s;
    s.Present[0] = s.Present[1] = s.Present[2] = s.Present[9] = true;
    return s;
}

ChanelPoints sample_points() {
    ChanelPoints p;
    for (int k = 0; k < 5; ++k) {
        p.X[k] = 100 + k;
        p.Y[k] = 200 + k;
    }
    return p;
}

void no_change(Stored&) {}

// The window fields from SoundFile on at their defaults.
void window_defaults_from_sound_file(Loaded& l) {
    const ChanelParams d;
    ChanelParams& p = l.window;
    p.SoundFile = d.SoundFile;
    p.SigmaFactor = d.SigmaFactor;
    p.RemNumber = d.RemNumber;
    p.NetJpeg = d.NetJpeg;
    p.NetQuality = d.NetQuality;
    p.UseOutput = d.UseOutput;
    p.OutputPin = d.OutputPin;
    p.OutputState = d.OutputState;
    p.AlarmOutputTime = d.AlarmOutputTime;
    p.UseInput = d.UseInput;
    p.AlarmInputNumber = d.AlarmInputNumber;
    p.AlarmInputState = d.AlarmInputState;
    p.SpareFlag = d.SpareFlag;
    p.UseMinimize = d.UseMinimize;
    p.MinimizeTime = d.MinimizeTime;
    p.UseRemAlarm = d.UseRemAlarm;
    p.ChNumber = d.ChNumber;
    p.AlarmMon = d.AlarmMon;
    p.AlarmMonNumber = d.AlarmMonNumber;
}

// Camera 5's name breaks: cameras 5..16 and everything after take their defaults; the pairs
// not reached keep their levels; the priorities left (16, 15, 14, 13, 5, ...) are no
// permutation and become 1..16.
void main_defaults_from_camera5_name(Loaded& l) {
    const ConfMain d = DefaultConfMain(kNoLanguage);
    ConfMain& c = l.main;
    for (int i = 4; i < kConfCameras; ++i) {
        ConfCamera cam = d.Cameras[i];
        cam.Level = c.Cameras[i].Level;
        c.Cameras[i] = cam;
    }
    for (int i = 0; i < kConfCameras; ++i) {
        c.Cameras[i].Priority = i + 1;
        c.Cameras[i].Bright = 128;
        c.Cameras[i].Contr = 128;
        c.Cameras[i].Sat = 128;
        c.Cameras[i].Hue = 0;
    }
    c.SystemFiltr = d.SystemFiltr;
    c.NotchOff = d.NotchOff;
    c.ReportFlags = d.ReportFlags;
    c.ReportDays = d.ReportDays;
    c.SwitchDelay = d.SwitchDelay;
    c.PciFix = d.PciFix;
}

void sigma(Stored& s, const char* text) {
    s.sigma = text;
}

const std::vector<Fault>& faults() {
    static const std::vector<Fault> table = {
        // ---- window numbers out of range ----
        {"PointCount above 10000", [](Stored& s) { s.window.PointCount = 10001; },
         [](Loaded& l) { l.window.PointCount = 0; }},
        {"PointCount negative", [](Stored& s) { s.window.PointCount = -1; },
         [](Loaded& l) { l.window.PointCount = 0; }},
        {"PointCount 10000 is kept", [](Stored& s) { s.window.PointCount = 10000; },
         [](Loaded& l) { l.window.PointCount = 10000; }},
        {"CamNumber 0", [](Stored& s) { s.window.CamNumber = 0; },
         [](Loaded& l) { l.window.CamNumber = 1; }},
        {"CamNumber 17", [](Stored& s) { s.window.CamNumber = 17; },
         [](Loaded& l) { l.window.CamNumber = 1; }},
        {"ChNumber 5", [](Stored& s) { s.window.ChNumber = 5; },
         [](Loaded& l) { l.window.ChNumber = 1; }},
        {"RemNumber 21", [](Stored& s) { s.window.RemNumber = 21; },
         [](Loaded& l) { l.window.RemNumber = 0; }},
        {"RemNumber negative", [](Stored& s) { s.window.RemNumber = -1; },
         [](Loaded& l) { l.window.RemNumber = 0; }},
        {"OutputPin 9", [](Stored& s) { s.window.OutputPin = 9; },
         [](Loaded& l) { l.window.OutputPin = 1; }},
        {"OutputPin 0", [](Stored& s) { s.window.OutputPin = 0; },
         [](Loaded& l) { l.window.OutputPin = 1; }},
        {"AlarmInputNumber 17", [](Stored& s) { s.window.AlarmInputNumber = 17; },
         [](Loaded& l) { l.window.AlarmInputNumber = 1; }},
        {"the other numbers beyond the settings dialog's bounds",
         [](Stored& s) {
             ChanelParams& p = s.window;
             p.WriteQuality = 101;
             p.NetQuality = 0;
             p.Threshold = 256;
             p.PointStep = 0;
             p.ObjectSize = 1001;
             p.ObjectPoints = 0;
             p.FindFrames = 101;
             p.WriteInterval = 60001;
             p.AlarmOutputTime = 61;
             p.OutputState = 2;
             p.AlarmInputState = -1;
             p.MinimizeTime = 4;
         },
         [](Loaded& l) {
             ChanelParams& p = l.window;
             p.WriteQuality = 80;
             p.NetQuality = 50;
             p.Threshold = 44;
             p.PointStep = 15;
             p.ObjectSize = 55;
             p.ObjectPoints = 6;
             p.FindFrames = 1;
             p.WriteInterval = 0;
             p.AlarmOutputTime = 0;
             p.OutputState = 1;
             p.AlarmInputState = 0;
             p.MinimizeTime = 20;
         }},
        // ---- SigmaFactor text ----
        {"SigmaFactor with a comma", [](Stored& s) { sigma(s, "4,25"); },
         [](Loaded& l) { l.window.SigmaFactor = 4.25; }},
        {"SigmaFactor with blanks around", [](Stored& s) { sigma(s, " 3.70 "); },
         [](Loaded& l) { l.window.SigmaFactor = 3.7; }},
        {"SigmaFactor not a number", [](Stored& s) { sigma(s, "abc"); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        {"SigmaFactor with trailing text", [](Stored& s) { sigma(s, "4.5x"); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        {"SigmaFactor empty", [](Stored& s) { sigma(s, ""); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        {"SigmaFactor nan", [](Stored& s) { sigma(s, "nan"); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        {"SigmaFactor infinite", [](Stored& s) { sigma(s, "inf"); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        {"SigmaFactor beyond a double", [](Stored& s) { sigma(s, "1e999"); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        {"SigmaFactor above 100", [](Stored& s) { sigma(s, "100.01"); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        {"SigmaFactor negative", [](Stored& s) { sigma(s, "-0.50"); },
         [](Loaded& l) { l.window.SigmaFactor = 5.0; }},
        // ---- window data that ends or breaks ----
        {"window file ends inside the sound file name",
         no_change,
         window_defaults_from_sound_file,
         {File::Window, "SoundFile", 6}},
        {"window file with a negative string count",
         no_change,
         window_defaults_from_sound_file,
         {File::Window, "SoundFile", 0, false, -1}},
        {"window file with a string count past its end",
         no_change,
         window_defaults_from_sound_file,
         {File::Window, "SoundFile", 0, false, 1000000}},
        {"window file ends after its version word",
         no_change,
         [](Loaded& l) { l.window = ChanelParams{}; },
         {File::Window, "LiveVideo", 0}},
        // ---- main file values out of range ----
        {"level 64 with AutoGain off",
         no_change,
         [](Loaded& l) { l.main.Cameras[0].Level[0] = 53; },
         {File::Main, "level1.1", 0, false, 64}},
        {"level negative with AutoGain off",
         no_change,
         [](Loaded& l) { l.main.Cameras[0].Level[0] = 53; },
         {File::Main, "level1.1", 0, false, -1}},
        {"level out of range with AutoGain on keeps the level in force",
         no_change,
         [](Loaded&) {},
         {File::Main, "level1.2", 0, false, 99}},
        {"picture values beyond 0..255",
         [](Stored& s) {
             ConfCamera& cam = s.main.Cameras[1];
             cam.Bright = 256;
             cam.Contr = -1;
             cam.Sat = 300;
             cam.Hue = 256;
         },
         [](Loaded& l) {
             ConfCamera& cam = l.main.Cameras[1];
             cam.Bright = 128;
             cam.Contr = 128;
             cam.Sat = 128;
             cam.Hue = 0;
         }},
        {"SwitchDelay beyond 0..300",
         [](Stored& s) {
             s.main.SwitchDelay = {301, -1, 300, 0};
         },
         [](Loaded& l) {
             l.main.SwitchDelay = {0, 0, 300, 0};
         }},
        {"ReportDays negative", [](Stored& s) { s.main.ReportDays = -1; },
         [](Loaded& l) { l.main.ReportDays = 7; }},
        {"ReportDays 0 is kept", [](Stored& s) { s.main.ReportDays = 0; },
         [](Loaded& l) { l.main.ReportDays = 0; }},
        {"priorities with a repeat", [](Stored& s) { s.main.Cameras[3].Priority = 16; },
         [](Loaded& l) {
             for (int i = 0; i < kConfCameras; ++i) {
                 l.main.Cameras[i].Priority = i + 1;
             }
         }},
        {"priority 0", [](Stored& s) { s.main.Cameras[0].Priority = 0; },
         [](Loaded& l) {
             for (int i = 0; i < kConfCameras; ++i) {
                 l.main.Cameras[i].Priority = i + 1;
             }
         }},
        {"priority 17",
         [](Stored& s) {
             s.main.Cameras[0].Priority = 17; // camera 1 had 16, now nobody has
         },
         [](Loaded& l) {
             for (int i = 0; i < kConfCameras; ++i) {
                 l.main.Cameras[i].Priority = i + 1;
             }
         }},
        // ---- main data that ends or breaks ----
        {"main file ends inside camera 5's name",
         no_change,
         main_defaults_from_camera5_name,
         {File::Main, "camera5", 4 + 6}},
        {"main file with a negative string count",
         no_change,
         main_defaults_from_camera5_name,
         {File::Main, "camera5", 4, false, -1}},
        // ---- slot set and points ----
        {"slot file ends after slot 3",
         no_change,
         [](Loaded& l) { l.set.Present[9] = false; },
         {File::Set, "", 4 + 3}},
        {"points file ends inside pair 2",
         no_change,
         [](Loaded& l) {
             l.points.Y[1] = 0;
             for (int k = 2; k < 5; ++k) {
                 l.points.X[k] = l.points.Y[k] = 0;
             }
         },
         {File::Points, "", 12}},
        {"points file empty",
         no_change,
         [](Loaded& l) { l.points = ChanelPoints{}; },
         {File::Points, "", 0}},
    };
    return table;
}

std::vector<std::uint8_t> damaged(const test::LayoutBytes& file, const Damage& d) {
    return d.cut ? file.cut(d.field, d.extra) : file.patched(d.field, d.extra, d.value);
}

test::LayoutBytes plain(std::vector<std::uint8_t> bytes) {
    test::LayoutBytes l;
    l.mark("");
    for (const std::uint8_t b : bytes) {
        l.bytes.byte(b);
    }
    return l;
}

TEST(ConfFaults, DamagedFilesLoadWithDefaults) {
    for (const Fault& f : faults()) {
        SCOPED_TRACE(f.what);
        Stored stored;
        f.store(stored);
        const auto window = test::WindowFile(stored.window, stored.sigma);
        const auto main = test::MainFile(stored.main);
        const auto set = plain(EncodeChannelSet(sample_set()));
        const auto points = plain(EncodeChanelPoints(sample_points()));
        auto bytes = [&](File file, const test::LayoutBytes& l) {
            return f.damage.file == file ? damaged(l, f.damage) : l.bytes.get();
        };

        Loaded want{test::SampleParams(), test::SampleMain(), sample_set(), sample_points()};
        f.expect(want);
        EXPECT_EQ(DecodeChanelParams(bytes(File::Window, window)), want.window);
        EXPECT_EQ(DecodeConfMain(bytes(File::Main, main), test::ConfLevels(test::SampleMain()),
                                 kNoLanguage),
                  want.main);
        EXPECT_EQ(DecodeChannelSet(bytes(File::Set, set)), want.set);
        EXPECT_EQ(DecodeChanelPoints(bytes(File::Points, points)), want.points);
    }
}

} // namespace
} // namespace station
