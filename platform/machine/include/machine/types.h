// Basic types of the virtual PC: physical addresses, pixel format codes and recorded faults.
#pragma once

#include <cstdint>
#include <string>

namespace machine {

// 32-bit physical address of the simulated PC.
using PhysAddr = std::uint32_t;

inline constexpr std::uint32_t kPageSize = 4096;
// Size of a capture chip's register window (BAR0).
inline constexpr std::uint32_t kRegisterWindowSize = 4096;
// Most capture chips per board (PCI functions 0 to 3).
inline constexpr int kMaxChipsPerBoard = 4;
inline constexpr int kCrosspointInputs = 16;
inline constexpr int kMonitorOutputs = 4;
inline constexpr int kSensorInputs = 16;

// COLOR_FMT codes of the capture chip.
enum class ColorFormat : std::uint8_t {
    Rgb32 = 0,
    Rgb24 = 1,
    Rgb16 = 2,
    Rgb15 = 3,
    Yuy2 = 4,
    Yuv411 = 5, // packed 4:1:1, 12 bits per pixel
    Y8 = 6,
    Rgb8 = 7,
    Yuv422Planar = 8,
    Yuv411Planar = 9,
    Raw8 = 14,
};

// Bytes per line of `width` pixels in COLOR_FMT `code` (0 for codes without a layout).
std::uint32_t line_bytes(std::uint32_t code, std::uint32_t width);

// What the model caught. Each is recorded with the chip and field it happened in.
enum class FaultKind {
    DmaUnmapped,        // DMA fetch/write to a page that was never mapped
    DmaNotLocked,       // DMA to a page that is no longer locked (or outside the locked bytes)
    DmaNoBusMaster,     // DMA while PCI command bit 2 is clear
    UnlockWhileDma,     // pages unlocked while an enabled DMA engine has been writing to them
    WriteCrossesPage,   // WRITE whose range crosses a 4 KB page
    ByteCountOverflow,  // WRITE with any of bits 15-12 set
    IllegalInstruction, // unmodelled opcode or SYNC code
    UnalignedJump,      // JUMP to an address that is not a multiple of 4
    RunawayProgram,     // more than 65536 instructions without a wait
    LineMismatch,       // SOL/EOL or byte count against the line length (FDSR)
    SyncError,          // program longer than its field, FM1 in mid-field, SYNC mismatch (SCERR)
    RegisterMemoryOff,  // register access while PCI memory space is disabled
    RegisterOutside,    // physical access to no device (outside every window)
    RegisterWidth,      // register access not 32-bit or not dword-aligned
    InterruptStorm,     // line asserted through 1000 deliveries without progress
    PllClockBad,        // TGCTRL takes the clock from a PLL that is off or out of lock
    VbiCapture,         // CAP_CTL bits 3-2 set while DMA runs
    ColorSwap,          // COLOR_CTL bits 3-0 set while DMA runs
    PlanarFormat,       // COLOR_FMT 8 or 9 while DMA runs
    I2cSoftwareMode,    // I2C register written with MODE = 0
    I2cStartStop,       // NOSTART or NOSTOP set
    DacLevel,           // DAC level above 63
    DacCommand,         // unknown DAC command byte
    CrosspointByte,     // crosspoint byte with bit 7 set
    PortNotGranted,     // speaker port access without the kernel's grant
    PortUnmodelled,     // access to a port the model does not implement
    Injected,           // an injected error bit
};

const char* fault_name(FaultKind kind);

struct Fault {
    FaultKind kind{};
    int chip = 0;                  // 1-based chip number, 0 when no chip is involved
    std::uint64_t field = 0;       // the chip's field counter at the time
    std::uint32_t instruction = 0; // DMA command word where relevant
    PhysAddr address = 0;          // physical address (or register/port) where relevant
    std::string detail;            // human-readable detail
};

} // namespace machine
