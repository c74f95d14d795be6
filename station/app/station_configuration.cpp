#include "station_configuration.h"

#include "camera_windows_run.h"
#include "startup_form.h"
#include "base/local_clock.h"
#include "base/settings_dialogs.h"
#include "settings/settings_files.h"
#include "board/station_board.h"
#include "ui/main/main_form.h"

#include <QToolButton>

namespace station {

StationConfiguration::StationConfiguration(TMain_Kastrel_Form& form, LiveStation& live,
                                           StationBoard& board, StationLifecycle& life,
                                           DialogRegistry& dialogs, StationState& station,
                                           ConfigurationState& state, ChanelHooks hooks)
    : form_(form), live_(live), board_(board), life_(life), dialogs_(dialogs), station_(station),
      state_(state), hooks_(std::move(hooks)),
      loader_(station.Base, state, live.Tables, live.Slots, dialogs, *this) {
    form_.ConnectItem("N1", [this] { N1Click(); });
}

void StationConfiguration::LoadScheduled() {
    loader_.LoadConfiguration(
        ScheduledConfig(station_.Settings.ConfSchedule, LocalNow(station_.Base)));
    station_.PciFix = state_.PciFix;
}

void StationConfiguration::ScheduleTimer() {
    loader_.ScheduleTimer(station_.Settings.ConfSchedule, LocalNow(station_.Base));
}

void StationConfiguration::N1Click() {
    AdjConfModel::Actions actions;
    actions.Save = [this](int n) { return loader_.SaveConfiguration(n); };
    actions.Load = [this](int n) { loader_.LoadConfiguration(n); };
    actions.SaveTable = [this] { return SaveConfTable(station_.Base, station_.Settings); };
    TAdjConf* dialog = OpenSettingsDialog<TAdjConf>(dialogs_, SettingsDialog::AdjConf, [&] {
        return new TAdjConf(station_.Base.LangList, station_.Settings.ConfSchedule, state_,
                            std::move(actions));
    });
    if (dialog != nullptr) {
        adj_conf_ = dialog;
    }
}

void StationConfiguration::EnableAdjConf(bool on) {
    if (adj_conf_) {
        adj_conf_->SetControlsEnabled(on);
    }
}

void StationConfiguration::HideViewer() {
    if (QWidget* viewer = life_.ViewForm(); viewer != nullptr && viewer->isVisible()) {
        viewer->hide();
    }
}

void StationConfiguration::FreeCameraWindows() {
    station::FreeCameraWindows(form_, live_.Slots);
}

ChanelWindow* StationConfiguration::CreateCameraWindow(int slot) {
    live_.Slots.NewChanelNumber = slot;
    auto* window = new TFormChanel(live_, hooks_, &form_);
    window->FindBtn()->setEnabled(!hooks_.QuerryStatus || hooks_.QuerryStatus(14));
    window->WriteBtn()->setEnabled(!hooks_.QuerryStatus || hooks_.QuerryStatus(17));
    return &window->Window();
}

TFormChanel* StationConfiguration::form_of(int slot) const {
    const ChanelWindow* used = live_.Slots.Used(slot);
    if (used == nullptr) {
        return nullptr;
    }
    for (TFormChanel* w : CameraWindowsOf(form_)) {
        if (&w->Window() == used) {
            return w;
        }
    }
    return nullptr;
}

void StationConfiguration::PlaceCameraWindow(int slot, const WindowPlace& place) {
    if (TFormChanel* w = form_of(slot)) {
        w->move(place.Left, place.Top);
        w->resize(std::max(1, place.Width), std::max(1, place.Height));
        w->RefreshCaption();
    }
}

WindowPlace StationConfiguration::CameraWindowPlace(int slot) const {
    const TFormChanel* w = form_of(slot);
    if (w == nullptr) {
        return {};
    }
    return {w->x(), w->y(), w->height(), w->width()};
}

void StationConfiguration::ShowCameraWindows() {
    for (int m = 1; m <= kSlotCount; ++m) {
        if (TFormChanel* w = form_of(m)) {
            w->show();
        }
    }
}

WindowPlace StationConfiguration::MainWindowPlace() const {
    return {form_.x(), form_.y(), form_.height(), form_.width()};
}

void StationConfiguration::PlaceMainWindow(const WindowPlace& place) {
    form_.move(place.Left, place.Top);
    form_.resize(std::max(1, place.Width), std::max(1, place.Height));
}

void StationConfiguration::WriteAllRelaysOff() {
    board_.Control.WriteAllRelaysOff();
}

bool StationConfiguration::StealthActive() const {
    return station_.StealthActive;
}

} // namespace station
