// The station's life cycle in process: first and second start-up stage and shut-down against
// fake capture windows and the recording board-control library, loaded by name from a
// temporary system directory; the main form's timers and close in the window system.
#include "lifecycle/startup.h"
#include "startup_form.h"

#include "base/codepage.h"
#include "board/tests/fake_board.h"
#include "base/language.h"
#include "base/local_clock.h"
#include "ui/main/main_form.h"
#include "lifecycle/main_menu.h"
#include "base/program_dir.h"
#include "settings/settings_files.h"
#include "base/work_log.h"
#include "testing/station_state_test.h"

#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/ui_recorder.h"
#include "manual_clock.h"
#include "system_root.h"
#include "temp_dir.h"
#include "win32/dialogs.h"
#include "win32/modules.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QStyle>
#include <QToolTip>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace station {
namespace {

using test::FakeBoard;
namespace fs = std::filesystem;

// Capture windows whose drivers connect as told; every call is logged, with whether the
// board-control library was still loaded at a disconnect.
class FakeCaptureWindows : public StartupCapture {
public:
    std::array<bool, kChipCount> connects{};
    std::vector<std::string> log;
    const BoardLibrary* library = nullptr;

    void CreateWindows() override { log.push_back("create"); }
    bool ConnectDriver(int k) override {
        log.push_back("connect " + std::to_string(k));
        return connects[static_cast<std::size_t>(k - 1)];
    }
    std::vector<std::uint8_t> ReadVideoFormat(int k) override {
        log.push_back("format " + std::to_string(k));
        return std::vector<std::uint8_t>(40, static_cast<std::uint8_t>(k));
    }
    void DisconnectDriver(int k) override {
        log.push_back("disconnect " + std::to_string(k) +
                      (library != nullptr && library->BoardLibLoaded() ? " bound" : " released"));
    }
};

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Startup : public test::StationStateTest {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "program");
        SetProgramDir(state_.Base, (dir_ / "program").string());
        state_.Base.LocalClock = ([] { return LocalDateTime{2026, 12, 10, 9, 5, 3, 0}; });
        fs::copy_file(fs::path(TOLM_BIN_DIR) / "tolm.lng", program("tolm.lng"));
    }
    void TearDown() override {
        startup_.reset();
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
        state_.Base.LangList.Clear();
        state_.Base.ReportFlags.fill(false);
        state_.Base.LocalClock = nullptr;
    }

    fs::path program(std::string_view name) const { return dir_ / "program" / name; }

    // The fake library as "TarvoVFW.DLL" of the system directory, held by the test too so
    // that its record outlives the station's release.
    FakeBoard& install_board() {
        fs::copy_file(FAKE_BOARD_MODULE, platform::system_directory() / "tarvovfw.dll");
        module_ = LoadLibraryA(kBoardLibraryName);
        EXPECT_NE(module_, nullptr);
        auto state = reinterpret_cast<test::FakeBoardStateFn>(
            GetProcAddress(module_, test::kFakeBoardStateName));
        fake_ = state();
        return *fake_;
    }
    // Hooks entered into the installed library's call list, so their order against the board
    // calls shows.
    void mark(const std::string& what) {
        if (fake_ != nullptr) {
            fake_->calls.push_back(what);
        }
    }

    // The window and timer steps the tests count.
    struct CountingWindow : NoWindow {
        int* terminated;
        explicit CountingWindow(int* t) : terminated(t) {}
        void Terminate() override { ++*terminated; }
    };
    struct CountingTimers : NoTimers {
        int* config_timer;
        std::vector<std::string>* log;
        std::function<void(const std::string&)> mark;
        CountingTimers(int* c, std::vector<std::string>* l,
                       std::function<void(const std::string&)> m)
            : config_timer(c), log(l), mark(std::move(m)) {}
        void EnableConfigInitTimer() override { ++*config_timer; }
        void StopAllTimers() override { log->push_back("stop timers"); }
        void EnableCycleTimers() override { mark("cycle timers"); }
        void EnableStartCaptureTimer(int k) override { mark("start capture " + std::to_string(k)); }
    };
    // The configuration step replaced by `configure` (as a stored configuration would set the
    // work log and the PCI setting).
    struct TestConfiguration : NoConfiguration {
        std::function<void()> load;
        void LoadScheduledConfiguration() override {
            if (load) {
                load();
            }
        }
    };

    StationStartup& make(std::function<void(StationStartup&)> configure = {}) {
        configuration_.load = [this, configure] {
            if (configure) {
                configure(*startup_);
            }
        };
        startup_ = std::make_unique<StationStartup>(
            state_, capture_, board_,
            StartupPorts{window_, timers_, live_, network_, configuration_, stealth_});
        capture_.library = &startup_->Library;
        return *startup_;
    }

    static void log_everything(StationStartup& s) { s.State.Base.ReportFlags.fill(true); }

    std::string log_file() const { return read_file(program("20261210.rpt")); }

    tolm_test::TempDir temp_{"tolm-startup"};
    fs::path dir_ = temp_.path();
    tolm_test::TempSystemRoot root_{"tolm-startup-root"};
    tolm_test::ScopedManualClock clock_{5000};
    HMODULE module_ = nullptr;
    FakeBoard* fake_ = nullptr;
    std::shared_ptr<platform::UiRecorder> recorder_ = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink_scope_{recorder_};
    FakeCaptureWindows capture_;
    StationBoard board_{state_.Base, state_.Settings.HrdMap};
    std::unique_ptr<StationStartup> startup_;
    std::vector<std::string> log_;
    int terminated_ = 0;
    int config_timer_ = 0;
    CountingWindow window_{&terminated_};
    CountingTimers timers_{&config_timer_, &log_, [this](const std::string& what) { mark(what); }};
    NoLive live_;
    NoNetwork network_;
    TestConfiguration configuration_;
    NoStealth stealth_{window_};
};

