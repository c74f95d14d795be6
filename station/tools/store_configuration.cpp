// tolm-store-configuration <program folder>: when the folder holds no stored configuration,
// writes configuration 1 with the engine's own save: four camera windows, one on each chip
// (chip 1 camera 3, chip 2 camera 7, chip 3 camera 10, chip 4 camera 16), tiled below the
// main window, with the default camera names and tables. Answers 0 when the folder holds a
// configuration afterwards.
#include "configuration/conf_main_tables.h"
#include "configuration/configuration_files.h"
#include "base/base_state.h"
#include "configuration/configuration_loader.h"
#include "base/language.h"
#include "base/program_dir.h"
#include "base/settings_dialogs.h"
#include "live/chanel_slots.h"
#include "live/chanel_window.h"
#include "live/live_ports.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace {

using namespace station;

constexpr std::array<std::pair<int, int>, kChipCount> kWindows{{{1, 3}, {2, 7}, {3, 10}, {4, 16}}};
constexpr int kWidth = 330;
constexpr int kHeight = 260;
// Below the main window's opened menus in the run's screenshot.
constexpr int kTop = 300;

// The places the save asks for; nothing else of the window system is needed to save.
class StoredPlaces : public ConfigurationWindows {
public:
    std::map<int, WindowPlace> places;
    void EnableAdjConf(bool) override {}
    void HideViewer() override {}
    void FreeCameraWindows() override {}
    ChanelWindow* CreateCameraWindow(int) override { return nullptr; }
    void PlaceCameraWindow(int, const WindowPlace&) override {}
    WindowPlace CameraWindowPlace(int slot) const override { return places.at(slot); }
    void ShowCameraWindows() override {}
    WindowPlace MainWindowPlace() const override { return {0, 0, 60, 2 * kWidth + 10}; }
    void PlaceMainWindow(const WindowPlace&) override {}
    void WriteAllRelaysOff() override {}
    bool StealthActive() const override { return false; }
};

bool holds_configuration(const std::filesystem::path& folder) {
    for (int n = 1; n <= kConfigurationCount; ++n) {
        if (std::filesystem::exists(folder / ChannelSetFileName(n))) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <program folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    if (holds_configuration(folder)) {
        return 0;
    }
    BaseState base;
    SetProgramDir(base, folder.string());
    // The default camera names come from the language file.
    base.LangList.LoadFromFile(folder / kLanguageFileName);

    LiveTables tables;
    ApplyConfMain(DefaultConfMain(base.LangList), tables, base);
    ChanelContext context;
    context.Tables = &tables;
    ChanelSlots slots;
    StoredPlaces places;
    std::array<std::unique_ptr<ChanelWindow>, kChipCount> windows;
    for (int i = 0; i < kChipCount; ++i) {
        const int slot = i + 1;
        windows[static_cast<std::size_t>(i)] = std::make_unique<ChanelWindow>(slot, context);
        ChanelWindow& w = *windows[static_cast<std::size_t>(i)];
        w.ChNumber = kWindows[static_cast<std::size_t>(i)].first;
        w.CamNumber = kWindows[static_cast<std::size_t>(i)].second;
        slots.ChanelForms[static_cast<std::size_t>(slot)] = &w;
        slots.ChanelPresent[static_cast<std::size_t>(slot)] = true;
        places.places[slot] = {(i % 2) * (kWidth + 10), kTop + (i / 2) * (kHeight + 40), kHeight,
                               kWidth};
    }
    ConfigurationState state;
    DialogRegistry dialogs;
    ConfigurationLoader loader(base, state, tables, slots, dialogs, places);
    if (!loader.SaveConfiguration(1)) {
        std::fprintf(stderr, "configuration 1 could not be written to %s\n", argv[1]);
        return 1;
    }
    std::printf("Stored configuration 1 (four camera windows) in %s\n", argv[1]);
    return 0;
}
