// Picture controls, decoder registers by offset and the PCI host bridge through the library.
#include "board_fixture.h"

namespace boardctl_test {
namespace {

class PictureTest : public BoardTest {
protected:
    std::uint32_t reg(std::uint32_t offset) { return hw().read_register(1, offset); }
};

TEST_F(PictureTest, SaturationKeepsBrightnessAndContrast) {
    bring_up();
    const std::uint32_t bright = reg(0x028), contrast = reg(0x030);
    const std::uint32_t contrast_msb = reg(0x02C) & 0x4;
    struct Case {
        LONG value;
        std::uint32_t u_lo, v_lo, msbs; // CONTROL bit 1 = U bit 8, bit 0 = V bit 8
    };
    for (const Case c : {Case{200, 0x90, 0x1B, 3}, Case{127, 0xFE, 0xB4, 0}, Case{0, 0, 0, 0},
                         Case{255, 0xFE, 0x69, 3}, Case{300, 0xFE, 0x69, 3}, Case{-5, 0, 0, 0}}) {
        lib().TarvoSetSaturation(c.value, 0);
        EXPECT_EQ(reg(0x034), c.u_lo) << c.value;
        EXPECT_EQ(reg(0x038), c.v_lo) << c.value;
        EXPECT_EQ(reg(0x02C) & 3, c.msbs) << c.value;
        EXPECT_EQ(reg(0x0AC) & 3, c.msbs) << c.value;
        EXPECT_EQ(reg(0x028), bright);
        EXPECT_EQ(reg(0x030), contrast);
        EXPECT_EQ(reg(0x02C) & 0x4, contrast_msb);
    }
}

TEST_F(PictureTest, ContrastBrightnessAndHueKeepTheRest) {
    bring_up();
    lib().TarvoSetSaturation(200, 0);
    lib().TarvoSetContrast(255, 0);
    EXPECT_EQ(reg(0x030), 0xFEu);
    EXPECT_EQ(reg(0x02C) & 0x7, 0x7u);
    lib().TarvoSetBrightness(128, 0);
    EXPECT_EQ(reg(0x028), 0u);
    EXPECT_EQ(reg(0x034), 0x90u);
    lib().TarvoSetHue(0x80, 0);
    lib().TarvoSetHue(300, 1);
    EXPECT_EQ(reg(0x03C), 0x80u);
    EXPECT_EQ(hw().read_register(2, 0x03C), 0xFFu);
    EXPECT_EQ(reg(0x034), 0x90u);
}

TEST_F(PictureTest, DecoderRegistersByOffset) {
    bring_up();
    lib().WriteDecoder(0x40, 0x20, 0);
    lib().WriteDecoder(0xC0, 0x21, 0);
    EXPECT_EQ(reg(0x040), 0x20u);
    EXPECT_EQ(reg(0x0C0), 0x21u);
    BYTE value = 0;
    lib().ReadDecoder(0xC0, &value, 0);
    EXPECT_EQ(value, 0x21);
    lib().ReadDecoder(0xC3, &value, 0); // inside the same register
    EXPECT_EQ(value, 0x21);
    // Outside the decoder's registers nothing is read or written.
    const std::uint32_t mask = reg(0x104);
    lib().WriteDecoder(0x104, 0xFF, 0);
    EXPECT_EQ(reg(0x104), mask);
    value = 9;
    lib().ReadDecoder(0x100, &value, 0);
    EXPECT_EQ(value, 0);
    lib().ReadDecoder(0x40, nullptr, 0);
}

TEST_F(PictureTest, HostBridgeValue) {
    bring_up(one_board(1));
    EXPECT_EQ(lib().TarvoIsBridge(), 1);
    const machine::PciLocation at = *hw().bridge_location();
    const std::uint32_t start = 0x12345680;
    hw().pci_write(at.bus, at.device, at.function, 0x50, &start, 4);
    EXPECT_EQ(lib().TarvoReadBridgePCIInfo(), start);
    lib().TarvoWriteBridgePCIInfo(start | 6);
    std::uint32_t now = 0;
    hw().pci_read(at.bus, at.device, at.function, 0x50, &now, 4);
    EXPECT_EQ(now, start | 6);
}

TEST_F(PictureTest, WithoutTheTunedBridge) {
    bring_up(one_board(1, false));
    EXPECT_EQ(lib().TarvoIsBridge(), 0);
    EXPECT_EQ(lib().TarvoReadBridgePCIInfo(), 0u);
}

} // namespace
} // namespace boardctl_test
