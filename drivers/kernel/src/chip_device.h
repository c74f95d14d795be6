// The driver's device: one ChipDevice per capture chip (or one without hardware), its chip state,
// its buffer records and capture state, and the driver-wide state they share.
#pragma once

#include "chip_registers.h"
#include "ddk.h"
#include "request_queue.h"

#include "tarvo/tarvo_ioctl.h"

namespace tarvo {

inline constexpr ULONG kMaxDevices = 10;
inline constexpr ULONG kProgramPoolSize = 16384;
inline constexpr ULONG kOddProgramOffset = 8192;
inline constexpr ULONG kMasterPageSize = 8192;
inline constexpr ULONG kMasterWords = 14;
inline constexpr ULONG kFieldProgramSize = 8192;
inline constexpr ULONG kTablePageSize = PAGE_SIZE;
static_assert(sizeof(TARVO_FRAME_DESCRIPTOR) * TARVO_MAX_BUFFERS <= kTablePageSize);

// One registered capture buffer.
struct BufferRecord {
    ULONG unused[2];
    ULONG valid;
    PUCHAR live;   // 16 KB contiguous: even-field program, odd-field program 8 KB in
    PUCHAR backup; // exact copy made at registration
    ULONG even_phys;
    ULONG odd_phys;
    ULONG_PTR key; // the buffer's user address
    ddk::KLockObject lock;
};

// What the driver derives every register value from.
struct ChipState {
    ULONG device_number = 0;
    ULONG board_index = 0;
    USHORT device_id = 0;
    volatile ULONG* registers = nullptr;
    UCHAR interrupt_line = 0;
    UCHAR config[PCI_COMMON_HDR_LENGTH] = {};
    UCHAR revision = 0;
    USHORT width = 768;
    USHORT height = 576;
    ULONG norm = 0;
    ULONG interlaced = 1;
    ULONG color_format = 1;
    ULONG pll_reference = 28636363;
    ULONG pll_target = 0;
    ULONG pll_current = 0;
    // DMA.
    PULONG master = nullptr; // 8 KB page, the master program at its start
    ULONG master_phys = 0;
    BufferRecord* records = nullptr; // kMaxBuffers
    TARVO_FRAME_DESCRIPTOR* table = nullptr;
    ULONG hold = 0;
    ULONG even_program = 0; // targets of the master, 0 = none
    ULONG odd_program = 0;

    ULONG read(ULONG offset) const { return READ_REGISTER_ULONG(registers + offset / 4); }
    void write(ULONG offset, ULONG value) const {
        WRITE_REGISTER_ULONG(registers + offset / 4, value);
    }
    void set_bits(ULONG offset, ULONG bits) const { write(offset, read(offset) | bits); }
    void clear_bits(ULONG offset, ULONG bits) const { write(offset, read(offset) & ~bits); }
};
inline constexpr ULONG kMaxBuffers = TARVO_MAX_BUFFERS;

// Driver-wide state.
struct DriverState {
    ULONG hardware = 1;
    ULONG os_flag = 0;
    ULONG bridge_found = 0;
    ddk::PciLocation bridge{0, 0};
    PUCHAR io_permission_map = nullptr; // 8 KB, all zero
    LONG volatile i2c_status = 0;
    ChipState* chips[kMaxDevices] = {};
};
DriverState& driver_state();

// Per open: the user views of the register window and of the descriptor table.
struct OpenContext {
    ddk::KPhysicalView registers;
    ddk::KLockObject table_lock;
    PVOID table_user = nullptr;
};

class ChipDevice : public ddk::KDevice {
public:
    ChipDevice(PDEVICE_OBJECT device, ULONG number, const ddk::PciLocation* location);
    ~ChipDevice() override;

    NTSTATUS Create(PIRP irp) override;
    NTSTATUS Close(PIRP irp) override;
    NTSTATUS Read(PIRP irp) override { return DispatchReadWrite(irp); }
    NTSTATUS Write(PIRP irp) override { return DispatchReadWrite(irp); }
    NTSTATUS DeviceControl(PIRP irp) override;
    NTSTATUS Shutdown(PIRP irp) override;
    NTSTATUS Cleanup(PIRP irp) override;

