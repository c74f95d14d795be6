// Every control code with good and bad requests: status, Information, the effect, and no
// register change on a refusal.
#include "stream_client.h"

#include <cstring>
#include <functional>

#include "platform/clock.h"

namespace tarvo_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes words(std::initializer_list<std::uint32_t> values) {
    Bytes out;
    for (std::uint32_t v : values) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    return out;
}

std::uint32_t word_at(const Bytes& b, std::size_t i) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.data() + 4 * i, 4);
    return v;
}

template <typename T> Bytes bytes_of(const T& record) {
    Bytes out(sizeof record);
    std::memcpy(out.data(), &record, sizeof record);
    return out;
}

TARVO_FORMAT format_of(std::uint32_t color, std::uint32_t width, std::uint32_t height) {
    TARVO_FORMAT f{};
    f.size = sizeof f;
    f.colorFormat = color;
    f.width = width;
    f.height = height;
    return f;
}

class ControlTest;
struct Case {
    const char* name;
    std::uint32_t code;
    Bytes input;
    DWORD out_size;       // the output shares the input's buffer, grown to this size
    std::uint32_t status; // NT status
    DWORD information;
    bool unchanged; // no register may change
    std::function<void(ControlTest&, const Bytes&)> check = nullptr;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class ControlTest : public StreamTest, public ::testing::WithParamInterface<Case> {
public:
    machine::Machine& machine() { return hw(); }
    std::uint32_t reg(std::uint32_t offset) { return hw().read_register(1, offset); }
};

std::uint32_t gpio_values[4] = {0x11, 0x22, 0x33, 0x44};

std::vector<Case> cases() {
    const DWORD ptr = sizeof(std::uintptr_t);
    TARVO_GPIO_WRITE gpio_good{2, 1, reinterpret_cast<std::uintptr_t>(&gpio_values[1])};
    TARVO_GPIO_WRITE gpio_bad_pointer{0, 4, 0x10};
    TARVO_GPIO_WRITE gpio_null{0, 1, 0};
    TARVO_GPIO_WRITE gpio_bad_index{64, 1, reinterpret_cast<std::uintptr_t>(gpio_values)};
    TARVO_SOURCE secam{20, 0x12, 6, 2, 0};
    TARVO_SOURCE bad_format{20, 0x34, 9, 1, 1};
    TARVO_COLOR color_max{20, 128, 100, 255, 0};
    TARVO_COLOR color_min{20, 0, 0, 0, 0};
    return {
        {"set_format_yuy2", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(4, 640, 480)), 0, kSuccess,
         0, false,
         [](ControlTest& t, const Bytes&) {
             EXPECT_EQ(t.reg(0x0D4), 0x44u);
             EXPECT_EQ(t.reg(0x01C), 640u & 0xFF);
         }},
        {"set_format_rgb8_dithers", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(7, 320, 240)), 0,
         kSuccess, 0, false,
         [](ControlTest& t, const Bytes&) { EXPECT_EQ(t.reg(0x0DC) & 0x10, 0x10u); }},
        {"set_format_short", IOCTL_TARVO_SET_FORMAT, Bytes(20, 0), 0, kBufferTooSmall, 0, true},
        {"set_format_width_0", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(4, 0, 480)), 0,
         kInvalidParameter, 0, true},
        {"set_format_height_0", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(4, 640, 0x10000)), 0,
         kInvalidParameter, 0, true},
        {"set_format_unknown_format", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(10, 640, 480)), 0,
         kInvalidParameter, 0, true},
        {"set_format_format_16", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(16, 640, 480)), 0,
         kInvalidParameter, 0, true},
        {"set_format_line_of_4096", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(0, 1024, 480)), 0,
         kInvalidParameter, 0, true},
        {"set_format_program_too_long", IOCTL_TARVO_SET_FORMAT, bytes_of(format_of(4, 640, 1100)),
         0, kInvalidParameter, 0, true},
        {"set_source_secam", IOCTL_TARVO_SET_SOURCE, bytes_of(secam), 0, kSuccess, 0, false,
         [](ControlTest& t, const Bytes&) {
             EXPECT_EQ(t.reg(0x03C), 0x12u);
             EXPECT_EQ(t.reg(0x004) & 7, 6u);
             EXPECT_EQ(t.reg(0x064), 0xA0u);
             EXPECT_EQ(t.reg(0x04C) & 0x40, 0u);
         }},
        {"set_source_auto_625_lines", IOCTL_TARVO_SET_SOURCE, words({20, 0, 0, 2, 0}), 0, kSuccess,
         0, false,
         [](ControlTest& t, const Bytes&) {
             EXPECT_EQ(t.reg(0x004) & 7, 3u);
             EXPECT_EQ(t.reg(0x060), 0x7Fu);
             EXPECT_EQ(t.reg(0x064), 0x72u);
         }},
        {"set_source_bad_format_keeps_hue_and_mux", IOCTL_TARVO_SET_SOURCE, bytes_of(bad_format), 0,
         kInvalidParameter1, 0, false,
         [](ControlTest& t, const Bytes&) {
             EXPECT_EQ(t.reg(0x03C), 0x34u);
             EXPECT_EQ((t.reg(0x004) >> 5) & 3, 1u);
             EXPECT_EQ(t.reg(0x02C) & 0xC0, 0x40u); // S-Video: composite bit, no notch
         }},
        {"set_source_short", IOCTL_TARVO_SET_SOURCE, Bytes(16, 0), 0, kBufferTooSmall, 0, true},
        {"set_color_max_contrast", IOCTL_TARVO_SET_COLOR, bytes_of(color_max), 0, kSuccess, 0,
         false,
         [](ControlTest& t, const Bytes&) {
             EXPECT_EQ(t.reg(0x030), 0xFEu);
             EXPECT_EQ(t.reg(0x02C) & 4, 4u);
             EXPECT_EQ(t.reg(0x0AC) & 4, 4u);
             EXPECT_EQ(t.reg(0x028), 0u);
             EXPECT_EQ(t.reg(0x034), 200u);
             EXPECT_EQ(t.reg(0x038), 200u * 180 / 254);
         }},
        {"set_color_zero", IOCTL_TARVO_SET_COLOR, bytes_of(color_min), 0, kSuccess, 0, false,
         [](ControlTest& t, const Bytes&) {
             EXPECT_EQ(t.reg(0x030), 0u);
             EXPECT_EQ(t.reg(0x02C) & 7, 0u);
             EXPECT_EQ(t.reg(0x028), 0x80u);
         }},
        {"set_color_short", IOCTL_TARVO_SET_COLOR, Bytes(19, 0), 0, kBufferTooSmall, 0, true},
        {"get_overlay_mode", IOCTL_TARVO_GET_OVERLAY_MODE, words({0xFFFFFFFF}), 4, kSuccess, 4,
         true, [](ControlTest&, const Bytes& out) { EXPECT_EQ(word_at(out, 0), 0u); }},
        {"get_overlay_mode_short", IOCTL_TARVO_GET_OVERLAY_MODE, {}, 2, kBufferTooSmall, 0, true},
        {"extin_on", IOCTL_TARVO_EXTIN_ON, {}, 0, kSuccess, 0, true},
        {"extin_off", IOCTL_TARVO_EXTIN_OFF, {}, 0, kSuccess, 0, true},
        {"stream_stop", IOCTL_TARVO_STREAM_STOP, {}, 0, kSuccess, 0, true},
        {"stream_reset", IOCTL_TARVO_STREAM_RESET, {}, 0, kSuccess, 0, true},
        {"null", IOCTL_TARVO_NULL, {}, 0, kSuccess, 0, true},
        {"stream_init", IOCTL_TARVO_STREAM_INIT, words({40000}), 4, kSuccess, 4, true,
         [](ControlTest&, const Bytes& out) { EXPECT_EQ(word_at(out, 0), 30000u); }},
        {"stream_init_no_output", IOCTL_TARVO_STREAM_INIT, words({40000}), 0, kSuccess, 0, true},
        {"stream_init_no_buffer", IOCTL_TARVO_STREAM_INIT, {}, 0, kBufferTooSmall, 0, true},
        {"stream_fini_idle",
         IOCTL_TARVO_STREAM_FINI,
         {},
         0,
         kSuccess,
         0,
         false,
         [](ControlTest& t, const Bytes&) { EXPECT_EQ(t.reg(0x104), 0x100u); }},
        {"stream_start", IOCTL_TARVO_STREAM_START, {}, 0, kSuccess, 0, true},
        {"wait_error", IOCTL_TARVO_WAIT_ERROR, words({7}), 4, kSuccess, 4, true,
         [](ControlTest&, const Bytes& out) { EXPECT_EQ(word_at(out, 0), 0u); }},
        {"wait_error_short", IOCTL_TARVO_WAIT_ERROR, {}, 3, kBufferTooSmall, 0, true},
        {"add_buffer_short", IOCTL_TARVO_ADD_BUFFER, Bytes(sizeof(TARVO_BUFFER_HEADER) - 1, 0), 0,
         kBufferTooSmall, 0, true},
        {"read_reg_unaligned", IOCTL_TARVO_READ_REG, words({0x107}), 4, kSuccess, 4, true,
         [](ControlTest& t, const Bytes& out) { EXPECT_EQ(word_at(out, 0), t.reg(0x104)); }},
        {"read_reg_gpio", IOCTL_TARVO_READ_REG, words({0x200}), 4, kSuccess, 4, true},
        {"read_reg_outside_window", IOCTL_TARVO_READ_REG, words({0x1000}), 4, kInvalidParameter, 0,
         true},
        {"read_reg_short", IOCTL_TARVO_READ_REG, Bytes(3, 0), 4, kBufferTooSmall, 0, true},
        {"write_reg", IOCTL_TARVO_WRITE_REG, words({0x0D6, 0x55}), 0, kSuccess, 0, false,
         [](ControlTest& t, const Bytes&) { EXPECT_EQ(t.reg(0x0D4), 0x55u); }},
        {"write_reg_outside_window", IOCTL_TARVO_WRITE_REG, words({0x2000, 0x55}), 0,
         kInvalidParameter, 0, true},
        {"write_reg_huge_offset", IOCTL_TARVO_WRITE_REG, words({0xFFFFFFFC, 0x55}), 0,
         kInvalidParameter, 0, true},
        {"write_reg_short", IOCTL_TARVO_WRITE_REG, words({0x0D4}), 0, kBufferTooSmall, 0, true},
        {"read_pci_config",
         IOCTL_TARVO_READ_PCI_CONFIG,
         {},
         68,
         kSuccess,
         64,
         true,
         [](ControlTest&, const Bytes& out) {
             EXPECT_EQ(word_at(out, 0), 0x036E109Eu);
             EXPECT_EQ(out[0x3C], 11);
         }},
        {"read_pci_config_short", IOCTL_TARVO_READ_PCI_CONFIG, {}, 63, kBufferTooSmall, 0, true},
        {"write_pci_config_short", IOCTL_TARVO_WRITE_PCI_CONFIG, Bytes(63, 0), 0, kBufferTooSmall,
         0, true},
        {"read_all_regs",
         IOCTL_TARVO_READ_ALL_REGS,
         {},
         292,
         kSuccess,
         292,
         true,
         [](ControlTest& t, const Bytes& out) {
             EXPECT_EQ(word_at(out, 0x0D4 / 4), t.reg(0x0D4));
             EXPECT_EQ(word_at(out, 0x118 / 4), t.reg(0x118));
         }},
        {"read_all_regs_short", IOCTL_TARVO_READ_ALL_REGS, {}, 291, kBufferTooSmall, 0, true},
        {"read_gpio_cut_at_64", IOCTL_TARVO_READ_GPIO_DATA, words({60, 10}), 40, kSuccess, 16,
         true},
        {"read_gpio_index_64", IOCTL_TARVO_READ_GPIO_DATA, words({64, 1}), 8, kInvalidParameter, 0,
         true},
        {"read_gpio_short_output", IOCTL_TARVO_READ_GPIO_DATA, words({0, 4}), 12, kInvalidParameter,
         0, true},
        {"read_gpio_short_input", IOCTL_TARVO_READ_GPIO_DATA, words({0}), 8, kBufferTooSmall, 0,
         true},
        {"write_gpio", IOCTL_TARVO_WRITE_GPIO_DATA, bytes_of(gpio_good), 0, kSuccess, 0, false,
         [](ControlTest& t, const Bytes&) {
             t.machine().write_register(1, 0x118, 0xFFFFFF); // show the output latch
             EXPECT_EQ(t.reg(0x208), 0x22u);
         }},
        {"write_gpio_bad_pointer", IOCTL_TARVO_WRITE_GPIO_DATA, bytes_of(gpio_bad_pointer), 0,
         kInvalidParameter, 0, true},
        {"write_gpio_null_pointer", IOCTL_TARVO_WRITE_GPIO_DATA, bytes_of(gpio_null), 0,
         kInvalidParameter, 0, true},
        {"write_gpio_index_64", IOCTL_TARVO_WRITE_GPIO_DATA, bytes_of(gpio_bad_index), 0,
         kInvalidParameter, 0, true},
        {"write_gpio_short", IOCTL_TARVO_WRITE_GPIO_DATA, Bytes(sizeof(TARVO_GPIO_WRITE) - 1, 0), 0,
         kBufferTooSmall, 0, true},
        {"map_registers", IOCTL_TARVO_MAP_REGISTERS, words({0}), ptr, kSuccess, ptr, true,
         [](ControlTest&, const Bytes& out) {
             std::uintptr_t a = 0;
             std::memcpy(&a, out.data(), sizeof a);
             EXPECT_TRUE(platform::nt::is_register_window(reinterpret_cast<void*>(a)));
         }},
        {"map_registers_short", IOCTL_TARVO_MAP_REGISTERS, {}, ptr - 1, kBufferTooSmall, 0, true},
        {"restart_dma_idle", IOCTL_TARVO_RESTART_DMA, {}, 0, kSuccess, 0, true},
        {"is_bridge",
         IOCTL_TARVO_IS_BRIDGE,
         {},
         4,
         kSuccess,
         4,
         true,
         [](ControlTest&, const Bytes& out) { EXPECT_EQ(word_at(out, 0), 1u); }},
        {"is_bridge_short", IOCTL_TARVO_IS_BRIDGE, {}, 3, kBufferTooSmall, 0, true},
        {"bridge_write_then_read", IOCTL_TARVO_WRITE_BRIDGE_CONFIG, words({0x1234}), 0, kSuccess, 0,
         true,
         [](ControlTest& t, const Bytes&) {
             const auto at = t.machine().bridge_location();
             ASSERT_TRUE(at.has_value());
             std::uint32_t v = 0;
             t.machine().pci_read(at->bus, at->device, at->function, 0x50, &v, 4);
             EXPECT_EQ(v, 0x1234u);
         }},
        {"read_bridge_config", IOCTL_TARVO_READ_BRIDGE_CONFIG, {}, 4, kSuccess, 4, true},
        {"read_bridge_config_short",
         IOCTL_TARVO_READ_BRIDGE_CONFIG,
         {},
         2,
         kBufferTooSmall,
         0,
         true},
        {"write_bridge_config_short", IOCTL_TARVO_WRITE_BRIDGE_CONFIG, Bytes(3, 0), 0,
         kBufferTooSmall, 0, true},
        {"set_i2c_status", IOCTL_TARVO_SET_I2C_STATUS, words({0x30}), 0, kSuccess, 0, true},
        {"set_i2c_status_short", IOCTL_TARVO_SET_I2C_STATUS, Bytes(3, 0), 0, kBufferTooSmall, 0,
         true},
        {"get_i2c_status", IOCTL_TARVO_GET_I2C_STATUS, {}, 4, kSuccess, 4, true},
        {"get_i2c_status_short", IOCTL_TARVO_GET_I2C_STATUS, {}, 3, kBufferTooSmall, 0, true},
        {"read_risc", IOCTL_TARVO_READ_RISC, words({0xFFFFFFFF}), 16384, kSuccess, 16384, true,
         [](ControlTest&, const Bytes& out) {
             EXPECT_EQ(std::count(out.begin(), out.end(), 0), 16384);
         }},
        {"read_risc_short", IOCTL_TARVO_READ_RISC, {}, 100, kBufferTooSmall, 0, true},
        {"unserved_overlay_code", IOCTL_TARVO_SET_KEY_RGB, words({1}), 4, kInvalidParameter, 0,
         true},
        {"unserved_frame_end", IOCTL_TARVO_FRAME_END, {}, 0, kInvalidParameter, 0, true},
        {"unknown_code", 0x1D0FFC, {}, 0, kInvalidParameter, 0, true},
    };
}

