// Register side effects: reset values, write-one-to-clear, the interrupt line, the PLL lock bit,
// status bits following the camera on the chip's input.
#include "machine_fixture.h"

namespace machine::test {
namespace {

TEST_F(MachineTest, SoftwareResetRestoresDefaults) {
    struct Reg {
        std::uint32_t offset, reset;
    };
    const Reg regs[] = {{IFORM, 0x58},        {E_CROP, 0x12},
                        {E_CROP + ODD, 0x12}, {E_VACTIVE_LO, 0xE0},
                        {E_HACTIVE_LO, 0x80}, {CONTRAST_LO, 0xD8},
                        {SAT_U_LO, 0xFE},     {0x038, 0xB4},
                        {E_VSCALE_HI, 0x60},  {0x068, 0x82},
                        {COLOR_FMT, 0x33},    {COLOR_CTL, 0x10},
                        {CAP_CTL, 0},         {INT_MASK, 0},
                        {GPIO_DMA_CTL, 0},    {I2C, 3},
                        {GPIO_OUT_EN, 0},     {GPIO_DATA + 0x40, 0x200},
                        {0x124, 0},           {PLL_XCI, 0}};
    enable_pci(1);
    for (const Reg& r : regs) {
        m().write_register(1, r.offset, 0x5A);
    }
    m().write_register(1, INT_MASK, 0xFFFFF);
    m().inject_error_bits(1, 0x1000);
    ASSERT_TRUE(m().line_asserted(11));
    m().write_register(1, SRESET, 0);
    for (const Reg& r : regs) {
        EXPECT_EQ(m().read_register(1, r.offset), r.reset) << std::hex << r.offset;
    }
    EXPECT_EQ(m().read_register(1, INT_STAT) & 0xFFFFF, 0u);
    EXPECT_FALSE(m().line_asserted(11));
    EXPECT_EQ(m().read_register(1, DSTATUS) & 0x04, 0u) << "PLOCK cleared";
}

TEST_F(MachineTest, DecoderRegistersKeepEightBitsAndReadsHaveNoEffect) {
    enable_pci(1);
    m().write_register(1, SAT_U_LO, 256);
    EXPECT_EQ(m().read_register(1, SAT_U_LO), 0u);
    m().write_register(1, 0x108, 0x12345678); // plain 32-bit storage above 0x100
    EXPECT_EQ(m().read_register(1, 0x108), 0x12345678u);
    m().write_register(1, 0x300, 1);
    EXPECT_EQ(m().read_register(1, 0x300), 0u);
    m().step();
    std::vector<std::uint32_t> first, second;
    for (std::uint32_t off = 0; off <= 0x120; off += 4) {
        first.push_back(m().read_register(1, off));
    }
    for (std::uint32_t off = 0; off <= 0x120; off += 4) {
        second.push_back(m().read_register(1, off));
    }
    EXPECT_EQ(first, second) << "a register dump changes nothing";
}

TEST_F(MachineTest, InterruptStatusIsWriteOneToClear) {
    enable_pci(1);
    m().step(); // VSYNC latches, odd field
    const std::uint32_t s = m().read_register(1, INT_STAT);
    EXPECT_TRUE(s & (1u << 1));
    EXPECT_TRUE(s & (1u << 24)) << "odd field";
    m().write_register(1, INT_STAT, 0); // zero leaves everything
    EXPECT_EQ(m().read_register(1, INT_STAT), s);
    m().write_register(1, INT_STAT, 0xFF000000); // status bits ignore writes
    EXPECT_EQ(m().read_register(1, INT_STAT), s);
    m().write_register(1, INT_STAT, 1u << 1);
    EXPECT_EQ(m().read_register(1, INT_STAT) & 0xFFFFF, 0u);
    m().step();
    EXPECT_FALSE(m().read_register(1, INT_STAT) & (1u << 24)) << "even field";
}

TEST_F(MachineTest, LineFollowsStatusAndMaskAndHandlersRunAfterTheEvent) {
    enable_pci(1);
    enable_pci(2);
    int calls = 0;
    std::uint32_t seen = 0;
    const int id = m().attach_interrupt(11, [&] {
        ++calls;
        const std::uint32_t status = m().read_register(2, INT_STAT);
        const std::uint32_t pending = status & m().read_register(2, INT_MASK);
        if (pending == 0) {
            return false;
        }
        seen |= pending;
        m().write_register(2, INT_STAT, pending);
        return true;
    });
    m().step();
    EXPECT_EQ(calls, 0) << "nothing enabled";
    EXPECT_FALSE(m().line_asserted(11));

    m().write_register(2, INT_MASK, 1u << 1); // VSYNC, already latched: the line rises now
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, 1u << 1);
    EXPECT_FALSE(m().line_asserted(11));

