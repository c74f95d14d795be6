// Public interface of the kernel capture driver Tarvo: device names, control codes and the records
// its requests carry, and the frame-descriptor table it shares with user mode. Self-contained (no
// platform headers), so the capture driver library, the board-control library and the station
// include it alike.
//
// Every control code is METHOD_BUFFERED and FILE_ANY_ACCESS: input and output share one system
// buffer, and no request ever pends.
//
// 64-bit rule: a field that holds an address is pointer-sized, every other field keeps its
// 32-bit width. The records that carry addresses (TARVO_FORMAT, TARVO_BUFFER_HEADER,
// TARVO_FRAME_DESCRIPTOR) therefore have the sizes pinned below for 32-bit and 64-bit builds; the
// driver checks a request's length against the size of the record on its own build.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Names ----------------------------------------------------------------------------------
// Kernel device n is "\Device\TarvoDevice<n>"; user mode opens it as "\\.\TarvoDevice<n>".
#define TARVO_SERVICE_NAME "Tarvo"
#define TARVO_DEVICE_BASE_NAME "TarvoDevice"

// ---- Control codes --------------------------------------------------------------------------
inline constexpr std::uint32_t TARVO_DEVICE_TYPE = 0x1D;
constexpr std::uint32_t tarvo_ctl_code(std::uint32_t function) {
    return (TARVO_DEVICE_TYPE << 16) | (function << 2);
}

inline constexpr std::uint32_t IOCTL_TARVO_SET_FORMAT = tarvo_ctl_code(0x201);
inline constexpr std::uint32_t IOCTL_TARVO_SET_SOURCE = tarvo_ctl_code(0x202);
inline constexpr std::uint32_t IOCTL_TARVO_SET_COLOR = tarvo_ctl_code(0x203);
inline constexpr std::uint32_t IOCTL_TARVO_GET_OVERLAY_MODE = tarvo_ctl_code(0x204);
inline constexpr std::uint32_t IOCTL_TARVO_SET_KEY_RGB = tarvo_ctl_code(0x205);
inline constexpr std::uint32_t IOCTL_TARVO_SET_KEY_INDEX = tarvo_ctl_code(0x206);
inline constexpr std::uint32_t IOCTL_TARVO_GET_KEY = tarvo_ctl_code(0x207);
inline constexpr std::uint32_t IOCTL_TARVO_SET_OVERLAY_RECTS = tarvo_ctl_code(0x208);
inline constexpr std::uint32_t IOCTL_TARVO_SET_OVERLAY_OFFSET = tarvo_ctl_code(0x209);
inline constexpr std::uint32_t IOCTL_TARVO_EXTIN_ON = tarvo_ctl_code(0x20A);
inline constexpr std::uint32_t IOCTL_TARVO_EXTIN_OFF = tarvo_ctl_code(0x20B);
inline constexpr std::uint32_t IOCTL_TARVO_OVERLAY_ON = tarvo_ctl_code(0x20C);
inline constexpr std::uint32_t IOCTL_TARVO_OVERLAY_OFF = tarvo_ctl_code(0x20D);
inline constexpr std::uint32_t IOCTL_TARVO_STREAM_INIT = tarvo_ctl_code(0x20E);
inline constexpr std::uint32_t IOCTL_TARVO_STREAM_FINI = tarvo_ctl_code(0x20F);
inline constexpr std::uint32_t IOCTL_TARVO_STREAM_START = tarvo_ctl_code(0x210);
inline constexpr std::uint32_t IOCTL_TARVO_STREAM_STOP = tarvo_ctl_code(0x211);
inline constexpr std::uint32_t IOCTL_TARVO_STREAM_RESET = tarvo_ctl_code(0x212);
inline constexpr std::uint32_t IOCTL_TARVO_WAIT_ERROR = tarvo_ctl_code(0x213);
inline constexpr std::uint32_t IOCTL_TARVO_ADD_BUFFER = tarvo_ctl_code(0x214);
inline constexpr std::uint32_t IOCTL_TARVO_GET_POSITION = tarvo_ctl_code(0x215);
inline constexpr std::uint32_t IOCTL_TARVO_FRAME_BEGIN = tarvo_ctl_code(0x216);
inline constexpr std::uint32_t IOCTL_TARVO_FRAME_FILL = tarvo_ctl_code(0x217);
inline constexpr std::uint32_t IOCTL_TARVO_FRAME_END = tarvo_ctl_code(0x218);
inline constexpr std::uint32_t IOCTL_TARVO_READ_REG = tarvo_ctl_code(0x240);
inline constexpr std::uint32_t IOCTL_TARVO_WRITE_REG = tarvo_ctl_code(0x241);
inline constexpr std::uint32_t IOCTL_TARVO_READ_PCI_CONFIG = tarvo_ctl_code(0x242);
inline constexpr std::uint32_t IOCTL_TARVO_READ_ALL_REGS = tarvo_ctl_code(0x243);
inline constexpr std::uint32_t IOCTL_TARVO_READ_GPIO_DATA = tarvo_ctl_code(0x244);
inline constexpr std::uint32_t IOCTL_TARVO_WRITE_GPIO_DATA = tarvo_ctl_code(0x245);
inline constexpr std::uint32_t IOCTL_TARVO_MAP_REGISTERS = tarvo_ctl_code(0x246);
inline constexpr std::uint32_t IOCTL_TARVO_WRITE_PCI_CONFIG = tarvo_ctl_code(0x247);
inline constexpr std::uint32_t IOCTL_TARVO_RESTART_DMA = tarvo_ctl_code(0x248);
inline constexpr std::uint32_t IOCTL_TARVO_IS_BRIDGE = tarvo_ctl_code(0x249);
inline constexpr std::uint32_t IOCTL_TARVO_READ_BRIDGE_CONFIG = tarvo_ctl_code(0x24A);
inline constexpr std::uint32_t IOCTL_TARVO_WRITE_BRIDGE_CONFIG = tarvo_ctl_code(0x24B);
inline constexpr std::uint32_t IOCTL_TARVO_GET_I2C_STATUS = tarvo_ctl_code(0x24C);
inline constexpr std::uint32_t IOCTL_TARVO_SET_I2C_STATUS = tarvo_ctl_code(0x24D);
inline constexpr std::uint32_t IOCTL_TARVO_READ_RISC = tarvo_ctl_code(0x24E);
// Device type 0x22 (unknown), function 0x800.
inline constexpr std::uint32_t IOCTL_TARVO_NULL = 0x222000;