TEST_F(Startup, MissingLanguageFileShowsTheMessageAndEndsBeforeAnythingElse) {
    fs::remove(program("tolm.lng"));
    StationStartup& s = make();
    EXPECT_FALSE(s.FormCreate());
    const auto boxes = recorder_->boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text,
              "Cannot load language support file \"TOLM.LNG\", the program will be terminated");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].type, MB_ICONWARNING);
    EXPECT_EQ(terminated_, 1);
    EXPECT_EQ(config_timer_, 0);
    EXPECT_TRUE(capture_.log.empty());
    EXPECT_FALSE(fs::exists(program("correct.pdt")));
}

TEST_F(Startup, StartAndStopLinesGoToTodaysWorkLog) {
    StationStartup& s = make(log_everything);
    ASSERT_TRUE(s.FormCreate());
    EXPECT_EQ(config_timer_, 1);
    s.ConfigInitTimerTimer();
    const std::string start = "06 09:05:03 " + state_.Base.LangList[kLineStationStarted] + "\r\n";
    ASSERT_FALSE(state_.Base.LangList[kLineStationStarted].empty());
    // No board: the bridge step logs that there is none.
    const std::string no_bridge = "05 09:05:03 " + state_.Base.LangList[291] + "\r\n";
    EXPECT_EQ(log_file(), start + no_bridge);
    const std::string stop = "06 09:05:03 " + state_.Base.LangList[kLineStationStopped] + "\r\n";
    ASSERT_FALSE(state_.Base.LangList[kLineStationStopped].empty());
    s.FormCloseQuery();
    s.FormClose();
    EXPECT_EQ(log_file(), start + no_bridge + stop);
    // A second close does nothing.
    s.FormClose();
    EXPECT_EQ(log_file(), start + no_bridge + stop);
}

TEST_F(Startup, NoCaptureDriverMessageUnlessStealthOrAutostart) {
    const struct {
        const char* what;
        bool stealth;
        bool autostart;
        bool connected;
        bool message;
    } rows[] = {
        {"no driver", false, false, false, true},
        {"no driver, stealth at start", true, false, false, false},
        {"no driver, autostart", false, true, false, false},
        {"one driver", false, false, true, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        state_.Settings.StealthAtStart = r.stealth;
        state_.Settings.AutoStart = r.autostart;
        ASSERT_TRUE(SaveStealth(state_.Base, state_.Settings));
        ASSERT_TRUE(SaveAutoRun(state_.Base, state_.Settings));
        recorder_->clear();
        capture_.connects = {false, r.connected, false, false};
        StationStartup& s = make();
        ASSERT_TRUE(s.FormCreate());
        s.ConfigInitTimerTimer();
        EXPECT_EQ(s.ChipPresent, (std::array<bool, 4>{false, r.connected, false, false}));
        const auto boxes = recorder_->boxes();
        if (r.message) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].owner, nullptr);
            EXPECT_EQ(boxes[0].text, state_.Base.LangList[kLineNoCaptureDriver]);
            EXPECT_EQ(boxes[0].caption, StationCaption(state_.Base.LangList));
            EXPECT_EQ(boxes[0].type, MB_ICONWARNING);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        EXPECT_EQ(s.State.StealthActive, r.stealth);
        s.FormClose();
    }
}

