#include "board_fixture.h"

#include "machine/camera_code.h"
#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "tarvo/tarvo_ioctl.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace capdrv_test {
namespace {

// What the video-stream callback saw. Frames are taken from the descriptor table that the
// header's fourth reserved word points at, as the station takes them.
struct Frames {
    std::mutex mutex;
    int width = 0, height = 0;
    machine::ColorFormat format{};
    int count = 0;
    int black_luma = -1;
};
Frames g_frames;

LRESULT CALLBACK on_frame(HWND, LPVIDEOHDR h) {
    std::lock_guard lock(g_frames.mutex);
    auto* table = reinterpret_cast<TARVO_FRAME_DESCRIPTOR*>(h->dwReserved[3]);
    if (table == nullptr) {
        return TRUE;
    }
    for (DWORD i = 0; i < TARVO_MAX_BUFFERS; ++i) {
        if (table[i].buffer != reinterpret_cast<std::uintptr_t>(h->lpData) ||
            __atomic_load_n(&table[i].ready, __ATOMIC_ACQUIRE) == 0) {
            continue;
        }
        // Cell 1 of the code strip (black), in the middle of its band.
        const int x = g_frames.width * 25 / 100;
        const int y = g_frames.height * 9 / 100;
        g_frames.black_luma = machine::pixel_luma(h->lpData, g_frames.width, g_frames.height,
                                                  g_frames.format, true, x, y);
        ++g_frames.count;
        table[i].error = 0;
        __atomic_store_n(&table[i].ready, 0u, __ATOMIC_RELEASE);
    }
    return TRUE;
}

} // namespace

OnBoard::OnBoard() {
    platform::clock::use_manual(100000);
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
    machine::MachineConfig config;
    config.boards.clear();
    machine::BoardConfig board;
    board.chips.assign(4, machine::ChipConfig{});
    config.boards.push_back(board);
    machine::install_machine(std::make_unique<machine::Machine>(config));
    install_kernel_image(TARVO_IMAGE_PATH);
    install_copy("tarvovfw0.dll", 0);
    register_slot(0, "tarvovfw0.dll");
}

OnBoard::~OnBoard() {
    if (window_ != nullptr) {
        capCaptureStop(window_);
        capDriverDisconnect(window_);
        DestroyWindow(window_);
    }
    platform::nt::reset();
    machine::install_machine(nullptr);
    platform::clock::use_real();
}

HWND OnBoard::connect() {
    window_ = capCreateCaptureWindowA("capture", 0, 0, 0, 160, 120, nullptr, 0);
    EXPECT_TRUE(capDriverConnect(window_, 0));
    return window_;
}

void OnBoard::route_camera(int camera) {
    const auto byte = static_cast<std::uint32_t>(camera - 1);
    hw().write_register(1, 0x110, (0x4Cu << 24) | (byte << 16) | 0x80u);
    hw().write_register(1, 0x100, 1u << 8);
    ASSERT_EQ(hw().capture_route(1, 1), camera);
}

void OnBoard::start_capture() {
    BITMAPINFOHEADER format{};
    ASSERT_EQ(capGetVideoFormat(window_, &format, sizeof format), sizeof format);
    {
        std::lock_guard lock(g_frames.mutex);
        g_frames.width = format.biWidth;
        g_frames.height = format.biHeight;
        g_frames.format =
            format.biBitCount == 24 ? machine::ColorFormat(1) : machine::ColorFormat(0);
        g_frames.count = 0;
        g_frames.black_luma = -1;
    }
    ASSERT_TRUE(capSetCallbackOnVideoStream(window_, on_frame));
    CAPTUREPARMS parms{};
    ASSERT_TRUE(capCaptureGetSetup(window_, &parms, sizeof parms));
    parms.wNumVideoRequested = 4;
    parms.fYield = FALSE;
    parms.dwRequestMicroSecPerFrame = 40000;
    ASSERT_TRUE(capCaptureSetSetup(window_, &parms, sizeof parms));
    ASSERT_TRUE(capCaptureSequenceNoFile(window_));
}

int OnBoard::step_frames(int frames) {
    int target = 0;
    {
        std::lock_guard lock(g_frames.mutex);
        target = g_frames.count + frames;
    }
    for (int field = 0; field < 400; ++field) {
        {
            std::lock_guard lock(g_frames.mutex);
            if (g_frames.count >= target) {
                return g_frames.black_luma;
            }
        }
        hw().step();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard lock(g_frames.mutex);
    return g_frames.count >= target ? g_frames.black_luma : -1;
}

} // namespace capdrv_test
