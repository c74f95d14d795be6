// The "p<N>c<M>" file of a stored configuration: the settings of the camera window in slot M.
//
// Layout after the version word (fields marked vN are read only when the stored version
// exceeds N; a lower version stops reading there and the rest takes its defaults):
//   LiveVideo, WriteJpeg; WriteQuality; window Left, Top, Height, Width; CamNumber, PointStep,
//   PointCount, Threshold, HoldTime, ObjectPoints, WriteInterval, ObjectSize, FindFrames;
//   QualitySound, UseSound, UseSpeaker, WriteOnAlarm, UseHold, SigmaMode, ShowPoints,
//   ShowObject, ShowZone; SoundFile; SigmaFactor as text (sigma_text.h);
//   v4: RemNumber; v5: NetJpeg, NetQuality; v10: UseOutput, OutputPin, OutputState,
//   AlarmOutputTime; v11: UseInput, AlarmInputNumber, AlarmInputState; v15: SpareFlag;
//   v16: UseMinimize, MinimizeTime; v17: UseRemAlarm; v21: ChNumber; v22: AlarmMon,
//   AlarmMonNumber[1..4].
//
// Decoding never fails: data that ends or breaks leaves that field and all after it at their
// defaults; a number outside the range the settings dialog allows takes its default and
// reading goes on; a SigmaFactor text that is not a finite number in 0..100 gives 5.0.
#pragma once

#include "window_place.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace station {

// Ranges of the stored window numbers (the settings dialog's bounds).
struct ConfRange {
    std::int32_t Lo;
    std::int32_t Hi;
};
inline constexpr ConfRange kWriteQualityRange{1, 100};
inline constexpr ConfRange kCamNumberRange{1, 16};
inline constexpr ConfRange kPointStepRange{1, 1000};
inline constexpr ConfRange kPointCountRange{0, 10000};
inline constexpr ConfRange kThresholdRange{0, 255};
inline constexpr ConfRange kObjectPointsRange{1, 1000};
inline constexpr ConfRange kWriteIntervalRange{0, 60000};
inline constexpr ConfRange kObjectSizeRange{1, 1000};
inline constexpr ConfRange kFindFramesRange{1, 100};
inline constexpr ConfRange kRemNumberRange{0, 20};
inline constexpr ConfRange kNetQualityRange{1, 100};
inline constexpr ConfRange kOutputPinRange{1, 8};
inline constexpr ConfRange kOutputStateRange{0, 1};
inline constexpr ConfRange kAlarmOutputTimeRange{0, 60};
inline constexpr ConfRange kAlarmInputNumberRange{1, 16};
inline constexpr ConfRange kAlarmInputStateRange{0, 1};
inline constexpr ConfRange kMinimizeTimeRange{5, 3600};
inline constexpr ConfRange kChNumberRange{1, 4};
inline constexpr double kMaxSigmaFactor = 100.0;

// The stored fields of one camera window, with the defaults of a missing file. Monitor m is
// AlarmMonNumber[m - 1].
struct ChanelParams {
    bool LiveVideo = true;
    bool WriteJpeg = true;
    std::int32_t WriteQuality = 80;
    WindowPlace Place{300, 300, 160, 200};
    std::int32_t CamNumber = 1;
    std::int32_t PointStep = 15;
    std::int32_t PointCount = 0;
    std::int32_t Threshold = 44;
    std::int32_t HoldTime = 1;
    std::int32_t ObjectPoints = 6;
    std::int32_t WriteInterval = 0;
    std::int32_t ObjectSize = 55;
    std::int32_t FindFrames = 1;
    bool QualitySound = false;
    bool UseSound = false;
    bool UseSpeaker = false;
    bool WriteOnAlarm = false;
    bool UseHold = false;
    bool SigmaMode = true;
    bool ShowPoints = false;
    bool ShowObject = true;
    bool ShowZone = false;
    std::string SoundFile = "test.wav"; // CP1251
    double SigmaFactor = 5.0;
    std::int32_t RemNumber = 0;
    bool NetJpeg = true;
    std::int32_t NetQuality = 50;
    bool UseOutput = false;
    std::int32_t OutputPin = 1;
    std::int32_t OutputState = 1;
    std::int32_t AlarmOutputTime = 0;
    bool UseInput = false;
    std::int32_t AlarmInputNumber = 1;
    std::int32_t AlarmInputState = 0;
    bool SpareFlag = true;
    bool UseMinimize = false;
    std::int32_t MinimizeTime = 20;
    bool UseRemAlarm = false;
    std::int32_t ChNumber = 1;
    bool AlarmMon = false;
    std::array<bool, 4> AlarmMonNumber{};
    bool operator==(const ChanelParams&) const = default;
};

std::vector<std::uint8_t> EncodeChanelParams(const ChanelParams& params);
ChanelParams DecodeChanelParams(std::span<const std::uint8_t> bytes);

} // namespace station
