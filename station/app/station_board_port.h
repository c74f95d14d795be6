// The live engine's view of board control: the multiplexers, camera levels, relays, sensors
// and decoder writes of `BoardControl`, the watchdog's calls into the board-control library,
// automatic level control with its step histories, and the PC speaker.
#pragma once

#include "auto_level.h"
#include "board_control.h"
#include "board_library.h"
#include "camera_alarm_fields.h"
#include "live_ports.h"

#include <array>

namespace station {

class StationBoardPort : public BoardPort {
public:
    StationBoardPort(const BoardLibrary& library, BoardControl& board);
    // The camera tables whose levels automatic level control changes (the engine that holds
    // them is made with this port).
    void SetTables(LiveTables& tables) { tables_ = &tables; }

    // Per board 1..4 (entry board - 1): the luma notch filter is off. Set with the
    // configuration.
    std::array<bool, kChipCount> NotchOff{};
    // The level-step histories (reset at start-up).
    LevelStepTable LevelSteps{};

    bool BoardControlOn() const override;
    void SwitchCaptureMux(int k, int camera, bool stopDma) override;
    void WriteCameraLevel(std::int32_t level, int k) override;
    void SetSaturation(std::int32_t value, int k) override;
    void SetHue(std::int32_t value, int k) override;
    void SetVerticalFilter(int k) override;
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
    void AutoLevelCamera(int k, int a, const FrameFormat& format,
                         const std::uint8_t* pixels) override;
    void RecordLevelStep(int k, int c, std::int32_t step) override;
    I2CFigures I2CCounters() const override;
    void ClearI2CCounters() override;

private:
    // The windows' relay outputs: none drives one until the windows carry alarm actions.
    class NoAlarmOutputs : public CameraSlots {
    public:
        CameraAlarmFields* Window(int) override { return nullptr; }
    };

    const BoardLibrary& library_;
    BoardControl& board_;
    LiveTables* tables_ = nullptr;
    NoAlarmOutputs no_alarm_outputs_;
};

} // namespace station
