// The kernel driver's frame-descriptor table as the station sees it through its user-mode view:
// 20 descriptors per chip, entry i belonging to the i-th registered capture buffer. The ready
// word is the only hand-shake: the driver sets it (release) once the frame is complete, the
// station reads it (acquire) and clears it (release) last, after rewriting the buffer's ramp.
// The error word is written by the driver together with the ready word; the station writes 1
// for a buffer it found unfilled and 0 when it hands a bad buffer back.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace station {

inline constexpr int kFrameTableSize = 20;

// Layout of one descriptor (an address field is pointer-sized, the words keep 32 bits).
struct FrameDescriptor {
    std::uintptr_t BufferAddress; // the buffer's user address
    std::uint32_t Ready;          // 1 = a frame is in the buffer
    std::uint32_t Error;          // the chip's error bits that closed the frame, 1 unfilled, 0
    std::uint32_t CaptureTime;    // ms since system start, the tick's clock
};

static_assert(offsetof(FrameDescriptor, Ready) == sizeof(std::uintptr_t));
static_assert(offsetof(FrameDescriptor, CaptureTime) == sizeof(std::uintptr_t) + 8);
static_assert(sizeof(FrameDescriptor) == (sizeof(std::uintptr_t) == 4 ? 16 : 24));

inline std::uint32_t LoadReady(FrameDescriptor& d) {
    return std::atomic_ref<std::uint32_t>(d.Ready).load(std::memory_order_acquire);
}
inline void StoreReady(FrameDescriptor& d, std::uint32_t value) {
    std::atomic_ref<std::uint32_t>(d.Ready).store(value, std::memory_order_release);
}

} // namespace station
