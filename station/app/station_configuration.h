// The stored configurations in the window system: the loader's window side (camera windows of
// the main form, the main window's place, the viewer, the relays, the dialog), start-up's load
// of the scheduled configuration, the schedule on the sound timer and `N1Click`.
#pragma once

#include "configuration/configuration_loader.h"
#include "lifecycle/station_state.h"
#include "ui/configuration/adj_conf_form.h"
#include "ui/live/chanel_form.h"

#include <QPointer>
#include <functional>

class TMain_Kastrel_Form;

namespace station {

class StationBoard;
class StationLifecycle;

class StationConfiguration : public ConfigurationWindows {
public:
    StationConfiguration(TMain_Kastrel_Form& form, LiveStation& live, StationBoard& board,
                         StationLifecycle& life, DialogRegistry& dialogs, StationState& station,
                         ConfigurationState& state, ChanelHooks hooks);

    ConfigurationLoader& Loader() { return loader_; }
    ConfigurationState& State() { return state_; }

    // Start-up's second stage: LoadConfiguration(ScheduledConfig()); PciFix reaches the host
    // bridge step.
    void LoadScheduled();
    // Step 1 of the sound timer.
    void ScheduleTimer();
    // The menu item N1: the stored-configurations dialog, unless it is open.
    void N1Click();
    TAdjConf* AdjConf() const { return adj_conf_; }

    void EnableAdjConf(bool on) override;
    void HideViewer() override;
    void FreeCameraWindows() override;
    ChanelWindow* CreateCameraWindow(int slot) override;
    void PlaceCameraWindow(int slot, const WindowPlace& place) override;
    WindowPlace CameraWindowPlace(int slot) const override;
    void ShowCameraWindows() override;
    WindowPlace MainWindowPlace() const override;
    void PlaceMainWindow(const WindowPlace& place) override;
    void WriteAllRelaysOff() override;
    bool StealthActive() const override;

private:
    TFormChanel* form_of(int slot) const;

    TMain_Kastrel_Form& form_;
    LiveStation& live_;
    StationBoard& board_;
    StationLifecycle& life_;
    DialogRegistry& dialogs_;
    StationState& station_;
    ConfigurationState& state_;
    ChanelHooks hooks_;
    ConfigurationLoader loader_;
    QPointer<TAdjConf> adj_conf_;
};

} // namespace station
