// One hardware-mode transaction on a chip's I2C bus through its I2C register.
//
// The transaction completes inside the register write on this hardware; its end shows either as
// the I2C-done bit latched in INT_STAT (while the kernel driver's interrupt leaves it alone) or
// as the chip's done bit in the driver's I2C status mask (once the driver's interrupt takes it).
// Both are cleared before the start, so neither can stem from an earlier transaction.
#pragma once

#include "kernel_device.h"

#include <cstdint>

namespace boardctl {

struct I2cTransfer {
    std::uint8_t address = 0; // the address byte on the wire, bit 0 = read
    std::uint8_t bytes[2] = {};
    int count = 0; // bytes written after the address: 1 or 2 (a read sends none)
};

// Runs `transfer` on kernel device `number`'s bus; for a read `*read_byte` gets the byte.
// Answers 0 or a TARVO_I2C_* code.
short run_i2c(KernelDevice& device, int number, bool fast_rate, const I2cTransfer& transfer,
              std::uint8_t* read_byte);

// Hardware mode with idle lines and no transaction (the address byte 0 starts none).
bool set_i2c_mode(KernelDevice& device, bool fast_rate);

} // namespace boardctl
