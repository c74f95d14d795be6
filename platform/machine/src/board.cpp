#include "board.h"

#include <string>

namespace machine {
namespace {

constexpr std::uint8_t kCrosspoint = 0x4C;
constexpr std::uint8_t kDac = 0x48;

} // namespace

Board::Board(int index, BoardConfig config, const MachineConfig& machine, FaultLog& log)
    : index_(index), config_(std::move(config)), log_(log), busy_ms_(machine.crosspoint_busy_ms) {}

int Board::camera_number(int input) const {
    if (input < 1 || input > kCrosspointInputs ||
        !config_.cameras[std::size_t(input - 1)].connected) {
        return 0;
    }
    return 16 * index_ + input;
}

void Board::set_sensor(int input, bool level) {
    const std::uint16_t bit = std::uint16_t(1u << (input - 1));
    sensors_ = level ? std::uint16_t(sensors_ | bit) : std::uint16_t(sensors_ & ~bit);
}

bool Board::busy(int bus, std::uint32_t now) const {
    return bus == config_.crosspoint_bus && busy_armed_ && std::int32_t(now - busy_until_) < 0;
}

void Board::crosspoint_byte(std::uint8_t b, int chip, std::uint64_t field) {
    last_crosspoint_ = b;
    if (b & 0x80) {
        log_.record(FaultKind::CrosspointByte, chip, field, 0, b, "crosspoint byte ignored");
        return;
    }
    const int input = (b & 0x0F) + 1;
    const std::size_t output = (b >> 4) & 3;
    if (b & 0x40) {
        monitor_[output] = std::uint8_t(input);
    } else {
        capture_[output] = std::uint8_t(input);
    }
}

Board::Outcome Board::transaction(int bus, std::uint8_t db0, const std::uint8_t* data, int count,
                                  int chip, std::uint64_t field, std::uint32_t now) {
    Outcome out;
    const bool read = (db0 & 1) != 0;
    const std::uint8_t write_addr = std::uint8_t(db0 & 0xFE);
    const std::uint8_t sensor_low = std::uint8_t(config_.sensor_address & 0xFE);
    const std::uint8_t sensor_high = std::uint8_t(sensor_low + 2);

    if (bus == config_.crosspoint_bus && write_addr == kCrosspoint) {
        out.ack = true;
        if (read) {
            out.byte =
                readback_mismatch_ ? std::uint8_t(last_crosspoint_ ^ 0x01) : last_crosspoint_;
        } else {
            for (int i = 0; i < count; ++i) {
                crosspoint_byte(data[i], chip, field);
            }
            busy_until_ = now + busy_ms_;
            busy_armed_ = busy_ms_ > 0;
        }
        return out;
    }
    if (bus == config_.dac_bus && write_addr == kDac) {
        if (read) {
            return out; // the DAC is write-only: no acknowledge
        }
        if (count >= 1 && (data[0] < 0xF0 || data[0] > 0xF3)) {
            log_.record(FaultKind::DacCommand, chip, field, 0, data[0], "unknown DAC command");
            return out;
        }
        out.ack = true;
        if (count >= 2) {
            std::uint8_t level = data[1];
            if (level > 63) {
                log_.record(FaultKind::DacLevel, chip, field, 0, level,
                            "DAC level " + std::to_string(level) + " stored as 63");
                level = 63;
            }
            dac_[data[0] - 0xF0u] = level;
        }
        return out;
    }
    if (bus == config_.relay_bus && write_addr == config_.relay_address) {
        out.ack = true;
        if (read) {
            out.byte = relay_;
        } else if (count > 0) {
            relay_ = data[count - 1];
        }
        return out;
    }
    if (bus == config_.sensor_bus && (write_addr == sensor_low || write_addr == sensor_high)) {
        out.ack = true;
        if (read) {
            out.byte =
                write_addr == sensor_low ? std::uint8_t(sensors_) : std::uint8_t(sensors_ >> 8);
        }
        return out;
    }
    return out; // no device at the address
}

} // namespace machine
