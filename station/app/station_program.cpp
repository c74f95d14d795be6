#include "station_program.h"

#include "camera_windows_run.h"
#include "ui/live/chanel_form.h"
#include "live/live_startup.h"
#include "ui/live/mes_form.h"

#include <QCoreApplication>

namespace station {

void StationProgram::LiveCapture::CreateWindows() {
    // The capture windows' parent is the main form; it is no window of the platform's, so the
    // windows go without one (they draw nothing of their own).
    windows->Create(nullptr, live->Handoff);
}

bool StationProgram::LiveCapture::ConnectDriver(int k) {
    const bool connected = windows->Connect(k);
    live->Handoff.Chip(k).DriverConnected = connected;
    return connected;
}

std::vector<std::uint8_t> StationProgram::LiveCapture::ReadVideoFormat(int k) {
    std::vector<std::uint8_t> format = windows->ReadVideoFormat(k);
    live->Handoff.SetCaptureFormat(k, format);
    return format;
}

void StationProgram::LiveCapture::DisconnectDriver(int k) {
    ChipCapture& chip = live->Handoff.Chip(k);
    chip.ChipRunning.store(false);
    chip.StartPending.store(false);
    windows->Disconnect(k);
    chip.DriverConnected = false;
}

StationProgram::StationProgram() {
    form_ = std::make_unique<TMain_Kastrel_Form>();
    life_ = new StationLifecycle(*form_, capture_, board_, hooks());
    live_ = std::make_unique<LiveStation>(windows_, board_.Port);
    board_.Attach(*live_);
    capture_.live = live_.get();
    capture_.windows = &windows_;
    live_->Handoff.ReadCaptureFormat = [this](int k) { life_->Startup().ReadCaptureFormat(k); };
    timers_ = std::make_unique<LiveTimers>(*live_);
    // Rights come with the login; a station starts locked.
    menus_ = std::make_unique<FormMenus>(*form_, [](int) { return false; });
    chanel_hooks_.QuerryStatus = [](int) { return false; };
    ConnectLiveMenus(*form_, *live_, *menus_, chanel_hooks_);

    // Stored configurations: loaded at start, switched by the schedule on the sound timer.
    configuration_ = std::make_unique<StationConfiguration>(
        *form_, *live_, board_, *life_, dialogs_, configuration_state_, chanel_hooks_);
    board_.Sound.ScheduleCheck = [this] { configuration_->ScheduleTimer(); };
    if (!life_->SoundTimerTimer) {
        life_->SoundTimerTimer = [this] { board_.Sound.ScheduleCheck(); };
    }
}

StationProgram::~StationProgram() {
    // The settings dialogs have no owner: freed and gone before what they use.
    dialogs_.Free(kShutdownFrees);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    configuration_.reset();
    // The camera windows and the forms use the engine: they go first.
    form_.reset();
    timers_.reset();
    menus_.reset();
    live_.reset();
}

StartupHooks StationProgram::hooks() {
    StartupHooks h;
    h.ResetFrameLoops = [this] {
        // The ten-minute restart period and the DMA-program check start now.
        const std::uint32_t start = life_->Startup().StartTick;
        live_->Cycle.RestartTick = start;
        live_->Cycle.RiscCheckTick = start;
        for (int k = 1; k <= kChipCount; ++k) {
            live_->Handoff.ResetChip(k);
        }
    };
    h.TakePresentChips = [this] { station::TakePresentChips(*live_); };
    h.CloseQuery = [this] { live_->Handoff.ProgramClosing = true; };
    h.ResetStationTables = [this] { live_->Tables = LiveTables(); };
    h.EnableCycleTimers = [this] {
        live_->Cycle.MainCycleTimerEnabled = true;
        timers_->Sync();
    };
    h.EnableStartCaptureTimer = [this](int k) {
        live_->Handoff.Chip(k).StartCaptureTimerEnabled = true;
        timers_->Sync();
    };
    h.StopAllTimers = [this] { stop_live_timers(); };
    h.FreeCameraWindows = [this] { free_camera_windows(); };
    h.LoadScheduledConfiguration = [this] { configuration_->LoadScheduled(); };
    h.FreeForms = [this] { dialogs_.Free(kShutdownFrees); };
    return h;
}

bool StationProgram::Start() {
    const bool running = life_->FormCreate();
    life_->CreateForms([this]() -> QWidget* { return new TMesForm(*live_); });
    return running;
}

void StationProgram::stop_live_timers() {
    live_->Cycle.MainCycleTimerEnabled = false;
    live_->Cycle.RestartTimerEnabled = false;
    for (int k = 1; k <= kChipCount; ++k) {
        live_->Handoff.Chip(k).StartCaptureTimerEnabled = false;
        live_->Handoff.Chip(k).DialogTimerActive = DialogTimer::None;
    }
    timers_->Sync();
}

void StationProgram::free_camera_windows() {
    FreeCameraWindows(*form_, live_->Slots);
    live_->Slots.ChanelPresent.fill(false);
}

} // namespace station
