// The chip's interrupt: acknowledge, I2C completion, error bits, and per field either the ring
// advance at once or, after an error, the deferred restart.
#include "chip_device.h"

namespace tarvo {

ULONG ChipDevice::now_ms() const {
    LARGE_INTEGER ticks;
    KeQueryTickCount(&ticks);
    return static_cast<ULONG>(static_cast<ULONGLONG>(ticks.QuadPart) * tick_increment_ / 10000);
}

bool ChipDevice::ServiceInterrupt() {
    ChipState& c = *chip_;
    const ULONG mask = c.read(INT_MASK);
    const ULONG status = c.read(INT_STAT);
    if ((mask & status) == 0) {
        return false;
    }
    if (status & kIntI2cDone) {
        LONG bits = LONG(1) << (2 * number_);
        if (status & kIntRack) {
            bits |= LONG(1) << (2 * number_ + 1);
        }
        // Shared by every chip: an atomic OR keeps the other chips' bits.
        InterlockedOr(&driver_state().i2c_status, bits);
    }
    c.write(INT_STAT, mask & status);
    const ULONG errors = status & kIntErrors;
    if (errors != 0) {
        restart_ = errors;
        c.write(INT_STAT, kIntErrors);
    }
    if (!capturing_ || mask == kMaskStopped || stopped_ || !(status & kIntRiscEnabled)) {
        return true;
    }
    if (status & kIntRiscIrq) {
        if (status & kIntOddProgramEnd) {
            field_ = 1;
        } else if (status & kIntEvenProgramEnd) {
            field_ = 0;
        } else if (restart_ == 0) {
            return true;
        }
    } else if (restart_ == 0) {
        return true;
    }
    if (restart_ == 0) {
        AdvanceRing();
    } else {
        KeInsertQueueDpc(&dpc_, nullptr, nullptr);
    }
    return true;
}

void ChipDevice::DeferredRestart() {
    ChipState& c = *chip_;
    bool restart = false;
    ULONG slot = 0;
    ddk::synchronized(interrupt_, [&] {
        // A stream that ended (or never registered a buffer) keeps the engine idle; the error
        // stays in the restart word for the next start.
        if (!capturing_ || registered_ == 0) {
            return;
        }
        const ULONG n = registered_;
        const ULONG next = current_ + 1 >= n ? 0 : current_ + 1;
        if (c.hold) {
            if (__atomic_load_n(&c.table[next].ready, __ATOMIC_ACQUIRE) == 0) {
                c.hold = 0;
            }
        } else {
            odd_refresh_ = 0;
            field_ = 0;
            TARVO_FRAME_DESCRIPTOR& d = c.table[current_];
            d.error = restart_;
            d.timeMs = now_ms();
            __atomic_store_n(&d.ready, 1u, __ATOMIC_RELEASE);
            current_ = next;
            if (__atomic_load_n(&c.table[current_].ready, __ATOMIC_ACQUIRE) != 0) {
                c.hold = 1;
            }
        }
        slot = current_;
        restart = true;
    });
    if (restart) {
        RestartCapture(slot);
    }
}

} // namespace tarvo
