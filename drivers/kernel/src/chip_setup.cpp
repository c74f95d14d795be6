// Chip set-up: reset, DMA memory, default registers, input selection, TV-norm geometry, PLL.
#include "chip_device.h"

#include <initializer_list>

#include <new>

namespace tarvo {

const TvNorm kTvNorms[7] = {
    {35468950, 924, 576, 1135, 0x7F, 0x72, 0x13, 1135, 186, 924, 0x20, 0xFF}, // PAL-B/D/G/H/I
    {28636363, 768, 480, 910, 0x68, 0x5D, 0x09, 910, 128, 910, 0x1A, 0x90},   // NTSC-M
    {35468950, 924, 576, 1135, 0x7F, 0xB0, 0x16, 1135, 186, 922, 0x20, 0xFF}, // SECAM
    {28636363, 640, 576, 910, 0x68, 0x5D, 0x0F, 780, 130, 734, 0x1A, 0x90},   // PAL-Nc
    {28636363, 640, 480, 910, 0x68, 0x5D, 0x0C, 780, 135, 754, 0x1A, 0x90},   // PAL-M
    {35468950, 768, 576, 1135, 0x7F, 0x72, 0x15, 944, 186, 922, 0x20, 0x90},  // PAL-N
    {28636363, 640, 480, 910, 0x68, 0x5D, 0x0A, 780, 135, 754, 0x16, 0x90},   // NTSC-Japan
};

const UCHAR kTwiceBytesPerPixel[16] = {8, 6, 4, 4, 4, 3, 2, 2, 4, 3, 0, 0, 0, 0, 2, 0};

namespace {

// The one board record: inputs, S-Video input, mux value per input, GPIO mask.
struct CardRecord {
    ULONG inputs;
    ULONG svideo_input;
    ULONG mux[4];
    ULONG gpio_mask;
};
constexpr CardRecord kCard = {3, 2, {2, 3, 1, 1}, 0};

// The PLL needs two 100 ms rounds to lock; a chip that never locks gives up after a second.
constexpr int kPllWaitRounds = 10;

} // namespace

ULONG bytes_per_line(ULONG width, ULONG format) {
    return width * kTwiceBytesPerPixel[format & 15] / 2;
}

bool norm_interlaced(const ChipState& chip, ULONG height) {
    return kTvNorms[chip.norm].sheight / 2u < height;
}

int InitChip(ChipState& chip) {
    chip.write(SRESET, 0);
    chip.norm = 0;
    chip.interlaced = 1;
    chip.width = 768;
    chip.height = 576;
    chip.color_format = 1;
    chip.even_program = 0;
    chip.odd_program = 0;
    chip.hold = 0;
    chip.pll_current = 0;

    chip.master = static_cast<PULONG>(ddk::allocate(NonPagedPoolCacheAligned, kMasterPageSize));
    if (chip.master == nullptr) {
        return -1;
    }
    RtlZeroMemory(chip.master, kMasterPageSize);
    chip.master_phys = MmGetPhysicalAddress(chip.master).LowPart;
    void* records = ddk::allocate(NonPagedPoolCacheAligned, sizeof(BufferRecord) * kMaxBuffers);
    if (records == nullptr) {
        return -1;
    }
    chip.records = static_cast<BufferRecord*>(records);
    for (ULONG i = 0; i < kMaxBuffers; ++i) {
        new (&chip.records[i]) BufferRecord{};
    }
    // Every open maps the table's page into its process: the table has a page to itself, so
    // the view shows nothing else of the kernel's memory.
    chip.table = static_cast<TARVO_FRAME_DESCRIPTOR*>(
        ddk::allocate(NonPagedPoolCacheAligned, kTablePageSize));
    if (chip.table == nullptr) {
        return -1;
    }
    RtlZeroMemory(chip.table, kTablePageSize);
    for (ULONG i = 0; i < kMaxBuffers; ++i) {
        BufferRecord& r = chip.records[i];
        r.unused[0] = r.unused[1] = 0;
        // The engine runs each field program straight through, over page ends: pool pages are
        // scattered physically, so the programs live in contiguous memory.
        PHYSICAL_ADDRESS highest;
        highest.QuadPart = 0xFFFFFFFF;
        r.live = static_cast<PUCHAR>(MmAllocateContiguousMemory(kProgramPoolSize, highest));
        r.backup = static_cast<PUCHAR>(ddk::allocate(NonPagedPoolCacheAligned, kProgramPoolSize));
        if (r.live == nullptr || r.backup == nullptr) {
            return -1;
        }
        RtlZeroMemory(r.live, kProgramPoolSize);
        RtlZeroMemory(r.backup, kProgramPoolSize);
    }

    SelectInput(chip, 3);
    SetGeometry(chip);

    chip.write(COLOR_FMT, 0x11);
    chip.write(CAP_CTL, 0);
    chip.write(GPIO_DMA_CTL, 0xAC);
    chip.write(GPIO_REG_INP, 0);
    chip.write(IFORM, 0x43);
    chip.write(CONTRAST_LO, 0xD8);
    chip.write(BRIGHT, 0x10);
    chip.write(E_VSCALE_HI, 0x20);
    chip.write(O_VSCALE_HI, 0x20);
    chip.write(ADC, 0x81);
    chip.write(E_CONTROL, 0x20);
    chip.write(O_CONTROL, 0x20);
    chip.write(E_SCLOOP, 0);
    chip.write(O_SCLOOP, 0);
    chip.write(I2C, 0x83);

    BuildMasterProgram(chip);
    return 0;
}

void SelectInput(ChipState& chip, ULONG input) {
    chip.set_bits(GPIO_OUT_EN, kCard.gpio_mask);
    input %= kCard.inputs;
    const ULONG composite = 1u << 6;
    if (input == kCard.svideo_input) {
        chip.set_bits(E_CONTROL, composite);
        chip.set_bits(O_CONTROL, composite);
    } else {
        chip.clear_bits(E_CONTROL, composite);
        chip.clear_bits(O_CONTROL, composite);
    }
    const ULONG mux = kCard.mux[(input & 7) % 4];
    chip.write(IFORM, (chip.read(IFORM) & ~0x60u) | ((mux & 3) << 5));
    chip.write(GPIO_DATA, (chip.read(GPIO_DATA) & ~kCard.gpio_mask) | (mux >> 4));
}

int SetGeometry(ChipState& chip) {
    const TvNorm& r = kTvNorms[chip.norm];
    const ULONG w = chip.width;
    const ULONG h = chip.height;
    chip.write(ADELAY, r.adelay);
    chip.write(BDELAY, r.bdelay);
    chip.write(IFORM, (chip.read(IFORM) & ~0x1Fu) | r.iform);
    chip.write(VBI_PACK_SIZE, r.vbi_pack);
    chip.write(VBI_PACK_DEL, 1);

    chip.pll_target = r.fsc;
    const int pll = SetPll(chip);

    const bool interlaced = r.sheight / 2u < h;
    const ULONG shift = interlaced ? 0 : 1;
    const ULONG hscale = r.total * 4096u / (w * r.scaled_total / r.swidth) - 4096u;
    ULONG vscale = (512u - (ULONG(r.sheight) >> shift) * 512u / h) & 0x1FFF;
    if (interlaced) {
        vscale += 0x2000;
    }
    const ULONG hdelay = (w * r.hdelay / r.swidth) & 0x3FE;
    const ULONG vactive = r.sheight;
    const ULONG crop = ((ULONG(r.vdelay) >> 2) & 0xC0) | ((vactive >> 4) & 0x30) |
                       ((hdelay >> 6) & 0x0C) | ((w >> 8) & 0x03);
    for (ULONG odd : {kOddOffset, 0u}) {
        chip.write(E_VTC + odd, 0);
        chip.write(E_HSCALE_HI + odd, (hscale >> 8) & 0xFF);
        chip.write(E_HSCALE_LO + odd, hscale & 0xFF);
        chip.write(E_VSCALE_HI + odd,
                   (chip.read(E_VSCALE_HI + odd) & 0xE0) | ((vscale >> 8) & 0xFF));
        chip.write(E_VSCALE_LO + odd, vscale & 0xFF);
        chip.write(E_HACTIVE_LO + odd, w & 0xFF);
        chip.write(E_HDELAY_LO + odd, hdelay & 0xFF);
        chip.write(E_VACTIVE_LO + odd, vactive & 0xFF);
        chip.write(E_VDELAY_LO + odd, r.vdelay & 0xFF);
        chip.write(E_CROP + odd, crop);
    }
    chip.write(COLOR_FMT, chip.color_format * 0x11);
    chip.write(COLOR_CTL, 0x10);
    return pll;
}

int SetPll(ChipState& chip) {
    if (chip.pll_target == chip.pll_reference) {
        if (chip.pll_current != 0) {
            chip.write(TGCTRL, 0);
            chip.write(PLL_XCI, 0);
            chip.pll_current = 0;
        }
        return 0;
    }
    if (chip.pll_target == chip.pll_current) {
        return 1;
    }
    const ULONGLONG f = ULONGLONG(chip.pll_target / 4) * 12;
    const ULONGLONG g = chip.pll_reference / 4;
    chip.write(PLL_F_LO, static_cast<ULONG>(((f % g) * 256 % g) * 256 / g) & 0xFF);
    chip.write(PLL_F_HI, static_cast<ULONG>((f % g) * 256 / g) & 0xFF);
    chip.write(PLL_XCI, (static_cast<ULONG>(f / g) & 0xFF) | 0x80);
    for (int round = 0; round < kPllWaitRounds && (chip.read(DSTATUS) & kStatusPllUnlocked);
         ++round) {
        chip.write(DSTATUS, 0);
        LARGE_INTEGER delay;
        delay.QuadPart = -1000000; // 100 ms
        KeDelayExecutionThread(KernelMode, FALSE, &delay);
    }
    chip.write(DSTATUS, 0);
    if (chip.read(DSTATUS) & kStatusPllUnlocked) {
        // Never locked: the timing stays on the crystal (an unlocked clock garbles every
        // field), and the next format request tries again.
        chip.write(TGCTRL, 0);
        chip.pll_current = 0;
        return -1;
    }
    chip.write(TGCTRL, 8);
    chip.pll_current = chip.pll_target;
    return 1;
}

} // namespace tarvo
