// The live engine's board port over board control: the board-control library, the
// multiplexers, camera levels, relays and sensors of BoardControl, automatic level control with
// its step histories, the PC speaker and the I2C counters. Chips, cameras and monitors come
// numbered from 1 and go to the library as chip index k - 1. Every call straight into the
// library is made only while board control is on.
#pragma once

#include "auto_level.h"
#include "board_control.h"
#include "board_library.h"
#include "alarm/camera_alarm_fields.h"
#include "live/live_ports.h"

namespace station {

class BoardPortAdapter : public BoardPort {
public:
    BoardPortAdapter(const BoardLibrary& library, BoardControl& control, LevelStepTable& steps);

    // The station's camera tables (levels, notch flags) and window slots, once they exist;
    // until then level control does nothing, no window drives a relay and the notch is on.
    void Attach(LiveTables& tables, CameraSlots& windows);

    bool BoardControlOn() const override;
    void SwitchCaptureMux(int k, int camera, bool stopDma) override;
    void WriteCameraLevel(std::int32_t level, int k) override;
    void SetSaturation(std::int32_t value, int k) override;
    void SetHue(std::int32_t value, int k) override;
    void SetVerticalFilter(int k) override;
    // With the chip's NotchOff from the camera tables.
    void SetLumaNotch(int k) override;
    void TakeWatchdogSnapshot(int k) override;
    int CompareRegs(std::int32_t* addresses, std::int32_t* old, std::int32_t* now, int k) override;
    int CompareRisc(std::int32_t* addresses, std::int32_t* old, std::int32_t* now, int k) override;
    void ResetFormat(int k) override;
    void SwitchMonitorMux(int m, int camera) override;
    void UpdateRelayOutputs() override;
    void ReadSensorInputs() override;
    std::int16_t SensorWord() const override;
    void Tone(std::uint32_t frequency, std::uint32_t ms) override;
    // The new level goes into AdcRange[k][a] only; it reaches the DAC at the next switch.
    void AutoLevelCamera(int k, int a, const FrameFormat& format,
                         const std::uint8_t* pixels) override;
    void RecordLevelStep(int k, int c, std::int32_t step) override;
    I2CFigures I2CCounters() const override;
    void ClearI2CCounters() override;

private:
    // Board control on and k a chip 1..4: the library may be called for it.
    bool library_chip(int k) const;

    const BoardLibrary& library_;
    BoardControl& control_;
    LevelStepTable& steps_;
    LiveTables* tables_ = nullptr;
    CameraSlots* windows_ = nullptr;
};

} // namespace station
