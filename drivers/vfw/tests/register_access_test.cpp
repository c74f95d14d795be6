// Direct decoder-register access through the register window, on a plain block of words.
#include "device_requests.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarvovfw {
namespace {

class RegisterAccess : public ::testing::Test {
protected:
    RegisterAccess() { copy().register_window = reinterpret_cast<std::uintptr_t>(regs_); }
    ~RegisterAccess() override { copy().register_window = 0; }
    DWORD& reg(DWORD offset) { return regs_[offset / 4]; }

    DWORD regs_[1024] = {};
};

TEST_F(RegisterAccess, WithoutAWindowReadsComeFromAllOnesAndNothingIsWritten) {
    copy().register_window = 0;
    EXPECT_EQ(read_register(kHue), 0xFFFFFFFFu);
    EXPECT_EQ(get_input_mux(), 3);
    EXPECT_EQ(get_video_standard(), 7);
    EXPECT_EQ(get_cable_format(), 1);
    EXPECT_EQ(get_brightness(), 127);
    EXPECT_EQ(get_contrast(), 255);
    set_brightness(10);
    set_video_standard(3);
    for (DWORD w : regs_) {
        ASSERT_EQ(w, 0u);
    }
}

TEST_F(RegisterAccess, ContrastUsesTheHighBitInBothControlRegisters) {
    set_contrast(255);
    EXPECT_EQ(reg(kContrastLo), 0xFEu);
    EXPECT_EQ(reg(kEControl) & 4, 4u);
    EXPECT_EQ(reg(kOControl) & 4, 4u);
    EXPECT_EQ(get_contrast(), 255);
    set_contrast(0);
    EXPECT_EQ(reg(kEControl) & 4, 0u);
    EXPECT_EQ(get_contrast(), 0);
}

TEST_F(RegisterAccess, SaturationUnderPalAndSecam) {
    reg(kIForm) = 3;
    set_saturation(128);
    EXPECT_EQ(reg(kSatULo) & 0xFF, 0x00u); // su = 256
    EXPECT_EQ(reg(kSatVLo) & 0xFF, 181u);  // sv = 181
    EXPECT_EQ(reg(kEControl) & 3, 2u);
    EXPECT_EQ(reg(kOControl) & 3, 2u);
    EXPECT_EQ(get_saturation(), 128);
    reg(kIForm) = 6; // SECAM keeps the value under its own scale pair
    set_video_standard(6);
    EXPECT_EQ(get_saturation(), 128);
}

TEST_F(RegisterAccess, VideoStandards) {
    reg(kDStatus) = 0x10; // a 625-line signal
    reg(kIForm) = 0x60;
    EXPECT_EQ(set_video_standard(0), 0);
    EXPECT_EQ(reg(kIForm), 0x63u);
    EXPECT_EQ(reg(kADelay), 127u);
    EXPECT_EQ(reg(kBDelay), 114u);
    EXPECT_EQ(reg(kEVScaleHi) & 0x40, 0x40u);
    EXPECT_EQ(set_video_standard(6), 0);
    EXPECT_EQ(reg(kBDelay), 160u);
    EXPECT_EQ(reg(kOVScaleHi) & 0x40, 0u);
    EXPECT_EQ(set_video_standard(1), 0);
    EXPECT_EQ(reg(kADelay), 112u);
    EXPECT_EQ(reg(kBDelay), 93u);
    DWORD before[1024];
    std::memcpy(before, regs_, sizeof before);
    EXPECT_EQ(set_video_standard(9), 1);
    EXPECT_EQ(set_video_standard(-1), 1);
    EXPECT_EQ(std::memcmp(before, regs_, sizeof before), 0);
}

TEST_F(RegisterAccess, InputCableAndBrightness) {
    reg(kIForm) = 0x9F;
    set_input_mux(2, 0);
    EXPECT_EQ(reg(kIForm), 0xDFu);
    EXPECT_EQ(get_input_mux(), 2);
    set_cable_format(true);
    EXPECT_EQ(reg(kEControl) & 0xC0, 0x40u);
    EXPECT_EQ(reg(kAdc) & 2, 0u);
    EXPECT_EQ(get_cable_format(), 1);
    set_cable_format(false);
    EXPECT_EQ(reg(kOControl) & 0xC0, 0x80u);
    EXPECT_EQ(reg(kAdc) & 2, 2u);
    set_brightness(0);
    EXPECT_EQ(reg(kBright), 0x80u);
    EXPECT_EQ(get_brightness(), 0);
    DWORD dump[kDumpWords];
    reg(0x120) = 0x5A;
    dump_registers(dump);
    EXPECT_EQ(dump[72], 0x5Au);
}

} // namespace
} // namespace tarvovfw
