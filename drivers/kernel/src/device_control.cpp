// Device-control requests: every control code, its length checks, effect and completion.
#include "chip_device.h"

#include <initializer_list>

namespace tarvo {
namespace {

constexpr ULONG kRiscDumpBytes = 16384;
constexpr ULONG kAllRegisterWords = 73;
constexpr ULONG kGpioWords = 64;

ULONG load32(const PUCHAR buffer, ULONG offset) {
    ULONG v;
    RtlCopyMemory(&v, buffer + offset, sizeof v);
    return v;
}

void store32(PUCHAR buffer, ULONG offset, ULONG value) {
    RtlCopyMemory(buffer + offset, &value, sizeof value);
}

// The norm row, ADELAY and BDELAY of a decoder format (1 to 7).
struct SourceRow {
    ULONG norm;
    bool ntsc_type; // ADELAY by chip, BDELAY 0x5D
    ULONG bdelay;
};
constexpr SourceRow kSourceRows[8] = {
    {0, false, 0x72}, // 0: resolved at run time
    {1, true, 0x5D},  {6, true, 0x5D},  {0, false, 0x72}, {4, true, 0x5D},
    {5, false, 0x72}, {2, false, 0xA0}, {3, true, 0x5D},
};

} // namespace

NTSTATUS ChipDevice::SetFormat(PIRP, PUCHAR buffer, ULONG in, ULONG) {
    if (in < TARVO_FORMAT_MIN_SIZE) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    ChipState& c = *chip_;
    const ULONG format = load32(buffer, 4);
    const ULONG width = load32(buffer, 8) & 0xFFFF;
    const ULONG height = load32(buffer, 12) & 0xFFFF;
    // Refused before anything changes: no zero sizes, known formats only, lines below a page,
    // and field programs that fit their 8 KB.
    if (width == 0 || height == 0 || format > 15 || kTwiceBytesPerPixel[format] == 0) {
        return STATUS_INVALID_PARAMETER;
    }
    if (bytes_per_line(width, format) >= PAGE_SIZE || width > 0x3FF) {
        return STATUS_INVALID_PARAMETER;
    }
    const ULONG lines_per_field = norm_interlaced(c, height) ? (height + 1) / 2 : height;
    if (field_program_bytes(lines_per_field) > kFieldProgramSize) {
        return STATUS_INVALID_PARAMETER;
    }
    c.color_format = format;
    c.width = static_cast<USHORT>(width);
    c.height = static_cast<USHORT>(height);
    if (format == TARVO_COLOR_RGB8) {
        c.set_bits(CAP_CTL, 0x10);
    }
    const int pll = SetGeometry(c);
    c.write(COLOR_FMT, format * 0x11);
    ddk::synchronized(interrupt_, [&] { BuildMasterProgram(c); });
    // A clock that never locked gives no usable picture at this norm: the request fails.
    return pll < 0 ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS;
}

NTSTATUS ChipDevice::SetSource(PUCHAR buffer, ULONG in) {
    if (in < sizeof(TARVO_SOURCE)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    ChipState& c = *chip_;
    const ULONG hue = load32(buffer, 4);
    ULONG format = load32(buffer, 8);
    const ULONG mux = load32(buffer, 12);
    const ULONG svideo = load32(buffer, 16);
    c.write(HUE, hue);
    c.write(IFORM, (c.read(IFORM) & ~0x60u) | ((mux & 3) << 5));
    if (mux == 1) {
        if (svideo == 1) {
            for (ULONG reg : {ULONG(E_CONTROL), ULONG(O_CONTROL)}) {
                c.write(reg, (c.read(reg) & ~0x80u) | 0x40u);
            }
            c.clear_bits(ADC, 0x2);
        } else {
            for (ULONG reg : {ULONG(E_CONTROL), ULONG(O_CONTROL)}) {
                c.write(reg, (c.read(reg) & ~0x40u) | 0x80u);
            }
            c.set_bits(ADC, 0x2);
        }
    }
    if (format > 7) {
        return STATUS_INVALID_PARAMETER_1;
    }
    if (format == TARVO_VIDEO_AUTO) {
        format = (c.read(DSTATUS) & kStatus625Lines) ? TARVO_VIDEO_PAL_BDGHI : TARVO_VIDEO_NTSC_M;
    }
    const SourceRow& row = kSourceRows[format];
    c.write(IFORM, (c.read(IFORM) & ~0x7u) | format);
    c.write(ADELAY, row.ntsc_type ? (c.device_id < 0x036E ? 0x68 : 0x70) : 0x7F);
    c.write(BDELAY, row.bdelay);
    c.norm = row.norm;
    for (ULONG reg : {ULONG(E_VSCALE_HI), ULONG(O_VSCALE_HI)}) {
        if (format == TARVO_VIDEO_SECAM) {
            c.clear_bits(reg, 0x40);
        } else {
            c.set_bits(reg, 0x40);
        }
    }
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::SetColor(PUCHAR buffer, ULONG in) {
    if (in < sizeof(TARVO_COLOR)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    ChipState& c = *chip_;
    const ULONG brightness = load32(buffer, 4);
    const ULONG saturation = load32(buffer, 8);
    const ULONG contrast = load32(buffer, 12);
    c.write(BRIGHT, (brightness - 128) & 0xFF);
    ULONG con = contrast * 2;
    if (con > 0x1FF) {
        con = 0x1FF;
    }
    c.write(CONTRAST_LO, con & 0xFF);
    ULONG u, v;
    if ((c.read(DVSIF) & 0x7) == 0) {
        u = saturation * 2 * 254 / 254;
        v = saturation * 2 * 180 / 254;
    } else {
        u = v = saturation * 2 * 128 / 128;
    }
    c.write(SAT_U_LO, u & 0xFF);
    c.write(SAT_V_LO, v & 0xFF);
    for (ULONG reg : {ULONG(E_CONTROL), ULONG(O_CONTROL)}) {
        ULONG value = c.read(reg) & ~0x7u;
        value |= ((con >> 8) & 1) << 2;
        value |= ((u >> 8) & 1) << 1;
        value |= (v >> 8) & 1;
        c.write(reg, value);
    }
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::StreamInit(PIRP irp, PUCHAR buffer, ULONG in, ULONG out) {
    if ((in < 4 && out < 4) || buffer == nullptr) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    // A new stream ends the one still live (or registered) first, so no page stays locked.
    bool live = false;
    ULONG stopped = 0;
    ddk::synchronized(interrupt_, [&] {
        live = capturing_ || registered_ != 0;
        stopped = stopped_;
    });
    if (live) {
        StopCapture();
        ddk::synchronized(interrupt_, [&] { stopped_ = stopped; });
    }
    store32(buffer, 0, 30000);
    ddk::synchronized(interrupt_, [&] {
        restart_ = 1;
        registered_ = 0;
        field_ = 0;
        odd_refresh_ = 0;
    });
    irp->IoStatus.Information = out >= 4 ? 4 : 0;
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::GpioRead(PIRP irp, PUCHAR buffer, ULONG in, ULONG out) {
    if (in < 8) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    const ULONG index = load32(buffer, 0);
    ULONG count = load32(buffer, 4);
    if (index >= kGpioWords) {
        return STATUS_INVALID_PARAMETER;
    }
    if (count > kGpioWords - index) {
        count = kGpioWords - index;
    }
    if (out < 4 * count) {
        return STATUS_INVALID_PARAMETER;
    }
    for (ULONG i = 0; i < count; ++i) {
        store32(buffer, 4 * i, chip_->read(GPIO_DATA + 4 * (index + i)));
    }
    irp->IoStatus.Information = 4 * count;
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::GpioWrite(PUCHAR buffer, ULONG in) {
    if (in < sizeof(TARVO_GPIO_WRITE)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    TARVO_GPIO_WRITE request;
    RtlCopyMemory(&request, buffer, sizeof request);
    if (request.index >= kGpioWords) {
        return STATUS_INVALID_PARAMETER;
    }
    ULONG count = request.count;
    if (count > kGpioWords - request.index) {
        count = kGpioWords - request.index;
    }
    if (count == 0) {
        return STATUS_SUCCESS;
    }
    // The values live in the caller's address space: lock them for reading first, so a bad
    // address fails the request instead of the kernel.
    ddk::KLockObject values;
    if (request.values == 0 ||
        !NT_SUCCESS(values.create(reinterpret_cast<PVOID>(request.values), 4 * count)) ||
        !NT_SUCCESS(values.lock(IoReadAccess))) {
        return STATUS_INVALID_PARAMETER;
    }
    auto* words = static_cast<PUCHAR>(values.system_address());
    if (words == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    for (ULONG i = 0; i < count; ++i) {
        chip_->write(GPIO_DATA + 4 * (request.index + i), load32(words, 4 * i));
    }
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::MapRegisters(PIRP irp, PUCHAR buffer, ULONG out) {
    if (out < sizeof(TARVO_REGISTER_WINDOW)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    const auto* open = file != nullptr ? static_cast<const OpenContext*>(file->FsContext) : nullptr;
    const TARVO_REGISTER_WINDOW address =
        has_hardware() && open != nullptr ? open->registers.user_address() : 0;
    RtlCopyMemory(buffer, &address, sizeof address);
    irp->IoStatus.Information = sizeof address;
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::DeviceControl(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    auto* buffer = static_cast<PUCHAR>(irp->AssociatedIrp.SystemBuffer);
    irp->IoStatus.Information = 0;
    NTSTATUS status = STATUS_INVALID_PARAMETER;
    DriverState& state = driver_state();

    if (!has_hardware()) {
        if (code == IOCTL_TARVO_MAP_REGISTERS) {
            status = MapRegisters(irp, buffer, out);
        }
        ddk::complete(irp, status, irp->IoStatus.Information);
        return status;
    }

    ChipState& c = *chip_;
    switch (code) {
    case IOCTL_TARVO_SET_FORMAT:
        status = SetFormat(irp, buffer, in, out);
        break;
    case IOCTL_TARVO_SET_SOURCE:
        status = SetSource(buffer, in);
        break;
    case IOCTL_TARVO_SET_COLOR:
        status = SetColor(buffer, in);
        break;
    case IOCTL_TARVO_GET_OVERLAY_MODE:
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= 4) {
            store32(buffer, 0, 0); // no overlay; never hand back stale buffer bytes
            irp->IoStatus.Information = 4;
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_EXTIN_ON:
    case IOCTL_TARVO_EXTIN_OFF:
    case IOCTL_TARVO_STREAM_STOP:
    case IOCTL_TARVO_STREAM_RESET:
    case IOCTL_TARVO_NULL:
        status = STATUS_SUCCESS;
        break;
    case IOCTL_TARVO_STREAM_INIT:
        status = StreamInit(irp, buffer, in, out);
        break;
    case IOCTL_TARVO_STREAM_FINI:
        status = StopCapture();
        break;
    case IOCTL_TARVO_STREAM_START:
        ddk::synchronized(interrupt_, [&] { stopped_ = 0; });
        status = STATUS_SUCCESS;
        break;
    case IOCTL_TARVO_WAIT_ERROR:
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= 4) {
            store32(buffer, 0, 0);
            irp->IoStatus.Information = 4;
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_ADD_BUFFER:
        status = RegisterUserBuffer(irp);
        break;
    case IOCTL_TARVO_READ_REG:
        irp->IoStatus.Information = 4;
        status = STATUS_BUFFER_TOO_SMALL;
        if (in >= 4 && out >= 4) {
            const ULONG offset = load32(buffer, 0);
            if (offset >= kRegisterWindow) {
                irp->IoStatus.Information = 0;
                status = STATUS_INVALID_PARAMETER;
            } else {
                store32(buffer, 0, c.read(offset & ~3u));
                status = STATUS_SUCCESS;
            }
        }
        break;
    case IOCTL_TARVO_WRITE_REG:
        status = STATUS_BUFFER_TOO_SMALL;
        if (in >= 8) {
            const ULONG offset = load32(buffer, 0);
            status = STATUS_INVALID_PARAMETER;
            if (offset < kRegisterWindow) {
                c.write(offset & ~3u, load32(buffer, 4));
                status = STATUS_SUCCESS;
            }
        }
        break;
    case IOCTL_TARVO_READ_PCI_CONFIG:
        irp->IoStatus.Information = PCI_COMMON_HDR_LENGTH;
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= PCI_COMMON_HDR_LENGTH) {
            ddk::pci_read(location_, 0, buffer, PCI_COMMON_HDR_LENGTH);
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_WRITE_PCI_CONFIG:
        status = STATUS_BUFFER_TOO_SMALL;
        if (in >= PCI_COMMON_HDR_LENGTH) {
            ddk::pci_write(location_, 0, buffer, PCI_COMMON_HDR_LENGTH);
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_READ_ALL_REGS:
        irp->IoStatus.Information = 4 * kAllRegisterWords;
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= 4 * kAllRegisterWords) {
            for (ULONG i = 0; i < kAllRegisterWords; ++i) {
                store32(buffer, 4 * i, c.read(4 * i));
            }
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_READ_GPIO_DATA:
        status = GpioRead(irp, buffer, in, out);
        break;
    case IOCTL_TARVO_WRITE_GPIO_DATA:
        status = GpioWrite(buffer, in);
        break;
    case IOCTL_TARVO_MAP_REGISTERS:
        status = MapRegisters(irp, buffer, out);
        break;
    case IOCTL_TARVO_RESTART_DMA:
        status = RestartDma();
        break;
    case IOCTL_TARVO_IS_BRIDGE:
        irp->IoStatus.Information = 4;
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= 4) {
            store32(buffer, 0, state.bridge_found);
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_READ_BRIDGE_CONFIG:
        irp->IoStatus.Information = 4;
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= 4) {
            // Without the tuned bridge this reads the plain host bridge at bus 0, slot 0.
            ULONG value = 0;
            ddk::pci_read(state.bridge, 0x50, &value, 4);
            store32(buffer, 0, value);
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_WRITE_BRIDGE_CONFIG:
        status = STATUS_BUFFER_TOO_SMALL;
        if (in >= 4) {
            status = STATUS_NO_SUCH_DEVICE;
            if (state.bridge_found) {
                ULONG value = load32(buffer, 0);
                ddk::pci_write(state.bridge, 0x50, &value, 4);
                status = STATUS_SUCCESS;
            }
        }
        break;
    case IOCTL_TARVO_GET_I2C_STATUS:
        irp->IoStatus.Information = 4;
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= 4) {
            store32(buffer, 0, static_cast<ULONG>(InterlockedOr(&state.i2c_status, 0)));
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_SET_I2C_STATUS:
        status = STATUS_BUFFER_TOO_SMALL;
        if (in >= 4) {
            InterlockedExchange(&state.i2c_status, static_cast<LONG>(load32(buffer, 0)));
            status = STATUS_SUCCESS;
        }
        break;
    case IOCTL_TARVO_READ_RISC:
        status = STATUS_BUFFER_TOO_SMALL;
        if (out >= kRiscDumpBytes) {
            RtlZeroMemory(buffer, kRiscDumpBytes);
            irp->IoStatus.Information = kRiscDumpBytes;
            status = STATUS_SUCCESS;
        }
        break;
    default:
        status = STATUS_INVALID_PARAMETER;
        break;
    }
    ddk::complete(irp, status, irp->IoStatus.Information);
    return status;
}

} // namespace tarvo
