// DMA stop and start around a camera switch, the format reset and the PCI host bridge.
#include "board_chips.h"
#include "capture_geometry.h"
#include "chip_registers.h"
#include "export.h"

#include "tarvovfw/tarvovfw.h"

namespace boardctl {
namespace {

// Runs `body(device)` on the first chip whose kernel device opens (the bridge is the driver's,
// not a chip's).
template <class R, class F> R on_any_chip(R failed, F&& body) {
    for (long index = 0; index < kChips; ++index) {
        bool reached = false;
        const R result = on_chip(index, failed, [&](Chip& c) {
            reached = true;
            return body(c.device);
        });
        if (reached) {
            return result;
        }
    }
    return failed;
}

} // namespace
} // namespace boardctl

using namespace boardctl;

TARVO_EXPORT void WINAPI TarvoRiscStop(LONG, LONG, LONG chip) {
    on_chip(chip, 0, [](Chip& c) {
        std::uint32_t control = 0;
        if (c.device.read_register(kGpioDmaCtl, control) && (control & kDmaRiscEnable) != 0 &&
            c.device.write_register(kGpioDmaCtl, control & ~(kDmaRiscEnable | kDmaFifoEnable))) {
            c.dma_stopped = true;
        }
        return 0;
    });
}

TARVO_EXPORT void WINAPI TarvoRiscStart(LONG chip) {
    on_chip(chip, 0, [](Chip& c) {
        if (!c.dma_stopped) {
            return 0;
        }
        c.dma_stopped = false;
        // A stream that ended meanwhile has no buffers left to point the DMA at.
        std::uint32_t mask = 0;
        if (!c.device.read_register(kIntMask, mask) || (mask & kIntRiscIrq) == 0) {
            return 0;
        }
        // Re-point the master program at the current buffer; the rising enable loads it.
        std::uint32_t control = 0;
        if (c.device.restart_dma() && c.device.read_register(kGpioDmaCtl, control)) {
            c.device.write_register(kGpioDmaCtl, control | kDmaRiscEnable | kDmaFifoEnable);
        }
        return 0;
    });
}

TARVO_EXPORT void WINAPI TarvoResetFormat(LONG chip) {
    on_chip(chip, 0, [](Chip& c) {
        std::uint32_t r[kAllRegisterWords];
        if (!c.device.read_all_registers(r)) {
            return 0;
        }
        if (const auto g = programmed_geometry(r)) {
            c.device.set_format(g->color_format, g->width, g->height);
        }
        return 0;
    });
}

TARVO_EXPORT BYTE WINAPI TarvoIsBridge() {
    return on_any_chip(BYTE(0), [](KernelDevice& d) -> BYTE {
        bool present = false;
        return d.is_bridge(present) && present ? 1 : 0;
    });
}

TARVO_EXPORT DWORD WINAPI TarvoReadBridgePCIInfo() {
    return on_any_chip(DWORD(0), [](KernelDevice& d) -> DWORD {
        std::uint32_t value = 0;
        return d.read_bridge(value) ? value : 0;
    });
}

TARVO_EXPORT void WINAPI TarvoWriteBridgePCIInfo(DWORD value) {
    on_any_chip(0, [&](KernelDevice& d) {
        d.write_bridge(value);
        return 0;
    });
}
