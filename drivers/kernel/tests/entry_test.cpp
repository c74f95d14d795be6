// Driver entry on several bus layouts: the devices created, the per-device registry record,
// and a clean unload.
#include "driver_fixture.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace tarvo_test {
namespace {

struct Layout {
    const char* name;
    std::vector<int> boards;
    std::optional<platform::nt::Fault> fault;
    LONG fault_status;
    unsigned fault_skip;
    bool loads;
    DWORD load_error; // when it does not load
    int devices;      // devices that open
    // Per device: InstallError, ErrorStatus, InstallInterrupt (-1 = absent).
    std::vector<std::array<long long, 3>> values;
    int first_chip = 1; // the chip (in scan order) that becomes device 0
};

std::vector<Layout> layouts() {
    using F = platform::nt::Fault;
    const long long none = -1;
    return {
        {"no chip", {}, std::nullopt, 0, 0, true, 0, 1, {{none, none, none}}},
        {"one chip", {1}, std::nullopt, 0, 0, true, 0, 1, {{0, none, none}}},
        {"four chips",
         {4},
         std::nullopt,
         0,
         0,
         true,
         0,
         4,
         {{0, none, none}, {0, none, none}, {0, none, none}, {0, none, none}}},
        {"two boards",
         {2, 1},
         std::nullopt,
         0,
         0,
         true,
         0,
         3,
         {{0, none, none}, {0, none, none}, {0, none, none}}},
        // The tables hold ten chips: the eleventh and twelfth are left alone.
        {"twelve chips",
         {4, 4, 4},
         std::nullopt,
         0,
         0,
         true,
         0,
         10,
         std::vector<std::array<long long, 3>>(10, {0, none, none})},
        // A chip that does not exist for the HAL is skipped and the next chip takes its number;
        // the value written for the skipped chip is overwritten by the next one.
        {"missing chip skipped",
         {2},
         F::AssignSlotResources,
         static_cast<LONG>(kDeviceDoesNotExist),
         0,
         true,
         0,
         1,
         {{0, 0xC00000C0, none}},
         2},
        {"resource failure",
         {2},
         F::AssignSlotResources,
         static_cast<LONG>(kInsufficientResources),
         1,
         false,
         error_of(0xC000009A),
         0,
         {{0, none, none}, {1002, 0xC000009A, none}}},
        {"interrupt failure on device 1",
         {4},
         F::ConnectInterrupt,
         static_cast<LONG>(kInsufficientResources),
         1,
         false,
         error_of(0xC000009A),
         0,
         {{0, none, none}, {1004, 0xC000009A, 11}}},
        {"no interrupt vector",
         {1},
         F::InterruptVector,
         0,
         0,
         false,
         error_of(0xC0000001),
         0,
         {{1004, 0xC0000001, 11}}},
        {"register mapping failure",
         {1},
         F::MapIoSpace,
         0,
         0,
         false,
         error_of(0xC000009A),
         0,
         {{1006, 0xC000009A, none}}},
    };
}

void PrintTo(const Layout& l, std::ostream* os) {
    *os << l.name;
}

class EntryTest : public DriverTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(EntryTest, CreatesDevicesAndRecordsTheOutcome) {
    const Layout& l = GetParam();
    make_machine(BoardsOf(l.boards));
    if (l.fault) {
        platform::nt::inject_fault(*l.fault, l.fault_status, l.fault_skip, 1);
    }
    DWORD error = 0;
    ASSERT_EQ(start(&error), l.loads) << error;
    if (!l.loads) {
        EXPECT_EQ(error, l.load_error);
        // A driver that did not load left nothing behind: no interrupt, no pool, no device.
        const auto reports = platform::nt::unload_reports();
        ASSERT_FALSE(reports.empty());
        EXPECT_TRUE(reports.back().clean());
    }
    for (int n = 0; n < 12; ++n) {
        HANDLE h = open(n);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, n < l.devices) << "device " << n;
        if (h != INVALID_HANDLE_VALUE && !l.boards.empty()) {
            // Devices follow the scan order: device n is the chip whose header it reads.
            TARVO_BOARD_INFO info{};
            ASSERT_TRUE(ioctl(h, IOCTL_TARVO_READ_PCI_CONFIG, nullptr, 0, &info, sizeof info).ok);
            const machine::PciLocation at = hw().chip_location(n + l.first_chip);
            std::uint8_t header[64];
            hw().pci_read(at.bus, at.device, at.function, 0, header, 64);
            EXPECT_EQ(std::memcmp(info.config, header, 64), 0) << "device " << n;
        }
        if (h != INVALID_HANDLE_VALUE) {
            close(h);
        }
    }
    for (std::size_t n = 0; n < l.values.size(); ++n) {
        const char* names[3] = {"InstallError", "ErrorStatus", "InstallInterrupt"};
        for (int v = 0; v < 3; ++v) {
            const auto value = device_value(static_cast<int>(n), names[v]);
            if (l.values[n][v] < 0) {
                EXPECT_FALSE(value.has_value()) << "device " << n << " " << names[v];
            } else {
                ASSERT_TRUE(value.has_value()) << "device " << n << " " << names[v];
                EXPECT_EQ(*value, static_cast<DWORD>(l.values[n][v]))
                    << "device " << n << " " << names[v];
            }
        }
    }
    if (l.loads) {
        stop_and_check_clean();
        // The chips the driver took are quiet after unload: register window off, line released.
        for (int chip = 1; chip <= std::min(hw().chip_count(), 10); ++chip) {
            const machine::PciLocation at = hw().chip_location(chip);
            std::uint16_t command = 0;
            hw().pci_read(at.bus, at.device, at.function, 4, &command, 2);
            EXPECT_EQ(command & 2, 0) << "chip " << chip;
            EXPECT_FALSE(hw().line_asserted(hw().chip_interrupt_line(chip)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EntryTest, ::testing::ValuesIn(layouts()), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return n;
});

// An allocation failing at any step of the bring-up of two chips: the driver either loads or
// fails cleanly (nothing left behind), and a failure among the chip buffers reads 1005.
TEST_F(DriverTest, AllocationFailureAtEveryStepLeavesNothingBehind) {
    bool saw_buffers = false;
    int loads_in_a_row = 0; // past the last allocation of the bring-up every load succeeds
    for (unsigned skip = 0; loads_in_a_row < 10; ++skip) {
        make_machine(BoardsOf({2}));
        platform::nt::inject_fault(platform::nt::Fault::PoolAllocation,
                                   static_cast<LONG>(kInsufficientResources), skip, 1);
        DWORD error = 0;
        if (start(&error)) {
            stop_and_check_clean();
            TearDown();
            ++loads_in_a_row;
            continue;
        }
        loads_in_a_row = 0;
        const auto reports = platform::nt::unload_reports();
        ASSERT_FALSE(reports.empty()) << skip;
        EXPECT_TRUE(reports.back().clean()) << "allocation " << skip;
        for (int n = 0; n < 2; ++n) {
            if (device_value(n, "InstallError") == 1005u) {
                saw_buffers = true;
            }
        }
        TearDown();
        ASSERT_LT(skip, 400u);
    }
    EXPECT_TRUE(saw_buffers);
}

// A device without hardware serves only the register-window request (answer 0) and the opens.
TEST_F(DriverTest, DeviceWithoutHardwareAnswersOnlyMapRegisters) {
    make_machine(BoardsOf({}));
    ASSERT_TRUE(start());
    HANDLE h = open(0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    TARVO_REGISTER_WINDOW window = 1;
    const Reply r = ioctl(h, IOCTL_TARVO_MAP_REGISTERS, &window, 4, &window, sizeof window);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(window, 0u);
    EXPECT_TRUE(hw().io_granted());
    std::uint32_t word = 0;
    for (std::uint32_t code :
         {IOCTL_TARVO_READ_REG, IOCTL_TARVO_IS_BRIDGE, IOCTL_TARVO_NULL, IOCTL_TARVO_STREAM_INIT}) {
        const Reply bad = ioctl(h, code, &word, 4, &word, 4);
        EXPECT_FALSE(bad.ok);
        EXPECT_EQ(bad.error, error_of(kInvalidParameter));
        EXPECT_EQ(bad.bytes, 0u);
    }
    close(h);
    stop_and_check_clean();
}

// Every open maps its own register window; closing one leaves the other working, and after
// unload no window is left mapped.
TEST_F(DriverTest, EachOpenHasItsOwnViews) {
    make_machine(BoardsOf({1}));
    ASSERT_TRUE(start());
    HANDLE a = open(0);
    HANDLE b = open(0);
    TARVO_REGISTER_WINDOW wa = 0, wb = 0;
    ASSERT_TRUE(ioctl(a, IOCTL_TARVO_MAP_REGISTERS, &wa, 4, &wa, sizeof wa).ok);
    ASSERT_TRUE(ioctl(b, IOCTL_TARVO_MAP_REGISTERS, &wb, 4, &wb, sizeof wb).ok);
    ASSERT_NE(wa, 0u);
    ASSERT_NE(wb, 0u);
    EXPECT_NE(wa, wb);
    auto* regs_b = reinterpret_cast<volatile std::uint32_t*>(wb);
    // COLOR_FMT through the process's view reaches the chip.
    platform::nt::write_register32(regs_b + 0xD4 / 4, 0x44);
    EXPECT_EQ(hw().read_register(1, 0xD4), 0x44u);
    close(a);
    EXPECT_FALSE(platform::nt::is_register_window(reinterpret_cast<void*>(wa)));
    EXPECT_TRUE(platform::nt::is_register_window(reinterpret_cast<void*>(wb)));
    EXPECT_EQ(platform::nt::read_register32(regs_b + 0xD4 / 4), 0x44u);
    close(b);
    EXPECT_FALSE(platform::nt::is_register_window(reinterpret_cast<void*>(wb)));
    stop_and_check_clean();
}

} // namespace
} // namespace tarvo_test
