// LoadConfiguration and SaveConfiguration in process, over a recording window side: the windows
// rebuilt from their files, the order of the steps, stealth, the relays, the settings dialogs,
// a failed write, and a scheduled load that falls due while a message box is open.
#include "configuration/configuration_files.h"
#include "configuration/configuration_loader.h"
#include "base/language.h"
#include "base/message_boxes.h"
#include "base/settings_dialogs.h"
#include "live/chanel_slots.h"
#include "live/chanel_window.h"
#include "live/live_ports.h"
#include "live_fakes.h"
#include "program_dir_fixture.h"

#include <platform/ui_sink.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace station {
namespace {

class RecordingWindows : public ConfigurationWindows {
public:
    RecordingWindows(ChanelSlots& slots, ChanelContext context)
        : slots_(slots), context_(context) {}

    std::vector<std::string> log;
    std::map<int, std::unique_ptr<ChanelWindow>> windows;
    std::map<int, WindowPlace> places;
    std::map<int, std::string> captions;
    WindowPlace main_place{10, 20, 30, 40};
    bool stealth = false;
    bool adj_conf_enabled = true;

    // A window in `slot` as the operator would have made it.
    ChanelWindow& Open(int slot, int chip, int camera, const WindowPlace& place) {
        auto w = std::make_unique<ChanelWindow>(slot, context_);
        w->ChNumber = chip;
        w->CamNumber = camera;
        slots_.ChanelForms[static_cast<std::size_t>(slot)] = w.get();
        slots_.ChanelPresent[static_cast<std::size_t>(slot)] = true;
        places[slot] = place;
        return *(windows[slot] = std::move(w));
    }

    void EnableAdjConf(bool on) override {
        adj_conf_enabled = on;
        log.push_back(on ? "adjconf on" : "adjconf off");
    }
    void HideViewer() override { log.push_back("hide viewer"); }
    void FreeCameraWindows() override {
        for (auto& [slot, w] : windows) {
            slots_.Release(slot);
        }
        windows.clear();
        places.clear();
        log.push_back("free windows");
    }
    ChanelWindow* CreateCameraWindow(int slot) override {
        EXPECT_EQ(slots_.NewChanelNumber, slot);
        log.push_back("create " + std::to_string(slot));
        windows[slot] = std::make_unique<ChanelWindow>(slot, context_);
        return windows[slot].get();
    }
    void PlaceCameraWindow(int slot, const WindowPlace& place) override {
        log.push_back("place " + std::to_string(slot));
        places[slot] = place;
        captions[slot] = windows.at(slot)->Caption();
    }
    WindowPlace CameraWindowPlace(int slot) const override { return places.at(slot); }
    void ShowCameraWindows() override { log.push_back("show windows"); }
    WindowPlace MainWindowPlace() const override { return main_place; }
    void PlaceMainWindow(const WindowPlace& place) override {
        main_place = place;
        log.push_back("main place");
    }
    void WriteAllRelaysOff() override { log.push_back("relays 255"); }
    bool StealthActive() const override { return stealth; }

private:
    ChanelSlots& slots_;
    ChanelContext context_;
};

// A message box that runs `during` while it is open.
class BoxRunning : public platform::UiSink {
public:
    std::function<void()> during;
    int message_box(HWND, std::string_view, std::string_view, UINT) override {
        if (during) {
            during();
        }
        return IDOK;
    }
    void message_beep(UINT) override {}
    void beep(DWORD, DWORD) override {}
};

class Loader : public test::ProgramDirTest {
protected:
    void SetUp() override {
        test::ProgramDirTest::SetUp();
        ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        context.Tables = &tables;
        context.Board = &board;
        context.AdjFound = &adj_found;
        context.Search = std::make_shared<ObjectSearch>();
        windows = std::make_unique<RecordingWindows>(slots, context);
        loader =
            std::make_unique<ConfigurationLoader>(base_, state, tables, slots, dialogs, *windows);
    }

    // A dialog of `kind` registered as open; counts its frees.
    void open_dialog(SettingsDialog kind) {
        dialogs.Register(kind, [this, kind] { ++freed[kind]; });
    }

