// The main form's start-up and shut-down in the window system: FormCreate with the form's
// timers, the one-shot 100 ms second stage, the close (FormCloseQuery, then FormClose), the end
// of the session, and Alt+F1 for the diagnostics window on every form. Waits are timers; the
// forms are freed with deferred deletion.
#pragma once

#include "lifecycle/startup.h"
#include "ui/viewer/view_form.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

class QWidget;
class TMain_Kastrel_Form;

namespace station {

// The ports of the other parts the life cycle calls besides the form's own.
struct LifecyclePorts {
    // The live engine's timers (capture starts, main cycle); they run after the form's own.
    TimerPort& LiveTimers;
    LivePort& Live;
    NetworkPort& Network;
    ConfigurationPort& Configuration;
};

// The form is the life cycle's window and owns the second stage's and the sound timer; until
// stealth mode exists, leaving it shows the form.
class StationLifecycle : public QObject, private WindowPort, private TimerPort {
public:
    StationLifecycle(TMain_Kastrel_Form& form, StationState& state, StartupCapture& capture,
                     StationBoard& board, LifecyclePorts later);
    // Without the live engine, the network and the configurations (tests of the form).
    StationLifecycle(TMain_Kastrel_Form& form, StationState& state, StartupCapture& capture,
                     StationBoard& board);
    ~StationLifecycle() override;

    StationStartup& Startup() { return *startup_; }

    // The first stage, with the form's timers created first. False when the program ends at
    // once (language file).
    bool FormCreate();
    // The long-lived forms after the main form: `TViewForm`, then the diagnostics window from
    // `mes_form` (none while it is empty).
    void CreateForms(const std::function<QWidget*()>& mes_form);
    TViewForm* ViewForm() const { return view_form_; }
    QWidget* MesForm() const { return mes_form_; }

    // Stealth mode ends (a login from it).
    void LeaveStealth();
    // The station is closing or closed.
    bool Closing() const { return startup_->ProgramClosing || startup_->Closed(); }

    // WM_QUERYENDSESSION: the main form closes (the whole shut-down runs); the end of the
    // session is never refused.
    void EndSession();

    // The main form's own timers; the capture starts and the main cycle have the live
    // engine's timers.
    QTimer& ConfigInitTimer() { return config_init_timer_; }
    QTimer& SoundTimer() { return sound_timer_; }

    // The sound timer's handler (100 ms), wired with the alarm sound; the timer is never
    // enabled without one.
    std::function<void()> SoundTimerTimer;
    // Frees the open settings dialogs (shut-down, before the long-lived forms go).
    std::function<void()> FreeDialogs;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // WindowPort
    void ShowMainForm() override;
    void HideMainForm() override;
    void SetCaptions() override;
    void Terminate() override;
    void FreeForms() override;
    // TimerPort
    void EnableConfigInitTimer() override;
    void EnableStartCaptureTimer(int k) override;
    void EnableCycleTimers() override;
    void StopAllTimers() override;

    // The ordered shut-down, then the end of the event loop when `then_quit`. While a capture
    // driver's dialog is open (its modal call is below this handler), the dialogs are ended
    // first as at the end of a session, and the shut-down runs once that call has returned.
    void close_station(bool then_quit);
    void toggle_mes_form();

    // The form as a widget: the pointer is still read while the form's widget part takes its
    // children down, when it is no longer a whole TMain_Kastrel_Form.
    QPointer<QWidget> form_;
    TMain_Kastrel_Form& main_form_;
    StationState& state_;
    QTimer config_init_timer_{this};
    QTimer sound_timer_{this};
    NoTimers no_timers_;
    NoLive no_live_;
    NoNetwork no_network_;
    NoConfiguration no_configuration_;
    NoStealth stealth_{*this};
    TimerPort& live_timers_;
    LivePort& live_;
    std::unique_ptr<StationStartup> startup_;
    QPointer<TViewForm> view_form_;
    QPointer<QWidget> mes_form_;
    bool created_ = false;
    bool close_pending_ = false;
    bool quit_pending_ = false;
};

} // namespace station
