// The station put together: the main form with its life cycle, board control, the live-video
// engine with the four capture windows, its timers and menus, the recording viewer and the
// diagnostics window. The program's main block makes one and runs the message loop.
#pragma once

#include "live/capture_windows.h"
#include "live_menus.h"
#include "live/live_station.h"
#include "live_timers.h"
#include "station_configuration.h"
#include "base/settings_dialogs.h"
#include "ui/main/main_form.h"
#include "lifecycle/startup_capture.h"
#include "startup_form.h"
#include "board/station_board.h"

#include <memory>

namespace station {

class StationProgram {
public:
    StationProgram();
    ~StationProgram();
    StationProgram(const StationProgram&) = delete;
    StationProgram& operator=(const StationProgram&) = delete;

    // FormCreate, then the viewer and the diagnostics window. False when the program ends at
    // once (the language file failed).
    bool Start();

    TMain_Kastrel_Form& Form() { return *form_; }
    StationLifecycle& Life() { return *life_; }
    LiveStation& Live() { return *live_; }
    StationConfiguration& Configuration() { return *configuration_; }
    DialogRegistry& Dialogs() { return dialogs_; }

private:
    // Start-up's capture steps on the live engine's capture windows.
    class LiveCapture : public StartupCapture {
    public:
        LiveStation* live = nullptr;
        CaptureWindows* windows = nullptr;
        void CreateWindows() override;
        bool ConnectDriver(int k) override;
        std::vector<std::uint8_t> ReadVideoFormat(int k) override;
        void DisconnectDriver(int k) override;
    };

    StartupHooks hooks();
    void stop_live_timers();
    void free_camera_windows();

    CaptureWindows windows_;
    LiveCapture capture_;
    StationBoard board_;
    std::unique_ptr<LiveStation> live_;
    std::unique_ptr<LiveTimers> timers_;
    std::unique_ptr<FormMenus> menus_;
    ChanelHooks chanel_hooks_;
    // The open settings dialogs and the stored configurations.
    DialogRegistry dialogs_;
    ConfigurationState configuration_state_;
    std::unique_ptr<StationConfiguration> configuration_;
    // The form owns the life cycle and the camera windows; it goes first at the end.
    std::unique_ptr<TMain_Kastrel_Form> form_;
    StationLifecycle* life_ = nullptr;
};

} // namespace station
