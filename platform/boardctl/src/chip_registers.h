// Register offsets and bits of the capture chip that the library touches.
#pragma once

#include <cstdint>

namespace boardctl {

inline constexpr std::uint32_t kDstatus = 0x000;
inline constexpr std::uint32_t kIform = 0x004;
inline constexpr std::uint32_t kECrop = 0x00C;
inline constexpr std::uint32_t kEVactiveLo = 0x014;
inline constexpr std::uint32_t kEHactiveLo = 0x01C;
inline constexpr std::uint32_t kBright = 0x028;
inline constexpr std::uint32_t kEControl = 0x02C;
inline constexpr std::uint32_t kContrastLo = 0x030;
inline constexpr std::uint32_t kSatULo = 0x034;
inline constexpr std::uint32_t kSatVLo = 0x038;
inline constexpr std::uint32_t kHue = 0x03C;
inline constexpr std::uint32_t kEVscaleHi = 0x04C;
inline constexpr std::uint32_t kEVscaleLo = 0x050;
inline constexpr std::uint32_t kOControl = 0x0AC;
inline constexpr std::uint32_t kColorFmt = 0x0D4;
inline constexpr std::uint32_t kIntStat = 0x100;
inline constexpr std::uint32_t kIntMask = 0x104;
inline constexpr std::uint32_t kGpioDmaCtl = 0x10C;
inline constexpr std::uint32_t kI2c = 0x110;
inline constexpr std::uint32_t kGpioOutEn = 0x118;

// The decoder registers 0x000 to 0x0FC, one byte each.
inline constexpr std::uint32_t kDecoderRegisters = 64;
// IOCTL_TARVO_READ_ALL_REGS answers the words 0x000 to 0x120.
inline constexpr std::uint32_t kAllRegisterWords = 73;
// IOCTL_TARVO_READ_RISC answers 16 KB.
inline constexpr std::uint32_t kRiscWords = 4096;

// INT_STAT.
inline constexpr std::uint32_t kIntI2cDone = 1u << 8;
inline constexpr std::uint32_t kIntRiscIrq = 1u << 11; // enabled by the driver only while capturing
inline constexpr std::uint32_t kIntRack = 1u << 25;

// GPIO_DMA_CTL.
inline constexpr std::uint32_t kDmaFifoEnable = 1u << 0;
inline constexpr std::uint32_t kDmaRiscEnable = 1u << 1;
inline constexpr std::uint32_t kGpioModeShift = 11;
inline constexpr std::uint32_t kGpioModeMask = 3u << kGpioModeShift;
inline constexpr std::uint32_t kGpintI = 1u << 14;
inline constexpr std::uint32_t kGpintC = 1u << 15;

// I2C: DB0 (31-24), DB1 (23-16), DB2 (15-8), then the controls.
inline constexpr std::uint32_t kI2cHardwareMode = 1u << 7;
inline constexpr std::uint32_t kI2cFastRate = 1u << 6;
inline constexpr std::uint32_t kI2cThreeBytes = 1u << 2;
inline constexpr std::uint32_t kI2cLinesIdle = 3u; // SCL and SDA high

// GPIO: 24 lines; line 9 is the board's bus reset, active low.
inline constexpr std::uint32_t kGpioLines = 24;
inline constexpr std::uint32_t kGpioLineMask = (1u << kGpioLines) - 1;
inline constexpr std::uint32_t kBusResetLine = 1u << 9;

} // namespace boardctl
