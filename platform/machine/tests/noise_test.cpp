// Cameras as real ones are: sensor noise and a slow lighting drift by default, small enough that
// the code strip reads and that a detector with the station's default thresholds sees nothing
// in a still scene but does see a moving object.
#include "machine/camera_code.h"
#include "machine_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace machine::test {
namespace {

// A machine with the default (noisy) cameras, capturing 384 x 288 frames of camera 5 on chip 1.
class NoisyCamera : public ::testing::Test {
protected:
    NoisyCamera() {
        platform::clock::use_manual(1000);
        m_ = std::make_unique<Machine>(MachineConfig{});
        const PciLocation at = m_->chip_location(1);
        const std::uint16_t command = 0x0106;
        m_->pci_write(at.bus, at.device, at.function, 4, &command, 2);
        m_->write_register(1, 0x104, 0);
        m_->write_register(1, 0x110, 0x4C000080 | (4u << 16)); // camera 5 to chip 1
    }
    ~NoisyCamera() override {
        programs_.reset();
        buffer_.reset();
        m_.reset();
        platform::clock::use_real();
    }

    // Programs the chip as the kernel does for 384 x 288 in `format` and starts the DMA.
    void capture(std::uint32_t format) {
        const std::uint32_t b = bytes_per_line(format, kWidth);
        programs_.reset();
        buffer_.reset();
        buffer_ = std::make_unique<UserBuffer>(*m_, std::size_t(b) * kHeight);
        m_->write_register(1, IFORM, 0x43);
        for (std::uint32_t base : {ODD, 0u}) {
            m_->write_register(1, E_VSCALE_HI + base, 0x20);
            m_->write_register(1, E_VSCALE_LO + base, 0);
            m_->write_register(1, E_HACTIVE_LO + base, kWidth & 0xFF);
            m_->write_register(1, E_VACTIVE_LO + base, 576 & 0xFF);
            m_->write_register(1, E_CROP + base, 0x20 | (kWidth >> 8));
        }
        m_->write_register(1, COLOR_FMT, format * 0x11);
        programs_ = std::make_unique<FramePrograms>(*m_, *buffer_, kWidth, kHeight, format);
        m_->write_register(1, RISC_STRT_ADD, programs_->master.base());
        m_->write_register(1, CAP_CTL, 0x03);
        m_->write_register(1, GPIO_DMA_CTL, 0xAF);
        format_ = format;
    }
    // The next frame: one odd and one even field.
    void next_frame() { m_->step_fields(2); }
    int luma(int x, int y) const {
        return pixel_luma(buffer_->data(), int(kWidth), int(kHeight), ColorFormat(format_), true, x,
                          y);
    }

