// Mapped register windows: plain loads and stores through the mapping reach the register
// handlers, with their side effects.
#include <atomic>

#include "machine_fixture.h"

namespace machine::test {
namespace {

#if defined(__x86_64__)

TEST_F(MachineTest, LoadsAndStoresThroughAMappedWindowReachTheRegisters) {
    enable_pci(1);
    auto* regs = static_cast<volatile std::uint32_t*>(m().map_physical(0xE0000000, 4096));
    ASSERT_NE(regs, nullptr);
    EXPECT_EQ(regs[IFORM / 4], 0x58u);
    regs[SAT_U_LO / 4] = 256;
    EXPECT_EQ(m().read_register(1, SAT_U_LO), 0u) << "8-bit register";
    regs[INT_MASK / 4] = 0x000C0933;
    EXPECT_EQ(m().read_register(1, INT_MASK), 0x000C0933u);
    regs[SRESET / 4] = 0; // side effect: software reset
    EXPECT_EQ(m().read_register(1, INT_MASK), 0u);

    // Instructions with a memory operand, as compilers emit them for volatile accesses.
    volatile std::uint32_t* mask = &regs[INT_MASK / 4];
    std::uint32_t value = 0x100;
    asm volatile("movl %1, %0" : "=m"(*mask) : "r"(value));
    asm volatile("orl $0x2, %0" : "+m"(*mask));
    asm volatile("orl %1, %0" : "+m"(*mask) : "r"(0x800u));
    EXPECT_EQ(m().read_register(1, INT_MASK), 0x902u);
    asm volatile("andl $0xFFFFFEFF, %0" : "+m"(*mask));
    EXPECT_EQ(m().read_register(1, INT_MASK), 0x802u);
    unsigned char zero = 0;
    asm volatile("testl $0x800, %1; setz %0" : "=r"(zero) : "m"(*mask) : "cc");
    EXPECT_EQ(zero, 0);
    asm volatile("cmpl $0x802, %1; setz %0" : "=r"(zero) : "m"(*mask) : "cc");
    EXPECT_EQ(zero, 1);
    std::uint32_t sum = 1;
    asm volatile("addl %1, %0" : "+r"(sum) : "m"(*mask) : "cc");
    EXPECT_EQ(sum, 0x803u);
    asm volatile("testl %2, %1; setz %0" : "=r"(zero) : "m"(*mask), "r"(0x1000u) : "cc");
    EXPECT_EQ(zero, 1);
    std::uint64_t wide = 0xFFFFFFFF00000000ull;
    asm volatile("movl %1, %k0" : "+r"(wide) : "m"(*mask));
    EXPECT_EQ(wide, 0x802u) << "a 32-bit load zero-extends";
    std::uint32_t byte = 0;
    asm volatile("movzbl %1, %0"
                 : "=r"(byte)
                 : "m"(*reinterpret_cast<volatile std::uint8_t*>(&regs[IFORM / 4])));
    EXPECT_EQ(byte, 0x58u);
    EXPECT_EQ(m().fault_count(FaultKind::RegisterWidth), 1u) << "the byte read is recorded";

    // A store that raises the line runs the interrupt handler, which reads through the view too.
    // The handler runs inside the store instruction, so what it shares with the interrupted code
    // is shared as with any interrupt handler (here an atomic).
    std::atomic<int> calls{0};
    m().attach_interrupt(11, [&] {
        ++calls;
        const std::uint32_t s = regs[INT_STAT / 4] & regs[INT_MASK / 4];
        regs[INT_STAT / 4] = s;
        return s != 0;
    });
    regs[INT_MASK / 4] = 1u << 8;
    regs[I2C / 4] = 0x4C000080;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(regs[INT_STAT / 4] & (1u << 8), 0u);

    m().unmap_physical(const_cast<std::uint32_t*>(regs));
}

TEST_F(MachineTest, MapPhysicalOfRamIsTheHostMemory) {
    MemoryBlock b = m().allocate(8192);
    EXPECT_EQ(m().map_physical(b.phys + 16, 100), static_cast<char*>(b.host) + 16);
    EXPECT_EQ(m().map_physical(0x3FFF0000, 4), nullptr);
    m().free(b.phys);
}

TEST(RegisterViewDeath, OtherFaultsStillCrash) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Machine m;
            ASSERT_NE(m.map_physical(0xE0000000, 4096), nullptr);
            *static_cast<volatile int*>(nullptr) = 1;
        },
        "");
}

#endif

} // namespace
} // namespace machine::test