    // I2C done raised inside a register write: delivered once the write is over (the handler
    // itself reads and writes registers).
    m().write_register(2, INT_MASK, 1u << 8);
    m().write_register(2, I2C, 0x4C000080);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(seen & (1u << 8));

    // Chip 1 shares the line; masked status of chip 1 keeps it low.
    m().step();
    EXPECT_FALSE(m().line_asserted(11));
    m().detach_interrupt(id);
    m().write_register(1, INT_MASK, 1u << 1);
    EXPECT_TRUE(m().line_asserted(11)) << "held until cleared or masked";
    m().write_register(1, INT_MASK, 0);
    EXPECT_FALSE(m().line_asserted(11));
}

TEST_F(MachineTest, InterruptStormIsRecorded) {
    enable_pci(1);
    int calls = 0;
    m().attach_interrupt(11, [&] {
        ++calls;
        return true; // claims but never clears
    });
    m().write_register(1, INT_MASK, 1u << 1);
    m().step();
    EXPECT_EQ(calls, 1000);
    EXPECT_EQ(m().fault_count(FaultKind::InterruptStorm), 1u);
}

TEST_F(MachineTest, PllLockBitClearsAfterItsDelay) {
    enable_pci(1);
    // The kernel's PAL programming, then its lock loop: write 0, sleep 100 ms while PLOCK reads 1.
    m().write_register(1, PLL_F_LO, 0xF9);
    m().write_register(1, PLL_F_HI, 0xDC);
    m().write_register(1, PLL_XCI, 0x8E);
    int rounds = 0;
    while (m().read_register(1, DSTATUS) & 0x04) {
        ASSERT_LT(++rounds, 10);
        m().write_register(1, DSTATUS, 0);
        platform::clock::sleep(100);
    }
    EXPECT_EQ(rounds, 2);

    m().write_register(1, PLL_XCI, 0x8E);
    platform::clock::advance(29);
    m().write_register(1, DSTATUS, 0);
    EXPECT_TRUE(m().read_register(1, DSTATUS) & 0x04) << "still out of lock at 29 ms";
    platform::clock::advance(1);
    EXPECT_TRUE(m().read_register(1, DSTATUS) & 0x04) << "latched until written 0";
    m().write_register(1, DSTATUS, 0x04); // writing 1 does nothing
    EXPECT_TRUE(m().read_register(1, DSTATUS) & 0x04);
    m().write_register(1, DSTATUS, 0);
    EXPECT_FALSE(m().read_register(1, DSTATUS) & 0x04);

    // Taking the clock from an unlocked PLL is caught at the next field start.
    m().write_register(1, PLL_XCI, 0x8E);
    m().write_register(1, TGCTRL, 0x08);
    m().step();
    EXPECT_EQ(m().fault_count(FaultKind::PllClockBad), 1u);
    platform::clock::advance(30);
    m().step();
    EXPECT_EQ(m().fault_count(FaultKind::PllClockBad), 1u);
}

TEST_F(MachineTest, StatusBitsFollowTheCameraOnTheInput) {
    MachineConfig cfg;
    cfg.boards[0].cameras[6].lines = 525;
    cfg.boards[0].cameras[7].connected = false;
    m_ = std::make_unique<Machine>(cfg);
    enable_pci(1);
    m().write_register(1, IFORM, 0x43); // PAL, connector 2
    struct Step {
        int camera;       // routed before the field (0 = no change)
        std::uint32_t ds; // DSTATUS bits 7, 6, 4 after the field
        std::uint32_t ev; // FMTCHG, HLOCK, VPRES latched by the field
    };
    const Step steps[] = {
        {0, 0x00, 0x00}, // power-up: unrouted
        {3, 0xD0, 0x31}, // 625-line camera: present, NUML
        {7, 0xC0, 0x01}, // 525-line camera: NUML drops
        {8, 0x00, 0x30}, // input without a camera
        {1, 0xD0, 0x31},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.camera);
        if (s.camera) {
            route(1, s.camera);
            EXPECT_EQ(m().capture_route(1, 1), s.camera);
        }
        m().write_register(1, INT_STAT, 0xFFFFF);
        m().step();
        EXPECT_EQ(m().read_register(1, DSTATUS) & 0xD0, s.ds);
        EXPECT_EQ(m().read_register(1, INT_STAT) & 0x31, s.ev);
    }
    // Another connector carries no signal.
    m().write_register(1, IFORM, 0x23);
    m().step();
    EXPECT_EQ(m().read_register(1, DSTATUS) & 0xD0, 0u);
}

