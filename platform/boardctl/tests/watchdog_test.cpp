// The register and DMA-program snapshots: a change behind the snapshot is reported once; status
// registers and the library's own writes are not reported.
#include "board_fixture.h"

#include <array>
#include <vector>

namespace boardctl_test {
namespace {

class WatchdogTest : public BoardTest {
protected:
    struct Entry {
        LONG address, old_value, new_value;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> compare_regs(LONG chip) {
        std::array<LONG, 16> a{}, o{}, n{};
        const SHORT count = lib().TarvoCompareRegs(a.data(), o.data(), n.data(), chip);
        EXPECT_GE(count, 0);
        EXPECT_LE(count, 16);
        std::vector<Entry> out;
        for (SHORT i = 0; i < count; ++i) {
            out.push_back({a[i], o[i], n[i]});
        }
        return out;
    }
};

TEST_F(WatchdogTest, ChangeBehindTheSnapshotIsReportedOnce) {
    bring_up();
    EXPECT_TRUE(compare_regs(0).empty()) << "nothing to compare before a snapshot";
    lib().TarvoReadAllRegs(0);
    const LONG old_adc = static_cast<LONG>(hw().read_register(1, 0x068));
    hw().write_register(1, 0x068, 0x55);
    EXPECT_EQ(compare_regs(0), (std::vector<Entry>{{0x068, old_adc, 0x55}}));
    EXPECT_TRUE(compare_regs(0).empty());
    hw().write_register(1, 0x068, old_adc);
    EXPECT_EQ(compare_regs(0), (std::vector<Entry>{{0x068, 0x55, old_adc}}));
}

TEST_F(WatchdogTest, StatusAndTheLibrarysOwnWritesAreLeftOut) {
    bring_up();
    lib().TarvoReadAllRegs(0);
    const std::uint32_t status = hw().read_register(1, 0x000);
    // A camera on the chip's input changes DSTATUS at the next field.
    ASSERT_EQ(lib().I2CHWWrite2(0x4C, 2, 0), 0);
    hw().step_fields(2);
    ASSERT_NE(hw().read_register(1, 0x000), status);
    lib().TarvoSetHue(0x90, 0);
    lib().TarvoSetSaturation(200, 0);
    lib().WriteDecoder(0x6C, 1, 0);
    lib().WriteDecoder(0xEC, 1, 0);
    EXPECT_TRUE(compare_regs(0).empty());
    EXPECT_EQ(hw().read_register(1, 0x03C), 0x90u);
}

TEST_F(WatchdogTest, MoreThanSixteenDifferencesComeInLaterComparisons) {
    bring_up();
    lib().TarvoReadAllRegs(1);
    std::vector<LONG> offsets;
    for (LONG offset = 0x004; offset <= 0x03C; offset += 4) {
        offsets.push_back(offset);
    }
    for (LONG offset = 0x0E0; offset <= 0x0F0; offset += 4) {
        offsets.push_back(offset);
    }
    std::vector<Entry> expected;
    for (LONG offset : offsets) {
        const auto reg = static_cast<std::uint32_t>(offset);
        const auto old_value = static_cast<LONG>(hw().read_register(2, reg));
        hw().write_register(2, reg, static_cast<std::uint32_t>(old_value ^ 0x5A));
        expected.push_back({offset, old_value, static_cast<LONG>(hw().read_register(2, reg))});
    }
    ASSERT_GT(expected.size(), 16u);
    const std::vector<Entry> first = compare_regs(1);
    const std::vector<Entry> second = compare_regs(1);
    EXPECT_EQ(first, std::vector<Entry>(expected.begin(), expected.begin() + 16));
    EXPECT_EQ(second, std::vector<Entry>(expected.begin() + 16, expected.end()));
    EXPECT_TRUE(compare_regs(1).empty());
    EXPECT_TRUE(compare_regs(0).empty()) << "chip 1 has no snapshot";
}

// The driver's dump of the DMA program is all zeros, so its comparison finds nothing.
TEST_F(WatchdogTest, ProgramSnapshotComparesTheDriversDump) {
    bring_up();
    std::vector<LONG> a(4096), o(4096), n(4096);
    EXPECT_EQ(lib().TarvoCompareRisc(a.data(), o.data(), n.data(), 0), 0);
    lib().TarvoReadRisc(0);
    EXPECT_EQ(lib().TarvoCompareRisc(a.data(), o.data(), n.data(), 0), 0);
    EXPECT_EQ(lib().TarvoCompareRisc(nullptr, o.data(), n.data(), 0), 0);
}

} // namespace
} // namespace boardctl_test
