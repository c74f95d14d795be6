// Streaming through the device-control interface: frames of the camera on the chip's input in
// every descriptor marked ready, the hold when no buffer comes back, chip errors, stream end.
#include "stream_client.h"

#include "platform/clock.h"
#include <cstring>
#include <chrono>
#include <thread>

namespace tarvo_test {
namespace {

struct StreamCase {
    const char* name;
    StreamFormat format;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

class StreamFormats : public StreamTest, public ::testing::WithParamInterface<StreamCase> {};

// Every descriptor the driver marks ready holds a complete frame of the camera, slots come in
// ring order, and each carries its capture time on the platform clock.
TEST_P(StreamFormats, EveryReadyDescriptorHoldsACompleteFrame) {
    bring_up(7);
    start_stream(GetParam().format, 4);
    int expected = 0;
    std::uint32_t last_time = 0;
    for (int frame = 0; frame < 10; ++frame) {
        const std::uint32_t before = platform::clock::now();
        ASSERT_TRUE(step_until_ready(expected)) << "frame " << frame;
        const std::uint32_t after = platform::clock::now();
        for (int other = 0; other < 4; ++other) {
            EXPECT_EQ(ready(other), other == expected) << "frame " << frame;
        }
        expect_frame_of_camera(expected);
        EXPECT_EQ(table_[expected].error, 0u);
        EXPECT_GE(table_[expected].timeMs, before);
        EXPECT_LE(table_[expected].timeMs, after);
        EXPECT_GT(table_[expected].timeMs, last_time);
        last_time = table_[expected].timeMs;
        hand_back(expected);
        expected = (expected + 1) % 4;
    }
    EXPECT_EQ(hw().fault_count(), 0u);
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_FINI).ok);
    hw().step_fields(4);
    EXPECT_EQ(hw().fault_count(), 0u);
    close(device_);
    stop_and_check_clean();
}

INSTANTIATE_TEST_SUITE_P(Pal, StreamFormats,
                         ::testing::Values(StreamCase{"Yuy2_768x576", {4, 768, 576}},
                                           StreamCase{"Packed411_384x288", {5, 384, 288}},
                                           StreamCase{"Rgb24_640x480", {1, 640, 480}},
                                           StreamCase{"Rgb32_320x240", {0, 320, 240}},
                                           // Field programs longer than a page.
                                           StreamCase{"Rgb32_1000x576", {0, 1000, 576}}),
                         [](const auto& info) { return std::string(info.param.name); });

// The process's view of the descriptor table maps a whole page: the table has that page to
// itself, so the view shows nothing of the kernel's other memory.
TEST_F(StreamTest, TableViewShowsOnlyTheTable) {
    bring_up(7);
    start_stream({4, 384, 288}, 3);
    const auto table = reinterpret_cast<std::uintptr_t>(table_);
    const auto* page = reinterpret_cast<const std::uint8_t*>(table & ~std::uintptr_t(4095));
    const std::uintptr_t end = table + sizeof(TARVO_FRAME_DESCRIPTOR) * TARVO_MAX_BUFFERS;
    int foreign = 0;
    for (std::uintptr_t a = table & ~std::uintptr_t(4095); a < (table | 4095) + 1; ++a) {
        foreign += (a < table || a >= end) && page[a - reinterpret_cast<std::uintptr_t>(page)] != 0;
    }
    EXPECT_EQ(foreign, 0);
    close(device_);
    stop_and_check_clean();
}

// NTSC from a 525-line camera: the decoder format and norm from the source request, the PLL off,
// 640 x 480 interlaced frames of the camera.
TEST_F(StreamTest, NtscFramesFromA525LineCamera) {
    machine::MachineConfig config = BoardsOf({4});
    config.boards[0].cameras[5].lines = 525; // camera 6
    make_machine(config);
    ASSERT_TRUE(start());
    device_ = open(0);
    camera_ = 6;
    route_camera(1, 6);
    TARVO_SOURCE ntsc{20, 0, 1, 2, 0};
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_SET_SOURCE, &ntsc, sizeof ntsc, nullptr, 0).ok);
    start_stream({4, 640, 480}, 3);
    EXPECT_EQ(hw().read_register(1, 0x004) & 7, 1u);
    EXPECT_EQ(hw().read_register(1, 0x0F8), 0u); // no PLL for the 28.636363 MHz crystal
    for (int slot = 0; slot < 3; ++slot) {
        ASSERT_TRUE(step_until_ready(slot)) << slot;
        expect_frame_of_camera(slot);
        hand_back(slot);
    }
    EXPECT_EQ(hw().fault_count(), 0u);
}