TEST_F(MachineTest, RegisterAccessOutsideTheRulesIsRecorded) {
    const PhysAddr bar = 0xE0000000;
    EXPECT_EQ(m().mmio_read(bar + 0x004), 0x58u) << "memory space is on at power-up";
    EXPECT_EQ(m().fault_count(), 0u);
    enable_pci(1, 0x0004); // bus master only: memory space off
    EXPECT_EQ(m().mmio_read(bar + 0x004), 0xFFFFFFFFu);
    m().mmio_write(bar + 0x104, 1);
    EXPECT_EQ(m().fault_count(FaultKind::RegisterMemoryOff), 2u);
    enable_pci(1);
    EXPECT_EQ(m().mmio_read(bar + 0x104), 0u) << "the write was ignored";
    EXPECT_EQ(m().mmio_read(bar + 0x005, 1), 0u);
    EXPECT_EQ(m().mmio_read(bar + 0x004, 1), 0x58u);
    m().mmio_write(bar + 0x104, 1, 2);
    EXPECT_EQ(m().fault_count(FaultKind::RegisterWidth), 3u);
    EXPECT_EQ(m().mmio_read(bar + 0x104), 0u);
    EXPECT_EQ(m().mmio_read(0xD0000000), 0xFFFFFFFFu);
    EXPECT_EQ(m().fault_count(FaultKind::RegisterOutside), 1u);
    EXPECT_TRUE(m().is_register_space(bar + 0xFFC));
    EXPECT_FALSE(m().is_register_space(bar + 0x4000 + 0x1000 * 3));
}

TEST_F(MachineTest, RiscEnableShowsInStatusAndErrorsNeedACause) {
    enable_pci(1);
    Program p(m());
    p.emit(kSyncVre);
    p.emit(kJump, p.base());
    start_dma(1, p.base());
    EXPECT_TRUE(m().read_register(1, INT_STAT) & (1u << 27));
    m().step_fields(20);
    EXPECT_EQ(m().read_register(1, INT_STAT) & 0xFF000, 0u) << "no error bit without cause";
    EXPECT_EQ(m().fault_count(), 0u);
    m().write_register(1, GPIO_DMA_CTL, 0xAC);
    EXPECT_FALSE(m().read_register(1, INT_STAT) & (1u << 27));
}

} // namespace
} // namespace machine::test