TEST_P(ControlTest, AnswersAsSpecified) {
    const Case& c = GetParam();
    bring_up();
    Bytes buffer = c.input;
    if (buffer.size() < c.out_size) {
        buffer.resize(c.out_size, 0xEE);
    }
    const auto before = stable_registers(1);
    const Reply r = ioctl(device_, c.code, buffer.empty() ? nullptr : buffer.data(),
                          static_cast<DWORD>(c.input.size()),
                          buffer.empty() ? nullptr : buffer.data(), c.out_size);
    EXPECT_EQ(r.ok, c.status == kSuccess);
    EXPECT_EQ(r.error, error_of(c.status));
    // A failed request reports no bytes to the caller, whatever Information the driver set.
    EXPECT_EQ(r.bytes, c.information);
    if (c.unchanged) {
        EXPECT_EQ(stable_registers(1), before);
    }
    if (c.check) {
        c.check(*this, buffer);
    }
    // Nothing outside the chip's window was touched, and nothing was caught by the model.
    EXPECT_EQ(hw().fault_count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Codes, ControlTest, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Without the tuned host bridge the query answers 0, the read gives dword 0x50 of the plain host
// bridge at bus 0, slot 0, and the write fails, writing nothing.
TEST_F(StreamTest, BridgeRequestsWithoutHostBridgeFail) {
    bring_up(7, false);
    std::uint32_t word = 0xABCD;
    Reply r = ioctl_inout(device_, IOCTL_TARVO_IS_BRIDGE, &word, 0, 4);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(word, 0u);
    std::uint32_t host_bridge = 0x13572468;
    hw().pci_write(0, 0, 0, 0x50, &host_bridge, 4);
    word = 0xABCD;
    r = ioctl_inout(device_, IOCTL_TARVO_READ_BRIDGE_CONFIG, &word, 0, 4);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, 4u);
    EXPECT_EQ(word, host_bridge);
    word = 0x66;
    r = ioctl_inout(device_, IOCTL_TARVO_WRITE_BRIDGE_CONFIG, &word, 4, 0);
    EXPECT_FALSE(r.ok);
    std::uint32_t after = 0;
    hw().pci_read(0, 0, 0, 0x50, &after, 4);
    EXPECT_EQ(after, host_bridge);
}

// Connector 1 carries S-Video or composite: the Y/C select and luma notch bits of both control
// copies and the ADC's chroma bit follow the cable format, both ways.
TEST_F(StreamTest, SourceOnConnectorOneFollowsTheCableFormat) {
    bring_up(7);
    struct Case {
        std::uint32_t svideo;
        std::uint32_t control; // bits 7-6 of E_/O_CONTROL
        std::uint32_t adc;     // bit 1 of ADC
    };
    for (const Case c : {Case{1, 0x40, 0}, Case{0, 0x80, 2}, Case{1, 0x40, 0}}) {
        SCOPED_TRACE(c.svideo);
        TARVO_SOURCE source{20, 0, 3, 1, c.svideo};
        ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_SET_SOURCE, &source, sizeof source, nullptr, 0).ok);
        EXPECT_EQ(hw().read_register(1, 0x02C) & 0xC0, c.control);
        EXPECT_EQ(hw().read_register(1, 0x0AC) & 0xC0, c.control);
        EXPECT_EQ(hw().read_register(1, 0x068) & 2, c.adc);
        EXPECT_EQ((hw().read_register(1, 0x004) >> 5) & 3, 1u) << "connector 1";
    }
}

