// Register offsets of the capture chip's 4 KB window and the bits the driver uses.
#pragma once

#include <ntddk.h>

namespace tarvo {

inline constexpr ULONG kRegisterWindow = 0x1000;
inline constexpr ULONG kOddOffset = 0x80; // odd-field copy of an even-field register

enum Register : ULONG {
    DSTATUS = 0x000,
    IFORM = 0x004,
    E_CROP = 0x00C,
    E_VDELAY_LO = 0x010,
    E_VACTIVE_LO = 0x014,
    E_HDELAY_LO = 0x018,
    E_HACTIVE_LO = 0x01C,
    E_HSCALE_HI = 0x020,
    E_HSCALE_LO = 0x024,
    BRIGHT = 0x028,
    E_CONTROL = 0x02C,
    CONTRAST_LO = 0x030,
    SAT_U_LO = 0x034,
    SAT_V_LO = 0x038,
    HUE = 0x03C,
    E_SCLOOP = 0x040,
    E_VSCALE_HI = 0x04C,
    E_VSCALE_LO = 0x050,
    ADELAY = 0x060,
    BDELAY = 0x064,
    ADC = 0x068,
    E_VTC = 0x06C,
    SRESET = 0x07C,
    TGCTRL = 0x084,
    O_CONTROL = E_CONTROL + kOddOffset,
    O_SCLOOP = E_SCLOOP + kOddOffset,
    O_VSCALE_HI = E_VSCALE_HI + kOddOffset,
    COLOR_FMT = 0x0D4,
    COLOR_CTL = 0x0D8,
    CAP_CTL = 0x0DC,
    VBI_PACK_SIZE = 0x0E0,
    VBI_PACK_DEL = 0x0E4,
    PLL_F_LO = 0x0F0,
    PLL_F_HI = 0x0F4,
    PLL_XCI = 0x0F8,
    DVSIF = 0x0FC,
    INT_STAT = 0x100,
    INT_MASK = 0x104,
    GPIO_DMA_CTL = 0x10C,
    I2C = 0x110,
    RISC_STRT_ADD = 0x114,
    GPIO_OUT_EN = 0x118,
    GPIO_REG_INP = 0x11C,
    RISC_COUNT = 0x120,
    GPIO_DATA = 0x200,
};

// INT_STAT / INT_MASK.
inline constexpr ULONG kIntI2cDone = 1u << 8;
inline constexpr ULONG kIntRiscIrq = 1u << 11;
inline constexpr ULONG kIntErrors = 0xFF000; // bits 12 to 19
inline constexpr ULONG kIntRack = 1u << 25;
inline constexpr ULONG kIntRiscEnabled = 1u << 27;
inline constexpr ULONG kIntOddProgramEnd = 1u << 29;  // status bit 1
inline constexpr ULONG kIntEvenProgramEnd = 1u << 31; // status bit 3
inline constexpr ULONG kAckAllButI2c = 0xFFEFF;
inline constexpr ULONG kMaskStopped = kIntI2cDone;
inline constexpr ULONG kMaskCapturing = 0x000C0933;

// DSTATUS.
inline constexpr ULONG kStatusPllUnlocked = 1u << 2;
inline constexpr ULONG kStatus625Lines = 1u << 4;

// RISC instructions.
inline constexpr ULONG kRiscSyncPacked = 0x80000006;
inline constexpr ULONG kRiscSyncEven = 0x80008004;
inline constexpr ULONG kRiscSyncOdd = 0x8000800C;
inline constexpr ULONG kRiscWriteLine = 0x1C000000;
inline constexpr ULONG kRiscWriteFirst = 0x18000000;
inline constexpr ULONG kRiscWriteRest = 0x14000000;
inline constexpr ULONG kRiscJump = 0x70000000;
inline constexpr ULONG kRiscJumpReset012 = 0x70700000;
inline constexpr ULONG kRiscJumpReset123 = 0x70E00000;
inline constexpr ULONG kRiscJumpReset3 = 0x70800000;
inline constexpr ULONG kRiscJumpIrqEven = 0x71080000;
inline constexpr ULONG kRiscJumpIrqOdd = 0x71020000;

} // namespace tarvo
