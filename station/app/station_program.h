// The station put together: the main form with its life cycle, board control, the live-video
// engine with the four capture windows, its timers and menus, the recording viewer and the
// diagnostics window. The program's main block makes one and runs the message loop.
#pragma once

#include "live/capture_windows.h"
#include "live_menus.h"
#include "live/live_station.h"
#include "live_timers.h"
#include "station_access.h"
#include "station_configuration.h"
#include "base/settings_dialogs.h"
#include "camera/alarm_actions.h"
#include "camera/station_archive.h"
#include "ui/main/main_form.h"
#include "lifecycle/startup_capture.h"
#include "startup_form.h"
#include "board/station_board.h"
#include "ui/camera/adj_found_form.h"
#include "ui/common/info_form.h"
#include "ui/common/media_player.h"

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
    CaptureWindows& Windows() { return windows_; }
    StationState& State() { return state_; }
    StationConfiguration& Configuration() { return *configuration_; }
    DialogRegistry& Dialogs() { return dialogs_; }
    StationAccess& Access() { return *access_; }
    StationArchive& Archive() { return archive_; }
    // FindBtnClick of the window in `slot`: the open per-camera settings dialog is freed and a
    // new one shown for that window. Null when it could not be opened.
    TFormAdjFound* OpenAdjFound(int slot);
    // The open per-camera settings dialog, or null.
    TFormAdjFound* AdjFound() const { return adj_found_; }
    InfoNotice& Notice() { return notice_; }

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

    // The enable switch of the main form's sound timer.
    class SoundTimerSwitch : public TimerSwitch {
    public:
        StationLifecycle* life = nullptr;
        void SetEnabled(bool enabled) override;
    };

    void wire_alarm_sound();

    // Start-up's live-engine steps on the `LiveStation` and the form's camera windows.
    class ProgramLive : public LivePort {
    public:
        explicit ProgramLive(StationProgram& program) : program_(program) {}
        void ResetFrameLoops() override;
        void TakePresentChips() override;
        void CloseQuery() override;
        void FreeCameraWindows() override;
        bool DriverDialogOpen() const override;

    private:
        StationProgram& program_;
    };

    // The second stage's configuration steps: the live engine's tables reset, then the
    // configuration the schedule chooses loaded.
    class LiveTablesReset : public ConfigurationPort {
    public:
        explicit LiveTablesReset(StationProgram& program) : program_(program) {}
        void ResetStationTables() override;
        void LoadScheduledConfiguration() override;

    private:
        StationProgram& program_;
    };

    StationState state_;
    CaptureWindows windows_;
    LiveCapture capture_;
    StationBoard board_{state_.Base, state_.Settings.HrdMap};
    NoRemotes remotes_;
    // The camera windows' alarm actions: the archive they record into and the notice of a
    // failed write.
    StationArchive archive_{state_.Base, state_.Settings, state_.Archive};
    InfoNotice notice_;
    AlarmActions frame_actions_{board_.Port, archive_, notice_, state_.Base.LangList};
    NoNetwork network_;
    ProgramLive live_port_{*this};
    LiveTablesReset configuration_port_{*this};
    std::unique_ptr<LiveStation> live_;
    std::unique_ptr<LiveTimers> timers_;
    std::unique_ptr<FormMenus> menus_;
    ChanelHooks chanel_hooks_;
    // The main form's media player and the sound timer's switch: the alarm sound's outputs.
    TMediaPlayer player_;
    SoundTimerSwitch sound_switch_;
    // The open settings dialogs and the stored configurations.
    DialogRegistry dialogs_;
    ConfigurationState configuration_state_;
    std::unique_ptr<StationConfiguration> configuration_;
    // Login, lock and the access-status refresh.
    std::unique_ptr<StationAccess> access_;
    QPointer<TFormAdjFound> adj_found_;
    // The form owns the life cycle and the camera windows; it goes first at the end.
    std::unique_ptr<TMain_Kastrel_Form> form_;
    StationLifecycle* life_ = nullptr;
};

} // namespace station