// I2C completion raised by a chip's interrupt lands in the shared mask at that device's bits.
TEST_F(DriverTest, I2cDoneAndAcknowledgeSetTheDevicesBits) {
    machine::MachineConfig config = BoardsOf({4});
    config.boards[0].crosspoint_bus = 3; // the crosspoint answers on chip 3 = device 2
    make_machine(config);
    ASSERT_TRUE(start());
    HANDLE h = open(2);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::uint32_t enable[2] = {0x104, 0x100};
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_WRITE_REG, enable, 8, nullptr, 0).ok);
    std::uint32_t i2c[2] = {0x110, (0x4Cu << 24) | (0x02u << 16) | 0x80u};
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_WRITE_REG, i2c, 8, nullptr, 0).ok);
    std::uint32_t mask = 0;
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_GET_I2C_STATUS, nullptr, 0, &mask, 4).ok);
    EXPECT_EQ(mask, 0x30u);
    EXPECT_EQ(hw().read_register(3, 0x100) & 0x100, 0u); // acknowledged by the handler
    // A transaction nobody acknowledges sets only the done bit; other devices' bits stay.
    std::uint32_t clear = 0x1;
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_SET_I2C_STATUS, &clear, 4, nullptr, 0).ok);
    std::uint32_t nobody[2] = {0x110, (0x90u << 24) | 0x80u};
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_WRITE_REG, nobody, 8, nullptr, 0).ok);
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_GET_I2C_STATUS, nullptr, 0, &mask, 4).ok);
    EXPECT_EQ(mask, 0x11u);
}