// Closing does not end a stream; unloading with one still running stops the DMA and then gives
// its pages back, leaving nothing locked or allocated.
TEST_F(StreamTest, UnloadDuringALiveStreamLeavesNothingBehind) {
    bring_up();
    start_stream({4, 768, 576}, 4);
    ASSERT_TRUE(step_until_ready(0));
    close(device_); // the stream ends with the open that registered it
    hand_back(0);
    EXPECT_FALSE(step_until_ready(1));
    stop_and_check_clean();
    hw().step_fields(6);
    EXPECT_EQ(hw().fault_count(), 0u);
}

// Free-running, as the station runs it: fields on the machine's own thread in real time, the
// interrupt handler there, deferred calls on kernel threads, the client handing buffers back from
// its own thread.
TEST_F(StreamTest, FreeRunningStreamDeliversFramesInOrder) {
    make_machine(BoardsOf({1}));
    platform::clock::use_real();
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Auto);
    ASSERT_TRUE(start());
    device_ = open(0);
    route_camera(1, 4);
    camera_ = 4;
    start_stream({5, 384, 288}, 3);
    hw().start();
    int expected = 0, frames = 0;
    const std::uint32_t deadline = platform::clock::now() + 5000;
    while (frames < 6 && platform::clock::now() < deadline) {
        if (ready(expected)) {
            expect_frame_of_camera(expected);
            hand_back(expected);
            expected = (expected + 1) % 3;
            ++frames;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    hw().stop();
    EXPECT_EQ(frames, 6);
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_FINI).ok);
    EXPECT_EQ(hw().fault_count(), 0u);
    close(device_);
    stop_and_check_clean();
}

// With no buffer handed back the ring fills all four slots and holds; it resumes in order once
// the slot after the current one is free again.
TEST_F(StreamTest, HoldsWithoutFreeBuffersAndResumesInOrder) {
    bring_up(3);
    start_stream({4, 768, 576}, 4);
    for (int slot = 0; slot < 4; ++slot) {
        ASSERT_TRUE(step_until_ready(slot)) << slot;
    }
    std::uint32_t times[4];
    for (int slot = 0; slot < 4; ++slot) {
        times[slot] = table_[slot].timeMs;
    }
    hw().step_fields(12);
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_TRUE(ready(slot));
        EXPECT_EQ(table_[slot].timeMs, times[slot]) << "slot " << slot << " rewritten while held";
    }
    hand_back(0);
    hw().step_fields(6);
    EXPECT_FALSE(ready(0)) << "resumed before the slot after it was free";
    hand_back(1);
    ASSERT_TRUE(step_until_ready(0));
    EXPECT_GT(table_[0].timeMs, times[3]);
    expect_frame_of_camera(0);
    ASSERT_TRUE(step_until_ready(1));
    EXPECT_GT(table_[1].timeMs, table_[0].timeMs);
    expect_frame_of_camera(1);
    EXPECT_EQ(table_[2].timeMs, times[2]);
    EXPECT_EQ(hw().fault_count(), 0u);
}

