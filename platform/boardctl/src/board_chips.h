// The library's state per chip 0 to 3: the kernel device (opened at the chip's first call and
// kept, because every open of the device clears the ready words of a running capture), the last
// I2C failure, the I2C rate, the watchdog snapshots and whether the library stopped the DMA.
#pragma once

#include "kernel_device.h"
#include "word_snapshot.h"

#include <cstdint>
#include <initializer_list>
#include <mutex>

namespace boardctl {

inline constexpr int kChips = 4;

struct Chip {
    explicit Chip(int n);

    const int number;
    std::mutex lock;
    KernelDevice device;
    short last_error = 0;
    bool fast_rate = false;
    bool dma_stopped = false;
    WordSnapshot registers; // the decoder registers, DSTATUS left out
    WordSnapshot program;   // the DMA-program dump
};

// Chip `index`, or null for an index outside 0 to 3.
Chip* chip_at(long index);

// Runs `body(chip)` under the chip's lock with its device open; `failed` when the index is out
// of range or the device does not open.
template <class R, class F> R on_chip(long index, R failed, F&& body) {
    Chip* chip = chip_at(index);
    if (chip == nullptr) {
        return failed;
    }
    std::lock_guard<std::mutex> guard(chip->lock);
    if (!chip->device.open(chip->number)) {
        return failed;
    }
    return body(*chip);
}

// After the library itself wrote decoder registers: the register snapshot takes their values
// now, so the comparison reports only changes made behind its back.
void note_own_writes(Chip& chip, std::initializer_list<std::uint32_t> offsets);

} // namespace boardctl