static_assert(IOCTL_TARVO_SET_FORMAT == 0x1D0804);
static_assert(IOCTL_TARVO_ADD_BUFFER == 0x1D0850);
static_assert(IOCTL_TARVO_FRAME_END == 0x1D0860);
static_assert(IOCTL_TARVO_READ_REG == 0x1D0900);
static_assert(IOCTL_TARVO_READ_RISC == 0x1D0938);

// ---- Request records ------------------------------------------------------------------------
// Colour format codes of the chip (TARVO_FORMAT::colorFormat).
enum : std::uint32_t {
    TARVO_COLOR_RGB32 = 0,
    TARVO_COLOR_RGB24 = 1,
    TARVO_COLOR_RGB16 = 2,
    TARVO_COLOR_RGB15 = 3,
    TARVO_COLOR_YUY2 = 4,
    TARVO_COLOR_YUV411 = 5, // packed 4:1:1, 12 bits per pixel
    TARVO_COLOR_Y8 = 6,
    TARVO_COLOR_RGB8 = 7,
    TARVO_COLOR_YCRCB422_PLANAR = 8,
    TARVO_COLOR_YCRCB411_PLANAR = 9,
    TARVO_COLOR_RAW8 = 14,
};

// Input of IOCTL_TARVO_SET_FORMAT. The driver needs at least the first 16 bytes and checks the
// input against TARVO_FORMAT_MIN_SIZE (24, the record's size on a 32-bit build).
struct TARVO_FORMAT {
    std::uint32_t size;          // sizeof(TARVO_FORMAT)
    std::uint32_t colorFormat;   // TARVO_COLOR_*
    std::uint32_t width;         // pixels
    std::uint32_t height;        // lines
    std::uintptr_t paletteTable; // the capture library's palette table, 0 for none; not read
    std::uint32_t paletteTableSize;
};
inline constexpr std::uint32_t TARVO_FORMAT_MIN_SIZE = 24;

// Video decoder formats (TARVO_SOURCE::videoFormat).
enum : std::uint32_t {
    TARVO_VIDEO_AUTO = 0,
    TARVO_VIDEO_NTSC_M = 1,
    TARVO_VIDEO_NTSC_JAPAN = 2,
    TARVO_VIDEO_PAL_BDGHI = 3,
    TARVO_VIDEO_PAL_M = 4,
    TARVO_VIDEO_PAL_N = 5,
    TARVO_VIDEO_SECAM = 6,
    TARVO_VIDEO_PAL_NC = 7,
};

