// Reading the camera number back from pictures of every size and format.
#include "machine/camera_code.h"
#include "machine_fixture.h"

namespace machine::test {
namespace {

TEST_F(MachineTest, CameraNumberSurvivesScalingFormatsAndLevels) {
    struct Case {
        int w, h;
        std::uint32_t format;
        int level;
    };
    const Case cases[] = {{768, 576, 4, 32}, {640, 480, 0, 63}, {384, 288, 5, 0},
                          {320, 240, 2, 32}, {192, 144, 5, 63}, {192, 144, 3, 20},
                          {384, 288, 1, 40}, {384, 288, 7, 32}};
    enable_pci(1);
    int camera = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " format " +
                     std::to_string(c.format));
        camera = camera % 16 + 3;
        route(1, camera);
        ASSERT_TRUE(i2c_write3(1, 0x48, 0xF0, std::uint8_t(c.level)));
        program_pal(1, c.w, c.h, c.format);
        const std::uint32_t b = bytes_per_line(c.format, std::uint32_t(c.w));
        const bool interlaced = c.h > 288;
        MemoryBlock frame = m().allocate(std::size_t(c.h) * kPageSize);
        Program p(m());
        p.emit(kSyncVre);
        if (interlaced) {
            for (int r = 0; r < c.h; r += 2) {
                p.emit(kWriteLine + b, frame.phys + PhysAddr(r) * kPageSize);
            }
        }
        p.emit(kSyncVro);
        for (int r = interlaced ? 1 : 0; r < c.h; r += interlaced ? 2 : 1) {
            p.emit(kWriteLine + b, frame.phys + PhysAddr(r) * kPageSize);
        }
        p.emit(kJump, p.base());
        start_dma(1, p.base());
        m().step_fields(3);
        EXPECT_EQ(read_camera_number(frame.host, c.w, c.h, ColorFormat(c.format), false, kPageSize),
                  camera);
        m().write_register(1, GPIO_DMA_CTL, 0);
        m().free(frame.phys);
    }
    EXPECT_EQ(m().fault_count(), 0u);
}

TEST(CameraCode, FlatPicturesAreNoSignalOrUnreadable) {
    std::vector<std::uint8_t> black(384 * 288, 16), grey(384 * 288, 128);
    EXPECT_EQ(read_camera_number(black.data(), 384, 288, ColorFormat::Y8, false), 0);
    EXPECT_EQ(read_camera_number(grey.data(), 384, 288, ColorFormat::Y8, false), -1);
    EXPECT_EQ(read_camera_number(nullptr, 384, 288, ColorFormat::Y8, false), -1);
}

} // namespace
} // namespace machine::test
