#include "configuration_state.h"

namespace station {

void KeepConfMain(const ConfMain& conf, ConfigurationState& state) {
    state.MainPlace = conf.MainPlace;
    state.PlayInterval = conf.PlayInterval;
    state.JpegQuality = conf.JpegQuality;
    for (int c = 1; c <= kConfCameras; ++c) {
        const ConfCamera& cam = conf.Cameras[c - 1];
        state.RequestFiltr[c - 1] = cam.RequestFiltr;
        state.AlarmFiltr[c - 1] = cam.AlarmFiltr;
        state.CamBright[c - 1] = cam.Bright;
        state.CamContr[c - 1] = cam.Contr;
    }
    state.SystemFiltr = conf.SystemFiltr;
    state.PciFix = conf.PciFix;
}

void CollectKept(const ConfigurationState& state, ConfMain& conf) {
    conf.MainPlace = state.MainPlace;
    conf.PlayInterval = state.PlayInterval;
    conf.JpegQuality = state.JpegQuality;
    for (int c = 1; c <= kConfCameras; ++c) {
        ConfCamera& cam = conf.Cameras[c - 1];
        cam.RequestFiltr = state.RequestFiltr[c - 1];
        cam.AlarmFiltr = state.AlarmFiltr[c - 1];
        cam.Bright = state.CamBright[c - 1];
        cam.Contr = state.CamContr[c - 1];
    }
    conf.SystemFiltr = state.SystemFiltr;
    conf.PciFix = state.PciFix;
}

} // namespace station
