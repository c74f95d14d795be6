// The "per" file of a stored configuration: the main window's place, the play and picture
// settings, the control-monitor modes, the sixteen cameras' names, priorities, archive filters,
// levels and picture controls, the archive station filter, the boards' notch filters and settle
// times, the work-log settings and the host-bridge setting.
//
// Layout after the version word (fields marked vN are read only when the stored version
// exceeds N; a lower version stops reading there and the rest takes its defaults):
//   main window Left, Top, Height, Width; 4 reserved int32 (written 0, skipped); PlayInterval;
//   JpegQuality; per monitor 1..4 MonManual, MonByFind; per camera 1..16 priority, name,
//   RequestFiltr, AlarmFiltr, then per board 1..4 level, AutoGain;
//   v7: SystemFiltr[0..20]; v12: NotchOff[1..4]; v14: ReportFlags[1..6], ReportDays;
//   v19: per camera Bright, Contr, Sat, Hue; v20: SwitchDelay[1..4]; v25: PciFix.
//
// Decoding never fails: data that ends or breaks leaves that field and all after it at their
// defaults; a value out of its range takes its default and reading goes on; priorities that
// are not a permutation of 1..16 become 1..16.
#pragma once

#include "base/language.h"

#include "base/limits.h"
#include "window_place.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace station {

inline constexpr int kConfCameras = kCameraCount;
inline constexpr int kConfBoards = kChipCount;
inline constexpr int kConfMonitors = kMonitorCount;
inline constexpr int kConfStations = kRemoteStationCount + 1; // this station (0), remote 1..20
inline constexpr int kConfReportFlags = 6;

inline constexpr std::int32_t kDefaultCameraLevel = 53;
inline constexpr std::int32_t kMaxPictureValue = 255;
inline constexpr std::int32_t kMaxSwitchDelay = 300;

template <std::size_t N> constexpr std::array<bool, N> AllFlagsSet() {
    std::array<bool, N> flags{};
    flags.fill(true);
    return flags;
}

// One camera's settings. Board b is entry b - 1.
struct ConfCamera {
    std::int32_t Priority = 1;
    std::string Name; // CP1251
    bool RequestFiltr = true;
    bool AlarmFiltr = true;
    std::array<std::int32_t, kConfBoards> Level{kDefaultCameraLevel, kDefaultCameraLevel,
                                                kDefaultCameraLevel, kDefaultCameraLevel};
    std::array<bool, kConfBoards> AutoGain = AllFlagsSet<kConfBoards>();
    std::int32_t Bright = 128;
    std::int32_t Contr = 128;
    std::int32_t Sat = 128;
    std::int32_t Hue = 0;
    bool operator==(const ConfCamera&) const = default;
};

// Monitor m, board b and report flag n are entries m - 1, b - 1, n - 1; camera c is
// Cameras[c - 1]; station s (0..20) is SystemFiltr[s].
struct ConfMain {
    WindowPlace MainPlace{100, 100, 100, 300};
    std::int32_t PlayInterval = 1;
    std::int32_t JpegQuality = 50;
    std::array<bool, kConfMonitors> MonManual = AllFlagsSet<kConfMonitors>();
    std::array<bool, kConfMonitors> MonByFind = AllFlagsSet<kConfMonitors>();
    std::array<ConfCamera, kConfCameras> Cameras;
    std::array<bool, kConfStations> SystemFiltr = AllFlagsSet<kConfStations>();
    std::array<bool, kConfBoards> NotchOff{};
    std::array<bool, kConfReportFlags> ReportFlags{};
    std::int32_t ReportDays = 7;
    std::array<std::int32_t, kConfBoards> SwitchDelay{};
    bool PciFix = false;
    bool operator==(const ConfMain&) const = default;
};

// The levels in force, [camera - 1][board - 1]: what a pair with AutoGain on keeps on loading.
using CameraLevels = std::array<std::array<std::int32_t, kConfBoards>, kConfCameras>;

// The name of camera c (1..16) when the file gives none: language line 57, a blank, c.
std::string DefaultCameraName(const LanguageList& lang, int camera);

// The configuration of a missing file: the defaults above, priority c and the default name
// for camera c, level 53 with AutoGain on everywhere.
ConfMain DefaultConfMain(const LanguageList& lang);

std::vector<std::uint8_t> EncodeConfMain(const ConfMain& conf);

// A present file. The level of a (camera, board) pair comes from the file only when the
// AutoGain read for that pair is off; otherwise, and for pairs the data does not reach, the
// pair keeps its level from `kept`.
ConfMain DecodeConfMain(std::span<const std::uint8_t> bytes, const CameraLevels& kept,
                        const LanguageList& lang);

} // namespace station