// Geometry and PLL as the chip set-up programs them for PAL.
TEST_F(StreamTest, PalGeometryAndPll) {
    bring_up();
    ASSERT_TRUE(set_format({4, 768, 576}).ok);
    EXPECT_EQ((hw().read_register(1, 0x020) << 8) | hw().read_register(1, 0x024), 0x341u);
    EXPECT_EQ(((hw().read_register(1, 0x04C) & 0x1F) << 8) | hw().read_register(1, 0x050), 0u);
    EXPECT_EQ(hw().read_register(1, 0x018), 154u);
    EXPECT_EQ(hw().read_register(1, 0x084), 8u);    // clock from the PLL
    EXPECT_EQ(hw().read_register(1, 0x0F8), 0x8Eu); // 14, reference pre-divider
    ASSERT_TRUE(set_format({4, 384, 288}).ok);
    EXPECT_EQ((hw().read_register(1, 0x0A0) << 8) | hw().read_register(1, 0x0A4), 0x168Eu);
    EXPECT_EQ(hw().read_register(1, 0x098), 76u);
    // NTSC switches the PLL off at the next format.
    TARVO_SOURCE ntsc{20, 0, 1, 2, 0};
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_SET_SOURCE, &ntsc, sizeof ntsc, nullptr, 0).ok);
    ASSERT_TRUE(set_format({4, 640, 480}).ok);
    EXPECT_EQ(hw().read_register(1, 0x084), 0u);
    EXPECT_EQ(hw().read_register(1, 0x0F8), 0u);
}

