// Hardware-mode I2C through the library reaches the board's devices, and every failure leaves
// its code for I2CGetLastError.
#include "board_fixture.h"

#include "win32/sysinfo.h"

#include <functional>

namespace boardctl_test {
namespace {

constexpr LONG kCrosspoint = 0x4C;
constexpr LONG kDac = 0x48;
constexpr LONG kRelays = 0x42;
constexpr LONG kSensorsLow = 0x45;
constexpr LONG kSensorsHigh = 0x47;
constexpr LONG kChip1 = 0, kChip4 = 3; // the crosspoint and DAC bus, the relay and sensor bus

class I2cTest : public BoardTest {};

TEST_F(I2cTest, CrosspointRoutesCaptureAndMonitorOutputsAndReadsBack) {
    bring_up();
    ASSERT_NE(lib().I2CIsInitOK(kChip1), 0);
    ASSERT_EQ(lib().I2CInitHWMode(100000, kChip1), 0);
    struct Case {
        bool monitor;
        int output, camera;
    };
    for (const Case c :
         {Case{false, 1, 7}, Case{false, 4, 16}, Case{true, 1, 1}, Case{true, 3, 12}}) {
        const BYTE byte =
            static_cast<BYTE>((c.monitor ? 0x40 : 0) + 16 * (c.output - 1) + (c.camera - 1));
        ASSERT_EQ(lib().I2CHWWrite2(kCrosspoint, byte, kChip1), 0);
        hw().step(); // a switch takes effect at the next field start
        const int routed =
            c.monitor ? hw().monitor_route(1, c.output) : hw().capture_route(1, c.output);
        EXPECT_EQ(routed, c.camera) << (c.monitor ? "monitor " : "capture ") << c.output;
        BYTE back = 0;
        ASSERT_EQ(lib().I2CHWRead(kCrosspoint + 1, &back, kChip1), 0);
        EXPECT_EQ(back, byte);
    }
    EXPECT_EQ(lib().I2CGetLastError(kChip1), 0);
}

TEST_F(I2cTest, DacSetsTheLevelOfEachCaptureOutput) {
    bring_up();
    const int levels[4] = {0, 17, 32, 63};
    for (int k = 1; k <= 4; ++k) {
        ASSERT_EQ(lib().I2CHWWrite3(kDac, static_cast<BYTE>(0xF0 + k - 1),
                                    static_cast<BYTE>(levels[k - 1]), kChip1),
                  0);
    }
    hw().step();
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(hw().dac_level(1, k), levels[k - 1]) << "output " << k;
    }
}

TEST_F(I2cTest, RelayByteAndSensorInputs) {
    bring_up();
    for (BYTE byte : {BYTE(0x5A), BYTE(0x00), BYTE(0xFF)}) {
        ASSERT_EQ(lib().I2CHWWrite2(kRelays, byte, kChip4), 0);
        EXPECT_EQ(hw().relay_byte(1), byte);
    }
    // Inputs 1, 8 (low byte) and 9, 16 (high byte) open circuit to 0, the rest stay 1.
    for (int input : {1, 8, 9, 16}) {
        hw().set_sensor(1, input, false);
    }
    BYTE low = 0, high = 0;
    ASSERT_EQ(lib().I2CHWRead(kSensorsLow, &low, kChip4), 0);
    ASSERT_EQ(lib().I2CHWRead(kSensorsHigh, &high, kChip4), 0);
    EXPECT_EQ(high * 256 + low, 0x7E7E);
}

// The transaction's end is found both while the I2C-done bit stays latched (no capture yet) and
// once the driver's interrupt takes it into its status mask; another chip's bits in that shared
// mask are kept.
TEST_F(I2cTest, CompletesWithAndWithoutTheDriversInterrupt) {
    bring_up();
    HANDLE device = open_device(0);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    std::uint32_t other_chip = 3u << 4; // device 2's done and acknowledge bits
    ASSERT_TRUE(ioctl(device, IOCTL_TARVO_SET_I2C_STATUS, &other_chip, 4, nullptr, 0));
    for (bool interrupt : {false, true}) {
        hw().write_register(1, 0x104, interrupt ? 0x100u : 0u);
        ASSERT_EQ(lib().I2CHWWrite2(kCrosspoint, 5, kChip1), 0) << interrupt;
        EXPECT_EQ(lib().I2CHWWrite2(0x50, 1, kChip1), TARVO_I2C_NO_ACK) << interrupt;
        BYTE back = 0;
        ASSERT_EQ(lib().I2CHWRead(kCrosspoint, &back, kChip1), 0) << interrupt;
        EXPECT_EQ(back, 5);
        EXPECT_EQ(hw().read_register(1, 0x100) & 0x100, 0u) << "done left latched";
        std::uint32_t mask = 0;
        ASSERT_TRUE(ioctl(device, IOCTL_TARVO_GET_I2C_STATUS, nullptr, 0, &mask, 4));
        EXPECT_EQ(mask, other_chip) << interrupt;
    }
}

TEST_F(I2cTest, EveryFailureLeavesItsCode) {
    bring_up(one_board(2));
    BYTE byte = 0;
    // An absent device, then a success, which keeps the last failure.
    EXPECT_EQ(lib().I2CHWWrite2(0x50, 1, kChip1), TARVO_I2C_NO_ACK);
    EXPECT_EQ(lib().I2CGetLastError(kChip1), TARVO_I2C_NO_ACK);
    EXPECT_EQ(lib().I2CHWRead(0x51, &byte, kChip1), TARVO_I2C_NO_ACK);
    ASSERT_EQ(lib().I2CHWWrite2(kCrosspoint, 0, kChip1), 0);
    EXPECT_EQ(lib().I2CGetLastError(kChip1), TARVO_I2C_NO_ACK);

    const Library& l = lib();
    struct Case {
        const char* what;
        LONG chip;
        SHORT code;
        std::function<LONG()> call;
    };
    const Case cases[] = {
        {"address 0", kChip1, TARVO_I2C_BAD_ARGUMENT, [&] { return l.I2CHWWrite2(0, 1, kChip1); }},
        {"address 256", kChip1, TARVO_I2C_BAD_ARGUMENT,
         [&] { return l.I2CHWWrite3(256, 1, 2, kChip1); }},
        {"no value pointer", kChip1, TARVO_I2C_BAD_ARGUMENT,
         [&] { return l.I2CHWRead(kCrosspoint, nullptr, kChip1); }},
        {"frequency", kChip1, TARVO_I2C_BAD_ARGUMENT,
         [&] { return l.I2CInitHWMode(1000000, kChip1); }},
        {"software mode", kChip1, TARVO_I2C_NOT_SUPPORTED, [&] { return l.I2CInitSWMode(kChip1); }},
        {"bit-banging", 1, TARVO_I2C_NOT_SUPPORTED, [&] { return l.I2CSWSetSDA(0, 1); }},
        {"chip not fitted", 2, TARVO_I2C_NO_DEVICE,
         [&] { return l.I2CHWWrite2(kCrosspoint, 0, 2); }},
        {"chip index 4", 4, TARVO_I2C_NO_DEVICE, [&] { return l.I2CHWWrite2(kCrosspoint, 0, 4); }},
        {"chip index -1", -1, TARVO_I2C_NO_DEVICE,
         [&] { return l.I2CHWRead(kCrosspoint, &byte, -1); }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), c.code) << c.what;
        EXPECT_EQ(l.I2CGetLastError(c.chip), c.code) << c.what;
    }
    EXPECT_EQ(lib().I2CIsInitOK(2), 0);
    EXPECT_EQ(lib().I2CIsInitOK(1), 1);
    EXPECT_EQ(hw().fault_count(), 0u) << "software mode touched the bus";
}

