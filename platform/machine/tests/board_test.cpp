// The board devices on the chips' I2C buses and the GPIO ready/reset lines.
#include "machine/camera_code.h"
#include "machine_fixture.h"

namespace machine::test {
namespace {

TEST_F(MachineTest, CrosspointRoutesOutputsAndReadsBack) {
    for (int chip = 1; chip <= 4; ++chip) {
        enable_pci(chip);
    }
    std::uint8_t byte = 0;
    ASSERT_TRUE(i2c_read(1, 0x4D, byte));
    EXPECT_EQ(byte, 0xFF) << "before any write";
    struct Write {
        std::uint8_t byte;
        int capture[4], monitor[4];
    };
    const Write writes[] = {
        {0x00 + 4, {5, 0, 0, 0}, {0, 0, 0, 0}},           // chip 1 <- camera 5
        {0x30 + 15, {5, 0, 0, 16}, {0, 0, 0, 0}},         // chip 4 <- camera 16
        {0x40 + 16 * 2 + 1, {5, 0, 0, 16}, {0, 0, 2, 0}}, // monitor 3 <- camera 2
        {0x80 | 0x01, {5, 0, 0, 16}, {0, 0, 2, 0}},       // bit 7: acknowledged and ignored
    };
    for (const Write& w : writes) {
        SCOPED_TRACE(int(w.byte));
        EXPECT_TRUE(i2c_write2(1, 0x4C, w.byte));
        for (int o = 1; o <= 4; ++o) {
            EXPECT_EQ(m().capture_route(1, o), w.capture[o - 1]);
            EXPECT_EQ(m().monitor_route(1, o), w.monitor[o - 1]);
        }
        ASSERT_TRUE(i2c_read(1, 0x4D, byte));
        EXPECT_EQ(byte, w.byte);
    }
    EXPECT_EQ(m().fault_count(FaultKind::CrosspointByte), 1u);
    // The crosspoint sits on chip 1's bus only.
    EXPECT_FALSE(i2c_write2(2, 0x4C, 0x00));
    m().inject_crosspoint_readback(1, true);
    ASSERT_TRUE(i2c_read(1, 0x4D, byte));
    EXPECT_NE(byte, 0x81);
}

TEST_F(MachineTest, CapturedPictureShowsTheRoutedCamera) {
    for (int chip = 1; chip <= 4; ++chip) {
        enable_pci(chip);
        program_pal(chip, 384, 288, 6);
        route(chip, 17 - chip);
    }
    std::vector<MemoryBlock> frames;
    std::vector<std::unique_ptr<Program>> programs;
    for (int chip = 1; chip <= 4; ++chip) {
        frames.push_back(m().allocate(512 * 288)); // 512-byte rows: no line crosses a page
        programs.push_back(std::make_unique<Program>(m()));
        Program& p = *programs.back();
        p.emit(kSyncVro);
        for (int r = 287; r >= 0; --r) {
            p.emit(kWriteLine + 384, frames.back().phys + PhysAddr(r) * 512);
        }
        p.emit(kSyncVre);
        p.emit(kJump, p.base());
        start_dma(chip, p.base());
    }
    m().step_fields(2);
    for (int chip = 1; chip <= 4; ++chip) {
        EXPECT_EQ(read_camera_number(frames[std::size_t(chip - 1)].host, 384, 288, ColorFormat::Y8,
                                     true, 512),
                  17 - chip);
    }
    // A camera that is not connected shows no signal.
    m().set_camera_connected(1, 16, false);
    m().step_fields(2);
    EXPECT_EQ(read_camera_number(frames[0].host, 384, 288, ColorFormat::Y8, true, 512), 0);
    EXPECT_EQ(m().read_register(1, DSTATUS) & 0x80, 0u);
    EXPECT_EQ(m().fault_count(), 0u);
}

TEST_F(MachineTest, DacLevelScalesThePictureFromTheNextField) {
    enable_pci(1);
    program_pal(1, 384, 288, 6);
    route(1, 1);
    MemoryBlock line = m().allocate(kPageSize);
    Program p(m());
    p.emit(kSyncVro);
    for (int i = 0; i < 20; ++i) { // odd line 19 = frame row 39 of 576: inside the code strip
        p.emit(kWriteLine + 384, line.phys);
    }
    p.emit(kSyncVre);
    p.emit(kJump, p.base());
    start_dma(1, p.base());
    const auto* y = static_cast<const std::uint8_t*>(line.host);
    const int white = 48, black = 96; // pixels of code cells 0 and 1
    struct Case {
        int level, white, black;
    };
    // Y' = 16 + (Y - 16) * (96 - level) / 64: white 235, black 16.
    const Case cases[] = {{32, 235, 16}, {63, 129, 16}, {0, 255, 16}, {48, 180, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_TRUE(i2c_write3(1, 0x48, 0xF0, std::uint8_t(c.level)));
        EXPECT_EQ(m().dac_level(1, 1), c.level);
        m().step_fields(2);
        EXPECT_EQ(y[white], c.white);
        EXPECT_EQ(y[black], c.black);
    }
    // Other outputs, other commands, levels above 63, reads.
    EXPECT_TRUE(i2c_write3(1, 0x48, 0xF2, 70));
    EXPECT_EQ(m().dac_level(1, 3), 63);
    EXPECT_EQ(m().fault_count(FaultKind::DacLevel), 1u);
    EXPECT_FALSE(i2c_write3(1, 0x48, 0xE0, 10));
    EXPECT_EQ(m().fault_count(FaultKind::DacCommand), 1u);
    EXPECT_TRUE(i2c_write2(1, 0x48, 0xF1)) << "a write without a level changes nothing";
    EXPECT_EQ(m().dac_level(1, 2), 32);
    std::uint8_t byte;
    EXPECT_FALSE(i2c_read(1, 0x49, byte));
}

TEST_F(MachineTest, RelaysAndSensorsRoundTrip) {
    enable_pci(4);
    EXPECT_EQ(m().relay_byte(1), 0xFF);
    EXPECT_FALSE(m().relay_energised(1, 1));
    ASSERT_TRUE(i2c_write2(4, 0x42, 0xFE)); // relay 1 at level 0: energised
    EXPECT_EQ(m().relay_byte(1), 0xFE);
    EXPECT_TRUE(m().relay_energised(1, 1));
    EXPECT_FALSE(m().relay_energised(1, 2));
    std::uint8_t byte = 0;
    ASSERT_TRUE(i2c_read(4, 0x43, byte));
    EXPECT_EQ(byte, 0xFE);
    ASSERT_TRUE(i2c_write3(4, 0x42, 0x00, 0x7F)); // several bytes: the last wins
    EXPECT_EQ(m().relay_byte(1), 0x7F);

    ASSERT_TRUE(i2c_read(4, 0x45, byte));
    EXPECT_EQ(byte, 0xFF) << "open inputs read 1";
    m().set_sensor(1, 3, false);
    m().set_sensor(1, 12, false);
    ASSERT_TRUE(i2c_read(4, 0x45, byte));
    EXPECT_EQ(byte, 0xFB);
    ASSERT_TRUE(i2c_read(4, 0x47, byte));
    EXPECT_EQ(byte, 0xF7);
    EXPECT_TRUE(i2c_write2(4, 0x44, 0x00)) << "writes are acknowledged and ignored";
    EXPECT_FALSE(m().sensor(1, 3));
    EXPECT_TRUE(m().sensor(1, 4));
    // The alternative addresses answer only when machine.ini selects them.
    EXPECT_FALSE(i2c_write2(4, 0x72, 0x00));
    EXPECT_FALSE(i2c_read(4, 0x75, byte));
}

TEST(BoardVariant, AlternativeAddressesAndBuses) {
    MachineConfig cfg;
    cfg.boards[0].relay_address = 0x72;
    cfg.boards[0].sensor_address = 0x75;
    cfg.boards[0].relay_bus = 2;
    Machine m(cfg);
    const std::uint16_t cmd = 0x0106;
    m.pci_write(0, 8, 1, 4, &cmd, 2);
    m.pci_write(0, 8, 3, 4, &cmd, 2);
    m.write_register(2, I2C, 0x72550080);
    EXPECT_TRUE(m.read_register(2, INT_STAT) & (1u << 25));
    EXPECT_EQ(m.relay_byte(1), 0x55);
    m.write_register(4, I2C, 0x77000080);
    EXPECT_TRUE(m.read_register(4, INT_STAT) & (1u << 25));
    EXPECT_EQ((m.read_register(4, I2C) >> 8) & 0xFF, 0xFFu);
}

TEST_F(MachineTest, AbsentAddressesAndInjectedFailuresGetNoAcknowledge) {
    enable_pci(1);
    EXPECT_FALSE(i2c_write2(1, 0x60, 0x00));
    EXPECT_EQ(m().fault_count(), 0u) << "an absent address is not an error";
    EXPECT_TRUE(i2c_write2(1, 0x4C, 0x00));
    m().inject_i2c_nack(1, 2);
    EXPECT_FALSE(i2c_write2(1, 0x4C, 0x00));
    EXPECT_FALSE(i2c_write2(1, 0x4C, 0x00));
    EXPECT_TRUE(i2c_write2(1, 0x4C, 0x00));
    // NOSTART/NOSTOP and software mode are recorded.
    m().write_register(1, I2C, 0x4C000090);
    EXPECT_FALSE(m().read_register(1, INT_STAT) & (1u << 25));
    m().write_register(1, I2C, 0x00000001);
    EXPECT_EQ(m().read_register(1, I2C) & 3, 1u) << "software mode: lines follow the bits";
    EXPECT_EQ(m().fault_count(FaultKind::I2cStartStop), 1u);
    EXPECT_EQ(m().fault_count(FaultKind::I2cSoftwareMode), 1u);
    // Starting a transaction does not clear a latched done; mode-only writes start nothing.
    m().write_register(1, INT_STAT, 1u << 8);
    m().write_register(1, I2C, 0x83);
    EXPECT_FALSE(m().read_register(1, INT_STAT) & (1u << 8));
    EXPECT_EQ(m().read_register(1, I2C) & 3, 3u);
}

TEST_F(MachineTest, ResetLineHoldsTheBusAndEndsAHang) {
    enable_pci(1);
    auto gpio = [&] { return m().read_register(1, GPIO_DATA); };
    EXPECT_EQ(gpio() & 0x300, 0x200u) << "ready (line 8 low), line 9 pulled up";
    // The station's start-up: mode 0, OE 0x200 (the latch still 0 drives the line low, so the
    // next write already ends one pulse), then 1, 0, 1.
    m().write_register(1, GPIO_OUT_EN, 0x200);
    m().write_register(1, GPIO_DATA, 0x200);
    EXPECT_EQ(m().reset_pulses(1), 1u);
    m().write_register(1, GPIO_DATA, 0x000);
    EXPECT_EQ(gpio() & 0x300, 0x100u) << "held in reset: line 8 busy, line 9 driven low";
    EXPECT_FALSE(i2c_write2(1, 0x4C, 0x00));
    m().write_register(1, GPIO_DATA + 0x7C, 0x200); // any dword of the range
    EXPECT_EQ(m().reset_pulses(1), 2u);
    EXPECT_TRUE(i2c_write2(1, 0x4C, 0x02));
    EXPECT_EQ(m().capture_route(1, 1), 3) << "devices keep their state over a reset";

    m().inject_i2c_hang(1);
    m().write_register(1, INT_STAT, 1u << 8);
    m().write_register(1, I2C, 0x4C000080);
    EXPECT_FALSE(m().read_register(1, INT_STAT) & (1u << 8)) << "hung: no done";
    m().write_register(1, GPIO_DATA, 0x000);
    m().write_register(1, GPIO_DATA, 0x200);
    EXPECT_EQ(m().reset_pulses(1), 3u);
    EXPECT_TRUE(i2c_write2(1, 0x4C, 0x00));
}

TEST(CrosspointBusy, ReadyLineIsBusyAfterAWrite) {
    const tolm_test::ScopedManualClock clock(5000);
    MachineConfig cfg;
    cfg.crosspoint_busy_ms = 5;
    Machine m(cfg);
    m.write_register(1, I2C, 0x4C010080);
    EXPECT_TRUE(m.read_register(1, GPIO_DATA) & 0x100);
    clock.advance(5);
    EXPECT_FALSE(m.read_register(1, GPIO_DATA) & 0x100);
}

} // namespace
} // namespace machine::test
