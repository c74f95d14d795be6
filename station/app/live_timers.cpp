#include "live_timers.h"

#include <QCoreApplication>
#include <QPointer>

namespace station {

LiveTimers::LiveTimers(LiveStation& live, QObject* parent) : QObject(parent), live_(live) {
    main_cycle_.setInterval(1);
    main_cycle_.setTimerType(Qt::PreciseTimer);
    restart_.setInterval(100);
    connect(&main_cycle_, &QTimer::timeout, this, [this] { live_.Cycle.MainCycleTimerTimer(); });
    connect(&restart_, &QTimer::timeout, this, [this] { live_.Cycle.RestartTimerTimer(); });
    for (int k = 1; k <= kChipCount; ++k) {
        QTimer& start = StartCaptureTimer(k);
        start.setInterval(1);
        start.setTimerType(Qt::PreciseTimer);
        connect(&start, &QTimer::timeout, this,
                [this, k] { live_.Handoff.StartCaptureTimerTimer(k); });
        QTimer& dialog = DialogTimer(k);
        dialog.setInterval(100);
        connect(&dialog, &QTimer::timeout, this, [this, k] { live_.Handoff.DialogTimerTimer(k); });
    }
    live_.Cycle.OnTimersChanged = [this] { Sync(); };
    live_.Handoff.OnTimersChanged = [this] { Sync(); };
    // The capture layer reports errors on its own thread: the box goes up on this one.
    QPointer<LiveTimers> self(this);
    live_.Handoff.OnCaptureError = [self] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) {
                    self->live_.Handoff.ShowCaptureErrors();
                }
            },
            Qt::QueuedConnection);
    };
    Sync();
}

LiveTimers::~LiveTimers() {
    live_.Cycle.OnTimersChanged = nullptr;
    live_.Handoff.OnTimersChanged = nullptr;
    live_.Handoff.OnCaptureError = nullptr;
}

void LiveTimers::set(QTimer& timer, bool on) {
    if (on && !timer.isActive()) {
        timer.start();
    } else if (!on && timer.isActive()) {
        timer.stop();
    }
}

void LiveTimers::EnableStartCaptureTimer(int k) {
    live_.Handoff.Chip(k).StartCaptureTimerEnabled = true;
    Sync();
}

void LiveTimers::EnableCycleTimers() {
    live_.Cycle.MainCycleTimerEnabled = true;
    Sync();
}

void LiveTimers::StopAllTimers() {
    live_.Cycle.MainCycleTimerEnabled = false;
    live_.Cycle.RestartTimerEnabled = false;
    for (int k = 1; k <= kChipCount; ++k) {
        live_.Handoff.Chip(k).StartCaptureTimerEnabled = false;
        live_.Handoff.Chip(k).DialogTimerActive = station::DialogTimer::None;
    }
    Sync();
}

void LiveTimers::Sync() {
    set(main_cycle_, live_.Cycle.MainCycleTimerEnabled);
    set(restart_, live_.Cycle.RestartTimerEnabled);
    for (int k = 1; k <= kChipCount; ++k) {
        const ChipCapture& chip = live_.Handoff.Chip(k);
        set(StartCaptureTimer(k), chip.StartCaptureTimerEnabled);
        set(DialogTimer(k), chip.DialogTimerActive != station::DialogTimer::None);
    }
}

} // namespace station
