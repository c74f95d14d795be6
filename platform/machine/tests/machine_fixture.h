// Shared test set-up: a machine on the manual clock, a chip programmed the way the kernel driver
// programs it, and DMA programs written from the instruction encodings.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "machine/machine.h"
#include "manual_clock.h"
#include "platform/clock.h"

namespace machine::test {

// Instruction words.
inline constexpr std::uint32_t kSyncFm1 = 0x80000006, kSyncVre = 0x80008004, kSyncVro = 0x8000800C;
inline constexpr std::uint32_t kWriteLine = 0x1C000000, kWriteSol = 0x18000000,
                               kWriteEol = 0x14000000;
inline constexpr std::uint32_t kJump = 0x70000000, kJumpEvenEnd = 0x71080000,
                               kJumpOddEnd = 0x71020000;

// Registers used by the tests.
inline constexpr std::uint32_t DSTATUS = 0x000, IFORM = 0x004, E_CROP = 0x00C, E_VACTIVE_LO = 0x014,
                               E_HACTIVE_LO = 0x01C, BRIGHT = 0x028, E_CONTROL = 0x02C,
                               CONTRAST_LO = 0x030, SAT_U_LO = 0x034, E_VSCALE_HI = 0x04C,
                               E_VSCALE_LO = 0x050, SRESET = 0x07C, TGCTRL = 0x084,
                               COLOR_FMT = 0x0D4, COLOR_CTL = 0x0D8, CAP_CTL = 0x0DC,
                               PLL_F_LO = 0x0F0, PLL_F_HI = 0x0F4, PLL_XCI = 0x0F8,
                               INT_STAT = 0x100, INT_MASK = 0x104, GPIO_DMA_CTL = 0x10C,
                               I2C = 0x110, RISC_STRT_ADD = 0x114, GPIO_OUT_EN = 0x118,
                               RISC_COUNT = 0x120, GPIO_DATA = 0x200, ODD = 0x080;

// A growing DMA program in a contiguous physical block.
class Program {
public:
    Program(Machine& m, std::size_t bytes = 64 * 1024) : m_(m), block_(m.allocate(bytes)) {}
    ~Program() { m_.free(block_.phys); }
    PhysAddr here() const { return block_.phys + PhysAddr(words_ * 4); }
    PhysAddr base() const { return block_.phys; }
    void emit(std::uint32_t cmd, std::uint32_t arg = 0) {
        auto* w = static_cast<std::uint32_t*>(block_.host);
        w[words_++] = cmd;
        w[words_++] = arg;
    }
    std::uint32_t* word(PhysAddr at) {
        return static_cast<std::uint32_t*>(block_.host) + (at - block_.phys) / 4;
    }

private:
    Machine& m_;
    MemoryBlock block_;
    std::size_t words_ = 0;
};

// A user buffer with guard bytes on both sides, locked to scattered pages.
class UserBuffer {
public:
    UserBuffer(Machine& m, std::size_t size, std::size_t offset_in_page = 100)
        : m_(m), size_(size), storage_(size + 3 * kPageSize + 2 * kGuard, 0xA5) {
        auto base = reinterpret_cast<std::uintptr_t>(storage_.data()) + kGuard;
        base = (base + kPageSize - 1) & ~std::uintptr_t(kPageSize - 1);
        data_ = reinterpret_cast<std::uint8_t*>(base + offset_in_page);
        locked_ = m.lock_pages(data_, size);
    }
    ~UserBuffer() { unlock(); }
    void unlock() {
        if (locked_.id) {
            m_.unlock_pages(locked_.id);
            locked_.id = 0;
        }
    }
    std::uint8_t* data() { return data_; }
    std::size_t size() const { return size_; }
    const LockedPages& pages() const { return locked_; }
    // Physical address of data() + offset, as a driver looks it up on the locked pages.
    PhysAddr phys(std::size_t offset) const {
        const auto p = reinterpret_cast<std::uintptr_t>(data_) + offset;
        const std::size_t index = (p >> 12) - (reinterpret_cast<std::uintptr_t>(data_) >> 12);
        return (locked_.pages[index] & ~PhysAddr(kPageSize - 1)) | PhysAddr(p & (kPageSize - 1));
    }
    // True when every byte outside the buffer still holds the guard pattern.
    bool guards_intact() const {
        const std::uint8_t* begin = storage_.data();
        const std::uint8_t* end = begin + storage_.size();
        for (const std::uint8_t* p = begin; p < end; ++p) {
            if ((p < data_ || p >= data_ + size_) && *p != 0xA5) {
                return false;
            }
        }
        return true;
    }

private:
    static constexpr std::size_t kGuard = 64;
    Machine& m_;
    std::size_t size_;
    std::vector<std::uint8_t> storage_;
    std::uint8_t* data_;
    LockedPages locked_;
};

// Bytes per line of `width` pixels in COLOR_FMT `format` (test-side copy of the chip's table).
inline std::uint32_t bytes_per_line(std::uint32_t format, std::uint32_t width) {
    static constexpr std::uint8_t t[16] = {8, 6, 4, 4, 4, 3, 2, 2, 4, 3, 0, 0, 0, 0, 2, 0};
    return width * t[format] / 2;
}

// The field programs and master of one buffer, written from the instruction encodings the way
// the kernel driver builds them (bottom-up lines, page-crossing lines split in two).
struct FramePrograms {
    FramePrograms(Machine& m, UserBuffer& buf, int w, int h, std::uint32_t format,
                  bool split = true)
        : master(m), even(m), odd(m) {
        const std::uint32_t b = bytes_per_line(format, std::uint32_t(w));
        interlaced = 288 < h;
        const PhysAddr word0 = master.base(), word6 = word0 + 24, word12 = word0 + 48;
        even.emit(kSyncFm1);
        odd.emit(kSyncFm1);
        std::size_t ptr = std::size_t(h - 1) * b;
        for (int i = 0; i < h; ++i, ptr -= b) {
            Program& p = (interlaced && i % 2 == 0) ? even : odd;
            const std::uint32_t room = kPageSize - (buf.phys(ptr) & (kPageSize - 1));
            if (b <= room || !split) {
                p.emit(kWriteLine + b, buf.phys(ptr));
            } else {
                p.emit(kWriteSol + room, buf.phys(ptr));
                p.emit(kWriteEol + (b - room), buf.phys(ptr + room));
                ++splits;
            }
        }
        even.emit(kJumpEvenEnd, word6);
        odd.emit(kJumpOddEnd, word12);
        master.emit(kSyncVre);
        master.emit(0x70700000, word0 + 16);
        master.emit(0x70E00000, interlaced ? even.base() : word6);
        master.emit(kSyncVro);
        master.emit(kJump, word0 + 40);
        master.emit(0x70800000, odd.base());
        master.emit(kJump, word0);
    }
    Program master, even, odd;
    bool interlaced = false;
    int splits = 0;
};

// The configuration with every camera's sensor noise and lighting drift off, for tests that
// compare exact pixel values.
inline MachineConfig quiet(MachineConfig config) {
    for (BoardConfig& board : config.boards) {
        for (CameraConfig& camera : board.cameras) {
            camera.noise = 0;
            camera.drift = 0;
        }
    }
    return config;
}

// Tests run on quiet cameras unless they ask for noise.
class MachineTest : public ::testing::Test {
protected:
    MachineTest() : MachineTest(MachineConfig{}) {}
    explicit MachineTest(MachineConfig config)
        : m_(std::make_unique<Machine>(quiet(std::move(config)))) {}

