// DMA programs and the frame ring: field programs per registered buffer, the looping master,
// buffer registration, stream stop, restart into a slot and the ring advance after each field.
#include "chip_device.h"

namespace tarvo {
namespace {

ULONG next_slot(ULONG slot, ULONG count) {
    return slot + 1 >= count ? 0 : slot + 1;
}

// The ready word is the hand-over to the station: written last, with release order.
void set_ready(TARVO_FRAME_DESCRIPTOR& d, ULONG value) {
    __atomic_store_n(&d.ready, value, __ATOMIC_RELEASE);
}

bool is_ready(const TARVO_FRAME_DESCRIPTOR& d) {
    return __atomic_load_n(&d.ready, __ATOMIC_ACQUIRE) != 0;
}

void busy_wait_past_one_ms(const ChipDevice& device) {
    const ULONG start = device.now_ms();
    while (device.now_ms() - start <= 1) {
    }
}

struct ProgramWriter {
    PULONG at;
    void emit(ULONG command, ULONG address) {
        *at++ = command;
        *at++ = address;
    }
};

} // namespace

ULONG field_program_bytes(ULONG lines_per_field) {
    // The leading SYNC, at most two WRITEs per line, the closing JUMP.
    return (2 + 2 * lines_per_field) * 8;
}

void BuildBufferPrograms(ChipState& chip, PULONG even, PULONG odd, ULONG_PTR buffer,
                         const ddk::KLockObject& lock, ULONG width, ULONG height, ULONG format) {
    const ULONG b = bytes_per_line(width, format);
    const bool interlaced = norm_interlaced(chip, height);
    chip.interlaced = interlaced ? 1 : 0;
    ProgramWriter e{even};
    ProgramWriter o{odd};
    e.emit(kRiscSyncPacked, 0);
    o.emit(kRiscSyncPacked, 0);
    // Bottom-up: the first line captured is the last line of the buffer.
    ULONG_PTR pointer = buffer + ULONG_PTR(height - 1) * b;
    for (ULONG i = 0; i < height; ++i, pointer -= b) {
        ProgramWriter& w = (interlaced && (i & 1) == 0) ? e : o;
        const ULONG room = PAGE_SIZE - static_cast<ULONG>(pointer % PAGE_SIZE);
        if (b <= room) {
            w.emit(kRiscWriteLine + b, lock.physical(pointer));
        } else {
            w.emit(kRiscWriteFirst + room, lock.physical(pointer));
            w.emit(kRiscWriteRest + (b - room), lock.physical(pointer + room));
        }
    }
    e.emit(kRiscJumpIrqEven, chip.master_phys + 6 * 4);
    o.emit(kRiscJumpIrqOdd, chip.master_phys + 12 * 4);
}

void BuildMasterProgram(ChipState& chip) {
    PULONG m = chip.master;
    const ULONG base = chip.master_phys;
    const ULONG even = chip.hold                ? base + 6 * 4
                       : chip.even_program != 0 ? chip.even_program
                                                : base + 6 * 4;
    const ULONG odd = chip.hold               ? base + 12 * 4
                      : chip.odd_program != 0 ? chip.odd_program
                                              : base + 12 * 4;
    m[0] = kRiscSyncEven;
    m[1] = 0;
    m[2] = kRiscJumpReset012;
    m[3] = base + 4 * 4;
    m[4] = kRiscJumpReset123;
    m[5] = even;
    m[6] = kRiscSyncOdd;
    m[7] = 0;
    m[8] = kRiscJump;
    m[9] = base + 10 * 4;
    m[10] = kRiscJumpReset3;
    m[11] = odd;
    m[12] = chip.hold ? kRiscJumpIrqOdd : kRiscJump;
    m[13] = base;
    chip.write(CAP_CTL, (chip.read(CAP_CTL) & ~0xCu) | 0x3u);
}

NTSTATUS ChipDevice::RegisterUserBuffer(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    auto* header = static_cast<TARVO_BUFFER_HEADER*>(irp->AssociatedIrp.SystemBuffer);
    if (in < sizeof(TARVO_BUFFER_HEADER) || header == nullptr) {
        irp->IoStatus.Information = 0;
        return STATUS_BUFFER_TOO_SMALL;
    }
    // The header goes back only into an output that holds it.
    const ULONG answer = out >= sizeof(TARVO_BUFFER_HEADER) ? sizeof(TARVO_BUFFER_HEADER) : 0;
    auto* open =
        static_cast<OpenContext*>(stack->FileObject ? stack->FileObject->FsContext : nullptr);
    const ULONG_PTR table_user =
        open != nullptr ? reinterpret_cast<ULONG_PTR>(open->table_user) : 0;
    ChipState& c = *chip_;
    const ULONG_PTR key = header->lpData;

    // The stream state as the interrupt path sees it.
    ULONG registered = 0;
    ULONG capturing = 0;
    ddk::synchronized(interrupt_, [&] {
        registered = registered_;
        capturing = capturing_;
    });
    // Only live entries count: records of an ended stream are invalid.
    LONG found = -1;
    for (ULONG i = 0; i < registered; ++i) {
        if (c.records[i].valid && c.records[i].key == key) {
            found = static_cast<LONG>(i);
            break;
        }
    }
    if (capturing) {
        header->dwReserved[3] = table_user;
        irp->IoStatus.Information = answer;
        return STATUS_SUCCESS;
    }
    if (prestart_answers_ < 2) {
        header->dwBytesUsed = last_size_;
        ++prestart_answers_;
        irp->IoStatus.Information = answer;
        return STATUS_SUCCESS;
    }
    if (found >= 0) {
        ddk::synchronized(interrupt_, [&] {
            current_ = 0;
            capturing_ = 1;
        });
        RestartCapture(0);
        header->dwReserved[3] = table_user;
        irp->IoStatus.Information = answer;
        return STATUS_SUCCESS;
    }

    // A new buffer: room in the table, and a length that holds the picture.
    const ULONG k = registered;
    const ULONG length = header->dwBufferLength;
    const ULONGLONG needed = ULONGLONG(c.height) * bytes_per_line(c.width, c.color_format);
    if (k >= kMaxBuffers || key == 0 || length == 0 || length < needed) {
        irp->IoStatus.Information = 0;
        return STATUS_INVALID_PARAMETER;
    }
    BufferRecord& r = c.records[k];
    if (!NT_SUCCESS(r.lock.create(reinterpret_cast<PVOID>(key), length)) ||
        !NT_SUCCESS(r.lock.lock(IoWriteAccess))) {
        r.lock.free();
        irp->IoStatus.Information = 0;
        return STATUS_UNSUCCESSFUL;
    }
    r.key = key;
    last_size_ = length;
    BuildBufferPrograms(c, reinterpret_cast<PULONG>(r.live),
                        reinterpret_cast<PULONG>(r.live + kOddProgramOffset), key, r.lock, c.width,
                        c.height, c.color_format);
    RtlCopyMemory(r.backup, r.live, kProgramPoolSize);
    r.even_phys = MmGetPhysicalAddress(r.live).LowPart;
    r.odd_phys = MmGetPhysicalAddress(r.live + kOddProgramOffset).LowPart;
    r.valid = 1;
    TARVO_FRAME_DESCRIPTOR& d = c.table[k];
    d.buffer = key;
    d.error = 0;
    set_ready(d, 0);
    ddk::synchronized(interrupt_, [&] {
        registered_ = k + 1;
        stream_file_ = stack->FileObject;
    });
    header->dwBytesUsed = length;
    header->dwReserved[3] = table_user;
    irp->IoStatus.Information = answer;
    return STATUS_SUCCESS;
}

void ChipDevice::WaitForDmaStop() const {
    busy_wait_past_one_ms(*this);
}

void ChipDevice::unlock_all_buffers() {
    if (chip_ == nullptr || chip_->records == nullptr) {
        return;
    }
    for (ULONG i = 0; i < kMaxBuffers; ++i) {
        BufferRecord& r = chip_->records[i];
        r.lock.free();
        r.unused[0] = r.unused[1] = 0;
        r.valid = 0;
    }
    ddk::synchronized(interrupt_, [&] { registered_ = 0; });
}

NTSTATUS ChipDevice::StopCapture() {
    ChipState& c = *chip_;
    ddk::synchronized(interrupt_, [&] {
        capturing_ = 0;
        stopped_ = 1;
        c.write(INT_MASK, kMaskStopped);
        c.write(INT_STAT, kAckAllButI2c);
        c.clear_bits(CAP_CTL, 0x3);
        c.clear_bits(GPIO_DMA_CTL, 0x3);
        registered_ = 0;
        field_ = 0;
        odd_refresh_ = 0;
        stream_file_ = nullptr;
        // The master loops on its own again: a later DMA enable writes nowhere.
        c.even_program = 0;
        c.odd_program = 0;
        c.hold = 0;
        BuildMasterProgram(c);
        c.clear_bits(CAP_CTL, 0x3);
    });
    // The disable is a posted write: the engine finishes the line it is on after it. Only once
    // that is past can the pages go.
    WaitForDmaStop();
    unlock_all_buffers();
    return STATUS_SUCCESS;
}

void ChipDevice::RestartCapture(ULONG slot) {
    ChipState& c = *chip_;
    bool restart = false;
    ddk::synchronized(interrupt_, [&] {
        restart = restart_ != 0;
        if (restart) {
            // The handler only acknowledges I2C completions while the DMA is reprogrammed.
            c.write(INT_MASK, kMaskStopped);
            c.write(INT_STAT, kAckAllButI2c);
            c.clear_bits(CAP_CTL, 0x3);
            c.clear_bits(GPIO_DMA_CTL, 0x3);
        }
    });
    if (!restart) {
        return;
    }
    // The wait and the program copy run outside the interrupt's synchronisation: every chip
    // shares the line, so a wait under it would hold all of them at device level.
    WaitForDmaStop();
    BufferRecord& r = c.records[slot];
    RtlCopyMemory(r.live, r.backup, 4096);
    ddk::synchronized(interrupt_, [&] {
        // The stream may have ended meanwhile: then the engine stays off.
        if (!capturing_ || slot >= registered_ || !r.valid) {
            return;
        }
        c.even_program = c.interlaced ? r.even_phys : 0;
        c.odd_program = r.odd_phys;
        BuildMasterProgram(c);
        c.write(RISC_STRT_ADD, c.master_phys);
        c.write(INT_STAT, kAckAllButI2c);
        c.write(INT_MASK, kMaskCapturing);
        c.set_bits(CAP_CTL, 0x3);
        c.set_bits(GPIO_DMA_CTL, 0x3);
        restart_ = 0;
    });
}

void ChipDevice::AdvanceRing() {
    ChipState& c = *chip_;
    const ULONG n = registered_;
    if (n == 0) {
        return;
    }
    ULONG s = current_;
    if (c.hold) {
        if (!is_ready(c.table[next_slot(s, n)])) {
            c.hold = 0;
            BuildMasterProgram(c);
        }
        return;
    }
    if (field_) {
        TARVO_FRAME_DESCRIPTOR& d = c.table[s];
        d.error = 0;
        d.timeMs = now_ms();
        set_ready(d, 1);
        s = next_slot(s, n);
        current_ = s;
        field_ = 0;
        if (is_ready(c.table[s])) {
            c.hold = 1;
        }
        if (!c.interlaced || odd_refresh_) {
            odd_refresh_ = 0;
            BufferRecord& r = c.records[s];
            RtlCopyMemory(r.live + kOddProgramOffset, r.backup + kOddProgramOffset, 2048);
            c.odd_program = r.odd_phys;
        }
    } else {
        const ULONG m = next_slot(s, n);
        odd_refresh_ = 1;
        if (c.interlaced) {
            BufferRecord& r = c.records[m];
            RtlCopyMemory(r.live, r.backup, 2048);
            c.even_program = r.even_phys;
        } else {
            c.even_program = 0;
        }
    }
    BuildMasterProgram(c);
}

NTSTATUS ChipDevice::RestartDma() {
    ChipState& c = *chip_;
    ddk::synchronized(interrupt_, [&] {
        // Without registered buffers there is nothing to point the DMA at.
        if (registered_ == 0 || current_ >= registered_ || !c.records[current_].valid) {
            return;
        }
        const BufferRecord& r = c.records[current_];
        c.even_program = c.interlaced ? r.even_phys : 0;
        c.odd_program = r.odd_phys;
        BuildMasterProgram(c);
        c.write(RISC_STRT_ADD, c.master_phys);
        c.write(INT_STAT, kAckAllButI2c);
    });
    return STATUS_SUCCESS;
}

} // namespace tarvo
