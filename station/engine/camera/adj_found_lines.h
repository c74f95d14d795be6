// The language lines of the per-camera settings dialog (station/language/lng-lines.md).
#pragma once

namespace station::adj_found_lines {

inline constexpr int kSettings = 5; // the dialog's caption
inline constexpr int kCamSelect = 58;
inline constexpr int kPageDetection = 59;
inline constexpr int kPageNetwork = 64;
inline constexpr int kTotalPoints = 65;
inline constexpr int kPointsGroup = 66;
inline constexpr int kStandardGrid = 67;
inline constexpr int kDeleteAll = 68;
inline constexpr int kPointStep = 69;
inline constexpr int kThresholdGroup = 70;
inline constexpr int kPercentOfSignal = 71;
inline constexpr int kSigmaUnits = 72;
inline constexpr int kRecordGroup = 73;
inline constexpr int kUse = 74;
inline constexpr int kInterval = 75;
inline constexpr int kObjectPoints = 77;
inline constexpr int kShowGroup = 78;
inline constexpr int kShowPoints = 79;
inline constexpr int kShowZone = 80;
inline constexpr int kShowObject = 81;
inline constexpr int kFindFrames = 84;
inline constexpr int kObjectSize = 85;
inline constexpr int kSoundGroup = 86;
inline constexpr int kUseSound = 87;
inline constexpr int kSpeaker = 88;
inline constexpr int kSoundFile = 89;
inline constexpr int kQualitySound = 90;
inline constexpr int kCompression = 94;
inline constexpr int kQuality = 95;
inline constexpr int kInput = 118;
inline constexpr int kLiveVideo = 123;
inline constexpr int kRemSelect = 167;
inline constexpr int kPictureGroup = 168;
inline constexpr int kStation = 170;
inline constexpr int kThisStation = 171;
inline constexpr int kPageAlarm = 183;
inline constexpr int kOutputGroup = 184;
inline constexpr int kUseOutput = 185;
inline constexpr int kOutputState = 186;
inline constexpr int kOutputFor = 187;
inline constexpr int kAtLeast = 188;
inline constexpr int kSeconds = 189;
inline constexpr int kInputGroup = 190;
inline constexpr int kUseInput = 191;
inline constexpr int kActiveLevel = 192;
inline constexpr int kMinimizeGroup = 251;
inline constexpr int kUseMinimize = 252;
inline constexpr int kMinimizeAfter = 253;
inline constexpr int kWithoutAlarm = 254;
inline constexpr int kRemAlarmGroup = 255;
inline constexpr int kPagePicture = 265;
inline constexpr int kBright = 266;
inline constexpr int kContr = 267;
inline constexpr int kSat = 268;
inline constexpr int kHue = 269;
inline constexpr int kDefaults = 270;
inline constexpr int kChSelect = 280;
inline constexpr int kMonitorGroup = 287;
inline constexpr int kUseMonitors = 288;

// The sound-card button's caption is not a language line.
inline constexpr const char* kSoundCard = "SoundBlaster";

} // namespace station::adj_found_lines