    Machine& m() { return *m_; }

    // PCI command as the kernel writes it: memory space, bus master, SERR.
    void enable_pci(int chip, std::uint16_t command = 0x0106) {
        const PciLocation at = m().chip_location(chip);
        m().pci_write(at.bus, at.device, at.function, 4, &command, 2);
    }

    // Hardware-mode I2C transactions; return RACK.
    bool i2c_write2(int chip, std::uint8_t addr, std::uint8_t b1) {
        m().write_register(chip, INT_STAT, 1u << 8);
        m().write_register(chip, I2C, std::uint32_t(addr) << 24 | std::uint32_t(b1) << 16 | 0x80);
        return done_and_ack(chip);
    }
    bool i2c_write3(int chip, std::uint8_t addr, std::uint8_t b1, std::uint8_t b2) {
        m().write_register(chip, INT_STAT, 1u << 8);
        m().write_register(chip, I2C,
                           std::uint32_t(addr) << 24 | std::uint32_t(b1) << 16 |
                               std::uint32_t(b2) << 8 | 0x84);
        return done_and_ack(chip);
    }
    bool i2c_read(int chip, std::uint8_t addr, std::uint8_t& byte) {
        m().write_register(chip, INT_STAT, 1u << 8);
        m().write_register(chip, I2C, std::uint32_t(addr) << 24 | 0x80);
        byte = std::uint8_t(m().read_register(chip, I2C) >> 8);
        return done_and_ack(chip);
    }
    bool done_and_ack(int chip) {
        const std::uint32_t s = m().read_register(chip, INT_STAT);
        EXPECT_TRUE(s & (1u << 8)) << "I2C done";
        return (s & (1u << 25)) != 0;
    }

    // Routes crosspoint input `camera` to chip `chip`'s capture output (board 1).
    void route(int chip, int camera) {
        ASSERT_TRUE(i2c_write2(1, 0x4C, std::uint8_t(16 * (chip - 1) + (camera - 1))));
    }

    // Geometry as the kernel programs it for PAL at w x h, in COLOR_FMT `format`.
    void program_pal(int chip, int w, int h, std::uint32_t format) {
        const bool interlaced = 288 < h;
        const int shift = interlaced ? 0 : 1;
        std::uint32_t vscale = std::uint32_t(512 - (576 >> shift) * 512 / h) & 0x1FFF;
        const std::uint32_t crop = ((576 >> 4) & 0x30) | ((std::uint32_t(w) >> 8) & 0x03);
        m().write_register(chip, IFORM, 0x43);
        for (std::uint32_t base : {ODD, 0u}) {
            m().write_register(chip, E_VSCALE_HI + base, 0x20 | (vscale >> 8));
            m().write_register(chip, E_VSCALE_LO + base, vscale & 0xFF);
            m().write_register(chip, E_HACTIVE_LO + base, std::uint32_t(w) & 0xFF);
            m().write_register(chip, E_VACTIVE_LO + base, 576 & 0xFF);
            m().write_register(chip, E_CROP + base, crop);
        }
        m().write_register(chip, COLOR_FMT, format * 0x11);
        m().write_register(chip, COLOR_CTL, 0x10);
    }

    // Starts the DMA at `start` with both fields captured.
    void start_dma(int chip, PhysAddr start) {
        m().write_register(chip, RISC_STRT_ADD, start);
        m().write_register(chip, CAP_CTL, 0x03);
        m().write_register(chip, GPIO_DMA_CTL, 0xAC | 0x03);
    }

    tolm_test::ScopedManualClock clock_{1000};
    std::unique_ptr<Machine> m_;
};

} // namespace machine::test
