#include "configuration_loader.h"

#include "conf_main_tables.h"
#include "configuration_files.h"
#include "base/base_state.h"
#include "base/message_boxes.h"
#include "base/settings_dialogs.h"
#include "live/chanel_slots.h"
#include "live/live_ports.h"

#include <utility>

namespace station {
namespace {

// Enables the stored-configurations dialog again however the load ends.
class AdjConfDisabled {
public:
    explicit AdjConfDisabled(ConfigurationWindows& windows) : windows_(windows) {
        windows_.EnableAdjConf(false);
    }
    ~AdjConfDisabled() { windows_.EnableAdjConf(true); }
    AdjConfDisabled(const AdjConfDisabled&) = delete;
    AdjConfDisabled& operator=(const AdjConfDisabled&) = delete;

private:
    ConfigurationWindows& windows_;
};

std::size_t index(int slot) {
    return static_cast<std::size_t>(slot);
}

} // namespace

void SystemStatusSet(DialogRegistry& dialogs, const ConfigurationState& state,
                     ConfigurationWindows& windows) {
    dialogs.Free(kSystemStatusFrees);
    if (!state.ConfLoading) {
        dialogs.Free(SettingsDialog::AdjConf);
    }
    windows.HideViewer();
}

ConfigurationLoader::ConfigurationLoader(BaseState& base, ConfigurationState& state,
                                         LiveTables& tables, ChanelSlots& slots,
                                         DialogRegistry& dialogs, ConfigurationWindows& windows)
    : base_(base), state_(state), tables_(tables), slots_(slots), dialogs_(dialogs),
      windows_(windows) {}

void ConfigurationLoader::LoadConfiguration(int n) {
    if (n < 1 || n > kConfigurationCount) {
        return;
    }
    const AdjConfDisabled disabled(windows_);
    state_.CurConf = n;

    dialogs_.Free(kLoadConfigurationFrees);
    windows_.HideViewer();
    windows_.FreeCameraWindows();

    windows_.WriteAllRelaysOff();

    const ConfMain conf = ReadConfMainFile(base_, n, LevelsOf(tables_));
    ApplyConfMain(conf, tables_, base_);
    KeepConfMain(conf, state_);
    windows_.PlaceMainWindow(conf.MainPlace);
    const ChannelSet set = ReadChannelSetFile(base_, n);
    for (int m = 1; m <= kSlotCount; ++m) {
        slots_.ChanelPresent[index(m)] = set.Present[index(m - 1)];
    }

    for (int m = 1; m <= kSlotCount; ++m) {
        if (!slots_.ChanelPresent[index(m)] || slots_.ChanelForms[index(m)] != nullptr) {
            continue;
        }
        slots_.NewChanelNumber = m;
        ChanelWindow* window = windows_.CreateCameraWindow(m);
        slots_.ChanelForms[index(m)] = window;
        // A slot without a window is no used slot.
        slots_.ChanelPresent[index(m)] = window != nullptr;
    }

    for (int m = 1; m <= kSlotCount; ++m) {
        if (ChanelWindow* window = slots_.Used(m)) {
            const ChanelParams params = LoadChanelWindowFiles(base_, n, m, *window);
            windows_.PlaceCameraWindow(m, params.Place);
        }
    }

    if (!windows_.StealthActive()) {
        windows_.ShowCameraWindows();
    }
    if (StatusSet) {
        StatusSet();
    } else {
        SystemStatusSet(dialogs_, state_, windows_);
    }
}

bool ConfigurationLoader::SaveConfiguration(int n) {
    if (n < 1 || n > kConfigurationCount) {
        return false;
    }
    state_.CurConf = n;
    ChannelSet set;
    for (int m = 1; m <= kSlotCount; ++m) {
        set.Present[index(m - 1)] = slots_.Used(m) != nullptr;
    }
    bool ok = WriteChannelSetFile(base_, n, set);

    const AdjConfDisabled disabled(windows_);
    ConfMain conf = DefaultConfMain(base_.LangList);
    CollectConfMain(tables_, base_, conf);
    CollectKept(state_, conf);
    conf.MainPlace = windows_.MainWindowPlace();
    ok = WriteConfMainFile(base_, n, conf) && ok;

    for (int m = 1; m <= kSlotCount; ++m) {
        if (const ChanelWindow* window = slots_.Used(m)) {
            ok = SaveChanelWindowFiles(base_, n, m, *window, windows_.CameraWindowPlace(m)) && ok;
        }
    }
    return ok;
}

void ConfigurationLoader::ScheduleTimer(const ConfScheduleTable& schedule,
                                        const LocalDateTime& now) {
    if (const std::optional<int> due = ScheduleCheck(schedule, state_.CurConf, now)) {
        state_.PendingLoad = *due;
    }
    if (state_.PendingLoad == 0 || OpenMessageBoxes() > 0 || state_.ConfLoading) {
        return;
    }
    const int n = std::exchange(state_.PendingLoad, 0);
    if (n != state_.CurConf) {
        LoadConfiguration(n);
    }
}

} // namespace station
