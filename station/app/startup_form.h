// The main form's start-up and shut-down in the window system: FormCreate with the form's
// timers, the one-shot 100 ms second stage, the close (FormCloseQuery, then FormClose), the end
// of the session, and Alt+F1 for the diagnostics window on every form. Waits are timers; the
// forms are freed with deferred deletion.
#pragma once

#include "lifecycle/startup.h"
#include "ui/viewer/view_form.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QTimer;
class QWidget;
class TMain_Kastrel_Form;

namespace station {

class StationLifecycle : public QObject {
public:
    // `later` holds the steps of the other parts (see StartupHooks): the live engine's timers
    // and capture steps, and the places of later parts. The window-system hooks are the
    // form's own; a timer hook of `later` runs after the form's.
    StationLifecycle(TMain_Kastrel_Form& form, StartupCapture& capture, StationBoard& board,
                     StartupHooks later = {});
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

    // WM_QUERYENDSESSION: the main form closes (the whole shut-down runs); the end of the
    // session is never refused.
    void EndSession();

    // A timer of the main form by its component name ("ConfigInitTimer", "SoundTimer"), or
    // null. The capture starts and the main cycle have the live engine's timers.
    QTimer* Timer(const char* name) const;

    // The sound timer's handler (100 ms), wired with the alarm sound; the timer is never
    // enabled without one.
    std::function<void()> SoundTimerTimer;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTimer* make_timer(const QString& name, int interval_ms);
    void close_station();
    void stop_all_timers();
    void free_forms();
    void toggle_mes_form();

    // The form as a widget: the pointer is still read while the form's widget part takes its
    // children down, when it is no longer a whole TMain_Kastrel_Form.
    QPointer<QWidget> form_;
    TMain_Kastrel_Form& main_form_;
    std::unique_ptr<StationStartup> startup_;
    QPointer<TViewForm> view_form_;
    QPointer<QWidget> mes_form_;
    bool created_ = false;
};

} // namespace station