    static constexpr std::uint32_t kWidth = 384, kHeight = 288;
    std::unique_ptr<Machine> m_;
    std::unique_ptr<UserBuffer> buffer_;
    std::unique_ptr<FramePrograms> programs_;
    std::uint32_t format_ = 6;
};

// The frame-to-frame change a detector with the station's defaults counts: points on a 100 x 60
// grid, the noise estimated from 100 grid samples, threshold max(5 sigma, 44); the changed
// points near one another (within 55 per mille) that make an object (at least 6).
class ChangeCounter {
public:
    // Returns whether this frame holds an object of changed points.
    template <typename Luma> bool frame(Luma luma, int w, int h) {
        double sum = 0;
        int count = 0;
        const double limit = 3 * sigma_ + 2;
        for (int j = 1, c = 0; j <= 10; ++j) {
            for (int k = 1; k <= 10; ++k, ++c) {
                const int l = luma(int(w / 11.0 * k), int(h / 11.0 * j));
                const double d = grid_[std::size_t(c)] - l;
                if (std::abs(d) < limit) {
                    sum += d * d;
                    ++count;
                }
                grid_[std::size_t(c)] = l;
            }
        }
        if (count > 0) {
            sigma_ = std::sqrt(sum / count);
        }
        const double g = std::max(sigma_ * 5.0, 44.0);
        changed_.clear();
        for (int py = 0, i = 0; py < 60; ++py) {
            for (int px = 0; px < 100; ++px, ++i) {
                const int x = 5 + 10 * px, y = 8 + 50 * py / 3; // per mille
                const int l = luma(int(w / 1000.0 * x), int(h / 1000.0 * y));
                if (!first_ && std::abs(previous_[std::size_t(i)] - l) > g) {
                    changed_.push_back({x, y});
                }
                previous_[std::size_t(i)] = l;
            }
        }
        first_ = false;
        max_changed_ = std::max(max_changed_, int(changed_.size()));
        for (const auto& [x, y] : changed_) {
            int near = 0;
            for (const auto& [x2, y2] : changed_) {
                near += std::abs(x - x2) <= 27 && std::abs(y - y2) <= 27;
            }
            if (near >= 6) {
                return true;
            }
        }
        return false;
    }
    int max_changed() const { return max_changed_; }
    double sigma() const { return sigma_; }

private:
    std::array<int, 100> grid_{};
    std::array<int, 6000> previous_{};
    std::vector<std::pair<int, int>> changed_;
    double sigma_ = 0;
    bool first_ = true;
    int max_changed_ = 0;
};

TEST_F(NoisyCamera, NoiseIsThereAndSmallAndTheCodeStaysReadable) {
    for (const std::uint32_t format : {6u, 4u, 1u, 0u, 3u}) {
        SCOPED_TRACE(format);
        m_->write_register(1, GPIO_DMA_CTL, 0xAC);
        platform::clock::advance(2); // the engine finishes its line before the pages go
        capture(format);
        next_frame();
        next_frame(); // the first whole frame
        std::vector<int> before(kWidth * kHeight);
        for (std::uint32_t y = 0; y < kHeight; ++y) {
            for (std::uint32_t x = 0; x < kWidth; ++x) {
                before[y * kWidth + x] = luma(int(x), int(y));
            }
        }
        next_frame();
        EXPECT_EQ(read_camera_number(buffer_->data(), int(kWidth), int(kHeight),
                                     ColorFormat(format), true),
                  5);
        double total = 0;
        int differ = 0;
        for (std::uint32_t y = 0; y < kHeight; ++y) {
            for (std::uint32_t x = 0; x < kWidth; ++x) {
                const int d = std::abs(luma(int(x), int(y)) - before[y * kWidth + x]);
                total += d;
                differ += d != 0;
            }
        }
        const double mean = total / (kWidth * kHeight);
        if (format == 3) {
            EXPECT_LT(mean, 1.0) << "packed RGB keeps its bit fields: drift only";
        } else {
            EXPECT_GT(differ, int(kWidth * kHeight / 4)) << "sensor noise";
            EXPECT_LT(mean, 4.0);
        }
        EXPECT_EQ(m_->fault_count(), 0u);
    }
}

// Two minutes of a still scene (a full drift cycle and more) raise no detection and not even a
// changed point; a small object moving across the picture is detected.
TEST_F(NoisyCamera, StillSceneRaisesNoDetectionAMovingObjectDoes) {
    capture(6);
    next_frame();
    next_frame(); // the first whole frame
    ChangeCounter still;
    int detections = 0;
    for (int frame = 0; frame < 3000; ++frame) {
        next_frame();
        detections +=
            still.frame([&](int x, int y) { return luma(x, y); }, int(kWidth), int(kHeight));
    }
    EXPECT_EQ(detections, 0);
    EXPECT_EQ(still.max_changed(), 0);
    EXPECT_GT(still.sigma(), 0.5) << "the detector sees the noise";

    const std::uint32_t now = platform::clock::now();
    m_->add_scene_object(1, 5, SceneObject{now, 1000, 50, 400, 120, 160, 850, 400});
    ChangeCounter moving;
    for (int frame = 0; frame < 25; ++frame) {
        next_frame();
        detections +=
            moving.frame([&](int x, int y) { return luma(x, y); }, int(kWidth), int(kHeight));
    }
    EXPECT_GT(detections, 15);
    EXPECT_EQ(m_->fault_count(), 0u);
}

} // namespace
} // namespace machine::test
