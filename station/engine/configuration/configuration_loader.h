// Loading and saving a stored configuration with the station running, and the running
// schedule. The engine side of the sequence; the window system does its part through
// ConfigurationWindows, so tests run the whole sequence without widgets.
#pragma once

#include "conf_schedule.h"
#include "configuration_state.h"
#include "window_place.h"

#include <functional>

namespace station {

struct BaseState;

class ChanelSlots;
class ChanelWindow;
class DialogRegistry;
struct LiveTables;

// What loading and saving ask of the window system.
class ConfigurationWindows {
public:
    virtual ~ConfigurationWindows() = default;
    // The stored-configurations dialog's controls on or off; nothing while it is closed.
    virtual void EnableAdjConf(bool on) = 0;
    // Hides the recording viewer when it is shown.
    virtual void HideViewer() = 0;
    // Frees every camera window of a used slot; each slot's entries are cleared at once.
    virtual void FreeCameraWindows() = 0;
    // The camera window of `slot` (NewChanelNumber is set to it), owned by the main form, not
    // shown yet; its engine window, or null when it could not be made.
    virtual ChanelWindow* CreateCameraWindow(int slot) = 0;
    // The window of a used slot at its stored place, with its caption from its fields.
    virtual void PlaceCameraWindow(int slot, const WindowPlace& place) = 0;
    virtual WindowPlace CameraWindowPlace(int slot) const = 0;
    // Shows every camera window of a used slot.
    virtual void ShowCameraWindows() = 0;
    virtual WindowPlace MainWindowPlace() const = 0;
    // The main window at the stored place (its position mode as designed).
    virtual void PlaceMainWindow(const WindowPlace& place) = 0;
    // The relay byte 255, written whatever was sent before.
    virtual void WriteAllRelaysOff() = 0;
    virtual bool StealthActive() const = 0;
};

// The dialogs' part of the access-status refresh, for a loader without the access side (tests,
// the store tool): frees the settings dialogs (the stored-configurations dialog only while it
// is not loading a configuration itself) and hides the recording viewer.
void SystemStatusSet(DialogRegistry& dialogs, const ConfigurationState& state,
                     ConfigurationWindows& windows);

class ConfigurationLoader {
public:
    ConfigurationLoader(BaseState& base, ConfigurationState& state, LiveTables& tables,
                        ChanelSlots& slots, DialogRegistry& dialogs, ConfigurationWindows& windows);

    // Configuration n (1..99) becomes current: the settings dialogs and the camera windows go,
    // the relays go off, the "per" and "nch" files are read, the windows of the used slots are
    // made and get their files, they are shown (not in stealth), SystemStatusSet. The
    // stored-configurations dialog is disabled throughout and always enabled again at the end.
    // Files that are missing or broken give their defaults. Another n does nothing.
    void LoadConfiguration(int n);

    // The station's state as configuration n (1..99), which becomes current. Every file is
    // tried; false when one could not be written (or n is out of range).
    bool SaveConfiguration(int n);

    // The sound timer's first step (every 100 ms): the schedule's configuration at the minute
    // of its start. A load that falls due while a message box is open waits until none is,
    // then runs once.
    void ScheduleTimer(const ConfScheduleTable& schedule, const LocalDateTime& now);

    // The access-status refresh a load ends with (the station's SystemStatusSet); without
    // one, the dialogs' part above.
    std::function<void()> StatusSet;

private:
    BaseState& base_;
    ConfigurationState& state_;
    LiveTables& tables_;
    ChanelSlots& slots_;
    DialogRegistry& dialogs_;
    ConfigurationWindows& windows_;
};

} // namespace station
