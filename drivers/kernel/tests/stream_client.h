// A user-mode capture client for the tests: format, stream start, buffer registration and the
// frame-descriptor table, as the capture driver library drives them.
#pragma once

#include "driver_fixture.h"

#include <memory>

namespace tarvo_test {

struct StreamFormat {
    std::uint32_t color;
    std::uint32_t width;
    std::uint32_t height;
    machine::ColorFormat model() const { return static_cast<machine::ColorFormat>(color); }
    std::uint32_t line_bytes() const { return machine::line_bytes(color, width); }
    std::uint32_t frame_bytes() const { return line_bytes() * height; }
};

class StreamTest : public DriverTest {
protected:
    // One board of four chips, camera `camera` on chip 1, device 0 open.
    void bring_up(int camera = 7, bool bridge = true);
    Reply set_format(const StreamFormat& f);
    Reply stream_init();
    Reply add_buffer(const UserBuffer& buffer, TARVO_BUFFER_HEADER& header);
    Reply add_buffer(const UserBuffer& buffer) {
        TARVO_BUFFER_HEADER h{};
        return add_buffer(buffer, h);
    }
    Reply simple(std::uint32_t code) { return ioctl(device_, code, nullptr, 0, nullptr, 0); }
    // Format, stream init, the two answers before the first registration, `count` buffers
    // registered, stream start, and capture started by handing buffer 0 back.
    void start_stream(const StreamFormat& f, int count, std::size_t page_offset = 0);
    // Steps fields until descriptor `slot` is ready (at most `fields`); false when it never is.
    bool step_until_ready(int slot, int fields = 12);
    void hand_back(int slot);
    bool ready(int slot) const { return __atomic_load_n(&table_[slot].ready, __ATOMIC_ACQUIRE); }
    // The frame in a buffer is complete: every line written, and it shows camera_.
    void expect_frame_of_camera(int slot);

    HANDLE device_ = INVALID_HANDLE_VALUE;
    int camera_ = 7;
    StreamFormat format_{};
    std::vector<std::unique_ptr<UserBuffer>> buffers_;
    TARVO_FRAME_DESCRIPTOR* table_ = nullptr;
};

} // namespace tarvo_test
