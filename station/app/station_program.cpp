#include "station_program.h"

#include "camera_windows_run.h"
#include "access/access_rights.h"
#include "ui/live/chanel_form.h"
#include "live/live_startup.h"
#include "ui/live/mes_form.h"

#include <QCoreApplication>
#include <QTimer>

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

void StationProgram::SoundTimerSwitch::SetEnabled(bool enabled) {
    if (enabled) {
        life->SoundTimer().start();
    } else {
        life->SoundTimer().stop();
    }
}

StationProgram::StationProgram() {
    form_ = std::make_unique<TMain_Kastrel_Form>();
    // Rights come with the login; a station starts locked.
    const auto querry = [this](int n) { return QuerryStatus(state_.Base, state_.Access, n); };
    menus_ = std::make_unique<FormMenus>(*form_, querry);
    live_ = std::make_unique<LiveStation>(windows_, board_.Port, state_.Base,
                                          LiveStation::Ports{remotes_, *menus_, frame_actions_});
    board_.Attach(*live_);
    frame_actions_.Attach(live_->Handoff);
    capture_.live = live_.get();
    capture_.windows = &windows_;
    timers_ = std::make_unique<LiveTimers>(*live_);
    life_ =
        new StationLifecycle(*form_, state_, capture_, board_,
                             LifecyclePorts{*timers_, live_port_, network_, configuration_port_});
    live_->Handoff.ReadCaptureFormat = [this](int k) { life_->Startup().ReadCaptureFormat(k); };
    chanel_hooks_.QuerryStatus = querry;
    chanel_hooks_.OpenAdjFound = [this](int slot) { OpenAdjFound(slot); };
    chanel_hooks_.FreeAdjFound = [this] { dialogs_.Free(SettingsDialog::AdjFound); };
    ConnectLiveMenus(*form_, *live_, chanel_hooks_);
    wire_alarm_sound();

    // Stored configurations: loaded at start, switched by the schedule on the sound timer
    // (its first step); the open settings dialogs go at the shut-down.
    configuration_ = std::make_unique<StationConfiguration>(
        *form_, *live_, board_, *life_, dialogs_, state_, configuration_state_, chanel_hooks_);
    board_.Sound.ScheduleCheck = [this] { configuration_->ScheduleTimer(); };

    // Login and lock; every configuration load ends with the access-status refresh, and the
    // station starts with its menus as locked.
    access_ = std::make_unique<StationAccess>(*form_, state_, *live_, *life_, dialogs_,
                                              configuration_state_);
    configuration_->Loader().StatusSet = [this] { access_->SystemStatusSet(); };
    access_->SystemStatusSet();
    life_->FreeDialogs = [this] { dialogs_.Free(kShutdownFrees); };
}

void StationProgram::wire_alarm_sound() {
    // The form's sound timer (100 ms, started with the cycle timers) serves the windows' sound
    // requests on the speaker or through the media player, whose end of play clears them.
    sound_switch_.life = life_;
    life_->SoundTimerTimer = [this] {
        board_.Sound.SoundTimerTimer(sound_switch_, board_.Windows, player_);
    };
    player_.SetNotify([this] { board_.Sound.MediaPlayer1Notify(board_.Windows); });
}

StationProgram::~StationProgram() {
    // The settings dialogs have no owner: freed and gone before what they use.
    dialogs_.Free(kShutdownFrees);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    configuration_.reset();
    // The camera windows and the forms use the engine: they go first.
    form_.reset();
    access_.reset();
    timers_.reset();
    menus_.reset();
    live_.reset();
}

void StationProgram::ProgramLive::ResetFrameLoops() {
    // The ten-minute restart period and the DMA-program check start now.
    LiveStation& live = *program_.live_;
    const std::uint32_t start = program_.life_->Startup().StartTick;
    live.Cycle.RestartTick = start;
    live.Cycle.RiscCheckTick = start;
    for (int k = 1; k <= kChipCount; ++k) {
        live.Handoff.ResetChip(k);
    }
}

void StationProgram::ProgramLive::TakePresentChips() {
    station::TakePresentChips(*program_.live_);
}

void StationProgram::ProgramLive::CloseQuery() {
    program_.live_->Handoff.ProgramClosing = true;
}

void StationProgram::ProgramLive::FreeCameraWindows() {
    station::FreeCameraWindows(*program_.form_, program_.live_->Slots);
    program_.live_->Slots.ChanelPresent.fill(false);
}

bool StationProgram::ProgramLive::DriverDialogOpen() const {
    return program_.live_ && program_.live_->Handoff.DriverDialogOpen();
}

void StationProgram::LiveTablesReset::ResetStationTables() {
    program_.live_->Tables = LiveTables();
}

void StationProgram::LiveTablesReset::LoadScheduledConfiguration() {
    program_.configuration_->LoadScheduled();
}

TFormAdjFound* StationProgram::OpenAdjFound(int slot) {
    dialogs_.Free(SettingsDialog::AdjFound);
    AdjFoundModel::Ports ports{state_.Base,
                               live_->Slots,
                               live_->AdjFound,
                               live_->Tables,
                               CameraPicture{configuration_state_.CamBright.data(),
                                             configuration_state_.CamContr.data(),
                                             &live_->Tables.CamSat[1], &live_->Tables.CamHue[1]},
                               board_.ChipPresent,
                               [this] { return static_cast<int>(state_.Access.AccessStatus); },
                               chanel_hooks_.QuerryStatus};
    adj_found_ = OpenSettingsDialog<TFormAdjFound>(dialogs_, SettingsDialog::AdjFound, [&] {
        return new TFormAdjFound(std::move(ports), slot);
    });
    return adj_found_;
}

bool StationProgram::Start() {
    const bool running = life_->FormCreate();
    life_->CreateForms([this]() -> QWidget* { return new TMesForm(*live_); });
    return running;
}

} // namespace station
