// GPIO: mode, output enable, data bits and the interrupt-control bits.
#include "board_chips.h"
#include "chip_registers.h"
#include "export.h"

#include "tarvovfw/tarvovfw.h"

namespace boardctl {
namespace {

// The mask of bits high..low of the data word, or 0 for a range outside the 24 lines.
std::uint32_t field_mask(LONG high, LONG low) {
    if (low < 0 || high < low || high >= static_cast<LONG>(kGpioLines)) {
        return 0;
    }
    const std::uint32_t width = static_cast<std::uint32_t>(high - low + 1);
    return ((width >= 32 ? ~0u : (1u << width) - 1)) << low;
}

void update_dma_control(LONG index, std::uint32_t clear, std::uint32_t set) {
    on_chip(index, 0, [&](Chip& c) {
        std::uint32_t control = 0;
        if (c.device.read_register(kGpioDmaCtl, control)) {
            c.device.write_register(kGpioDmaCtl, (control & ~clear) | set);
        }
        return 0;
    });
}

BYTE dma_control_bit(LONG index, std::uint32_t bit) {
    return on_chip(index, BYTE(0), [&](Chip& c) -> BYTE {
        std::uint32_t control = 0;
        return c.device.read_register(kGpioDmaCtl, control) && (control & bit) != 0 ? 1 : 0;
    });
}

} // namespace
} // namespace boardctl

using namespace boardctl;

TARVO_EXPORT BYTE WINAPI GPIOIsInitOK(LONG chip) {
    return on_chip(chip, BYTE(0), [](Chip& c) -> BYTE {
        std::uint32_t data = 0;
        return c.device.read_gpio_data(data) ? 1 : 0;
    });
}

TARVO_EXPORT DWORD WINAPI GetGPDATA(LONG chip) {
    return on_chip(chip, DWORD(0), [](Chip& c) -> DWORD {
        std::uint32_t data = 0;
        return c.device.read_gpio_data(data) ? data & kGpioLineMask : 0;
    });
}

TARVO_EXPORT void WINAPI SetGPIOMODE(LONG mode, LONG chip) {
    const std::uint32_t bits = (static_cast<std::uint32_t>(mode) & 3) << kGpioModeShift;
    update_dma_control(chip, kGpioModeMask, bits);
}

TARVO_EXPORT void WINAPI SetGPOE(LONG mask, LONG chip) {
    on_chip(chip, 0, [&](Chip& c) {
        c.device.write_register(kGpioOutEn, static_cast<std::uint32_t>(mask) & kGpioLineMask);
        return 0;
    });
}

TARVO_EXPORT void WINAPI SetGPDATABits(LONG high_bit, LONG low_bit, LONG value, LONG, LONG chip) {
    const std::uint32_t mask = field_mask(high_bit, low_bit);
    if (mask == 0) {
        return;
    }
    on_chip(chip, 0, [&](Chip& c) {
        std::uint32_t data = 0;
        if (c.device.read_gpio_data(data)) {
            const std::uint32_t bits = (static_cast<std::uint32_t>(value) << low_bit) & mask;
            c.device.write_gpio_data(((data & ~mask) | bits) & kGpioLineMask);
        }
        return 0;
    });
}

TARVO_EXPORT void WINAPI GetGPDATABits(LONG high_bit, LONG low_bit, LONG* value, LONG, LONG chip) {
    const std::uint32_t mask = field_mask(high_bit, low_bit);
    if (value == nullptr || mask == 0) {
        return;
    }
    // Lines that cannot be read count as high, as undriven lines float.
    std::uint32_t data = kGpioLineMask;
    on_chip(chip, 0, [&](Chip& c) {
        if (!c.device.read_gpio_data(data)) {
            data = kGpioLineMask;
        }
        return 0;
    });
    *value = static_cast<LONG>((data & mask) >> low_bit);
}

TARVO_EXPORT void WINAPI SetGPINTI(LONG value, LONG chip) {
    update_dma_control(chip, kGpintI, value != 0 ? kGpintI : 0);
}

TARVO_EXPORT void WINAPI SetGPINTC(LONG value, LONG chip) {
    update_dma_control(chip, kGpintC, value != 0 ? kGpintC : 0);
}

TARVO_EXPORT BYTE WINAPI GetGPINTI(LONG chip) {
    return dma_control_bit(chip, kGpintI);
}

TARVO_EXPORT BYTE WINAPI GetGPINTC(LONG chip) {
    return dma_control_bit(chip, kGpintC);
}