TEST_F(Startup, ConnectedChipsGetTheirFormatAndAreDisconnectedAtClose) {
    capture_.connects = {true, false, true, false};
    StationStartup& s = make();
    ASSERT_TRUE(s.FormCreate());
    EXPECT_EQ(capture_.log,
              (std::vector<std::string>{"create", "connect 1", "connect 2", "connect 3",
                                        "connect 4", "format 1", "format 3"}));
    EXPECT_EQ(s.CaptureFormat[0].size(), 40u);
    EXPECT_TRUE(s.CaptureFormat[1].empty());
    s.ConfigInitTimerTimer();
    capture_.log.clear();
    s.FormClose();
    EXPECT_EQ(capture_.log,
              (std::vector<std::string>{"disconnect 1 released", "disconnect 3 released"}));
    EXPECT_EQ(s.DriverConnected, (std::array<bool, 4>{}));
    EXPECT_TRUE(s.CaptureFormat[0].empty());
}

// The host bridge through start-up and shut-down: what is logged and written.
TEST_F(Startup, HostBridgeIsReportedFixedAndRestored) {
    const struct {
        const char* what;
        bool library;
        BYTE present;
        DWORD value;
        bool pci_fix;
        std::vector<std::string> start_lines; // "<line> <value>" of category 5
        std::vector<DWORD> writes;            // TarvoWriteBridgePCIInfo, start then close
        std::vector<std::string> stop_lines;
    } rows[] = {
        {"no library", false, 0, 0, true, {"291"}, {}, {}},
        {"no bridge", true, 0, 0x12345678, true, {"291"}, {}, {}},
        {"bridge, no fix", true, 1, 0x12345678, false, {"292 12345678"}, {}, {}},
        {"bridge, fix needed",
         true,
         1,
         0x12345678,
         true,
         {"292 12345678", "293 1234567E"},
         {0x1234567E, 0x12345678},
         {"294 12345678"}},
        {"bridge, bits already set", true, 1, 0x00000006, true, {"292 00000006"}, {}, {}},
        {"bridge, one bit set",
         true,
         1,
         0x00000004,
         true,
         {"292 00000004", "293 00000006"},
         {0x6, 0x4},
         {"294 00000004"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        FakeBoard* fake = nullptr;
        if (r.library && module_ == nullptr) {
            fake = &install_board();
        } else if (r.library) {
            fake = reinterpret_cast<test::FakeBoardStateFn>(
                GetProcAddress(module_, test::kFakeBoardStateName))();
        } else if (module_ != nullptr) {
            FAIL() << "rows without the library come first";
        }
        if (fake != nullptr) {
            fake->bridge_present = r.present;
            fake->bridge_value = r.value;
            fake->ClearCalls();
        }
        fs::remove(program("20261210.rpt"));
        capture_.connects = {true, true, true, true};
        const bool fix = r.pci_fix;
        StationStartup& s = make([fix](StationStartup& st) {
            st.State.Base.ReportFlags.fill(true);
            st.State.PciFix = fix;
        });
        ASSERT_TRUE(s.FormCreate());
        EXPECT_EQ(s.Library.BoardControlOn(), r.library);
        s.ConfigInitTimerTimer();
        s.FormClose();

        const auto expect_lines = [&](const std::vector<std::string>& want) {
            std::string text;
            for (const std::string& w : want) {
                const int line = std::stoi(w.substr(0, 3));
                text +=
                    "05 09:05:03 " + state_.Base.LangList.operator[](line) + w.substr(3) + "\r\n";
            }
            return text;
        };
        // state_.Base.LangList was freed by the close: read it again to build the lines.
        ASSERT_TRUE(LoadLanguageFile(state_.Base));
        const std::string want = "06 09:05:03 " + state_.Base.LangList[kLineStationStarted] +
                                 "\r\n" + expect_lines(r.start_lines) + "06 09:05:03 " +
                                 state_.Base.LangList[kLineStationStopped] + "\r\n" +
                                 expect_lines(r.stop_lines);
        EXPECT_EQ(log_file(), want);
        if (fake != nullptr) {
            std::vector<DWORD> writes;
            for (const std::string& c : fake->calls) {
                if (c.rfind("TarvoWriteBridgePCIInfo(", 0) == 0) {
                    writes.push_back(static_cast<DWORD>(std::stoul(c.substr(24))));
                }
            }
            EXPECT_EQ(writes, r.writes);
        }
    }
}

// The second stage's board steps: the decoder set-up (ADC register, scaling loop) on present
// chips only, then the cycle timers, then every chip's first capture-multiplexer switch without
// a DMA stop with each monitor output's switch, and only then the capture starts.
TEST_F(Startup, SecondStageSetsUpPresentChipsThenSwitchesTheMultiplexersInOrder) {
    FakeBoard& fake = install_board();
    capture_.connects = {true, false, true, false};
    state_.Settings.HrdMap = {1, 1, 1, 1,
                              1, 1, 1, 1}; // multiplexer at its first address on board 1
    ASSERT_TRUE(SaveHrdIni(state_.Base, state_.Settings));
    StationStartup& s = make();
    ASSERT_TRUE(s.FormCreate());
    ASSERT_TRUE(s.Library.BoardControlOn());
    fake.ClearCalls();
    s.ConfigInitTimerTimer();
    std::vector<std::string> steps;
    for (const std::string& c : fake.calls) {
        for (const char* name : {"WriteDecoder", "I2CHWWrite2", "TarvoRisc", "cycle", "start"}) {
            if (c.rfind(name, 0) == 0) {
                steps.push_back(c);
            }
        }
    }
    const auto decoder = [](long long reg, long long value, long long chip) {
        return FakeBoard::Call("WriteDecoder", {reg, value, chip});
    };
    const auto mux = [](long long byte) { return FakeBoard::Call("I2CHWWrite2", {0x4C, byte, 0}); };
    EXPECT_EQ(steps, (std::vector<std::string>{
                         decoder(0x68, 0x92, 0), decoder(0x40, 0x20, 0), decoder(0xC0, 0x20, 0),
                         decoder(0x68, 0x92, 2), decoder(0x40, 0x20, 2), decoder(0xC0, 0x20, 2),
                         "cycle timers", mux(0x00), mux(0x40), mux(0x10), mux(0x50), mux(0x20),
                         mux(0x60), mux(0x30), mux(0x70), "start capture 1", "start capture 3"}));
    s.FormClose();
}

TEST_F(Startup, RelaysGoOffBeforeTheLibraryIsReleased) {
    FakeBoard& fake = install_board();
    capture_.connects = {true, true, true, true};
    StationStartup& s = make();
    ASSERT_TRUE(s.FormCreate());
    ASSERT_TRUE(s.Library.BoardControlOn());
    s.ConfigInitTimerTimer();
    fake.ClearCalls();
    capture_.log.clear();
    s.FormClose();
    // Relays on board 4 at the first relay address, by the map of a missing "hrdini.pdt".
    const std::string relays_off = FakeBoard::Call("I2CHWWrite2", {0x42, 255, 3});
    ASSERT_FALSE(fake.calls.empty());
    EXPECT_EQ(fake.calls.back(), relays_off);
    EXPECT_FALSE(s.Library.BoardLibLoaded());
    EXPECT_FALSE(s.Library.BoardControlOn());
    EXPECT_EQ(capture_.log.front(), "disconnect 1 released");
    EXPECT_EQ(log_.front(), "stop timers");
}

TEST(StationIni, NameAndSection) {
    EXPECT_EQ(StationIniPath("/p/bin/tolm.exe"), fs::path("/p/bin/tolm.ini"));
    EXPECT_EQ(StationIniPath("/p/bin/tolm"), fs::path("/p/bin/tolm.ini"));
    EXPECT_EQ(StationIniPath("/p/bin/a.b/tolm"), fs::path("/p/bin/a.b/tolm.ini"));

    const tolm_test::TempDir dir("tolm-ini");
    const fs::path ini = dir / "tolm.ini";
    {
        std::ofstream out(ini);
        out << "[Other]\nDelay=9\n[i2c]\nDelay = 3\nUseCheckComm=0\n";
    }
    const I2CSettings s = ReadI2CSettings(ini);
    EXPECT_EQ(s.Delay, 3);
    EXPECT_EQ(s.AutoRepeat, 20);
    EXPECT_EQ(s.UseCommReady, 0);
    EXPECT_EQ(s.UseCheckComm, 0);
    fs::remove(ini);
    const I2CSettings d = ReadI2CSettings(ini);
    EXPECT_EQ(d.Delay, 1);
    EXPECT_EQ(d.UseCheckComm, 1);
}

// The main form's timers and close in the window system.
class StartupForm : public Startup {};

TEST_F(StartupForm, CloseStopsEveryTimerFirstAndRunsTheShutDownOnce) {
    NoStartupCapture none;
    TMain_Kastrel_Form form;
    auto* life = new StationLifecycle(form, state_, none, board_);
    int cycles = 0;
    bool ran_after_close = false;
    life->SoundTimerTimer = [&] {
        ++cycles;
        ran_after_close = ran_after_close || life->Startup().Closed();
    };
    ASSERT_TRUE(life->FormCreate());
    life->CreateForms(nullptr);
    ASSERT_NE(life->ViewForm(), nullptr);
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 2000);
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(0, 255, 255));
    EXPECT_EQ(form.windowTitle().toStdString(), Cp1251ToUtf8(StationCaption(state_.Base.LangList)));
    // The second stage runs once, 100 ms later (real time: Qt timers).
    platform::clock::use_real();
    QElapsedTimer wait;
    wait.start();
    while (cycles < 2 && wait.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_GT(cycles, 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(life->ConfigInitTimer().isActive());

    form.close();
    EXPECT_TRUE(life->Startup().Closed());
    for (QTimer* t : form.findChildren<QTimer*>()) {
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
    }
    const int at_close = cycles;
    wait.restart();
    while (wait.elapsed() < 250) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(cycles, at_close);
    EXPECT_FALSE(ran_after_close);
    EXPECT_EQ(life->ViewForm(), nullptr);
    EXPECT_FALSE(fs::exists(program("correct.pdt")));
}

// A sink that closes the station while its message box is up, as an operator or the end of
// the session may.
class ClosingSink : public platform::UiRecorder {
public:
    std::function<void()> during_box;
    int message_box(HWND owner, std::string_view text, std::string_view caption,
                    UINT type) override {
        if (during_box) {
            during_box();
        }
        return UiRecorder::message_box(owner, text, caption, type);
    }
};

TEST_F(StartupForm, ClosingWhileTheNoDriverMessageIsUpEndsTheSecondStage) {
    auto sink = std::make_shared<ClosingSink>();
    platform::ScopedUiSink scope(sink);
    NoStartupCapture none;
    TMain_Kastrel_Form form;
    auto* life = new StationLifecycle(form, state_, none, board_);
    bool cycle_started = false;
    life->SoundTimerTimer = [&] { cycle_started = true; };
    ASSERT_TRUE(life->FormCreate());
    state_.Base.ReportFlags.fill(true); // as a configuration would (the first stage clears them)
    sink->during_box = [&] { form.close(); };
    life->Startup().ConfigInitTimerTimer();
    ASSERT_EQ(sink->boxes().size(), 1u);
    EXPECT_TRUE(life->Startup().Closed());
    // Nothing of the second stage ran after the close: no start line, no timer started.
    ASSERT_TRUE(LoadLanguageFile(state_.Base));
    EXPECT_EQ(log_file(), "06 09:05:03 " + state_.Base.LangList[kLineStationStopped] + "\r\n");
    for (QTimer* t : form.findChildren<QTimer*>()) {
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
    }
    QApplication::processEvents();
    EXPECT_FALSE(cycle_started);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(StartupForm, AltF1TogglesTheDiagnosticsWindowFromAnyForm) {
    NoStartupCapture none;
    TMain_Kastrel_Form form;
    auto* life = new StationLifecycle(form, state_, none, board_);
    ASSERT_TRUE(life->FormCreate());
    life->CreateForms([] {
        auto* w = new QWidget();
        w->setObjectName("MesForm");
        return w;
    });
    ASSERT_NE(life->MesForm(), nullptr);
    EXPECT_FALSE(life->MesForm()->isVisible());
    QKeyEvent alt_f1(QEvent::KeyPress, Qt::Key_F1, Qt::AltModifier);
    QApplication::sendEvent(&form, &alt_f1);
    EXPECT_TRUE(life->MesForm()->isVisible());
    // From the viewer as well; F1 alone does nothing.
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(life->ViewForm(), &f1);
    EXPECT_TRUE(life->MesForm()->isVisible());
    QApplication::sendEvent(life->ViewForm(), &alt_f1);
    EXPECT_FALSE(life->MesForm()->isVisible());
    life->EndSession();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(life->MesForm(), nullptr);
}

TEST_F(StartupForm, EndOfSessionClosesTheStationWithoutRefusing) {
    NoStartupCapture none;
    TMain_Kastrel_Form form;
    auto* life = new StationLifecycle(form, state_, none, board_);
    ASSERT_TRUE(life->FormCreate());
    // The marker holds the start's date and time in the system's short format.
    EXPECT_EQ(read_file(program("correct.pdt")), "10.12.2026 9:05:03\r\n");
    life->EndSession();
    EXPECT_TRUE(life->Startup().Closed());
    EXPECT_FALSE(fs::exists(program("correct.pdt")));
}

} // namespace
} // namespace station
