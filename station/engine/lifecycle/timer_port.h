// The main form's timers as start-up and shut-down switch them: the one-shot 100 ms second
// stage, the capture start of each chip, the cycle timers and the stop of them all. The
// program's form implements it over its own timers and the live engine's; `NoTimers` starts
// nothing.
#pragma once

namespace station {

class TimerPort {
public:
    virtual ~TimerPort() = default;
    // The second stage (`ConfigInitTimer`, 100 ms, one shot).
    virtual void EnableConfigInitTimer() = 0;
    // `StartCaptureTimer` k: the capture start of chip k.
    virtual void EnableStartCaptureTimer(int k) = 0;
    // The sound timer (100 ms) and the main-cycle timer (1 ms).
    virtual void EnableCycleTimers() = 0;
    // Stops every timer of the main form (first step of the shut-down).
    virtual void StopAllTimers() = 0;
};

class NoTimers : public TimerPort {
public:
    void EnableConfigInitTimer() override {}
    void EnableStartCaptureTimer(int) override {}
    void EnableCycleTimers() override {}
    void StopAllTimers() override {}
};

} // namespace station