struct ErrorCase {
    const char* name;
    std::uint32_t bits;
    bool enabled; // in the capture INT_MASK: handled at once, else at the next enabled interrupt
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class ChipErrors : public StreamTest, public ::testing::WithParamInterface<ErrorCase> {};

// A chip error closes the frame in progress with its error bits and the DMA restarts into the
// next slot; the following frames are whole again.
TEST_P(ChipErrors, CloseTheFrameAndRestartTheDma) {
    const ErrorCase& c = GetParam();
    bring_up(5);
    start_stream({4, 768, 576}, 4);
    ASSERT_TRUE(step_until_ready(0));
    hand_back(0);
    hw().step(); // into slot 1
    hw().inject_error_bits(1, c.bits);
    if (!c.enabled) {
        EXPECT_EQ(platform::nt::queued_deferred(), 0u);
        hw().step(); // the next field start raises an enabled interrupt
    }
    EXPECT_EQ(platform::nt::queued_deferred(), 1u);
    EXPECT_EQ(platform::nt::drain_deferred(), 1u);
    ASSERT_TRUE(ready(1));
    EXPECT_EQ(table_[1].error, c.bits);
    EXPECT_EQ(hw().read_register(1, 0x10C) & 3, 3u);
    EXPECT_EQ(hw().read_register(1, 0x104), 0x000C0933u);
    EXPECT_EQ(hw().read_register(1, 0x100) & 0xFF000, 0u);
    hand_back(1);
    ASSERT_TRUE(step_until_ready(2));
    EXPECT_EQ(table_[2].error, 0u);
    expect_frame_of_camera(2);
    EXPECT_EQ(hw().fault_count(machine::FaultKind::Injected), 1u);
}

INSTANTIATE_TEST_SUITE_P(Bits, ChipErrors,
                         ::testing::Values(ErrorCase{"OpcodeError", 0x40000, true},
                                           ErrorCase{"SyncError", 0x80000, true},
                                           ErrorCase{"BusMasterAbort", 0x20000, false},
                                           ErrorCase{"FifoOverrun", 0x1000, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A chip error while the ring is held (every buffer ready) closes no frame: the held slots keep
// their frames, the DMA restarts holding, and the ring resumes in order once buffers come back.
TEST_F(StreamTest, ErrorWhileTheRingIsHeldKeepsTheHeldFrames) {
    bring_up(5);
    start_stream({4, 768, 576}, 2);
    ASSERT_TRUE(step_until_ready(0));
    ASSERT_TRUE(step_until_ready(1));
    hw().step_fields(4); // held
    const std::uint32_t times[2] = {table_[0].timeMs, table_[1].timeMs};
    hw().inject_error_bits(1, 0x40000);
    ASSERT_EQ(platform::nt::drain_deferred(), 1u);
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_TRUE(ready(slot));
        EXPECT_EQ(table_[slot].error, 0u) << slot;
        EXPECT_EQ(table_[slot].timeMs, times[slot]) << slot;
    }
    EXPECT_EQ(hw().read_register(1, 0x10C) & 3, 3u) << "the DMA runs again";
    hw().step_fields(6);
    EXPECT_EQ(table_[0].timeMs, times[0]) << "still held";
    hand_back(0);
    hand_back(1);
    ASSERT_TRUE(step_until_ready(0));
    EXPECT_GT(table_[0].timeMs, times[1]);
    expect_frame_of_camera(0);
    EXPECT_EQ(hw().fault_count(), hw().fault_count(machine::FaultKind::Injected));
}

// An error restart still queued when the stream ends keeps the engine idle.
TEST_F(StreamTest, DeferredRestartAfterStreamEndLeavesTheEngineIdle) {
    bring_up();
    start_stream({4, 768, 576}, 2);
    hw().step();
    hw().inject_error_bits(1, 0x80000);
    ASSERT_EQ(platform::nt::queued_deferred(), 1u);
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_FINI).ok);
    platform::nt::drain_deferred();
    EXPECT_EQ(hw().read_register(1, 0x10C) & 3, 0u);
    EXPECT_EQ(hw().read_register(1, 0x104), 0x100u);
    const auto before = stable_registers(1);
    EXPECT_TRUE(simple(IOCTL_TARVO_RESTART_DMA).ok);
    EXPECT_EQ(stable_registers(1), before);
    hw().step_fields(4);
    EXPECT_EQ(hw().fault_count(machine::FaultKind::DmaNotLocked), 0u);
}

// Stopping invalidates the records: the same address handed in again registers anew (fresh
// programs on freshly locked pages) instead of restarting the old ones.
TEST_F(StreamTest, StopInvalidatesRecordsOfReusedAddresses) {
    bring_up();
    start_stream({4, 768, 576}, 2);
    ASSERT_TRUE(step_until_ready(0));
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_FINI).ok);
    ASSERT_TRUE(stream_init().ok);
    hand_back(0);
    TARVO_BUFFER_HEADER h{};
    ASSERT_TRUE(add_buffer(*buffers_[0], h).ok);
    EXPECT_EQ(h.dwBytesUsed, format_.frame_bytes()); // a new registration
    EXPECT_EQ(hw().read_register(1, 0x10C) & 3, 0u); // no capture started
    hw().step_fields(4);
    EXPECT_EQ(hw().fault_count(), 0u);
    EXPECT_FALSE(ready(0));
    // Handing it in again starts capture into slot 0.
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_START).ok);
    ASSERT_TRUE(add_buffer(*buffers_[0], h).ok);
    ASSERT_TRUE(step_until_ready(0));
    expect_frame_of_camera(0);
    EXPECT_EQ(hw().fault_count(), 0u);
}

