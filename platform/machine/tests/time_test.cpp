// Field timing: stepped fields move the manual clock exactly; free-running fields follow the
// platform clock on the machine's thread and deliver interrupts there.
#include <atomic>
#include <thread>

#include "machine_fixture.h"

namespace machine::test {
namespace {

TEST_F(MachineTest, SteppedFieldsMoveTheManualClockByTheFieldPeriod) {
    const std::uint32_t start = platform::clock::now();
    m().step_fields(50);
    EXPECT_EQ(platform::clock::now() - start, 1000u) << "PAL: 50 fields per second";
    EXPECT_EQ(m().field_count(1), 50u);

    MachineConfig cfg;
    cfg.boards[0].chips.resize(1);
    m_ = std::make_unique<Machine>(cfg);
    enable_pci(1);
    m().write_register(1, IFORM, 0x41); // NTSC, from the field after the one already due
    m().step();
    const std::uint32_t ntsc = platform::clock::now();
    m().step_fields(60);
    EXPECT_EQ(platform::clock::now() - ntsc, 1001u) << "59.94 fields per second, kept exact";
}

TEST_F(MachineTest, FieldsAlternateOddFirst) {
    std::vector<bool> odd;
    for (int i = 0; i < 4; ++i) {
        m().step();
        odd.push_back((m().read_register(1, DSTATUS) & 0x20) != 0);
    }
    EXPECT_EQ(odd, (std::vector<bool>{true, false, true, false}));
}

TEST(FreeRunning, FieldsRunOnTheMachineThread) {
    platform::clock::use_real();
    Machine m;
    const std::uint16_t cmd = 0x0106;
    m.pci_write(0, 8, 0, 4, &cmd, 2);
    std::atomic<int> vsyncs{0};
    std::atomic<bool> on_other_thread{true};
    const auto test_thread = std::this_thread::get_id();
    m.attach_interrupt(11, [&] {
        const std::uint32_t s = m.read_register(1, 0x100) & m.read_register(1, 0x104);
        if (!s) {
            return false;
        }
        m.write_register(1, 0x100, s);
        if (std::this_thread::get_id() == test_thread) {
            on_other_thread = false;
        }
        ++vsyncs;
        return true;
    });
    m.write_register(1, 0x104, 1u << 1);
    m.start();
    EXPECT_TRUE(m.free_running());
    m.step(); // ignored while free-running
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    m.stop();
    const std::uint64_t fields = m.field_count(1);
    EXPECT_GE(fields, 5u);
    EXPECT_LE(fields, 9u);
    EXPECT_EQ(std::uint64_t(vsyncs.load()), fields);
    EXPECT_TRUE(on_other_thread);
}

TEST(FreeRunning, FollowsAManualClock) {
    const tolm_test::ScopedManualClock clock(0);
    Machine m;
    m.start();
    clock.advance(100);
    for (int i = 0; i < 200 && m.field_count(1) < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m.stop();
    EXPECT_EQ(m.field_count(1), 5u);
}

} // namespace
} // namespace machine::test

namespace machine::test {
namespace {

TEST(FreeRunning, RegisterWritesFromOtherThreadsStartTheEngine) {
    platform::clock::use_real();
    Machine m(quiet({}));
    const std::uint16_t cmd = 0x0106;
    m.pci_write(0, 8, 0, 4, &cmd, 2);
    m.write_register(1, I2C, 0x4C000080); // camera 1 on chip 1
    m.write_register(1, IFORM, 0x43);
    MemoryBlock line = m.allocate(kPageSize);
    Program p(m);
    // Reset geometry: HACTIVE 0x280 (640 pixels), 480 rows; in YUY2 1280 bytes per line.
    p.emit(kSyncVro);
    p.emit(kWriteLine + 1280, line.phys);
    p.emit(kSyncVre);
    p.emit(kJump, p.base());
    m.write_register(1, COLOR_FMT, 0x44);
    m.start();
    std::atomic<bool> stopped_inside{false};
    m.attach_interrupt(11, [&] {
        m.write_register(1, INT_MASK, 0);
        m.stop(); // from a handler on the field thread: must not hang
        stopped_inside = true;
        return true;
    });
    m.write_register(1, RISC_STRT_ADD, p.base());
    m.write_register(1, CAP_CTL, 3);
    m.write_register(1, GPIO_DMA_CTL, 0xAF);
    const auto* bytes = static_cast<const std::uint8_t*>(line.host);
    for (int i = 0; i < 500 && bytes[0] == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(bytes[0], 80) << "luma of camera 1's background";
    m.write_register(1, INT_MASK, 1u << 1);
    for (int i = 0; i < 500 && !stopped_inside; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(stopped_inside.load());
    m.stop();
    m.free(line.phys);
}

} // namespace
} // namespace machine::test