// The board dialog's round trip: the header read, one field changed, written back.
TEST_F(StreamTest, PciConfigRoundTrip) {
    bring_up();
    TARVO_BOARD_INFO info{};
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_READ_PCI_CONFIG, nullptr, 0, &info, sizeof info).ok);
    EXPECT_EQ(info.config[0x0D], 0x40);
    info.config[0x0D] = 0;
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_WRITE_PCI_CONFIG, &info, sizeof info, nullptr, 0).ok);
    const machine::PciLocation at = hw().chip_location(1);
    std::uint8_t latency = 0xFF;
    hw().pci_read(at.bus, at.device, at.function, 0x0D, &latency, 1);
    EXPECT_EQ(latency, 0);
    // The window stays on: the header carried the command word the driver set.
    EXPECT_NE(hw().read_register(1, 0x0D4), 0xFFFFFFFFu);
}

// A PLL that never locks holds the format request for at most a second of the platform clock.
TEST_F(DriverTest, PllWaitIsBounded) {
    machine::MachineConfig config = BoardsOf({1});
    config.pll_lock_ms = 100000000;
    make_machine(config);
    const std::uint32_t before_start = platform::clock::now();
    ASSERT_TRUE(start());
    EXPECT_LE(platform::clock::now() - before_start, 1500u);
    HANDLE h = open(0);
    // Leave PAL for NTSC and back, so the PLL is programmed again.
    TARVO_SOURCE ntsc{20, 0, 1, 2, 0};
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_SET_SOURCE, &ntsc, sizeof ntsc, nullptr, 0).ok);
    TARVO_FORMAT f{sizeof(TARVO_FORMAT), 4, 640, 480, 0, 0};
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_SET_FORMAT, &f, sizeof f, nullptr, 0).ok);
    TARVO_SOURCE pal{20, 0, 3, 2, 0};
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_SET_SOURCE, &pal, sizeof pal, nullptr, 0).ok);
    const std::uint32_t before = platform::clock::now();
    // A PLL that never locks is reported, and the timing stays on the crystal.
    const Reply r = ioctl(h, IOCTL_TARVO_SET_FORMAT, &f, sizeof f, nullptr, 0);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, error_of(kUnsuccessful));
    const std::uint32_t waited = platform::clock::now() - before;
    EXPECT_GE(waited, 900u);
    EXPECT_LE(waited, 1500u);
    EXPECT_EQ(hw().read_register(1, 0x084), 0u) << "TGCTRL";
    hw().step_fields(4);
    EXPECT_EQ(hw().fault_count(machine::FaultKind::PllClockBad), 0u);
}

} // namespace
} // namespace tarvo_test
