// Board control: the capture and control-monitor multiplexers, the camera-level DAC, the relay
// outputs and the sensor inputs on the chips' I2C buses, and the few direct decoder writes.
// Every I2C transaction is paced, retried, counted and, for the multiplexers, read back; the
// multiplexer bus is reset by GPIO after more than 100 failed multiplexer transactions.
// Devices are placed by the board map `HrdMap`; a device is used only when the chip of its
// board is present and its map entries are in range. Nothing reaches the library while board
// control is off.
#pragma once

#include "base/limits.h"
#include "board_library.h"
#include "alarm/camera_alarm_fields.h"
#include "i2c_counters.h"
#include "settings/settings_state.h"

#include <array>
#include <cstdint>

namespace station {

inline constexpr int kRelayCount = 8;

// The ini section "I2C".
struct I2CSettings {
    std::int32_t Delay = 1; // ms between transactions on one board; 0 or less: no pacing
    std::int32_t AutoRepeat = 20;
    std::int32_t UseCommReady = 0;
    std::int32_t UseCheckComm = 1;
};

class BoardControl {
public:
    // `chip_present[i]`: chip i + 1 is present (set by the second start-up stage); `map` the
    // station's board register map ("hrdini.pdt").
    BoardControl(const BoardLibrary& library, const std::array<bool, kChipCount>& chip_present,
                 const HrdMapTable& map);

    I2CSettings Settings;
    // Per board 1..4 (entry board - 1): the tick of its last I2C write.
    std::array<std::uint32_t, kChipCount> I2CLastTick{};

    // Cameras 1..16; entry k - 1 is chip k, entry m - 1 monitor output m.
    std::array<std::uint8_t, kChipCount> CaptureMuxWanted{};
    std::array<std::uint8_t, kChipCount> CaptureMuxSent{};
    std::array<std::uint8_t, kMonitorCount> MonitorMuxWanted{};
    std::array<std::uint8_t, kMonitorCount> MonitorMuxSent{};
    // -1 until a level was sent, so that the first level of each chip, 0 included, goes out.
    std::array<std::int32_t, kChipCount> DacLevelSent{-1, -1, -1, -1};
    // Bit i - 1 = relay output i.
    std::uint8_t RelayByte = 255;
    std::uint8_t RelayByteSent = 255;
    // Bit n - 1 = sensor input n; -1 until the first read.
    std::int16_t SensorWord = -1;

    I2CCounters Counters;

    // Camera 1 wanted and camera 16 taken as sent on every chip and monitor, so that the first
    // switch writes.
    void ResetMuxBookkeeping();

    // Chip k's multiplexer input := CaptureMuxWanted[k]; with `stop` inside TarvoRiscStop /
    // TarvoRiscStart of chip k, whether or not a byte went out.
    void SwitchCaptureMux(bool stop, int k);
    // Control-monitor output m := MonitorMuxWanted[m].
    void SwitchMonitorMux(int m);
    // Chip k's camera level 0..63; nothing when it equals the level last sent.
    void WriteCameraLevel(std::int32_t level, int k);

    // The relay byte from the windows' alarm outputs, then WriteRelayOutputs.
    void UpdateRelayOutputs(CameraSlots& slots);
    // Writes RelayByte when it differs from the byte last sent.
    void WriteRelayOutputs();
    // RelayByte := 255 and written whatever was sent before (configuration load, shut-down).
    void WriteAllRelaysOff();
    // SensorWord from the two sensor bytes; a byte whose read failed keeps its old value.
    void ReadSensorInputs();

    // GPIO line 8 of board 1..4 reads 0: the board's devices are ready.
    bool WaitCommReady(int board);

    // Decoder writes of chip k.
    void SetVerticalFilter(int k);
    // Bit 7 of 0x2C and 0xAC set when `notch_off`, else cleared; the other bits kept.
    void SetLumaNotch(int k, bool notch_off);
    void SetScalingLoop(int k);
    void SetAdcRegister(int k);

private:
    struct Device {
        bool usable;
        LONG address;
        int board; // 1..4
    };
    Device mux_device() const;
    Device dac_device() const;
    Device sensor_device() const;
    Device relay_device() const;
    Device device(std::int32_t address_index, const std::uint8_t* addresses, int count,
                  std::int32_t board) const;

    bool on() const { return library_.BoardControlOn(); }
    const BoardLibraryTable& lib() const { return library_.Table(); }
    bool chip_ok(int k) const;

    void pace(int board);
    // One transaction of tries; `attempt` makes the library call(s) of one try and answers 0,
    // or the failure's error code (kReadBackMismatch for a differing read-back).
    template <class Attempt> bool transaction(int kind, int board, Attempt attempt);
    bool mux_write(std::uint8_t byte);
    void mux_failed();
    void reset_bus();

    const BoardLibrary& library_;
    const std::array<bool, kChipCount>& chip_present_;
    const HrdMapTable& map_;
};

} // namespace station
