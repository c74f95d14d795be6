#include "machine/types.h"

namespace machine {

std::uint32_t line_bytes(std::uint32_t code, std::uint32_t width) {
    // Twice the bytes per pixel of each COLOR_FMT code.
    static constexpr std::uint8_t kTwiceBytes[16] = {8, 6, 4, 4, 4, 3, 2, 2,
                                                     4, 3, 0, 0, 0, 0, 2, 0};
    return width * kTwiceBytes[code & 15] / 2;
}

const char* fault_name(FaultKind kind) {
    switch (kind) {
    case FaultKind::DmaUnmapped:
        return "DMA to an unmapped page";
    case FaultKind::DmaNotLocked:
        return "DMA to a page that is not locked";
    case FaultKind::DmaNoBusMaster:
        return "DMA while bus mastering is off";
    case FaultKind::UnlockWhileDma:
        return "pages unlocked under an enabled DMA engine";
    case FaultKind::WriteCrossesPage:
        return "WRITE crossing a page";
    case FaultKind::ByteCountOverflow:
        return "WRITE byte count past 12 bits";
    case FaultKind::IllegalInstruction:
        return "illegal DMA instruction";
    case FaultKind::UnalignedJump:
        return "JUMP to an unaligned address";
    case FaultKind::RunawayProgram:
        return "runaway DMA program";
    case FaultKind::LineMismatch:
        return "line and WRITE instructions disagree";
    case FaultKind::SyncError:
        return "synchronisation error";
    case FaultKind::RegisterMemoryOff:
        return "register access with memory space off";
    case FaultKind::RegisterOutside:
        return "access to no device";
    case FaultKind::RegisterWidth:
        return "register access not 32-bit aligned";
    case FaultKind::InterruptStorm:
        return "interrupt storm";
    case FaultKind::PllClockBad:
        return "clock from a PLL that is off or unlocked";
    case FaultKind::VbiCapture:
        return "VBI capture selected";
    case FaultKind::ColorSwap:
        return "byte or word swap selected";
    case FaultKind::PlanarFormat:
        return "planar format selected";
    case FaultKind::I2cSoftwareMode:
        return "I2C software mode";
    case FaultKind::I2cStartStop:
        return "I2C NOSTART or NOSTOP";
    case FaultKind::DacLevel:
        return "DAC level above 63";
    case FaultKind::DacCommand:
        return "unknown DAC command";
    case FaultKind::CrosspointByte:
        return "crosspoint byte with bit 7 set";
    case FaultKind::PortNotGranted:
        return "port access without I/O grant";
    case FaultKind::PortUnmodelled:
        return "unmodelled port";
    case FaultKind::Injected:
        return "injected error";
    }
    return "fault";
}

} // namespace machine
