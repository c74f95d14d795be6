// The main form's timers of the live engine: `MainCycleTimer` (1 ms), `RestartTimer` (100 ms),
// "StartCaptureTimer" 1..4 (1 ms, one shot) and the format and source dialog timers 1..4
// (100 ms). The engine's handlers switch them on and off through their flags; this object keeps
// the Qt timers in step and runs the handlers. It also shows the capture driver's errors on
// the GUI thread as soon as one is queued. As start-up's `TimerPort` it switches the capture
// starts, the main cycle and their stop (the second stage's timer is the main form's).
#pragma once

#include "lifecycle/timer_port.h"
#include "live/live_station.h"

#include <QObject>
#include <QTimer>
#include <array>

namespace station {

class LiveTimers : public QObject, public TimerPort {
public:
    explicit LiveTimers(LiveStation& live, QObject* parent = nullptr);
    ~LiveTimers() override;

    // Brings every Qt timer in line with the engine's flags.
    void Sync();

    void EnableConfigInitTimer() override {}
    void EnableStartCaptureTimer(int k) override;
    // The main cycle (the sound timer is the main form's).
    void EnableCycleTimers() override;
    void StopAllTimers() override;

    QTimer& MainCycleTimer() { return main_cycle_; }
    QTimer& RestartTimer() { return restart_; }
    QTimer& StartCaptureTimer(int k) { return start_capture_[static_cast<std::size_t>(k)]; }
    QTimer& DialogTimer(int k) { return dialog_[static_cast<std::size_t>(k)]; }

private:
    static void set(QTimer& timer, bool on);

    LiveStation& live_;
    QTimer main_cycle_;
    QTimer restart_;
    std::array<QTimer, kChipCount + 1> start_capture_;
    std::array<QTimer, kChipCount + 1> dialog_;
};

} // namespace station
