#include "conf_fixture.h"

namespace station::test {

std::vector<std::uint8_t> LayoutBytes::cut(const std::string& field, std::size_t extra) const {
    std::vector<std::uint8_t> b = bytes.get();
    b.resize(at.at(field) + extra);
    return b;
}

std::vector<std::uint8_t> LayoutBytes::patched(const std::string& field, std::size_t extra,
                                               std::int32_t value) const {
    std::vector<std::uint8_t> b = bytes.get();
    const std::size_t o = at.at(field) + extra;
    for (int i = 0; i < 4; ++i) {
        b[o + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
    return b;
}

ChanelParams SampleParams() {
    ChanelParams p;
    p.LiveVideo = false;
    p.WriteJpeg = false;
    p.WriteQuality = 65;
    p.Place = {11, 22, 330, 440};
    p.CamNumber = 7;
    p.PointStep = 30;
    p.PointCount = 3;
    p.Threshold = 90;
    p.HoldTime = 4;
    p.ObjectPoints = 9;
    p.WriteInterval = 1500;
    p.ObjectSize = 120;
    p.FindFrames = 3;
    p.QualitySound = true;
    p.UseSound = true;
    p.UseSpeaker = true;
    p.WriteOnAlarm = true;
    p.UseHold = true;
    p.SigmaMode = false;
    p.ShowPoints = true;
    p.ShowObject = false;
    p.ShowZone = true;
    p.SoundFile = "\xF2\xF0\xE5\xE2\xE3\xE0.wav";
    p.SigmaFactor = 4.5;
    p.RemNumber = 3;
    p.NetJpeg = false;
    p.NetQuality = 70;
    p.UseOutput = true;
    p.OutputPin = 6;
    p.OutputState = 0;
    p.AlarmOutputTime = 12;
    p.UseInput = true;
    p.AlarmInputNumber = 9;
    p.AlarmInputState = 1;
    p.SpareFlag = false;
    p.UseMinimize = true;
    p.MinimizeTime = 600;
    p.UseRemAlarm = true;
    p.ChNumber = 3;
    p.AlarmMon = true;
    p.AlarmMonNumber = {true, false, true, true};
    return p;
}

ConfMain SampleMain() {
    ConfMain c;
    c.MainPlace = {5, 6, 700, 900};
    c.PlayInterval = 4;
    c.JpegQuality = 85;
    c.MonManual = {false, true, false, false};
    c.MonByFind = {false, false, true, false};
    for (int i = 0; i < kConfCameras; ++i) {
        ConfCamera& cam = c.Cameras[i];
        cam.Priority = kConfCameras - i;
        cam.Name = "cam " + std::to_string(i + 1);
        cam.RequestFiltr = i % 2 == 0;
        cam.AlarmFiltr = false;
        for (int b = 0; b < kConfBoards; ++b) {
            cam.Level[b] = (i * 4 + b) % 53;
            cam.AutoGain[b] = b % 2 == 1;
        }
        cam.Bright = 10 + i;
        cam.Contr = 200 + i;
        cam.Sat = 30 + i;
        cam.Hue = 240 + i;
    }
    for (int s = 0; s < kConfStations; ++s) {
        c.SystemFiltr[s] = s % 3 == 0;
    }
    c.NotchOff = {true, false, true, false};
    c.ReportFlags = {true, false, true, true, false, true};
    c.ReportDays = 30;
    c.SwitchDelay = {10, 0, 300, 45};
    c.PciFix = true;
    return c;
}

CameraLevels ConfLevels(const ConfMain& c) {
    CameraLevels l{};
    for (int i = 0; i < kConfCameras; ++i) {
        l[i] = c.Cameras[i].Level;
    }
    return l;
}

LayoutBytes WindowFile(const ChanelParams& p, const std::string& sigma, std::int32_t version) {
    LayoutBytes l;
    Bytes& b = l.bytes;
    auto flag = [&](bool v) { b.byte(v ? 1 : 0); };
    b.i32(version);
    l.mark("LiveVideo");
    flag(p.LiveVideo);
    flag(p.WriteJpeg);
    b.i32(p.WriteQuality).i32(p.Place.Left).i32(p.Place.Top).i32(p.Place.Height);
    b.i32(p.Place.Width);
    l.mark("CamNumber");
    b.i32(p.CamNumber).i32(p.PointStep);
    l.mark("PointCount");
    b.i32(p.PointCount).i32(p.Threshold).i32(p.HoldTime).i32(p.ObjectPoints);
    b.i32(p.WriteInterval).i32(p.ObjectSize).i32(p.FindFrames);
    for (bool v : {p.QualitySound, p.UseSound, p.UseSpeaker, p.WriteOnAlarm, p.UseHold, p.SigmaMode,
                   p.ShowPoints, p.ShowObject, p.ShowZone}) {
        flag(v);
    }
    l.mark("SoundFile");
    b.str(p.SoundFile);
    l.mark("SigmaFactor");
    b.str(sigma);
    l.mark("RemNumber");
    b.i32(p.RemNumber);
    l.mark("NetJpeg");
    flag(p.NetJpeg);
    b.i32(p.NetQuality);
    l.mark("UseOutput");
    flag(p.UseOutput);
    b.i32(p.OutputPin).i32(p.OutputState).i32(p.AlarmOutputTime);
    l.mark("UseInput");
    flag(p.UseInput);
    b.i32(p.AlarmInputNumber).i32(p.AlarmInputState);
    l.mark("SpareFlag");
    flag(p.SpareFlag);
    l.mark("UseMinimize");
    flag(p.UseMinimize);
    b.i32(p.MinimizeTime);
    l.mark("UseRemAlarm");
    flag(p.UseRemAlarm);
    l.mark("ChNumber");
    b.i32(p.ChNumber);
    l.mark("AlarmMon");
    flag(p.AlarmMon);
    for (bool v : p.AlarmMonNumber) {
        flag(v);
    }
    return l;
}

LayoutBytes MainFile(const ConfMain& c, std::int32_t version) {
    LayoutBytes l;
    Bytes& b = l.bytes;
    auto flag = [&](bool v) { b.byte(v ? 1 : 0); };
    b.i32(version).i32(c.MainPlace.Left).i32(c.MainPlace.Top).i32(c.MainPlace.Height);
    b.i32(c.MainPlace.Width).i32(0).i32(0).i32(0).i32(0);
    b.i32(c.PlayInterval).i32(c.JpegQuality);
    for (int m = 0; m < kConfMonitors; ++m) {
        flag(c.MonManual[m]);
        flag(c.MonByFind[m]);
    }
    for (int i = 0; i < kConfCameras; ++i) {
        const ConfCamera& cam = c.Cameras[i];
        l.mark("camera" + std::to_string(i + 1));
        b.i32(cam.Priority).str(cam.Name);
        flag(cam.RequestFiltr);
        flag(cam.AlarmFiltr);
        for (int k = 0; k < kConfBoards; ++k) {
            l.mark("level" + std::to_string(i + 1) + "." + std::to_string(k + 1));
            b.i32(cam.Level[k]);
            flag(cam.AutoGain[k]);
        }
    }
    l.mark("SystemFiltr");
    for (bool v : c.SystemFiltr) {
        flag(v);
    }
    l.mark("NotchOff");
    for (bool v : c.NotchOff) {
        flag(v);
    }
    l.mark("ReportFlags");
    for (bool v : c.ReportFlags) {
        flag(v);
    }
    l.mark("ReportDays");
    b.i32(c.ReportDays);
    l.mark("picture");
    for (const ConfCamera& cam : c.Cameras) {
        b.i32(cam.Bright).i32(cam.Contr).i32(cam.Sat).i32(cam.Hue);
    }
    l.mark("SwitchDelay");
    for (std::int32_t v : c.SwitchDelay) {
        b.i32(v);
    }
    l.mark("PciFix");
    flag(c.PciFix);
    return l;
}

} // namespace station::test
