// What an interrupt handler sees and changes: the field-end interrupt arrives before the engine
// fetches on, so a handler that re-points the master sends the next frame elsewhere; deferred
// work runs after each round of handlers.
#include <atomic>

#include "machine_fixture.h"

namespace machine::test {
namespace {

// Even and odd field programs of a 384 x 288 Y8 frame (odd field only, lines bottom-up, one
// 512-byte row per line so no line crosses a page), ending at the master's words 6 / 12.
struct Frame {
    Frame(Machine& m, PhysAddr master) : rows(m.allocate(512 * 288)), even(m), odd(m), m_(m) {
        even.emit(kSyncFm1);
        even.emit(kJumpEvenEnd, master + 24);
        odd.emit(kSyncFm1);
        for (int r = 287; r >= 0; --r) {
            odd.emit(kWriteLine + 384, rows.phys + PhysAddr(r) * 512);
        }
        odd.emit(kJumpOddEnd, master + 48);
    }
    ~Frame() { m_.free(rows.phys); }
    const std::uint8_t* row(int r) const {
        return static_cast<const std::uint8_t*>(rows.host) + r * 512;
    }
    MemoryBlock rows;
    Program even, odd;
    Machine& m_;
};

TEST_F(MachineTest, HandlerRepointsTheMasterBeforeTheEngineFetchesOn) {
    enable_pci(1);
    route(1, 4);
    program_pal(1, 384, 288, 6);
    Program master(m());
    const PhysAddr w0 = master.base();
    Frame a(m(), w0), b(m(), w0);
    master.emit(kSyncVre);
    master.emit(0x70700000, w0 + 16);
    master.emit(0x70E00000, w0 + 24); // not interlaced: no even target
    master.emit(kSyncVro);
    master.emit(kJump, w0 + 40);
    master.emit(0x70800000, a.odd.base());
    master.emit(kJump, w0);

    // The handler: on the odd-field end (RISCI with status bit 1, INT_STAT bit 29) it moves
    // the odd target to frame b and counts frames.
    std::atomic<int> frames{0};
    std::atomic<int> deferred{0};
    m().attach_interrupt(11, [&] {
        const std::uint32_t s = m().read_register(1, INT_STAT);
        const std::uint32_t pending = s & m().read_register(1, INT_MASK);
        if (!pending) {
            return false;
        }
        m().write_register(1, INT_STAT, pending);
        if ((pending & (1u << 11)) && (s & (1u << 29))) {
            ++frames;
            master.word(w0 + 40)[1] = b.odd.base();
        }
        return true;
    });
    m().set_after_interrupts([&] { ++deferred; });
    m().write_register(1, INT_MASK, 0x000C0933);
    start_dma(1, w0);
    m().step_fields(3); // odd (waited out), even, odd -> frame a
    EXPECT_EQ(frames.load(), 1);
    EXPECT_NE(a.row(100)[100], 0) << "a written (luma is never below 16)";
    EXPECT_EQ(b.row(100)[100], 0) << "b not yet";
    std::memset(const_cast<std::uint8_t*>(a.row(0)), 0x33, 512 * 288);
    m().step_fields(2); // even, odd -> frame b
    EXPECT_EQ(frames.load(), 2);
    EXPECT_NE(b.row(100)[100], 0);
    EXPECT_EQ(a.row(100)[100], 0x33) << "a untouched";
    EXPECT_GE(deferred.load(), 5) << "at least one round of handlers per field (VSYNC)";
    EXPECT_EQ(m().fault_count(), 0u);
}

TEST_F(MachineTest, AdcOverflowsLatchUntilWrittenZero) {
    enable_pci(1);
    m().inject_adc_overflow(1, true, true);
    EXPECT_EQ(m().read_register(1, DSTATUS) & 3, 3u);
    m().write_register(1, DSTATUS, 0x01); // clears LOF only
    EXPECT_EQ(m().read_register(1, DSTATUS) & 3, 1u);
    m().write_register(1, DSTATUS, 0);
    EXPECT_EQ(m().read_register(1, DSTATUS) & 3, 0u);
}

TEST(FaultsFromConfig, NackAndHangApply) {
    MachineConfig cfg =
        parse_config("[faults]\ni2c_nack = 1, 1\ni2c_hang = 2\ncrosspoint_readback = 1\n");
    Machine m(cfg);
    auto transact = [&](int chip, std::uint32_t value) {
        m.write_register(chip, INT_STAT, 1u << 8);
        m.write_register(chip, I2C, value);
        return m.read_register(chip, INT_STAT) & ((1u << 8) | (1u << 25));
    };
    EXPECT_EQ(transact(1, 0x4C050080), 1u << 8) << "done, no acknowledge";
    EXPECT_EQ(transact(1, 0x4C050080), (1u << 8) | (1u << 25));
    EXPECT_EQ(transact(1, 0x4D000080), (1u << 8) | (1u << 25));
    EXPECT_NE((m.read_register(1, I2C) >> 8) & 0xFF, 0x05u) << "read-back differs";
    EXPECT_EQ(transact(2, 0x42000080), 0u) << "hung: no done";
}

} // namespace
} // namespace machine::test
