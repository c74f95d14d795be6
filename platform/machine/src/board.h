// The devices on a board's I2C buses: the 16 x 8 video crosspoint, the camera-level DAC, the
// relay latch and the sensor inputs; and the cameras on the crosspoint's inputs.
#pragma once

#include <array>
#include <cstdint>

#include "fault_log.h"
#include "machine/config.h"

namespace machine {

class Board {
public:
    Board(int index, BoardConfig config, const MachineConfig& machine, FaultLog& log);

    struct Outcome {
        bool ack = false;      // every byte sent was acknowledged
        std::uint8_t byte = 0; // the byte read (reads)
    };
    // One transaction on the bus of the board's chip `bus` (1-based): address byte `db0`, then
    // `count` data bytes (writes). `chip` and `field` only label faults.
    Outcome transaction(int bus, std::uint8_t db0, const std::uint8_t* data, int count, int chip,
                        std::uint64_t field, std::uint32_t now);
    // Line 8 of chip `bus` is held busy after a crosspoint write.
    bool busy(int bus, std::uint32_t now) const;

    // Input (1-16, 0 = unrouted) on capture output / monitor output `output` (1-4).
    int capture_route(int output) const { return capture_[std::size_t(output - 1)]; }
    int monitor_route(int output) const { return monitor_[std::size_t(output - 1)]; }
    int dac_level(int output) const { return dac_[std::size_t(output - 1)]; }
    std::uint8_t relay() const { return relay_; }
    std::uint16_t sensors() const { return sensors_; }
    void set_sensor(int input, bool level);
    void set_readback_mismatch(bool on) { readback_mismatch_ = on; }

    int index() const { return index_; } // 0-based
    BoardConfig& config() { return config_; }
    const BoardConfig& config() const { return config_; }
    // Camera number of crosspoint input `input` (1-16): 16 x board + input, 0 when unconnected.
    int camera_number(int input) const;

private:
    void crosspoint_byte(std::uint8_t b, int chip, std::uint64_t field);

    int index_;
    BoardConfig config_;
    FaultLog& log_;
    std::uint32_t busy_ms_;
    std::array<std::uint8_t, 4> capture_{};
    std::array<std::uint8_t, 4> monitor_{};
    std::array<std::uint8_t, 4> dac_{32, 32, 32, 32};
    std::uint8_t relay_ = 0xFF;
    std::uint16_t sensors_ = 0xFFFF;
    std::uint8_t last_crosspoint_ = 0xFF;
    bool readback_mismatch_ = false;
    std::uint32_t busy_until_ = 0;
    bool busy_armed_ = false;
};

} // namespace machine
