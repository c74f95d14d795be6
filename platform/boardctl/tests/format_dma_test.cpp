// Format reset and DMA stop and start through the library, against the kernel driver's own
// format and a running stream.
#include "board_fixture.h"

#include "machine/camera_code.h"

#include <vector>

namespace boardctl_test {
namespace {

class FormatDmaTest : public BoardTest {};

struct FormatCase {
    const char* name;
    std::uint32_t color, width, height;
    bool ntsc;
};

// Registers the format reset must bring back, and a few it does not read itself.
constexpr std::uint32_t kScrambled[] = {0x020, 0x060, 0x08C, 0x09C, 0x0A0, 0x0D0, 0x0D8};

TEST_F(FormatDmaTest, FormatResetKeepsTheGeometry) {
    bring_up();
    HANDLE device = open_device(0);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    const FormatCase cases[] = {
        {"PAL 768x576 YUY2", 4, 768, 576, false},  {"PAL 384x288 YUY2", 4, 384, 288, false},
        {"PAL 640x480 RGB24", 1, 640, 480, false}, {"PAL 320x240 RGB32", 0, 320, 240, false},
        {"PAL 192x144 4:1:1", 5, 192, 144, false}, {"PAL 160x120 Y8", 6, 160, 120, false},
        {"NTSC 640x480 RGB15", 3, 640, 480, true}, {"NTSC 320x240 YUY2", 4, 320, 240, true},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        TARVO_SOURCE source{sizeof source, 0, c.ntsc ? 1u : 3u, 2, 0};
        ASSERT_TRUE(ioctl(device, IOCTL_TARVO_SET_SOURCE, &source, sizeof source, nullptr, 0));
        ASSERT_TRUE(set_format(device, c.color, c.width, c.height));
        std::vector<std::uint32_t> programmed;
        for (std::uint32_t offset = 0x004; offset < 0x100; offset += 4) {
            programmed.push_back(hw().read_register(1, offset));
        }
        for (std::uint32_t offset : kScrambled) {
            hw().write_register(1, offset, hw().read_register(1, offset) ^ 0x0F);
        }
        lib().TarvoResetFormat(0);
        for (std::uint32_t offset = 0x004; offset < 0x100; offset += 4) {
            EXPECT_EQ(hw().read_register(1, offset), programmed[offset / 4 - 1])
                << std::hex << "register 0x" << offset;
        }
    }
}

// A vertical scale that no height gives leaves the chip as it is rather than guessing.
TEST_F(FormatDmaTest, UnknownScaleSendsNoFormat) {
    bring_up();
    hw().write_register(1, 0x04C, 0x3E); // scale 0x1E18: ratio 1000 of 512, no whole height
    hw().write_register(1, 0x050, 0x18);
    hw().write_register(1, 0x0D0, 0x77);
    lib().TarvoResetFormat(0);
    EXPECT_EQ(hw().read_register(1, 0x0D0), 0x77u);
    EXPECT_EQ(hw().read_register(1, 0x050), 0x18u);
}

class StreamingTest : public FormatDmaTest {
protected:
    static constexpr std::uint32_t kColor = 4, kWidth = 192, kHeight = 144;
    static constexpr int kCamera = 3;

    // Camera 3 on chip 1 (through the library, which so opens its device first), then a stream
    // of four buffers started as the capture driver library starts it.
    void start_stream() {
        bring_up();
        ASSERT_EQ(lib().I2CHWWrite2(0x4C, kCamera - 1, 0), 0);
        device_ = open_device(0);
        ASSERT_NE(device_, INVALID_HANDLE_VALUE);
        ASSERT_NO_FATAL_FAILURE(
            start_capture(device_, kColor, kWidth, kHeight, kWidth * 2 * kHeight));
    }
    bool ready(int slot) const { return __atomic_load_n(&table_[slot].ready, __ATOMIC_ACQUIRE); }
    bool step_until_ready(int slot) {
        for (int i = 0; i < 12 && !ready(slot); ++i) {
            hw().step();
        }
        return ready(slot);
    }
    std::uint32_t dma_enable() { return hw().read_register(1, 0x10C) & 3; }

    HANDLE device_ = INVALID_HANDLE_VALUE;
};

// The library keeps its first open: its calls during capture leave a ready frame ready (every
// new open would clear the ready words).
TEST_F(StreamingTest, CallsDuringCaptureKeepReadyFrames) {
    start_stream();
    ASSERT_TRUE(step_until_ready(0));
    lib().TarvoReadAllRegs(0);
    lib().TarvoReadRisc(0);
    LONG a[16], o[16], n[16];
    EXPECT_EQ(lib().TarvoCompareRegs(a, o, n, 0), 0);
    EXPECT_EQ(lib().I2CHWWrite3(0x48, 0xF0, 32, 0), 0);
    lib().TarvoSetSaturation(127, 0);
    EXPECT_NE(lib().I2CIsInitOK(0), 0);
    EXPECT_TRUE(ready(0));
}

TEST_F(StreamingTest, DmaStopHoldsTheRingAndStartResumesWithWholeFrames) {
    start_stream();
    ASSERT_TRUE(step_until_ready(0));
    lib().TarvoRiscStop(0, 0, 0);
    EXPECT_EQ(dma_enable(), 0u);
    std::uint32_t times[4];
    bool was_ready[4];
    for (int s = 0; s < 4; ++s) {
        times[s] = table_[s].timeMs;
        was_ready[s] = ready(s);
    }
    hw().step_fields(8);
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(ready(s), was_ready[s]) << s;
        EXPECT_EQ(table_[s].timeMs, times[s]) << s;
    }
    lib().TarvoRiscStart(0);
    EXPECT_EQ(dma_enable(), 3u);
    const int next = was_ready[1] ? 2 : 1;
    ASSERT_TRUE(step_until_ready(next));
    EXPECT_EQ(table_[next].error, 0u);
    EXPECT_EQ(machine::read_camera_number(buffers_[static_cast<std::size_t>(next)]->data, kWidth,
                                          kHeight, machine::ColorFormat(kColor), true),
              kCamera);
    EXPECT_EQ(hw().fault_count(), 0u);
}

// A start without a stop, or after the stream ended, enables nothing.
TEST_F(StreamingTest, StartOnlyAfterItsOwnStopOfALiveStream) {
    start_stream();
    lib().TarvoRiscStart(1);
    EXPECT_EQ(hw().read_register(2, 0x10C) & 3, 0u);
    lib().TarvoRiscStop(0, 0, 1); // DMA not running there: nothing to stop
    lib().TarvoRiscStart(1);
    EXPECT_EQ(hw().read_register(2, 0x10C) & 3, 0u);

    ASSERT_TRUE(step_until_ready(0));
    lib().TarvoRiscStop(0, 0, 0);
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_STREAM_FINI, nullptr, 0, nullptr, 0));
    lib().TarvoRiscStart(0);
    EXPECT_EQ(dma_enable(), 0u);
    hw().step_fields(4);
    EXPECT_EQ(hw().fault_count(), 0u);
}

} // namespace
} // namespace boardctl_test