// Without the kernel driver every chip answers as unusable and nothing fails harder; once the
// driver runs, the next call opens the device.
TEST_F(I2cTest, WithoutTheDriverNothingIsUsableUntilItRuns) {
    bring_up(one_board(4), false);
    EXPECT_EQ(lib().I2CIsInitOK(0), 0);
    EXPECT_EQ(lib().GPIOIsInitOK(0), 0);
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 1, kChip1), TARVO_I2C_NO_DEVICE);
    EXPECT_EQ(lib().I2CGetLastError(kChip1), TARVO_I2C_NO_DEVICE);
    EXPECT_EQ(lib().TarvoIsBridge(), 0);
    lib().TarvoReadAllRegs(0);
    LONG a[16], o[16], n[16];
    EXPECT_EQ(lib().TarvoCompareRegs(a, o, n, 0), 0);
    start_driver();
    EXPECT_EQ(lib().I2CIsInitOK(0), 1);
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 1, kChip1), 0);
    EXPECT_EQ(lib().TarvoIsBridge(), 1);
}

TEST_F(I2cTest, InjectedFaultsHungBusAndBusInReset) {
    bring_up();
    hw().inject_i2c_nack(1, 1);
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 3, kChip1), TARVO_I2C_NO_ACK);
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 3, kChip1), 0);

    // While line 9 holds the devices in reset nothing answers.
    lib().SetGPOE(0x200, kChip1);
    lib().SetGPDATABits(9, 9, 0, 0, kChip1);
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 4, kChip1), TARVO_I2C_BUS_IN_RESET);
    lib().SetGPDATABits(9, 9, 1, 0, kChip1);
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 4, kChip1), 0);

    // A hung bus times out (the manual clock moves with the library's waits) until a reset
    // pulse on line 9 frees it.
    hw().inject_i2c_hang(1);
    const std::uint32_t before = GetTickCount();
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 5, kChip1), TARVO_I2C_TIMEOUT);
    EXPECT_LE(GetTickCount() - before, 20u);
    EXPECT_EQ(lib().I2CGetLastError(kChip1), TARVO_I2C_TIMEOUT);
    lib().SetGPDATABits(9, 9, 0, 0, kChip1);
    lib().SetGPDATABits(9, 9, 1, 0, kChip1);
    EXPECT_EQ(lib().I2CHWWrite2(kCrosspoint, 5, kChip1), 0);
    hw().step();
    EXPECT_EQ(hw().capture_route(1, 1), 6);
}

} // namespace
} // namespace boardctl_test
