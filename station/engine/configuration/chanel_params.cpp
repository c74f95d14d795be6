#include "chanel_params.h"

#include "conf_fields.h"
#include "sigma_text.h"
#include "settings/station_settings.h"

namespace station {
namespace {

const ChanelParams kDefaults;

// An int32 field: the stored value within `range`, else the field's default.
bool read_number(SettingsStream& s, std::int32_t ChanelParams::*field, ChanelParams& p,
                 ConfRange range) {
    return ReadRangedInt(s, p.*field, range.Lo, range.Hi, kDefaults.*field);
}

bool read_sigma(SettingsStream& s, double& sigma) {
    std::string text;
    if (!StreamReadStr(s, text)) {
        return false;
    }
    const auto value = ParseSigmaFactor(text);
    sigma = (value && *value >= 0.0 && *value <= kMaxSigmaFactor) ? *value : kDefaults.SigmaFactor;
    return true;
}

// Everything after the version word; stops at the first field the data or the version lacks.
void read_fields(SettingsStream& s, std::int32_t version, ChanelParams& p) {
    using P = ChanelParams;
    if (!StreamReadBool(s, p.LiveVideo) || !StreamReadBool(s, p.WriteJpeg) ||
        !read_number(s, &P::WriteQuality, p, kWriteQualityRange) || !ReadWindowPlace(s, p.Place) ||
        !read_number(s, &P::CamNumber, p, kCamNumberRange) ||
        !read_number(s, &P::PointStep, p, kPointStepRange) ||
        !read_number(s, &P::PointCount, p, kPointCountRange) ||
        !read_number(s, &P::Threshold, p, kThresholdRange) || !StreamReadInt(s, p.HoldTime) ||
        !read_number(s, &P::ObjectPoints, p, kObjectPointsRange) ||
        !read_number(s, &P::WriteInterval, p, kWriteIntervalRange) ||
        !read_number(s, &P::ObjectSize, p, kObjectSizeRange) ||
        !read_number(s, &P::FindFrames, p, kFindFramesRange)) {
        return;
    }
    for (bool* flag : {&p.QualitySound, &p.UseSound, &p.UseSpeaker, &p.WriteOnAlarm, &p.UseHold,
                       &p.SigmaMode, &p.ShowPoints, &p.ShowObject, &p.ShowZone}) {
        if (!StreamReadBool(s, *flag)) {
            return;
        }
    }
    if (!StreamReadStr(s, p.SoundFile) || !read_sigma(s, p.SigmaFactor)) {
        return;
    }
    if (version <= 4 || !read_number(s, &P::RemNumber, p, kRemNumberRange)) {
        return;
    }
    if (version <= 5 || !StreamReadBool(s, p.NetJpeg) ||
        !read_number(s, &P::NetQuality, p, kNetQualityRange)) {
        return;
    }
    if (version <= 10 || !StreamReadBool(s, p.UseOutput) ||
        !read_number(s, &P::OutputPin, p, kOutputPinRange) ||
        !read_number(s, &P::OutputState, p, kOutputStateRange) ||
        !read_number(s, &P::AlarmOutputTime, p, kAlarmOutputTimeRange)) {
        return;
    }
    if (version <= 11 || !StreamReadBool(s, p.UseInput) ||
        !read_number(s, &P::AlarmInputNumber, p, kAlarmInputNumberRange) ||
        !read_number(s, &P::AlarmInputState, p, kAlarmInputStateRange)) {
        return;
    }
    if (version <= 15 || !StreamReadBool(s, p.SpareFlag)) {
        return;
    }
    if (version <= 16 || !StreamReadBool(s, p.UseMinimize) ||
        !read_number(s, &P::MinimizeTime, p, kMinimizeTimeRange)) {
        return;
    }
    if (version <= 17 || !StreamReadBool(s, p.UseRemAlarm)) {
        return;
    }
    if (version <= 21 || !read_number(s, &P::ChNumber, p, kChNumberRange)) {
        return;
    }
    if (version > 22 && StreamReadBool(s, p.AlarmMon)) {
        ReadFlags(s, p.AlarmMonNumber);
    }
}

} // namespace

std::vector<std::uint8_t> EncodeChanelParams(const ChanelParams& p) {
    SettingsStream s;
    StreamWriteInt(s, kSettingsVersion);
    StreamWriteBool(s, p.LiveVideo);
    StreamWriteBool(s, p.WriteJpeg);
    StreamWriteInt(s, p.WriteQuality);
    WriteWindowPlace(s, p.Place);
    for (const std::int32_t v : {p.CamNumber, p.PointStep, p.PointCount, p.Threshold, p.HoldTime,
                                 p.ObjectPoints, p.WriteInterval, p.ObjectSize, p.FindFrames}) {
        StreamWriteInt(s, v);
    }
    for (const bool flag : {p.QualitySound, p.UseSound, p.UseSpeaker, p.WriteOnAlarm, p.UseHold,
                            p.SigmaMode, p.ShowPoints, p.ShowObject, p.ShowZone}) {
        StreamWriteBool(s, flag);
    }
    StreamWriteStr(s, p.SoundFile);
    StreamWriteStr(s, FormatSigmaFactor(p.SigmaFactor));
    StreamWriteInt(s, p.RemNumber);
    StreamWriteBool(s, p.NetJpeg);
    StreamWriteInt(s, p.NetQuality);
    StreamWriteBool(s, p.UseOutput);
    StreamWriteInt(s, p.OutputPin);
    StreamWriteInt(s, p.OutputState);
    StreamWriteInt(s, p.AlarmOutputTime);
    StreamWriteBool(s, p.UseInput);
    StreamWriteInt(s, p.AlarmInputNumber);
    StreamWriteInt(s, p.AlarmInputState);
    StreamWriteBool(s, p.SpareFlag);
    StreamWriteBool(s, p.UseMinimize);
    StreamWriteInt(s, p.MinimizeTime);
    StreamWriteBool(s, p.UseRemAlarm);
    StreamWriteInt(s, p.ChNumber);
    StreamWriteBool(s, p.AlarmMon);
    WriteFlags(s, p.AlarmMonNumber);
    return s.bytes();
}

ChanelParams DecodeChanelParams(std::span<const std::uint8_t> bytes) {
    ChanelParams p;
    SettingsStream s({bytes.begin(), bytes.end()});
    std::int32_t version = 0;
    if (StreamReadInt(s, version)) {
        read_fields(s, version, p);
    }
    return p;
}

} // namespace station
