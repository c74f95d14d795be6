// Picture controls and the decoder registers by offset. Contrast, brightness and saturation go
// through the kernel driver's colour request, which takes all three: the two left unchanged are
// read back from the chip's registers (the driver writes them losslessly).
#include "board_chips.h"
#include "chip_registers.h"
#include "export.h"

#include "tarvovfw/tarvovfw.h"

#include <algorithm>

namespace boardctl {
namespace {

struct Picture {
    std::uint32_t brightness, saturation, contrast;
};

bool read_picture(KernelDevice& device, Picture& p) {
    std::uint32_t r[kAllRegisterWords];
    if (!device.read_all_registers(r)) {
        return false;
    }
    const std::uint32_t control = r[kEControl / 4];
    // BRIGHT = brightness - 128; CONTRAST = 2 x contrast; SAT_U = 2 x saturation (9 bits each).
    p.brightness = (r[kBright / 4] + 128) & 0xFF;
    p.contrast = ((((control >> 2) & 1) << 8) | (r[kContrastLo / 4] & 0xFF)) / 2;
    p.saturation = ((((control >> 1) & 1) << 8) | (r[kSatULo / 4] & 0xFF)) / 2;
    return true;
}

std::uint32_t clamp_byte(LONG value) {
    return static_cast<std::uint32_t>(std::clamp<LONG>(value, 0, 255));
}

void set_picture(LONG index, LONG value, std::uint32_t Picture::*field) {
    on_chip(index, 0, [&](Chip& c) {
        Picture p{};
        if (read_picture(c.device, p)) {
            p.*field = clamp_byte(value);
            c.device.set_color(p.brightness, p.saturation, p.contrast);
            note_own_writes(c, {kBright, kContrastLo, kSatULo, kSatVLo, kEControl, kOControl});
        }
        return 0;
    });
}

// A decoder register's word offset, or -1.
long decoder_offset(LONG reg) {
    return reg >= 0 && reg < 0x100 ? reg & ~3L : -1;
}

} // namespace
} // namespace boardctl

using namespace boardctl;

TARVO_EXPORT void WINAPI TarvoSetVideoSource(LONG connector, LONG chip) {
    if (connector < 0 || connector > 3) {
        return;
    }
    on_chip(chip, 0, [&](Chip& c) {
        std::uint32_t iform = 0;
        if (c.device.read_register(kIform, iform)) {
            iform = (iform & ~0x60u) | (static_cast<std::uint32_t>(connector) << 5);
            c.device.write_register(kIform, iform);
            note_own_writes(c, {kIform});
        }
        return 0;
    });
}

TARVO_EXPORT void WINAPI TarvoSetContrast(LONG value, LONG chip) {
    set_picture(chip, value, &Picture::contrast);
}

TARVO_EXPORT void WINAPI TarvoSetBrightness(LONG value, LONG chip) {
    set_picture(chip, value, &Picture::brightness);
}

TARVO_EXPORT void WINAPI TarvoSetSaturation(LONG value, LONG chip) {
    set_picture(chip, value, &Picture::saturation);
}

TARVO_EXPORT void WINAPI TarvoSetHue(LONG value, LONG chip) {
    on_chip(chip, 0, [&](Chip& c) {
        c.device.write_register(kHue, clamp_byte(value));
        note_own_writes(c, {kHue});
        return 0;
    });
}

TARVO_EXPORT void WINAPI WriteDecoder(LONG reg, BYTE value, LONG chip) {
    const long offset = decoder_offset(reg);
    if (offset < 0) {
        return;
    }
    on_chip(chip, 0, [&](Chip& c) {
        c.device.write_register(static_cast<std::uint32_t>(offset), value);
        note_own_writes(c, {static_cast<std::uint32_t>(offset)});
        return 0;
    });
}

TARVO_EXPORT void WINAPI ReadDecoder(LONG reg, BYTE* value, LONG chip) {
    if (value == nullptr) {
        return;
    }
    *value = 0;
    const long offset = decoder_offset(reg);
    if (offset < 0) {
        return;
    }
    on_chip(chip, 0, [&](Chip& c) {
        std::uint32_t word = 0;
        if (c.device.read_register(static_cast<std::uint32_t>(offset), word)) {
            *value = static_cast<BYTE>(word);
        }
        return 0;
    });
}