    NTSTATUS publish_as(PCWSTR base, ULONG unit, PCWSTR link_prefix) {
        return publish(base, unit, link_prefix);
    }
    void teardown();
    bool has_hardware() const { return chip_ != nullptr && registers_.valid(); }
    ULONG number() const { return number_; }

    // Capture (dma_programs.cpp).
    NTSTATUS RegisterUserBuffer(PIRP irp);
    NTSTATUS StopCapture();
    // Returns once a DMA disable written before has taken effect: the engine finishes the
    // instruction it is on after the (posted) write. Busy-waits; never under a lock.
    void WaitForDmaStop() const;
    void RestartCapture(ULONG slot);
    void AdvanceRing();
    NTSTATUS RestartDma();
    // Interrupt side (interrupt.cpp).
    bool ServiceInterrupt();
    void DeferredRestart();
    ULONG now_ms() const;

    ChipState* chip_ = nullptr;

private:
    NTSTATUS StartHardware();
    NTSTATUS DispatchReadWrite(PIRP irp);
    static void StartIo(PVOID owner, PIRP irp);
    void write_install_values(ULONG error, const NTSTATUS* status, const ULONG* line);
    void unlock_all_buffers();
    void free_chip();
    // Device-control handlers (device_control.cpp).
    NTSTATUS SetFormat(PIRP irp, PUCHAR buffer, ULONG in, ULONG out);
    NTSTATUS SetSource(PUCHAR buffer, ULONG in);
    NTSTATUS SetColor(PUCHAR buffer, ULONG in);
    NTSTATUS StreamInit(PIRP irp, PUCHAR buffer, ULONG in, ULONG out);
    NTSTATUS GpioRead(PIRP irp, PUCHAR buffer, ULONG in, ULONG out);
    NTSTATUS GpioWrite(PUCHAR buffer, ULONG in);
    NTSTATUS MapRegisters(PIRP irp, PUCHAR buffer, ULONG out);

    ULONG number_ = 0;
    ddk::KString resource_key_;
    ddk::KString value_key_;
    ddk::RequestQueue queues_[3];
    ddk::PciLocation location_{};
    ddk::KMemoryRange registers_;
    ddk::KInterrupt interrupt_;
    ddk::KResourceRequest resources_;
    KDPC dpc_{};
    ULONG tick_increment_ = 10000;

public:
    // Capture state.
    ULONG registered_ = 0;
    ULONG current_ = 0;
    ULONG capturing_ = 0;
    ULONG stopped_ = 0;
    ULONG restart_ = 0;
    ULONG field_ = 0;
    ULONG odd_refresh_ = 0;
    ULONG prestart_answers_ = 0;
    ULONG last_size_ = 0;
    PFILE_OBJECT stream_file_ = nullptr; // the open that registered the stream's buffers

    ddk::KInterrupt& interrupt() { return interrupt_; }
    PKDPC dpc() { return &dpc_; }
};

// Chip set-up (chip_setup.cpp).
struct TvNorm {
    ULONG fsc;
    USHORT swidth, sheight, total;
    UCHAR adelay, bdelay, iform;
    ULONG scaled_total;
    USHORT hdelay, hactive, vdelay;
    UCHAR vbi_pack;
};
extern const TvNorm kTvNorms[7];
int InitChip(ChipState& chip);
void SelectInput(ChipState& chip, ULONG input);
// Both answer SetPll's outcome.
int SetGeometry(ChipState& chip);
// 0: PLL off (the crystal is the clock), 1: PLL on and locked, -1: the PLL never locked.
int SetPll(ChipState& chip);
// Twice the bytes per pixel of each colour format code.
extern const UCHAR kTwiceBytesPerPixel[16];
ULONG bytes_per_line(ULONG width, ULONG format);
bool norm_interlaced(const ChipState& chip, ULONG height);

// DMA programs (dma_programs.cpp).
// Fills the even- and odd-field programs of a buffer whose pages `lock` describes.
void BuildBufferPrograms(ChipState& chip, PULONG even, PULONG odd, ULONG_PTR buffer,
                         const ddk::KLockObject& lock, ULONG width, ULONG height, ULONG format);
void BuildMasterProgram(ChipState& chip);
// Worst-case bytes of one field program for a picture size and format.
ULONG field_program_bytes(ULONG lines_per_field);

// Scan and teardown (driver_entry.cpp).
void DestroyChipDevice(ChipDevice* device);

} // namespace tarvo
