#include "conf_main_tables.h"

#include "live/live_ports.h"
#include "base/base_state.h"

namespace station {

static_assert(kConfReportFlags == std::tuple_size_v<decltype(BaseState::ReportFlags)>);

CameraLevels LevelsOf(const LiveTables& tables) {
    CameraLevels levels{};
    for (int c = 1; c <= kConfCameras; ++c) {
        for (int b = 1; b <= kConfBoards; ++b) {
            levels[c - 1][b - 1] = tables.AdcRange[b][c];
        }
    }
    return levels;
}

void ApplyConfMain(const ConfMain& conf, LiveTables& tables, BaseState& base) {
    for (int m = 1; m <= kConfMonitors; ++m) {
        tables.MonManual[m] = conf.MonManual[m - 1];
        tables.MonByFind[m] = conf.MonByFind[m - 1];
    }
    for (int c = 1; c <= kConfCameras; ++c) {
        const ConfCamera& cam = conf.Cameras[c - 1];
        tables.CamPriority[c] = cam.Priority;
        tables.CamNames[c] = cam.Name;
        tables.CamSat[c] = cam.Sat;
        tables.CamHue[c] = cam.Hue;
        for (int b = 1; b <= kConfBoards; ++b) {
            tables.AdcRange[b][c] = cam.Level[b - 1];
            tables.AutoGain[b][c] = cam.AutoGain[b - 1];
        }
    }
    for (int b = 1; b <= kConfBoards; ++b) {
        tables.NotchOff[b] = conf.NotchOff[b - 1];
        tables.SwitchDelay[b] = conf.SwitchDelay[b - 1];
    }
    base.ReportFlags = conf.ReportFlags;
    base.ReportDays = conf.ReportDays;
}

void CollectConfMain(const LiveTables& tables, const BaseState& base, ConfMain& conf) {
    for (int m = 1; m <= kConfMonitors; ++m) {
        conf.MonManual[m - 1] = tables.MonManual[m];
        conf.MonByFind[m - 1] = tables.MonByFind[m];
    }
    for (int c = 1; c <= kConfCameras; ++c) {
        ConfCamera& cam = conf.Cameras[c - 1];
        cam.Priority = tables.CamPriority[c];
        cam.Name = tables.CamNames[c];
        cam.Sat = tables.CamSat[c];
        cam.Hue = tables.CamHue[c];
        for (int b = 1; b <= kConfBoards; ++b) {
            cam.Level[b - 1] = tables.AdcRange[b][c];
            cam.AutoGain[b - 1] = tables.AutoGain[b][c];
        }
    }
    for (int b = 1; b <= kConfBoards; ++b) {
        conf.NotchOff[b - 1] = tables.NotchOff[b];
        conf.SwitchDelay[b - 1] = tables.SwitchDelay[b];
    }
    conf.ReportFlags = base.ReportFlags;
    conf.ReportDays = base.ReportDays;
}

} // namespace station
