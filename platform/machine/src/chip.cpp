// The chip's PCI function, register window, interrupt status, I2C master and GPIO lines.
#include "chip.h"

#include <cstdio>
#include <string>

namespace machine {
namespace {

struct ResetValue {
    std::uint32_t offset;
    std::uint8_t value;
};

// Published defaults of the decoder registers; everything else resets to 0.
constexpr ResetValue kResetValues[] = {
    {0x004, 0x58}, {0x00C, 0x12}, {0x010, 0x16}, {0x014, 0xE0}, {0x018, 0x78}, {0x01C, 0x80},
    {0x020, 0x02}, {0x024, 0xAC}, {0x030, 0xD8}, {0x034, 0xFE}, {0x038, 0xB4}, {0x044, 0xCF},
    {0x04C, 0x60}, {0x054, 0x01}, {0x060, 0x68}, {0x064, 0x5D}, {0x068, 0x82}, {0x078, 0x7F},
    {0x08C, 0x12}, {0x090, 0x16}, {0x094, 0xE0}, {0x098, 0x78}, {0x09C, 0x80}, {0x0A0, 0x02},
    {0x0A4, 0xAC}, {0x0CC, 0x60}, {0x0D4, 0x33}, {0x0D8, 0x10},
};

// Writable bits of the configuration header, per byte.
std::uint8_t writable(unsigned offset) {
    switch (offset) {
    case 0x04:
        return 0x46; // memory space, bus master, parity response
    case 0x05:
        return 0x01; // SERR
    case 0x0C:
    case 0x0D:
    case 0x3C:
        return 0xFF;
    case 0x11:
        return 0xF0; // BAR0 bits 31-12
    case 0x12:
    case 0x13:
        return 0xFF;
    default:
        return 0x00;
    }
}

constexpr std::uint32_t kHardwareMode = 0x80;

} // namespace

Chip::Chip(int number, Board& board, int index, const ChipConfig& config, bool multifunction,
           const MachineConfig& machine, PhysicalMemory& memory, FaultLog& log)
    : number_(number), board_(board), index_(index), machine_(machine), memory_(memory), log_(log),
      irq_line_(board.config().irq), noise_random_(0x9E3779B9u * unsigned(number) + 1) {
    auto put16 = [&](unsigned off, std::uint16_t v) {
        cfg_[off] = std::uint8_t(v);
        cfg_[off + 1] = std::uint8_t(v >> 8);
    };
    put16(0x00, 0x109E);
    put16(0x02, config.device_id);
    put16(0x04, 0x0002);
    put16(0x06, 0x0280);
    cfg_[0x08] = config.revision;
    cfg_[0x0B] = 0x04; // class 0x040000: multimedia video
    cfg_[0x0D] = 0x40;
    cfg_[0x0E] = multifunction ? 0x80 : 0x00;
    const PhysAddr bar = 0xE0000000u + 0x1000u * PhysAddr(number - 1);
    for (int i = 0; i < 4; ++i) {
        cfg_[0x10 + unsigned(i)] = std::uint8_t(bar >> (8 * i));
    }
    cfg_[0x3C] = irq_line_;
    cfg_[0x3D] = 0x01;
    cfg_[0x3E] = 0x10;
    cfg_[0x3F] = 0x28;
    line_.resize(4096);
    reset();
    next_field = period();
}

std::uint8_t Chip::pci_read(unsigned offset) const {
    return offset < 0x40 ? cfg_[offset] : 0;
}

void Chip::pci_write(unsigned offset, std::uint8_t value) {
    if (offset >= 0x40) {
        return;
    }
    const std::uint8_t mask = writable(offset);
    cfg_[offset] = std::uint8_t((cfg_[offset] & ~mask) | (value & mask));
}

PhysAddr Chip::bar0() const {
    return (PhysAddr(cfg_[0x10]) | PhysAddr(cfg_[0x11]) << 8 | PhysAddr(cfg_[0x12]) << 16 |
            PhysAddr(cfg_[0x13]) << 24) &
           0xFFFFF000u;
}

void Chip::reset() {
    const bool old9 = line9_level();
    regs_.fill(0);
    for (const ResetValue& r : kResetValues) {
        regs_[r.offset / 4] = r.value;
    }
    regs_[reg::I2C / 4] = 0x00000003;
    int_stat_ = int_mask_ = gpio_latch_ = gpio_oe_ = 0;
    riscs_ = 0;
    rack_ = false;
    pll_latch_ = false;
    pll_lock_until_ = 0;
    lof_ = cof_ = false;
    engine_ = Engine::Stopped;
    draining_ = false;
    line_open_ = false;
    irq_pause_ = false;
    pc_ = 0;
    gpio_changed(old9);
}

bool Chip::pll_unlocked(std::uint32_t now) const {
    return pll_on() && std::int32_t(now - pll_lock_until_) < 0;
}

bool Chip::line9_level() const {
    return (gpio_oe_ & 0x200) ? (gpio_latch_ & 0x200) != 0 : true;
}

void Chip::gpio_changed(bool old_line9) {
    if (!old_line9 && line9_level()) {
        ++reset_pulses_;
        hung_ = false;
    }
}

void Chip::fault(FaultKind kind, std::uint32_t instruction, PhysAddr address, std::string detail) {
    log_.record(kind, number_, field_count_, instruction, address, std::move(detail));
}

std::uint32_t Chip::read(std::uint32_t offset, std::uint32_t now) const {
    if (offset >= 0x300) {
        return 0;
    }
    if (offset >= reg::GPIO_DATA) {
        std::uint32_t pins = 0;
        const bool in_reset = !line9_level();
        if (in_reset || board_.busy(index_ + 1, now)) {
            pins |= 1u << 8;
        }
        if (line9_level()) {
            pins |= 1u << 9;
        }
        return ((gpio_latch_ & gpio_oe_) | (pins & ~gpio_oe_)) & 0xFFFFFF;
    }
    switch (offset) {
    case reg::DSTATUS: {
        std::uint32_t v = 0;
        if (pres_) {
            v |= 0xC0;
        }
        if (odd_) {
            v |= 0x20;
        }
        if (numl_) {
            v |= 0x10;
        }
        if (csel_) {
            v |= 0x08;
        }
        if (pll_latch_ || pll_unlocked(now)) {
            v |= 0x04;
        }
        if (lof_) {
            v |= 0x02;
        }
        if (cof_) {
            v |= 0x01;
        }
        return v;
    }
    case reg::SRESET:
        return 0;
    case reg::INT_STAT:
        return (int_stat_ & irq::LATCHED) | (odd_ ? 1u << 24 : 0) | (rack_ ? 1u << 25 : 0) |
               ((regs_[reg::GPIO_DMA_CTL / 4] & 2) << 26) | (riscs_ << 28);
    case reg::INT_MASK:
        return int_mask_;
    case reg::GPIO_DMA_CTL:
        return regs_[offset / 4] & 0xFFFF;
    case reg::I2C: {
        const std::uint32_t v = regs_[offset / 4];
        return (v & 0x80) ? ((v & ~3u) | 3u) : v;
    }
    case reg::RISC_STRT_ADD:
        return regs_[offset / 4] & ~3u;
    case reg::GPIO_OUT_EN:
        return gpio_oe_;
    case reg::GPIO_REG_INP:
        return regs_[offset / 4] & 0xFFFFFF;
    case reg::RISC_COUNT:
        return pc_;
    default:
        break;
    }
    return offset < 0x100 ? reg8(offset) : regs_[offset / 4];
}

void Chip::write(std::uint32_t offset, std::uint32_t value, std::uint32_t now) {
    now_ = now;
    if (offset >= 0x300) {
        return;
    }
    if (offset >= reg::GPIO_DATA) {
        const bool old9 = line9_level();
        gpio_latch_ = value & 0xFFFFFF;
        gpio_changed(old9);
        return;
    }
    switch (offset) {
    case reg::DSTATUS:
        if (!(value & 0x04)) {
            pll_latch_ = pll_unlocked(now);
        }
        if (!(value & 0x02)) {
            lof_ = false;
        }
        if (!(value & 0x01)) {
            cof_ = false;
        }
        return;
    case reg::SRESET:
        reset();
        return;
    case reg::PLL_F_LO:
    case reg::PLL_F_HI:
    case reg::PLL_XCI:
        regs_[offset / 4] = value & 0xFF;
        if (pll_on()) {
            pll_lock_until_ = now + machine_.pll_lock_ms;
            pll_latch_ = machine_.pll_lock_ms > 0;
        }
        return;
    case reg::INT_STAT:
        int_stat_ &= ~(value & irq::LATCHED);
        return;
    case reg::INT_MASK:
        int_mask_ = value;
        return;
    case reg::GPIO_DMA_CTL:
        set_dma_ctl(value & 0xFFFF, now);
        return;
    case reg::I2C:
        i2c_write(value, now);
        return;
    case reg::GPIO_OUT_EN: {
        const bool old9 = line9_level();
        gpio_oe_ = value & 0xFFFFFF;
        gpio_changed(old9);
        return;
    }
    case reg::RISC_COUNT:
        return;
    default:
        break;
    }
    regs_[offset / 4] = offset < 0x100 ? (value & 0xFF) : value;
}

void Chip::set_dma_ctl(std::uint32_t value, std::uint32_t now) {
    const bool was = (regs_[reg::GPIO_DMA_CTL / 4] & 2) != 0;
    const bool on = (value & 2) != 0;
    regs_[reg::GPIO_DMA_CTL / 4] = value;
    if (on && !was) {
        pc_ = regs_[reg::RISC_STRT_ADD / 4] & ~3u;
        engine_ = Engine::Running;
        ++dma_run_;
        executed_ = 0;
        line_open_ = false;
        irq_pause_ = false;
        draining_ = false;
    } else if (!on && was) {
        // The write is posted: an engine that was working finishes the instruction it is on
        // (a line's write) after the write has returned. The field's lines are rendered at its
        // start, so the engine counts as busy until the platform clock has moved on by more
        // than a millisecond (or the next field starts).
        if (engine_ != Engine::Stopped && engine_ != Engine::Halted) {
            draining_ = true;
            drain_until_ = now + 2;
        }
        engine_ = Engine::Stopped;
        line_open_ = false;
        irq_pause_ = false;
    }
}

bool Chip::dma_holds(const std::vector<std::uint32_t>& pfns, std::uint32_t now) const {
    const bool enabled = (regs_[reg::GPIO_DMA_CTL / 4] & 2) && engine_ != Engine::Stopped &&
                         engine_ != Engine::Halted;
    const bool finishing = draining_ && std::int32_t(now - drain_until_) < 0;
    if (!enabled && !finishing) {
        return false;
    }
    return memory_.written_by(pfns, number_, dma_run_);
}

void Chip::i2c_write(std::uint32_t value, std::uint32_t now) {
    regs_[reg::I2C / 4] = value;
    if (!(value & kHardwareMode)) {
        fault(FaultKind::I2cSoftwareMode, 0, value, "software-mode I2C is not modelled");
        return;
    }
    const std::uint8_t db0 = std::uint8_t(value >> 24);
    if (db0 == 0) {
        return; // only mode, rate and idle lines
    }
    const std::uint8_t bytes[2] = {std::uint8_t(value >> 16), std::uint8_t(value >> 8)};
    const bool read = (db0 & 1) != 0;
    const int count = read ? 0 : ((value & 0x04) ? 2 : 1);
    if (value & 0x30) {
        fault(FaultKind::I2cStartStop, 0, value, "NOSTART/NOSTOP are not modelled");
        rack_ = false;
        int_stat_ |= irq::I2CDONE;
        return;
    }
    if (hung_) {
        return; // no done until the next reset pulse
    }
    bool ack = false;
    std::uint8_t byte = 0;
    if (!line9_level()) {
        ack = false; // devices held in reset
    } else if (nack_ > 0) {
        --nack_;
    } else {
        const Board::Outcome out =
            board_.transaction(index_ + 1, db0, bytes, count, number_, field_count_, now);
        ack = out.ack;
        byte = out.byte;
    }
    if (read && ack) {
        regs_[reg::I2C / 4] = (value & ~0xFF00u) | (std::uint32_t(byte) << 8);
    }
    rack_ = ack;
    int_stat_ |= irq::I2CDONE;
}

void Chip::inject_error_bits(std::uint32_t bits) {
    bits &= irq::ERRORS;
    if (bits) {
        int_stat_ |= bits;
        char text[48];
        std::snprintf(text, sizeof text, "injected error bits 0x%05X", bits);
        fault(FaultKind::Injected, 0, 0, text);
    }
}

void Chip::inject_adc_overflow(bool luma, bool chroma) {
    lof_ = lof_ || luma;
    cof_ = cof_ || chroma;
}

} // namespace machine