    // Configuration 1: windows in slots 2 (chip 1, camera 3) and 5 (chip 4, camera 16).
    void save_configuration_one() {
        tables.CamNames[3] = "Gate";
        tables.CamNames[16] = "Yard";
        ChanelWindow& a = windows->Open(2, 1, 3, {11, 12, 130, 140});
        a.Detection.Threshold = 30;
        a.Detection.PointCount = 2;
        a.Detection.PointX[1] = 7;
        windows->Open(5, 4, 16, {21, 22, 230, 240});
        state.PlayInterval = 9;
        ASSERT_TRUE(loader->SaveConfiguration(1));
    }

    LiveTables tables;
    ChanelSlots slots;
    live_test::FakeBoard board;
    AdjFoundState adj_found;
    ChanelContext context;
    ConfigurationState state;
    DialogRegistry dialogs;
    std::map<SettingsDialog, int> freed;
    std::unique_ptr<RecordingWindows> windows;
    std::unique_ptr<ConfigurationLoader> loader;
};

TEST_F(Loader, RebuildsTheWindowsOfTheStoredConfiguration) {
    save_configuration_one();
    EXPECT_EQ(state.CurConf, 1);

    // Something else in between: another window, other names, another current configuration.
    windows->FreeCameraWindows();
    windows->Open(1, 2, 1, {0, 0, 10, 10});
    tables.CamNames[3] = "changed";
    state.PlayInterval = 1;
    state.CurConf = 7;
    windows->log.clear();

    loader->LoadConfiguration(1);
    EXPECT_EQ(state.CurConf, 1);
    EXPECT_EQ(state.PlayInterval, 9);
    const std::vector<std::string> order = {
        "adjconf off", "hide viewer", "free windows", "relays 255",   "main place",  "create 2",
        "create 5",    "place 2",     "place 5",      "show windows", "hide viewer", "adjconf on"};
    EXPECT_EQ(windows->log, order);
    EXPECT_EQ(windows->main_place, (WindowPlace{10, 20, 30, 40}));

    EXPECT_EQ(slots.Used(1), nullptr);
    ChanelWindow* a = slots.Used(2);
    ChanelWindow* b = slots.Used(5);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->ChNumber, 1);
    EXPECT_EQ(a->CamNumber, 3);
    EXPECT_EQ(a->Detection.Threshold, 30);
    EXPECT_EQ(a->Detection.PointCount, 2);
    EXPECT_EQ(a->Detection.PointX[1], 7);
    EXPECT_EQ(b->ChNumber, 4);
    EXPECT_EQ(b->CamNumber, 16);
    EXPECT_EQ(windows->places[2], (WindowPlace{11, 12, 130, 140}));
    EXPECT_EQ(windows->places[5], (WindowPlace{21, 22, 230, 240}));
    EXPECT_EQ(windows->captions[2], "Gate");
    EXPECT_EQ(windows->captions[5], "Yard");
}

TEST_F(Loader, StealthBuildsTheWindowsHidden) {
    save_configuration_one();
    windows->stealth = true;
    windows->log.clear();
    loader->LoadConfiguration(1);
    EXPECT_NE(slots.Used(2), nullptr);
    EXPECT_EQ(std::count(windows->log.begin(), windows->log.end(), "show windows"), 0);
}

TEST_F(Loader, AMissingConfigurationGivesNoWindowsAndTheDefaults) {
    save_configuration_one();
    loader->LoadConfiguration(42);
    EXPECT_EQ(state.CurConf, 42);
    for (int m = 1; m <= kSlotCount; ++m) {
        EXPECT_EQ(slots.Used(m), nullptr);
    }
    EXPECT_EQ(windows->main_place, (WindowPlace{100, 100, 100, 300}));
    EXPECT_EQ(tables.CamPriority[5], 5);
    EXPECT_EQ(windows->log.back(), "adjconf on");
    windows->log.clear();
    loader->LoadConfiguration(0);
    loader->LoadConfiguration(100);
    EXPECT_TRUE(windows->log.empty()) << "numbers out of range load nothing";
    EXPECT_EQ(state.CurConf, 42);
}

