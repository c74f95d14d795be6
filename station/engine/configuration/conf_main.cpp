#include "conf_main.h"

#include "conf_fields.h"
#include "base/language.h"
#include "settings/station_settings.h"

#include <algorithm>

namespace station {
namespace {

constexpr int kReservedWords = 4;

// The stored priorities must give every camera its own rank 1..16.
bool is_priority_permutation(const std::array<ConfCamera, kConfCameras>& cameras) {
    std::array<bool, kConfCameras + 1> seen{};
    for (const ConfCamera& c : cameras) {
        if (c.Priority < 1 || c.Priority > kConfCameras || seen[c.Priority]) {
            return false;
        }
        seen[c.Priority] = true;
    }
    return true;
}

// Priority, name, filters and the per-board levels of one camera.
bool read_camera(SettingsStream& s, ConfCamera& cam) {
    if (!StreamReadInt(s, cam.Priority) || !StreamReadStr(s, cam.Name) ||
        !StreamReadBool(s, cam.RequestFiltr) || !StreamReadBool(s, cam.AlarmFiltr)) {
        return false;
    }
    for (int b = 0; b < kConfBoards; ++b) {
        std::int32_t level = 0;
        if (!ReadRangedInt(s, level, 0, kMaxCameraLevel, kDefaultCameraLevel) ||
            !StreamReadBool(s, cam.AutoGain[b])) {
            return false;
        }
        if (!cam.AutoGain[b]) {
            cam.Level[b] = level;
        }
    }
    return true;
}

bool read_picture(SettingsStream& s, ConfCamera& cam) {
    const ConfCamera d;
    return ReadRangedInt(s, cam.Bright, 0, kMaxPictureValue, d.Bright) &&
           ReadRangedInt(s, cam.Contr, 0, kMaxPictureValue, d.Contr) &&
           ReadRangedInt(s, cam.Sat, 0, kMaxPictureValue, d.Sat) &&
           ReadRangedInt(s, cam.Hue, 0, kMaxPictureValue, d.Hue);
}

// Everything after the version word; stops at the first field the data or the version lacks.
void read_fields(SettingsStream& s, std::int32_t version, ConfMain& conf) {
    if (!ReadWindowPlace(s, conf.MainPlace)) {
        return;
    }
    for (int i = 0; i < kReservedWords; ++i) {
        std::int32_t reserved = 0;
        if (!StreamReadInt(s, reserved)) {
            return;
        }
    }
    if (!StreamReadInt(s, conf.PlayInterval) || !StreamReadInt(s, conf.JpegQuality)) {
        return;
    }
    for (int m = 0; m < kConfMonitors; ++m) {
        if (!StreamReadBool(s, conf.MonManual[m]) || !StreamReadBool(s, conf.MonByFind[m])) {
            return;
        }
    }
    for (ConfCamera& cam : conf.Cameras) {
        if (!read_camera(s, cam)) {
            return;
        }
    }
    if (version <= 7 || !ReadFlags(s, conf.SystemFiltr)) {
        return;
    }
    if (version <= 12 || !ReadFlags(s, conf.NotchOff)) {
        return;
    }
    const ConfMain d;
    if (version <= 14 || !ReadFlags(s, conf.ReportFlags) ||
        !ReadRangedInt(s, conf.ReportDays, 0, INT32_MAX, d.ReportDays)) {
        return;
    }
    if (version <= 19) {
        return;
    }
    for (ConfCamera& cam : conf.Cameras) {
        if (!read_picture(s, cam)) {
            return;
        }
    }
    if (version <= 20) {
        return;
    }
    for (std::int32_t& delay : conf.SwitchDelay) {
        if (!ReadRangedInt(s, delay, 0, kMaxSwitchDelay, 0)) {
            return;
        }
    }
    if (version > 25) {
        StreamReadBool(s, conf.PciFix);
    }
}

} // namespace

std::string DefaultCameraName(const LanguageList& lang, int camera) {
    return lang[57] + " " + std::to_string(camera);
}

ConfMain DefaultConfMain(const LanguageList& lang) {
    ConfMain conf;
    for (int c = 1; c <= kConfCameras; ++c) {
        conf.Cameras[c - 1].Priority = c;
        conf.Cameras[c - 1].Name = DefaultCameraName(lang, c);
    }
    return conf;
}

std::vector<std::uint8_t> EncodeConfMain(const ConfMain& conf) {
    SettingsStream s;
    StreamWriteInt(s, kSettingsVersion);
    WriteWindowPlace(s, conf.MainPlace);
    for (int i = 0; i < kReservedWords; ++i) {
        StreamWriteInt(s, 0);
    }
    StreamWriteInt(s, conf.PlayInterval);
    StreamWriteInt(s, conf.JpegQuality);
    for (int m = 0; m < kConfMonitors; ++m) {
        StreamWriteBool(s, conf.MonManual[m]);
        StreamWriteBool(s, conf.MonByFind[m]);
    }
    for (const ConfCamera& cam : conf.Cameras) {
        StreamWriteInt(s, cam.Priority);
        StreamWriteStr(s, cam.Name);
        StreamWriteBool(s, cam.RequestFiltr);
        StreamWriteBool(s, cam.AlarmFiltr);
        for (int b = 0; b < kConfBoards; ++b) {
            StreamWriteInt(s, cam.Level[b]);
            StreamWriteBool(s, cam.AutoGain[b]);
        }
    }
    WriteFlags(s, conf.SystemFiltr);
    WriteFlags(s, conf.NotchOff);
    WriteFlags(s, conf.ReportFlags);
    StreamWriteInt(s, conf.ReportDays);
    for (const ConfCamera& cam : conf.Cameras) {
        StreamWriteInt(s, cam.Bright);
        StreamWriteInt(s, cam.Contr);
        StreamWriteInt(s, cam.Sat);
        StreamWriteInt(s, cam.Hue);
    }
    for (const std::int32_t delay : conf.SwitchDelay) {
        StreamWriteInt(s, delay);
    }
    StreamWriteBool(s, conf.PciFix);
    return s.bytes();
}

ConfMain DecodeConfMain(std::span<const std::uint8_t> bytes, const CameraLevels& kept,
                        const LanguageList& lang) {
    ConfMain conf = DefaultConfMain(lang);
    for (int c = 0; c < kConfCameras; ++c) {
        conf.Cameras[c].Level = kept[c];
    }
    SettingsStream s({bytes.begin(), bytes.end()});
    std::int32_t version = 0;
    if (StreamReadInt(s, version)) {
        read_fields(s, version, conf);
    }
    if (!is_priority_permutation(conf.Cameras)) {
        for (int c = 0; c < kConfCameras; ++c) {
            conf.Cameras[c].Priority = c + 1;
        }
    }
    return conf;
}

} // namespace station
