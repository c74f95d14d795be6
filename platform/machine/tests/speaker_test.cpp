// The PC speaker ports and the kernel's I/O grant.
#include "machine_fixture.h"

namespace machine::test {
namespace {

TEST_F(MachineTest, PortsAreRefusedWithoutTheGrant) {
    EXPECT_EQ(m().port_in(0x61), 0xFF);
    m().port_out(0x43, 0xB6);
    EXPECT_EQ(m().fault_count(FaultKind::PortNotGranted), 2u);
    m().set_io_granted(true);
    EXPECT_EQ(m().port_in(0x61), 0x00);
    m().port_out(0x80, 1);
    EXPECT_EQ(m().fault_count(FaultKind::PortUnmodelled), 1u);
}

TEST_F(MachineTest, SpeakerRecordsTones) {
    m().set_io_granted(true);
    auto on = [&](unsigned hz) {
        const unsigned divisor = 1190000 / hz;
        m().port_out(0x43, 0xB6);
        m().port_out(0x42, std::uint8_t(divisor));
        m().port_out(0x42, std::uint8_t(divisor >> 8));
        m().port_out(0x61, std::uint8_t(m().port_in(0x61) | 3));
    };
    auto off = [&] { m().port_out(0x61, std::uint8_t(m().port_in(0x61) & 0xFC)); };
    on(2000);
    EXPECT_EQ(m().port_in(0x61), 3);
    platform::clock::advance(150);
    on(1000); // a new divisor during a tone starts a new entry
    platform::clock::advance(50);
    off();
    const std::vector<Tone> tones = m().tones();
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].divisor, 595u);
    EXPECT_NEAR(tones[0].frequency(), 2005.3, 0.05);
    EXPECT_EQ(tones[0].start_tick, 1000u);
    EXPECT_EQ(tones[0].stop_tick, 1150u);
    EXPECT_EQ(tones[1].divisor, 1190u);
    EXPECT_FALSE(tones[1].sounding);
    EXPECT_EQ(tones[1].stop_tick, 1200u);

    // Gate and enable alone make no sound without both bits; a zero divisor means 65536.
    m().clear_tones();
    m().port_out(0x61, 1);
    m().port_out(0x43, 0xB6);
    m().port_out(0x42, 0);
    m().port_out(0x42, 0);
    EXPECT_TRUE(m().tones().empty());
    m().port_out(0x61, 3);
    ASSERT_EQ(m().tones().size(), 1u);
    EXPECT_EQ(m().tones()[0].divisor, 65536u);
    EXPECT_TRUE(m().tones()[0].sounding);
}

} // namespace
} // namespace machine::test
