// The description of the virtual hardware (machine.ini in the system root).
//
// Format (sections and keys are case-insensitive; ';' or '#' start a comment):
//
//   [machine]
//   boards = 1                  ; 0 to 8 (default: as many as described, at least 1)
//   bridge = 1                  ; host bridge 8086:244E fitted (0/1)
//   bridge_dword50 = 0x00000000 ; its configuration dword 0x50 at power-up
//   pll_lock_ms = 30            ; time the PLL stays out of lock after programming
//   crosspoint_busy_ms = 0      ; ready line held busy after each crosspoint write
//
//   [board1]                    ; boards 1..8, in PCI slot order
//   chips = 0x036E, 0x036E, 0x036E, 0x036E ; device id per chip (1 to 4 chips)
//   revision = 0x11
//   irq = 11                    ; interrupt line of every chip of the board
//   crosspoint_bus = 1          ; chip (1-4 on this board) whose I2C bus carries the device
//   dac_bus = 1
//   relay_bus = 4
//   relay_address = 0x42        ; or 0x72
//   sensor_bus = 4
//   sensor_address = 0x45       ; or 0x75 (the high byte is at address + 2)
//
//   [camera1.3]                 ; board 1, crosspoint input 3
//   connected = 1
//   lines = 625                 ; or 525
//   noise = 2                   ; sensor noise, standard deviation in 8-bit levels (0 to 20)
//   drift = 3                   ; slow lighting drift, peak in luma levels (0 to 40)
//   object = 1000, 5000, 100, 200, 150, 150, 800, 200
//            ; start ms, duration ms, x, y, width, height [, end x, end y] in per mille
//
//   [faults]
//   i2c_nack = 1, 3             ; chip 1: the next 3 transactions get no acknowledge
//   i2c_hang = 2                ; chip 2: bus hung until the next reset pulse
//   crosspoint_readback = 1     ; board 1: read-back differs from the byte written
//   error_bits = 1, 0x1000      ; chip 1: latch these INT_STAT error bits at the first field
//
// Without the file: one board of four 0x036E chips, sixteen connected 625-line cameras, bridge
// fitted.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "machine/types.h"

namespace machine {

// A moving object in a camera's scene: a bright rectangle shown from `start_ms` (platform clock
// tick) for `duration_ms`, moving linearly from (x, y) to (end_x, end_y); per-mille coordinates of
// its top-left corner, width and height of the frame.
struct SceneObject {
    std::uint32_t start_ms = 0;
    std::uint32_t duration_ms = 0;
    int x = 0, y = 0, width = 100, height = 100;
    int end_x = 0, end_y = 0;
};

struct CameraConfig {
    bool connected = true;
    int lines = 625; // 625 or 525
    // What a real camera adds to its scene: sensor noise on every sample of the byte-per-sample
    // formats (standard deviation in 8-bit levels) and a slow lighting drift of the luma (peak
    // levels, a 40-second cycle). 0 turns either off.
    int noise = 2;
    int drift = 3;
    std::vector<SceneObject> objects;
};

struct ChipConfig {
    std::uint16_t device_id = 0x036E;
    std::uint8_t revision = 0x11;
};

struct BoardConfig {
    std::vector<ChipConfig> chips{4};
    std::uint8_t irq = 11;
    // Chip (1-based within the board) whose I2C bus carries each device.
    int crosspoint_bus = 1;
    int dac_bus = 1;
    int relay_bus = 4;
    int sensor_bus = 4;
    std::uint8_t relay_address = 0x42;  // write address byte; 0x42 or 0x72
    std::uint8_t sensor_address = 0x45; // read address byte of inputs 1-8; 0x45 or 0x75
    std::array<CameraConfig, kCrosspointInputs> cameras{};
};

struct FaultConfig {
    struct Nack {
        int chip;
        int count;
    };
    struct ErrorBits {
        int chip;
        std::uint32_t bits;
    };
    std::vector<Nack> i2c_nack;
    std::vector<int> i2c_hang;            // chips
    std::vector<int> crosspoint_readback; // boards
    std::vector<ErrorBits> error_bits;
};

struct MachineConfig {
    std::vector<BoardConfig> boards{1};
    bool bridge_fitted = true;
    std::uint32_t bridge_dword50 = 0;
    std::uint32_t pll_lock_ms = 30;
    std::uint32_t crosspoint_busy_ms = 0;
    FaultConfig faults;
};

// A bad machine.ini. what() names the file and line, e.g. "machine.ini:7: unknown key 'chip'".
class ConfigError : public std::runtime_error {
public:
    ConfigError(int line, const std::string& message);
    int line() const { return line_; }

private:
    int line_;
};

// Parses the text of a machine.ini; `name` is used in error messages. Throws ConfigError.
MachineConfig parse_config(std::string_view text, std::string_view name = "machine.ini");
// Reads <system root>/machine.ini (case-insensitive name); the defaults when it does not exist.
MachineConfig load_config();
MachineConfig load_config(const std::filesystem::path& file);

} // namespace machine
