// The DMA programs the driver builds, decoded from physical memory and compared with an
// independent model: line addresses, page splits, field interleave, status and IRQ bits.
#include "stream_client.h"

namespace tarvo_test {
namespace {

struct Instruction {
    std::uint32_t command;
    std::uint32_t address;
    bool operator==(const Instruction&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Instruction& i) {
    return os << std::hex << "{0x" << i.command << ", 0x" << i.address << "}" << std::dec;
}

struct ProgramCase {
    const char* name;
    StreamFormat format;
    std::size_t page_offset;
};

void PrintTo(const ProgramCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramTest : public StreamTest, public ::testing::WithParamInterface<ProgramCase> {
protected:
    const std::uint32_t* host(std::uint32_t phys, std::size_t bytes) {
        return static_cast<const std::uint32_t*>(hw().host_address(phys, bytes));
    }
    // Reads a field program up to and including its closing JUMP.
    std::vector<Instruction> decode(std::uint32_t phys) {
        std::vector<Instruction> out;
        const std::uint32_t* p = host(phys, 8192);
        EXPECT_NE(p, nullptr);
        for (int i = 0; p != nullptr && i < 1024; ++i) {
            out.push_back({p[2 * i], p[2 * i + 1]});
            if ((p[2 * i] >> 28) == 0x7) {
                break;
            }
        }
        return out;
    }
    std::uint32_t phys_of(const std::uint8_t* p) {
        const auto a = hw().physical_address(p);
        EXPECT_TRUE(a.has_value());
        return a ? static_cast<std::uint32_t>(*a) : 0;
    }
    // The model: frame row r (0 = top) of a bottom-up buffer is at data + (h - 1 - r) x line;
    // a row crossing a page gets a start-of-line WRITE to the page end and the rest after it.
    std::vector<Instruction> model(const std::vector<std::uint32_t>& rows, std::uint32_t end,
                                   std::uint32_t target) {
        const std::uint32_t line = format_.line_bytes();
        std::vector<Instruction> out{{0x80000006, 0}};
        for (std::uint32_t r : rows) {
            const std::uint8_t* row = buffers_[0]->data() + (format_.height - 1 - r) * line;
            const std::uint32_t in_page =
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(row) % 4096);
            if (in_page + line <= 4096) {
                out.push_back({0x1C000000 | line, phys_of(row)});
            } else {
                const std::uint32_t first = 4096 - in_page;
                out.push_back({0x18000000 | first, phys_of(row)});
                out.push_back({0x14000000 | (line - first), phys_of(row + first)});
            }
        }
        out.push_back({end, target});
        return out;
    }
};

TEST_P(ProgramTest, ProgramsMatchTheModel) {
    const ProgramCase& c = GetParam();
    bring_up(9);
    start_stream(c.format, 1, c.page_offset);
    const std::uint32_t master = hw().read_register(1, 0x114);
    const std::uint32_t* m = host(master, 56);
    ASSERT_NE(m, nullptr);
    const bool interlaced = c.format.height > 288; // PAL: 576 active lines
    std::vector<std::uint32_t> even_rows, odd_rows;
    for (std::uint32_t r = 0; r < c.format.height; ++r) {
        (interlaced && r % 2 == 0 ? even_rows : odd_rows).push_back(r);
    }
    // The master: wait for the even field, its program (or straight on), the odd field, its
    // program, and round again.
    const std::uint32_t even_target = interlaced ? m[5] : master + 24;
    const std::vector<std::uint32_t> expected_master = {
        0x80008004, 0,          0x70700000,  master + 16, 0x70E00000, even_target, 0x8000800C,
        0,          0x70000000, master + 40, 0x70800000,  m[11],      0x70000000,  master};
    EXPECT_EQ(std::vector<std::uint32_t>(m, m + 14), expected_master);
    if (interlaced) {
        EXPECT_EQ(decode(m[5]), model(even_rows, 0x71080000, master + 24));
    }
    EXPECT_EQ(decode(m[11]), model(odd_rows, 0x71020000, master + 48));
    // And the chip runs them without a complaint into a complete frame.
    ASSERT_TRUE(step_until_ready(0));
    expect_frame_of_camera(0);
    EXPECT_EQ(hw().fault_count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ProgramTest,
    ::testing::Values(ProgramCase{"Yuy2_768x576_aligned", {4, 768, 576}, 0},
                      ProgramCase{"Yuy2_768x576_offset_512", {4, 768, 576}, 512},
                      ProgramCase{"Rgb24_768x576_offset_100", {1, 768, 576}, 100},
                      ProgramCase{"Packed411_384x288_aligned", {5, 384, 288}, 0},
                      ProgramCase{"Packed411_768x576_offset_7", {5, 768, 576}, 7},
                      ProgramCase{"Rgb32_320x240_offset_4000", {0, 320, 240}, 4000},
                      ProgramCase{"Y8_640x480_offset_2048", {6, 640, 480}, 2048},
                      ProgramCase{"Rgb15_192x144_offset_4095", {3, 192, 144}, 4095},
                      ProgramCase{"Rgb16_640x480_offset_1", {2, 640, 480}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tarvo_test
