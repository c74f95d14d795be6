#include "stream_client.h"

#include <cstring>

#include "machine/camera_code.h"

namespace tarvo_test {

namespace {
constexpr std::uint8_t kUnwritten = 0xCD; // the fill of a fresh or handed-back buffer
}

void StreamTest::bring_up(int camera, bool bridge) {
    make_machine(BoardsOf({4}, bridge));
    DWORD error = 0;
    ASSERT_TRUE(start(&error)) << error;
    device_ = open(0);
    ASSERT_NE(device_, INVALID_HANDLE_VALUE);
    camera_ = camera;
    route_camera(1, camera);
}

Reply StreamTest::set_format(const StreamFormat& f) {
    TARVO_FORMAT request{};
    request.size = sizeof request;
    request.colorFormat = f.color;
    request.width = f.width;
    request.height = f.height;
    return ioctl(device_, IOCTL_TARVO_SET_FORMAT, &request, sizeof request, nullptr, 0);
}

Reply StreamTest::stream_init() {
    std::uint32_t period = 40000;
    return ioctl_inout(device_, IOCTL_TARVO_STREAM_INIT, &period, 4, 4);
}

Reply StreamTest::add_buffer(const UserBuffer& buffer, TARVO_BUFFER_HEADER& header) {
    header.lpData = reinterpret_cast<std::uintptr_t>(buffer.data());
    header.dwBufferLength = static_cast<std::uint32_t>(buffer.size());
    return ioctl_inout(device_, IOCTL_TARVO_ADD_BUFFER, &header, sizeof header, sizeof header);
}

void StreamTest::start_stream(const StreamFormat& f, int count, std::size_t page_offset) {
    format_ = f;
    ASSERT_TRUE(set_format(f).ok);
    ASSERT_TRUE(stream_init().ok);
    buffers_.clear();
    for (int i = 0; i < count; ++i) {
        buffers_.push_back(std::make_unique<UserBuffer>(f.frame_bytes(), page_offset));
    }
    // The first two requests after the driver started only answer.
    for (int i = 0; i < 2; ++i) {
        TARVO_BUFFER_HEADER h{};
        h.dwReserved[3] = 0x5EED;
        ASSERT_TRUE(add_buffer(*buffers_[0], h).ok);
        EXPECT_EQ(h.dwBytesUsed, 0u);
        EXPECT_EQ(h.dwReserved[3], 0x5EEDu);
    }
    for (int i = 0; i < count; ++i) {
        TARVO_BUFFER_HEADER h{};
        const Reply r = add_buffer(*buffers_[static_cast<std::size_t>(i)], h);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.bytes, sizeof h);
        EXPECT_EQ(h.dwBytesUsed, f.frame_bytes());
        ASSERT_NE(h.dwReserved[3], 0u);
        table_ = reinterpret_cast<TARVO_FRAME_DESCRIPTOR*>(h.dwReserved[3]);
        EXPECT_EQ(table_[i].buffer, reinterpret_cast<std::uintptr_t>(buffers_[i]->data()));
        EXPECT_FALSE(ready(i));
    }
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_START).ok);
    // Handing a registered buffer back starts capture.
    TARVO_BUFFER_HEADER h{};
    ASSERT_TRUE(add_buffer(*buffers_[0], h).ok);
    EXPECT_EQ(h.dwReserved[3], reinterpret_cast<std::uintptr_t>(table_));
    EXPECT_EQ(hw().read_register(1, 0x104), 0x000C0933u);
}

bool StreamTest::step_until_ready(int slot, int fields) {
    for (int i = 0; i < fields; ++i) {
        if (ready(slot)) {
            return true;
        }
        hw().step();
    }
    return ready(slot);
}

void StreamTest::hand_back(int slot) {
    std::memset(buffers_[static_cast<std::size_t>(slot)]->data(), kUnwritten,
                buffers_[static_cast<std::size_t>(slot)]->size());
    table_[slot].error = 0;
    __atomic_store_n(&table_[slot].ready, 0u, __ATOMIC_RELEASE);
}

void StreamTest::expect_frame_of_camera(int slot) {
    const UserBuffer& b = *buffers_[static_cast<std::size_t>(slot)];
    const std::uint32_t line = format_.line_bytes();
    int unwritten_lines = 0;
    for (std::uint32_t y = 0; y < format_.height; ++y) {
        const std::uint8_t* p = b.data() + y * line;
        bool head = true, tail = true;
        for (int i = 0; i < 4; ++i) {
            head = head && p[i] == kUnwritten;
            tail = tail && p[line - 1 - static_cast<std::uint32_t>(i)] == kUnwritten;
        }
        unwritten_lines += head || tail;
    }
    EXPECT_EQ(unwritten_lines, 0) << "slot " << slot;
    EXPECT_EQ(machine::read_camera_number(b.data(), static_cast<int>(format_.width),
                                          static_cast<int>(format_.height), format_.model(), true),
              camera_)
        << "slot " << slot;
}

} // namespace tarvo_test
