// GPIO through the library: mode, output enable, data bits, and the board's reset and ready
// lines.
#include "board_fixture.h"

namespace boardctl_test {
namespace {

class GpioTest : public BoardTest {};

// The station's start-up: mode 0, line 9 the only output, a 1, 0, 1 pulse on it.
TEST_F(GpioTest, ResetPulseOnLineNineReachesTheBoard) {
    bring_up();
    for (LONG chip = 0; chip < 4; ++chip) {
        ASSERT_NE(lib().GPIOIsInitOK(chip), 0) << chip;
    }
    const int chip = 2; // kernel device 1
    lib().SetGPIOMODE(0, chip - 1);
    lib().SetGPOE(0x200, chip - 1);
    EXPECT_EQ(hw().read_register(chip, 0x118), 0x200u);
    LONG ready = -1;
    lib().SetGPDATABits(9, 9, 1, 0, chip - 1);
    EXPECT_EQ(hw().reset_pulses(chip), 0u);
    lib().SetGPDATABits(9, 9, 0, 0, chip - 1);
    lib().GetGPDATABits(8, 8, &ready, 0, chip - 1);
    EXPECT_EQ(ready, 1) << "devices report ready while held in reset";
    lib().SetGPDATABits(9, 9, 1, 0, chip - 1);
    EXPECT_EQ(hw().reset_pulses(chip), 1u);
    lib().GetGPDATABits(8, 8, &ready, 0, chip - 1);
    EXPECT_EQ(ready, 0);
    for (int other : {1, 3, 4}) {
        EXPECT_EQ(hw().reset_pulses(other), 0u) << other;
    }
}

TEST_F(GpioTest, DataBitsChangeOnlyTheirField) {
    bring_up();
    lib().SetGPOE(0xF0F200, 0);
    lib().SetGPDATABits(9, 9, 1, 0, 0);
    lib().SetGPDATABits(23, 20, 0x1B, 0, 0); // cut to the field's four bits
    lib().SetGPDATABits(15, 12, 0xA, 0, 0);
    LONG value = -1;
    lib().GetGPDATABits(15, 12, &value, 0, 0);
    EXPECT_EQ(value, 0xA);
    lib().GetGPDATABits(23, 20, &value, 0, 0);
    EXPECT_EQ(value, 0xB);
    EXPECT_EQ(lib().GetGPDATA(0), 0xB0A200u);
    // Ranges outside the 24 lines or upside down change and read nothing.
    lib().SetGPDATABits(24, 20, 0, 0, 0);
    lib().SetGPDATABits(12, 15, 0, 0, 0);
    value = 77;
    lib().GetGPDATABits(3, 4, &value, 0, 0);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(lib().GetGPDATA(0), 0xB0A200u);
    // An absent chip reads as undriven lines.
    lib().GetGPDATABits(8, 8, &value, 0, 7);
    EXPECT_EQ(value, 1);
}

TEST_F(GpioTest, ModeAndInterruptBitsKeepTheDmaControl) {
    bring_up();
    const std::uint32_t before = hw().read_register(1, 0x10C);
    lib().SetGPIOMODE(2, 0);
    lib().SetGPINTI(1, 0);
    EXPECT_EQ(hw().read_register(1, 0x10C), before | (2u << 11) | (1u << 14));
    EXPECT_EQ(lib().GetGPINTI(0), 1);
    EXPECT_EQ(lib().GetGPINTC(0), 0);
    lib().SetGPIOMODE(0, 0);
    lib().SetGPINTI(0, 0);
    EXPECT_EQ(hw().read_register(1, 0x10C), before);
}

} // namespace
} // namespace boardctl_test
