#include "i2c_bus.h"

#include "chip_registers.h"

#include "tarvovfw/tarvovfw.h"
#include "win32/synch.h"
#include "win32/timeapi.h"

namespace boardctl {
namespace {

// A transaction takes 200 to 290 us at the standard rate; the first polls are immediate, then
// the wait sleeps a millisecond at a time until the timeout.
constexpr int kFastPolls = 32;
constexpr DWORD kTimeoutMs = 5;

std::uint32_t control_bits(bool fast_rate) {
    return kI2cHardwareMode | (fast_rate ? kI2cFastRate : 0) | kI2cLinesIdle;
}

// The chip's two bits in the driver's I2C status mask: done and acknowledged.
std::uint32_t done_bit(int number) {
    return 1u << (2 * number);
}
std::uint32_t ack_bit(int number) {
    return 1u << (2 * number + 1);
}

bool clear_done(KernelDevice& device, int number) {
    std::uint32_t mask = 0;
    if (!device.write_register(kIntStat, kIntI2cDone) || !device.i2c_status(mask)) {
        return false;
    }
    const std::uint32_t mine = done_bit(number) | ack_bit(number);
    // Only this chip's bits go; the word is shared by every chip of the driver.
    return (mask & mine) == 0 || device.set_i2c_status(mask & ~mine);
}

enum class Wait { Done, Timeout, Failed };

// Waits for the end of the transaction; `acknowledged` tells whether every byte was.
Wait wait_done(KernelDevice& device, int number, bool& acknowledged) {
    const DWORD start = timeGetTime();
    for (int poll = 0;; ++poll) {
        std::uint32_t status = 0;
        std::uint32_t mask = 0;
        if (!device.read_register(kIntStat, status)) {
            return Wait::Failed;
        }
        if (status & kIntI2cDone) {
            acknowledged = (status & kIntRack) != 0;
            return device.write_register(kIntStat, kIntI2cDone) ? Wait::Done : Wait::Failed;
        }
        if (!device.i2c_status(mask)) {
            return Wait::Failed;
        }
        if (mask & done_bit(number)) {
            acknowledged = (mask & ack_bit(number)) != 0;
            const std::uint32_t mine = done_bit(number) | ack_bit(number);
            return device.set_i2c_status(mask & ~mine) ? Wait::Done : Wait::Failed;
        }
        if (poll >= kFastPolls) {
            if (timeGetTime() - start > kTimeoutMs) {
                return Wait::Timeout;
            }
            Sleep(1);
        }
    }
}

// True when GPIO line 9 is driven low, which holds the board's devices in reset.
bool bus_held_in_reset(KernelDevice& device) {
    std::uint32_t enable = 0;
    std::uint32_t data = 0;
    return device.read_register(kGpioOutEn, enable) && device.read_gpio_data(data) &&
           (enable & kBusResetLine) != 0 && (data & kBusResetLine) == 0;
}

} // namespace

bool set_i2c_mode(KernelDevice& device, bool fast_rate) {
    return device.write_register(kI2c, control_bits(fast_rate));
}

short run_i2c(KernelDevice& device, int number, bool fast_rate, const I2cTransfer& transfer,
              std::uint8_t* read_byte) {
    const bool read = (transfer.address & 1) != 0;
    std::uint32_t value = 0;
    if (!device.read_register(kI2c, value)) {
        return TARVO_I2C_REQUEST_FAILED;
    }
    if ((value & kI2cLinesIdle) != kI2cLinesIdle) {
        return TARVO_I2C_BUS_BUSY;
    }
    if (!clear_done(device, number)) {
        return TARVO_I2C_REQUEST_FAILED;
    }
    std::uint32_t command = (std::uint32_t(transfer.address) << 24) | control_bits(fast_rate);
    if (!read) {
        command |= std::uint32_t(transfer.bytes[0]) << 16;
        if (transfer.count == 2) {
            command |= (std::uint32_t(transfer.bytes[1]) << 8) | kI2cThreeBytes;
        }
    }
    if (!device.write_register(kI2c, command)) {
        return TARVO_I2C_REQUEST_FAILED;
    }
    bool acknowledged = false;
    switch (wait_done(device, number, acknowledged)) {
    case Wait::Failed:
        return TARVO_I2C_REQUEST_FAILED;
    case Wait::Timeout:
        return TARVO_I2C_TIMEOUT;
    case Wait::Done:
        break;
    }
    if (!acknowledged) {
        return bus_held_in_reset(device) ? TARVO_I2C_BUS_IN_RESET : TARVO_I2C_NO_ACK;
    }
    if (read) {
        if (!device.read_register(kI2c, value)) {
            return TARVO_I2C_REQUEST_FAILED;
        }
        *read_byte = static_cast<std::uint8_t>(value >> 8);
    }
    return TARVO_I2C_OK;
}

} // namespace boardctl