// A new stream while one is live stops the old one first: its pages are unlocked only after
// the DMA is off, so the chip never writes to them again.
TEST_F(StreamTest, StreamInitDuringALiveStreamStopsItFirst) {
    bring_up();
    start_stream({5, 384, 288}, 3);
    ASSERT_TRUE(step_until_ready(0));
    std::uint32_t word = 0;
    const Reply r = ioctl_inout(device_, IOCTL_TARVO_STREAM_INIT, &word, 4, 4);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, 4u);
    EXPECT_EQ(word, 30000u);
    EXPECT_EQ(hw().read_register(1, 0x10C) & 3, 0u);
    hw().step_fields(6);
    EXPECT_EQ(hw().fault_count(), 0u);
    close(device_);
    stop_and_check_clean();
}

// Registration checks: a buffer too short for the picture, and a 21st buffer, register nothing.
TEST_F(StreamTest, RegistrationRefusesShortBuffersAndATwentyFirst) {
    bring_up();
    const StreamFormat f{4, 384, 288};
    ASSERT_TRUE(set_format(f).ok);
    ASSERT_TRUE(stream_init().ok);
    UserBuffer dummy(f.frame_bytes());
    ASSERT_TRUE(add_buffer(dummy).ok);
    ASSERT_TRUE(add_buffer(dummy).ok);
    UserBuffer short_buffer(f.frame_bytes() - 1);
    TARVO_BUFFER_HEADER h{};
    h.dwReserved[3] = 0x77;
    Reply r = add_buffer(short_buffer, h);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, error_of(kInvalidParameter));
    std::vector<std::unique_ptr<UserBuffer>> many;
    TARVO_FRAME_DESCRIPTOR* table = nullptr;
    for (int i = 0; i < 20; ++i) {
        many.push_back(std::make_unique<UserBuffer>(f.frame_bytes()));
        TARVO_BUFFER_HEADER g{};
        ASSERT_TRUE(add_buffer(*many.back(), g).ok) << i;
        table = reinterpret_cast<TARVO_FRAME_DESCRIPTOR*>(g.dwReserved[3]);
    }
    // The short buffer took no slot: entry 0 is the first good buffer.
    EXPECT_EQ(table[0].buffer, reinterpret_cast<std::uintptr_t>(many[0]->data()));
    UserBuffer extra(f.frame_bytes());
    r = add_buffer(extra);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, error_of(kInvalidParameter));
    // Capture over all twenty works and the extra buffer is never written.
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_START).ok);
    ASSERT_TRUE(add_buffer(*many[0]).ok);
    hw().step_fields(8);
    EXPECT_EQ(hw().fault_count(), 0u);
    EXPECT_EQ(extra.data()[0], 0xCD);
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_FINI).ok);
    close(device_);
    stop_and_check_clean();
}