// Input of IOCTL_TARVO_SET_SOURCE.
struct TARVO_SOURCE {
    std::uint32_t size; // 20
    std::uint32_t hue;
    std::uint32_t videoFormat; // TARVO_VIDEO_*
    std::uint32_t mux;         // connector 0-3
    std::uint32_t svideo;      // 1 = S-Video on mux 1
};

// Input of IOCTL_TARVO_SET_COLOR.
struct TARVO_COLOR {
    std::uint32_t size; // 20
    std::uint32_t brightness;
    std::uint32_t saturation;
    std::uint32_t contrast;
    std::uint32_t flag; // sent as 0
};

// Output of IOCTL_TARVO_READ_PCI_CONFIG, input of IOCTL_TARVO_WRITE_PCI_CONFIG.
struct TARVO_BOARD_INFO {
    std::uint8_t config[64]; // the chip's PCI configuration header
    std::uint32_t unused;
};

// In and out of IOCTL_TARVO_ADD_BUFFER: the capture layer's video header, field for field (the
// driver reads lpData and dwBufferLength and writes dwBytesUsed and dwReserved[3]).
struct TARVO_BUFFER_HEADER {
    std::uintptr_t lpData;
    std::uint32_t dwBufferLength;
    std::uint32_t dwBytesUsed;
    std::uint32_t dwTimeCaptured;
    std::uintptr_t dwUser;
    std::uint32_t dwFlags;
    std::uintptr_t dwReserved[4]; // [3]: user address of the frame-descriptor table
};

// Input of IOCTL_TARVO_WRITE_GPIO_DATA: `count` register words from `values` in the caller's
// address space go to GPIO_DATA word `index` on (index 0-63; the count is cut at word 63).
struct TARVO_GPIO_WRITE {
    std::uint32_t index;
    std::uint32_t count;
    std::uintptr_t values;
};

// Output of IOCTL_TARVO_MAP_REGISTERS: the user address of the register window mapped for this
// open, 0 on a device without hardware.
typedef std::uintptr_t TARVO_REGISTER_WINDOW;

// ---- Frame-descriptor table -----------------------------------------------------------------
// One table per chip in non-paged memory, mapped into every process that opens the device; entry
// k belongs to the k-th registered buffer. The ready word is the only hand-over: the driver sets
// it (release) after the frame is complete; the station reads it (acquire) and clears it to hand
// the buffer back.
inline constexpr std::uint32_t TARVO_MAX_BUFFERS = 20;

struct TARVO_FRAME_DESCRIPTOR {
    std::uintptr_t buffer; // the buffer's user address (lpData)
    std::uint32_t ready;   // 1 = a frame was written into the buffer
    std::uint32_t error;   // the chip's error bits (INT_STAT 12-19) that closed the frame, else 0
    std::uint32_t timeMs;  // capture time in milliseconds since system start
};

// Error bits in TARVO_FRAME_DESCRIPTOR::error.
inline constexpr std::uint32_t TARVO_ERROR_BITS_MASK = 0xFF000;

static_assert(sizeof(TARVO_SOURCE) == 20);
static_assert(sizeof(TARVO_COLOR) == 20);
static_assert(sizeof(TARVO_BOARD_INFO) == 68);
static_assert(offsetof(TARVO_FORMAT, paletteTable) == 16);
static_assert(offsetof(TARVO_BUFFER_HEADER, dwBufferLength) == sizeof(std::uintptr_t));
static_assert(offsetof(TARVO_FRAME_DESCRIPTOR, ready) == sizeof(std::uintptr_t));
static_assert(offsetof(TARVO_FRAME_DESCRIPTOR, timeMs) == sizeof(std::uintptr_t) + 8);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(TARVO_GPIO_WRITE) == 12);
static_assert(sizeof(TARVO_FORMAT) == 24);
static_assert(sizeof(TARVO_BUFFER_HEADER) == 40);
static_assert(offsetof(TARVO_BUFFER_HEADER, dwReserved) == 24);
static_assert(sizeof(TARVO_FRAME_DESCRIPTOR) == 16);
#else
static_assert(sizeof(TARVO_GPIO_WRITE) == 16);
static_assert(sizeof(TARVO_FORMAT) == 32);
static_assert(sizeof(TARVO_BUFFER_HEADER) == 72);
static_assert(offsetof(TARVO_BUFFER_HEADER, dwReserved) == 40);
static_assert(sizeof(TARVO_FRAME_DESCRIPTOR) == 24);
#endif
