// The I2C exports: hardware-mode transactions, the last failure per chip, and the software-mode
// calls, which are not supported.
#include "board_chips.h"
#include "chip_registers.h"
#include "export.h"
#include "i2c_bus.h"

#include "tarvovfw/tarvovfw.h"

namespace boardctl {
namespace {

constexpr LONG kStandardRate = 100000;
constexpr LONG kFastRate = 400000;

// Runs an I2C call on a chip and records a failure as the chip's last error.
template <class F> LONG i2c_call(LONG index, F&& body) {
    Chip* chip = chip_at(index);
    if (chip == nullptr) {
        return TARVO_I2C_NO_DEVICE;
    }
    std::lock_guard<std::mutex> guard(chip->lock);
    const short code = chip->device.open(chip->number) ? body(*chip) : short(TARVO_I2C_NO_DEVICE);
    if (code != TARVO_I2C_OK) {
        chip->last_error = code;
    }
    return code;
}

bool valid_address(LONG address) {
    return address > 0 && address <= 0xFF;
}

LONG write_bytes(LONG address, const std::uint8_t* bytes, int count, LONG index) {
    return i2c_call(index, [&](Chip& chip) -> short {
        if (!valid_address(address)) {
            return TARVO_I2C_BAD_ARGUMENT;
        }
        I2cTransfer t;
        t.address = static_cast<std::uint8_t>(address & 0xFE);
        t.count = count;
        t.bytes[0] = bytes[0];
        t.bytes[1] = count > 1 ? bytes[1] : 0;
        return run_i2c(chip.device, chip.number, chip.fast_rate, t, nullptr);
    });
}

// Software mode is refused before anything is touched (the kernel device is not even opened).
LONG not_supported(LONG index) {
    Chip* chip = chip_at(index);
    if (chip == nullptr) {
        return TARVO_I2C_NO_DEVICE;
    }
    std::lock_guard<std::mutex> guard(chip->lock);
    chip->last_error = TARVO_I2C_NOT_SUPPORTED;
    return TARVO_I2C_NOT_SUPPORTED;
}

} // namespace
} // namespace boardctl

using namespace boardctl;

TARVO_EXPORT BYTE WINAPI I2CIsInitOK(LONG chip) {
    return on_chip(chip, BYTE(0), [](Chip& c) -> BYTE {
        std::uint32_t value = 0;
        return c.device.read_register(kI2c, value) && value != 0xFFFFFFFFu ? 1 : 0;
    });
}

TARVO_EXPORT SHORT WINAPI I2CGetLastError(LONG chip) {
    Chip* c = chip_at(chip);
    if (c == nullptr) {
        return TARVO_I2C_NO_DEVICE;
    }
    std::lock_guard<std::mutex> guard(c->lock);
    return c->last_error;
}

TARVO_EXPORT LONG WINAPI I2CInitHWMode(LONG frequency, LONG chip) {
    return i2c_call(chip, [&](Chip& c) -> short {
        if (frequency <= 0 || frequency > kFastRate) {
            return TARVO_I2C_BAD_ARGUMENT;
        }
        const bool fast = frequency > kStandardRate;
        if (!set_i2c_mode(c.device, fast)) {
            return TARVO_I2C_REQUEST_FAILED;
        }
        c.fast_rate = fast;
        return TARVO_I2C_OK;
    });
}

TARVO_EXPORT LONG WINAPI I2CHWRead(LONG address, BYTE* value, LONG chip) {
    return i2c_call(chip, [&](Chip& c) -> short {
        if (!valid_address(address) || value == nullptr) {
            return TARVO_I2C_BAD_ARGUMENT;
        }
        I2cTransfer t;
        t.address = static_cast<std::uint8_t>(address | 1);
        std::uint8_t byte = 0;
        const short code = run_i2c(c.device, c.number, c.fast_rate, t, &byte);
        if (code == TARVO_I2C_OK) {
            *value = byte;
        }
        return code;
    });
}

TARVO_EXPORT LONG WINAPI I2CHWWrite2(LONG address, BYTE value, LONG chip) {
    const std::uint8_t bytes[1] = {value};
    return write_bytes(address, bytes, 1, chip);
}

TARVO_EXPORT LONG WINAPI I2CHWWrite3(LONG address, BYTE value1, BYTE value2, LONG chip) {
    const std::uint8_t bytes[2] = {value1, value2};
    return write_bytes(address, bytes, 2, chip);
}

TARVO_EXPORT LONG WINAPI I2CInitSWMode(LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWStart(LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWStop(LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWSendACK(LONG, LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWRead(BYTE*, LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWWrite(BYTE, LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWSetSCL(LONG, LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWSetSDA(LONG, LONG chip) {
    return not_supported(chip);
}

TARVO_EXPORT LONG WINAPI I2CSWReadSDA(BYTE*, LONG chip) {
    return not_supported(chip);
}
