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
    platform::clock::use_manual(0);
    Machine m;
    m.start();
    platform::clock::advance(100);
    for (int i = 0; i < 200 && m.field_count(1) < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m.stop();
    EXPECT_EQ(m.field_count(1), 5u);
    platform::clock::use_real();
}

} // namespace
} // namespace machine::test
