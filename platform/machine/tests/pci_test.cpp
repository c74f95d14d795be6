// PCI configuration space as the kernel driver's scan and bring-up use it.
#include "machine_fixture.h"

namespace machine::test {
namespace {

std::uint32_t read32(Machine& m, unsigned dev, unsigned fn, unsigned off) {
    std::uint32_t v = 0;
    EXPECT_EQ(m.pci_read(0, dev, fn, off, &v, 4), 4u);
    return v;
}

TEST(Pci, ScanFindsBoardsChipsAndBridges) {
    MachineConfig cfg;
    cfg.boards.resize(2);
    cfg.boards[0].chips = {{0x036E, 0x11}, {0x036F, 0x12}};
    cfg.boards[1].chips = {{0x0350, 0x11}};
    Machine m(cfg);
    ASSERT_EQ(m.chip_count(), 3);

    // The kernel's walk: function 0 without the multi-function bit ends the device.
    std::vector<std::uint32_t> found;
    for (unsigned dev = 0; dev < 32; ++dev) {
        for (unsigned fn = 0; fn < 8; ++fn) {
            const std::uint32_t id = read32(m, dev, fn, 0);
            if ((id & 0xFFFF) != 0xFFFF) {
                found.push_back(dev << 16 | fn << 8);
                found.push_back(id);
            }
            std::uint8_t header = 0;
            m.pci_read(0, dev, fn, 0x0E, &header, 1);
            if (fn == 0 && (id & 0xFFFF) != 0xFFFF && !(header & 0x80)) {
                break;
            }
        }
    }
    const std::vector<std::uint32_t> expected = {
        0x000000, 0x7FFF8086,                       // plain host bridge
        0x080000, 0x036E109E, 0x080100, 0x036F109E, // board 1: functions 0 and 1
        0x090000, 0x0350109E,                       // board 2: one chip
        0x1E0000, 0x244E8086,                       // the tuned host bridge
    };
    EXPECT_EQ(found, expected);
    std::uint8_t header = 0;
    m.pci_read(0, 8, 1, 0x0E, &header, 1);
    EXPECT_EQ(header, 0x80);
    m.pci_read(0, 9, 0, 0x0E, &header, 1);
    EXPECT_EQ(header, 0x00);
    EXPECT_EQ(m.chip_location(2).function, 1u);
    EXPECT_EQ(m.chip_location(3).device, 9u);

    std::uint8_t buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(m.pci_read(1, 0, 0, 0, buf, 4), 0u) << "bus 1 returns no data";
}

TEST(Pci, ChipHeaderAndWritableFields) {
    Machine m;
    EXPECT_EQ(read32(m, 8, 0, 0x04) & 0xFFFF, 0x0002u);
    EXPECT_EQ(read32(m, 8, 0, 0x08), 0x04000011u) << "class 0x040000, revision 0x11";
    EXPECT_EQ(read32(m, 8, 0, 0x0C), 0x00804000u) << "latency 0x40, multi-function";
    EXPECT_EQ(read32(m, 8, 0, 0x10), 0xE0000000u);
    EXPECT_EQ(read32(m, 8, 3, 0x10), 0xE0003000u);
    EXPECT_EQ(read32(m, 8, 0, 0x3C), 0x2810010Bu) << "line 11, INTA#, Min_Gnt, Max_Lat";
    EXPECT_EQ(m.chip_interrupt_line(4), 11u);

    // BAR sizing.
    std::uint32_t all = 0xFFFFFFFF;
    m.pci_write(0, 8, 1, 0x10, &all, 4);
    EXPECT_EQ(read32(m, 8, 1, 0x10), 0xFFFFF000u);
    std::uint32_t bar = 0xE8001000;
    m.pci_write(0, 8, 1, 0x10, &bar, 4);
    EXPECT_TRUE(m.is_register_space(0xE8001FFC));
    EXPECT_FALSE(m.is_register_space(0xE0001000));

    // A block write of the header it read back changes only writable fields.
    std::uint8_t header[64];
    m.pci_read(0, 8, 0, 0, header, 64);
    std::uint8_t changed[64];
    std::memset(changed, 0x77, sizeof changed);
    changed[4] = 0x06;
    changed[5] = 0x01;
    changed[0x0D] = 0;
    m.pci_write(0, 8, 0, 0, changed, 64);
    std::uint8_t after[64];
    m.pci_read(0, 8, 0, 0, after, 64);
    EXPECT_EQ(after[0], header[0]);
    EXPECT_EQ(after[2], header[2]);
    EXPECT_EQ(after[4] | after[5] << 8, 0x0106);
    EXPECT_EQ(after[0x0D], 0);
    EXPECT_EQ(after[0x0C], 0x77);
    EXPECT_EQ(after[0x3C], 0x77);
    EXPECT_EQ(after[0x3D], 1);
    EXPECT_EQ(after[0x10] | after[0x11] << 8, 0x7000) << "BAR0 bits 11-0 stay 0";
    std::uint32_t beyond = 0;
    m.pci_read(0, 8, 0, 0x40, &beyond, 4);
    EXPECT_EQ(beyond, 0u);
}

TEST(Pci, BridgeDwordAndAbsentBridge) {
    MachineConfig cfg;
    cfg.bridge_dword50 = 0x12345678;
    {
        Machine m(cfg);
        ASSERT_TRUE(m.bridge_location().has_value());
        EXPECT_EQ(read32(m, 0x1E, 0, 0x50), 0x12345678u);
        const std::uint32_t v = 0x12345678 | 6;
        m.pci_write(0, 0x1E, 0, 0x50, &v, 4);
        EXPECT_EQ(read32(m, 0x1E, 0, 0x50), 0x1234567Eu);
        std::uint16_t low = 0;
        m.pci_read(0, 0x1E, 0, 0x52, &low, 2);
        EXPECT_EQ(low, 0x1234);
    }
    cfg.bridge_fitted = false;
    Machine m(cfg);
    EXPECT_FALSE(m.bridge_location().has_value());
    EXPECT_EQ(read32(m, 0x1E, 0, 0), 0xFFFFFFFFu);
    const std::uint32_t v = 0xAB;
    m.pci_write(0, 0, 0, 0x50, &v, 4);
    EXPECT_EQ(read32(m, 0, 0, 0x50), 0xABu) << "the plain bridge's dword is storage";
}

} // namespace
} // namespace machine::test
