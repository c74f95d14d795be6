// machine.ini: defaults, a full description, and errors naming the line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/config.h"
#include "machine/machine.h"
#include "system_root.h"

namespace machine {
namespace {

TEST(MachineConfig, MissingFileGivesTheDefaultMachine) {
    const tolm_test::TempSystemRoot root("tolm-machine-cfg");
    const MachineConfig cfg = load_config();
    ASSERT_EQ(cfg.boards.size(), 1u);
    EXPECT_EQ(cfg.boards[0].chips.size(), 4u);
    EXPECT_EQ(cfg.boards[0].chips[0].device_id, 0x036E);
    for (const CameraConfig& c : cfg.boards[0].cameras) {
        EXPECT_TRUE(c.connected);
        EXPECT_EQ(c.lines, 625);
    }
    EXPECT_TRUE(cfg.bridge_fitted);
    Machine m(cfg);
    EXPECT_EQ(m.chip_count(), 4);
}

TEST(MachineConfig, ParsesAFullDescription) {
    const char* text = R"(; two boards
[Machine]
bridge = 0
bridge_dword50 = 0x10
pll_lock_ms = 5
crosspoint_busy_ms = 2

[board1]
chips = 0x036E, 0x036F
revision = 0x12
relay_address = 0x72   ; alternative
sensor_address = 0x75
relay_bus = 2

[camera1.3]
connected = 0
[camera2.16] ; before its board section is fine
lines = 525
object = 1000, 5000, 100, 200, 150, 150, 800, 200
object = 0, 10, 1, 2, 3, 4

[board2]
chips = 0x0350

[faults]
i2c_nack = 3, 2
error_bits = 1, 0x4000
)";
    const MachineConfig cfg = parse_config(text);
    EXPECT_FALSE(cfg.bridge_fitted);
    EXPECT_EQ(cfg.bridge_dword50, 0x10u);
    EXPECT_EQ(cfg.pll_lock_ms, 5u);
    EXPECT_EQ(cfg.crosspoint_busy_ms, 2u);
    ASSERT_EQ(cfg.boards.size(), 2u);
    ASSERT_EQ(cfg.boards[0].chips.size(), 2u);
    EXPECT_EQ(cfg.boards[0].chips[1].device_id, 0x036F);
    EXPECT_EQ(cfg.boards[0].chips[1].revision, 0x12);
    EXPECT_EQ(cfg.boards[0].relay_address, 0x72);
    EXPECT_EQ(cfg.boards[0].sensor_address, 0x75);
    EXPECT_EQ(cfg.boards[0].relay_bus, 2);
    EXPECT_FALSE(cfg.boards[0].cameras[2].connected);
    const CameraConfig& c = cfg.boards[1].cameras[15];
    EXPECT_EQ(c.lines, 525);
    ASSERT_EQ(c.objects.size(), 2u);
    EXPECT_EQ(c.objects[0].end_x, 800);
    EXPECT_EQ(c.objects[1].end_x, 1) << "without an end point the object stands still";
    ASSERT_EQ(cfg.faults.i2c_nack.size(), 1u);
    EXPECT_EQ(cfg.faults.i2c_nack[0].chip, 3);
    ASSERT_EQ(cfg.faults.error_bits.size(), 1u);

    // Injected error bits latch at the chip's first field.
    Machine m(cfg);
    m.step();
    EXPECT_EQ(m.read_register(1, 0x100) & 0xFF000, 0x4000u);
    EXPECT_EQ(m.fault_count(FaultKind::Injected), 1u);
}

TEST(MachineConfig, BadLinesAreNamed) {
    struct Case {
        const char* text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"[machine]\nbridge = 2\n", 2, "out of range"},
        {"[machine]\n\nfoo = 1\n", 3, "unknown key 'foo'"},
        {"bridge = 1\n", 1, "outside a section"},
        {"[board1]\nchips = 0x1234\n", 2, "device id"},
        {"[board1]\nchips = 1,2,3,4,5\n", 2, "expected 1 to 4 values"},
        {"[board9]\n", 1, "out of range"},
        {"[camera1.17]\n", 1, "out of range"},
        {"[camera1]\n", 1, "[cameraB.I]"},
        {"[camera1.1]\nlines = 600\n", 2, "625 or 525"},
        {"[camera1.1]\nobject = 1, 2, 3\n", 2, "expected 6 to 8 values"},
        {"[camera1.1]\nobject = 0, 1, 0, 0, 2000, 10\n", 2, "per mille"},
        {"[nonsense]\n", 1, "unknown section"},
        {"[machine\n", 1, "without ']'"},
        {"[machine]\nbridge\n", 2, "key = value"},
        {"[machine]\npll_lock_ms = 1x\n", 2, "not a number"},
        {"[faults]\ni2c_hang = 5\n[board1]\n", 2, "chip 5 does not exist"},
        {"[faults]\nerror_bits = 1, 0x100\n", 2, "bits 12 to 19"},
        {"[camera1.1]\n[camera2.1]\nlines = 525\n", 2, "board 2 has no [board2] section"},
        {"[machine]\nboards = 1\n[board2]\n", 2, "[board2] is described"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            parse_config(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const ConfigError& e) {
            EXPECT_EQ(e.line(), c.line);
            const std::string what = e.what();
            EXPECT_NE(what.find("machine.ini:" + std::to_string(c.line) + ": "), std::string::npos)
                << what;
            EXPECT_NE(what.find(c.says), std::string::npos) << what;
        }
    }
}

TEST(MachineConfig, AMachineWithoutBoards) {
    const MachineConfig cfg = parse_config("[machine]\nboards = 0\n");
    EXPECT_TRUE(cfg.boards.empty());
    Machine m(cfg);
    EXPECT_EQ(m.chip_count(), 0);
    std::uint16_t id = 0;
    m.pci_read(0, 8, 0, 0, &id, 2);
    EXPECT_EQ(id, 0xFFFF);
    m.step(); // nothing to run
}

TEST(MachineConfig, LoadsFromTheSystemRootCaseInsensitively) {
    const tolm_test::TempSystemRoot root("tolm-machine-cfg");
    {
        std::ofstream out(root.path() / "Machine.INI");
        out << "[board1]\nchips = 0x0351\n";
    }
    EXPECT_EQ(load_config().boards[0].chips.size(), 1u);
    install_machine(nullptr);
    EXPECT_EQ(the_machine().chip_count(), 1);
    install_machine(nullptr);
}

} // namespace
} // namespace machine