// Opening the device again during capture clears every ready word: all buffers go back to the
// chip, and the ring goes on.
TEST_F(StreamTest, SecondOpenDuringCaptureHandsEveryBufferBack) {
    bring_up();
    start_stream({4, 768, 576}, 2);
    ASSERT_TRUE(step_until_ready(0));
    ASSERT_TRUE(step_until_ready(1));
    HANDLE second = open(0);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ready(0));
    EXPECT_FALSE(ready(1));
    close(second);
    // The first open's view of the table still works.
    hand_back(0);
    hand_back(1);
    ASSERT_TRUE(step_until_ready(0, 16));
    EXPECT_EQ(hw().fault_count(), 0u);
}

// The board dialog's restart: the caller stops the DMA through the register codes, the driver
// re-points the master at the current slot, the caller starts it again and capture goes on.
// The stream belongs to the open that registered its buffers: when that open is cleaned up (its
// process closed it or ended) the DMA stops and the pages are unlocked; another open (the
// board-control library's) coming and going leaves the stream running.
TEST_F(StreamTest, StreamEndsWithTheOpenThatRegisteredItsBuffers) {
    bring_up(11);
    start_stream({4, 768, 576}, 2);
    ASSERT_TRUE(step_until_ready(0));
    hand_back(0);
    HANDLE other = open(0);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    close(other);
    EXPECT_TRUE(hw().read_register(1, 0x10C) & 2) << "still capturing";
    ASSERT_TRUE(step_until_ready(1));

    other = open(0);
    close(device_);
    device_ = INVALID_HANDLE_VALUE;
    EXPECT_EQ(hw().read_register(1, 0x10C) & 3, 0u) << "DMA stopped";
    for (auto& b : buffers_) {
        std::memset(b->data(), 0x77, b->size());
    }
    hw().step_fields(6);
    for (auto& b : buffers_) {
        EXPECT_EQ(b->data()[0], 0x77);
        EXPECT_EQ(b->data()[b->size() - 1], 0x77);
    }
    EXPECT_EQ(hw().fault_count(), 0u);
    close(other);
    stop_and_check_clean();
}

// After the stream ends the master program has no targets: a raw DMA enable (a register write
// from user mode) runs it idle instead of writing into the freed buffers.
TEST_F(StreamTest, DmaEnabledAfterStreamEndWritesNowhere) {
    bring_up(11);
    start_stream({4, 768, 576}, 2);
    ASSERT_TRUE(step_until_ready(0));
    ASSERT_TRUE(simple(IOCTL_TARVO_STREAM_FINI).ok);
    buffers_.clear();
    std::uint32_t capture[2] = {0x0DC, 0x03};
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_WRITE_REG, capture, 8, nullptr, 0).ok);
    std::uint32_t go[2] = {0x10C, 0xAF};
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_WRITE_REG, go, 8, nullptr, 0).ok);
    hw().step_fields(6);
    EXPECT_EQ(hw().fault_count(), 0u);
    EXPECT_EQ(hw().read_register(1, 0x100) & 0xFF000, 0u) << "no error bits";
}

TEST_F(StreamTest, RestartDmaRepointsAStoppedEngine) {
    bring_up(11);
    start_stream({4, 768, 576}, 2);
    ASSERT_TRUE(step_until_ready(0));
    hand_back(0);
    const std::uint32_t dma = hw().read_register(1, 0x10C);
    std::uint32_t stop[2] = {0x10C, dma & ~3u};
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_WRITE_REG, stop, 8, nullptr, 0).ok);
    hw().write_register(1, 0x114, 0);
    ASSERT_TRUE(simple(IOCTL_TARVO_RESTART_DMA).ok);
    EXPECT_NE(hw().read_register(1, 0x114), 0u);
    std::uint32_t go[2] = {0x10C, dma | 3u};
    ASSERT_TRUE(ioctl(device_, IOCTL_TARVO_WRITE_REG, go, 8, nullptr, 0).ok);
    ASSERT_TRUE(step_until_ready(1));
    hand_back(1);
    ASSERT_TRUE(step_until_ready(0));
    expect_frame_of_camera(0);
}

} // namespace
} // namespace tarvo_test