// The dialog's own load keeps it open; any other load frees it. Every other settings dialog
// goes, the control-monitor modes dialog by the closing status refresh.
TEST_F(Loader, FreesTheSettingsDialogs) {
    save_configuration_one();
    for (const bool own_load : {true, false}) {
        SCOPED_TRACE(own_load ? "the dialog's own load" : "a scheduled load");
        freed.clear();
        for (int d = 0; d < kSettingsDialogCount; ++d) {
            if (static_cast<SettingsDialog>(d) != SettingsDialog::CheckPassword) {
                open_dialog(static_cast<SettingsDialog>(d));
            }
        }
        state.ConfLoading = own_load;
        loader->LoadConfiguration(1);
        state.ConfLoading = false;
        for (int d = 0; d < kSettingsDialogCount; ++d) {
            const auto kind = static_cast<SettingsDialog>(d);
            if (kind == SettingsDialog::CheckPassword) {
                continue;
            }
            const bool kept = own_load && kind == SettingsDialog::AdjConf;
            EXPECT_EQ(dialogs.IsOpen(kind), kept) << d;
            EXPECT_EQ(freed[kind], kept ? 0 : 1) << d;
        }
        dialogs.Free(SettingsDialog::AdjConf);
    }
}

TEST_F(Loader, SaveAnswersFalseWhenAFileCannotBeWritten) {
    save_configuration_one();
    // A folder where the "per" file of configuration 3 would go.
    std::filesystem::create_directory(path(ConfMainFileName(3)));
    windows->log.clear();
    EXPECT_FALSE(loader->SaveConfiguration(3));
    EXPECT_EQ(state.CurConf, 3);
    EXPECT_TRUE(windows->adj_conf_enabled);
    EXPECT_TRUE(std::filesystem::exists(path(ChanelParamsFileName(3, 5)))) << "every file tried";
    EXPECT_FALSE(loader->SaveConfiguration(0));
    EXPECT_TRUE(loader->SaveConfiguration(4));
}

// At 8:00 configuration 3 is due, while a message box is open: nothing loads under the box;
// once it is closed the load runs once, even after the minute.
TEST_F(Loader, AScheduledLoadWaitsForTheMessageBoxes) {
    save_configuration_one();
    ASSERT_TRUE(loader->SaveConfiguration(3));
    loader->LoadConfiguration(1);
    ConfScheduleTable schedule{};
    schedule[2].Enabled = true;
    schedule[2].Mode = 1;
    schedule[2].Hour = 8;
    auto at = [](int hour, int minute) {
        LocalDateTime t;
        t.year = 2026;
        t.month = 12;
        t.day = 10;
        t.hour = hour;
        t.minute = minute;
        return t;
    };
    auto sink = std::make_shared<BoxRunning>();
    int during_loads = -1;
    sink->during = [&] {
        EXPECT_EQ(OpenMessageBoxes(), 1);
        const std::size_t before = windows->log.size();
        loader->ScheduleTimer(schedule, at(8, 0));
        loader->ScheduleTimer(schedule, at(8, 0));
        during_loads = static_cast<int>(windows->log.size() - before);
    };
    {
        const platform::ScopedUiSink scoped(sink);
        StationMessageBox(nullptr, "question", "caption", MB_OKCANCEL);
    }
    EXPECT_EQ(during_loads, 0);
    EXPECT_EQ(OpenMessageBoxes(), 0);
    EXPECT_EQ(state.CurConf, 1);
    EXPECT_EQ(state.PendingLoad, 3);

    windows->log.clear();
    loader->ScheduleTimer(schedule, at(8, 1));
    EXPECT_EQ(state.CurConf, 3);
    EXPECT_EQ(std::count(windows->log.begin(), windows->log.end(), "relays 255"), 1);
    loader->ScheduleTimer(schedule, at(8, 1));
    EXPECT_EQ(std::count(windows->log.begin(), windows->log.end(), "relays 255"), 1);

    // Without a box, at the minute itself: at once; a hand choice in the minute goes back.
    loader->LoadConfiguration(1);
    loader->ScheduleTimer(schedule, at(8, 0));
    EXPECT_EQ(state.CurConf, 3);
}

} // namespace
} // namespace station
