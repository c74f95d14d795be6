#include "chanel_params_window.h"

#include "live/chanel_window.h"

namespace station {
namespace {

std::uint8_t flag(bool b) {
    return b ? 1 : 0;
}

} // namespace

void ApplyChanelParams(const ChanelParams& p, ChanelWindow& w) {
    DetectionFields& d = w.Detection;
    w.LiveVideo = flag(p.LiveVideo);
    w.WriteJpeg = flag(p.WriteJpeg);
    w.WriteQuality = p.WriteQuality;
    w.CamNumber = p.CamNumber;
    w.PointStep = p.PointStep;
    d.PointCount = p.PointCount;
    d.Threshold = p.Threshold;
    w.HoldTime = p.HoldTime;
    d.ObjectPoints = p.ObjectPoints;
    w.WriteInterval = p.WriteInterval;
    d.ObjectSize = p.ObjectSize;
    d.FindFrames = p.FindFrames;
    w.QualitySound = flag(p.QualitySound);
    w.UseSound = flag(p.UseSound);
    w.UseSpeaker = flag(p.UseSpeaker);
    w.WriteOnAlarm = flag(p.WriteOnAlarm);
    w.UseHold = flag(p.UseHold);
    d.SigmaMode = flag(p.SigmaMode);
    w.ShowPoints = flag(p.ShowPoints);
    w.ShowObject = flag(p.ShowObject);
    w.ShowZone = flag(p.ShowZone);
    w.SoundFile = p.SoundFile;
    d.SigmaFactor = p.SigmaFactor;
    w.RemNumber = p.RemNumber;
    w.NetJpeg = flag(p.NetJpeg);
    w.NetQuality = p.NetQuality;
    w.UseOutput = flag(p.UseOutput);
    w.OutputPin = p.OutputPin;
    w.OutputState = p.OutputState;
    w.AlarmOutputTime = p.AlarmOutputTime;
    w.UseInput = flag(p.UseInput);
    w.AlarmInputNumber = p.AlarmInputNumber;
    w.AlarmInputState = p.AlarmInputState;
    w.SpareFlag = flag(p.SpareFlag);
    w.UseMinimize = flag(p.UseMinimize);
    w.MinimizeTime = p.MinimizeTime;
    w.UseRemAlarm = flag(p.UseRemAlarm);
    w.ChNumber = p.ChNumber;
    w.AlarmMon = flag(p.AlarmMon);
    for (std::size_t m = 0; m < p.AlarmMonNumber.size(); ++m) {
        w.AlarmMonNumber[m] = flag(p.AlarmMonNumber[m]);
    }
}

ChanelParams CollectChanelParams(const ChanelWindow& w, const WindowPlace& place) {
    const DetectionFields& d = w.Detection;
    ChanelParams p;
    p.LiveVideo = w.LiveVideo != 0;
    p.WriteJpeg = w.WriteJpeg != 0;
    p.WriteQuality = w.WriteQuality;
    p.Place = place;
    p.CamNumber = w.CamNumber;
    p.PointStep = w.PointStep;
    p.PointCount = d.PointCount;
    p.Threshold = d.Threshold;
    p.HoldTime = w.HoldTime;
    p.ObjectPoints = d.ObjectPoints;
    p.WriteInterval = w.WriteInterval;
    p.ObjectSize = d.ObjectSize;
    p.FindFrames = d.FindFrames;
    p.QualitySound = w.QualitySound != 0;
    p.UseSound = w.UseSound != 0;
    p.UseSpeaker = w.UseSpeaker != 0;
    p.WriteOnAlarm = w.WriteOnAlarm != 0;
    p.UseHold = w.UseHold != 0;
    p.SigmaMode = d.SigmaMode != 0;
    p.ShowPoints = w.ShowPoints != 0;
    p.ShowObject = w.ShowObject != 0;
    p.ShowZone = w.ShowZone != 0;
    p.SoundFile = w.SoundFile;
    p.SigmaFactor = d.SigmaFactor;
    p.RemNumber = w.RemNumber;
    p.NetJpeg = w.NetJpeg != 0;
    p.NetQuality = w.NetQuality;
    p.UseOutput = w.UseOutput != 0;
    p.OutputPin = w.OutputPin;
    p.OutputState = w.OutputState;
    p.AlarmOutputTime = w.AlarmOutputTime;
    p.UseInput = w.UseInput != 0;
    p.AlarmInputNumber = w.AlarmInputNumber;
    p.AlarmInputState = w.AlarmInputState;
    p.SpareFlag = w.SpareFlag != 0;
    p.UseMinimize = w.UseMinimize != 0;
    p.MinimizeTime = w.MinimizeTime;
    p.UseRemAlarm = w.UseRemAlarm != 0;
    p.ChNumber = w.ChNumber;
    p.AlarmMon = w.AlarmMon != 0;
    for (std::size_t m = 0; m < p.AlarmMonNumber.size(); ++m) {
        p.AlarmMonNumber[m] = w.AlarmMonNumber[m] != 0;
    }
    return p;
}

void ApplyChanelPoints(const ChanelPoints& points, ChanelWindow& window) {
    window.Detection.PointX = points.X;
    window.Detection.PointY = points.Y;
}

ChanelPoints CollectChanelPoints(const ChanelWindow& window) {
    ChanelPoints points;
    points.X = window.Detection.PointX;
    points.Y = window.Detection.PointY;
    return points;
}

} // namespace station
