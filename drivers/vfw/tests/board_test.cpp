// The capture driver on the virtual board, driven through the capture layer as the station
// drives it: the real kernel driver image, installed by the capture driver on first open.
#include "driver_fixture.h"

#include "machine/camera_code.h"
#include "machine/machine.h"
#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "tarvo/tarvo_ioctl.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace capdrv_test {
namespace {

constexpr DWORD kColorFmt = 0x0D4;
constexpr DWORD kBright = 0x028;
constexpr DWORD kHue = 0x03C;
constexpr DWORD kIForm = 0x004;

// What the video-stream callback of one capture window saw. The callback takes frames as the
// station does: from the descriptor table that the header's fourth reserved word points at.
struct Seen {
    std::mutex mutex;
    int width = 0, height = 0;
    machine::ColorFormat format{};
    std::vector<DWORD_PTR> tables; // dwReserved[3] of every answer, in order
    std::vector<int> cameras;      // decoded from every ready frame
};
Seen* g_seen[2];
HWND g_windows[2];

Seen* seen_of(HWND w) {
    for (int i = 0; i < 2; ++i) {
        if (g_windows[i] == w) {
            return g_seen[i];
        }
    }
    return nullptr;
}

LRESULT CALLBACK on_frame(HWND w, LPVIDEOHDR h) {
    Seen* s = seen_of(w);
    if (s == nullptr) {
        return TRUE;
    }
    std::lock_guard lock(s->mutex);
    s->tables.push_back(h->dwReserved[3]);
    auto* table = reinterpret_cast<TARVO_FRAME_DESCRIPTOR*>(h->dwReserved[3]);
    if (table == nullptr) {
        return TRUE;
    }
    for (DWORD i = 0; i < TARVO_MAX_BUFFERS; ++i) {
        if (table[i].buffer != reinterpret_cast<std::uintptr_t>(h->lpData) ||
            __atomic_load_n(&table[i].ready, __ATOMIC_ACQUIRE) == 0) {
            continue;
        }
        s->cameras.push_back(
            machine::read_camera_number(h->lpData, s->width, s->height, s->format, true));
        std::memset(h->lpData, 0xCD, h->dwBufferLength);
        table[i].error = 0;
        __atomic_store_n(&table[i].ready, 0u, __ATOMIC_RELEASE);
    }
    return TRUE;
}

class Board : public DriverFixture {
protected:
    Board() {
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
    ~Board() override {
        for (HWND& w : g_windows) {
            if (w != nullptr) {
                capCaptureStop(w);
                capDriverDisconnect(w);
                DestroyWindow(w);
                w = nullptr;
            }
        }
        platform::nt::reset();
        machine::install_machine(nullptr);
        platform::clock::use_real();
    }
    machine::Machine& hw() { return machine::the_machine(); }

    HWND connect(int window, int slot) {
        HWND w = capCreateCaptureWindowA("capture", 0, 0, 0, 160, 120, nullptr, window);
        g_windows[window] = w;
        EXPECT_TRUE(capDriverConnect(w, static_cast<WPARAM>(slot)));
        return w;
    }
    // Routes crosspoint input `camera` to capture output `chip` (1-4) through chip 1's I2C bus.
    void route_camera(int chip, int camera) {
        const std::uint32_t byte =
            16u * static_cast<std::uint32_t>(chip - 1) + static_cast<std::uint32_t>(camera - 1);
        hw().write_register(1, 0x110, (0x4Cu << 24) | (byte << 16) | 0x80u);
        hw().write_register(1, 0x100, 1u << 8);
        ASSERT_EQ(hw().capture_route(1, chip), camera);
    }
    void start_capture(int window, Seen& seen) {
        HWND w = g_windows[window];
        BITMAPINFOHEADER format{};
        ASSERT_EQ(capGetVideoFormat(w, &format, sizeof format), sizeof format);
        seen.width = format.biWidth;
        seen.height = format.biHeight;
        seen.format = format.biBitCount == 24 ? machine::ColorFormat(1) : machine::ColorFormat(0);
        g_seen[window] = &seen;
        ASSERT_TRUE(capSetCallbackOnVideoStream(w, on_frame));
        CAPTUREPARMS parms{};
        ASSERT_TRUE(capCaptureGetSetup(w, &parms, sizeof parms));
        parms.wNumVideoRequested = 4;
        parms.fYield = FALSE;
        parms.dwRequestMicroSecPerFrame = 40000;
        ASSERT_TRUE(capCaptureSetSetup(w, &parms, sizeof parms));
        ASSERT_TRUE(capCaptureSequenceNoFile(w));
    }
    // Steps fields until every window saw `frames` decoded frames (or a limit is reached).
    void run_until(std::initializer_list<Seen*> windows, std::size_t frames) {
        for (int field = 0; field < 400; ++field) {
            bool done = true;
            for (Seen* s : windows) {
                std::lock_guard lock(s->mutex);
                done = done && s->cameras.size() >= frames;
            }
            if (done) {
                return;
            }
            hw().step();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};

TEST_F(Board, CopiesInSlotsZeroAndOneStreamTheirChipsCameras) {
    install_copy("tarvovfw1.dll", 1);
    register_slot(1, "tarvovfw1.dll");
    ASSERT_EQ(service_state(), 0u); // not installed yet
    connect(0, 0);
    // The first open created the service as an automatic-start driver and started it.
    EXPECT_EQ(service_state(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(service_start_type(), static_cast<DWORD>(SERVICE_AUTO_START));
    connect(1, 1);
    route_camera(1, 7);
    route_camera(2, 9);
    Seen first, second;
    start_capture(0, first);
    start_capture(1, second);
    run_until({&first, &second}, 3);
    for (HWND w : g_windows) {
        EXPECT_TRUE(capCaptureStop(w));
    }
    for (auto [s, camera] : {std::pair{&first, 7}, std::pair{&second, 9}}) {
        SCOPED_TRACE(camera);
        std::lock_guard lock(s->mutex);
        ASSERT_GE(s->cameras.size(), 3u);
        for (int c : s->cameras) {
            EXPECT_EQ(c, camera);
        }
        // The kernel driver's first two answers leave the fourth reserved word alone; from the
        // third on it carries the descriptor table.
        ASSERT_GE(s->tables.size(), 3u);
        EXPECT_EQ(s->tables[0], 0u);
        EXPECT_EQ(s->tables[1], 0u);
        for (std::size_t i = 2; i < s->tables.size(); ++i) {
            ASSERT_NE(s->tables[i], 0u) << i;
            EXPECT_EQ(s->tables[i], s->tables[2]);
        }
    }
    EXPECT_NE(first.tables[2], second.tables[2]); // one table per chip
    // The stream ended before the buffers went: no DMA into pages given back.
    for (HWND& w : g_windows) {
        EXPECT_TRUE(capDriverDisconnect(w));
    }
    hw().step_fields(4);
    EXPECT_EQ(hw().fault_count(machine::FaultKind::DmaNotLocked), 0u);
    EXPECT_EQ(hw().fault_count(machine::FaultKind::RegisterMemoryOff), 0u);
}

TEST_F(Board, PerUserSettingsReachTheChipAtOpen) {
    set_user_value(0, "Format", 3);
    set_user_value(0, "Width", 384);
    set_user_value(0, "Height", 288);
    set_user_value(0, "Brightness", 200);
    set_user_value(0, "Hue", 17);
    set_user_value(0, "VideoStd", 6);
    set_user_value(0, "Connector", 1);
    set_user_value(0, "Contrast", 999); // out of range: the default 128
    HWND w = connect(0, 0);
    EXPECT_EQ(hw().read_register(1, kColorFmt), 0x33u);
    EXPECT_EQ(hw().read_register(1, kBright), 72u);
    EXPECT_EQ(hw().read_register(1, kHue), 17u);
    EXPECT_EQ(hw().read_register(1, kIForm) & 7, 6u);
    EXPECT_EQ((hw().read_register(1, kIForm) >> 5) & 3, 1u);
    EXPECT_EQ(hw().read_register(1, 0x030), 0u); // CONTRAST_LO of 128: 256 & 0xFF
    BITMAPINFOHEADER format{};
    ASSERT_EQ(capGetVideoFormat(w, &format, sizeof format), sizeof format);
    EXPECT_EQ(format.biWidth, 384);
    EXPECT_EQ(format.biHeight, 288);
    EXPECT_EQ(format.biBitCount, 16);
    EXPECT_EQ(format.biXPelsPerMeter, 0);
    // All three channels are open: the copy says so in its key, until it disconnects.
    EXPECT_GT(user_value(0, "BoardInfo"), 0);
    EXPECT_TRUE(capDriverDisconnect(w));
    EXPECT_EQ(user_value(0, "BoardInfo"), 0);
}

TEST_F(Board, FormatChangesReachTheChip) {
    HWND w = connect(0, 0);
    EXPECT_EQ(hw().read_register(1, kColorFmt), 0x11u); // the default RGB24
    BITMAPINFOHEADER format{};
    format.biSize = sizeof format;
    format.biWidth = 320;
    format.biHeight = 240;
    format.biPlanes = 1;
    format.biBitCount = 16;
    format.biCompression = mmioFOURCC('Y', 'U', 'Y', '2');
    format.biSizeImage = 320 * 240 * 2;
    ASSERT_TRUE(capSetVideoFormat(w, &format, sizeof format));
    EXPECT_EQ(hw().read_register(1, kColorFmt), 0x44u);
    BITMAPINFOHEADER now{};
    ASSERT_EQ(capGetVideoFormat(w, &now, sizeof now), sizeof now);
    EXPECT_EQ(now.biCompression, BI_RGB);
    EXPECT_EQ(now.biXPelsPerMeter, 1);
    EXPECT_EQ(now.biWidth, 320);
    // A refused format leaves chip and format as they were.
    format.biSizeImage = 100;
    EXPECT_FALSE(capSetVideoFormat(w, &format, sizeof format));
    format.biSizeImage = 320 * 240 * 2;
    format.biCompression = BI_RGB;
    format.biXPelsPerMeter = 5;
    EXPECT_FALSE(capSetVideoFormat(w, &format, sizeof format));
    EXPECT_EQ(hw().read_register(1, kColorFmt), 0x44u);
    ASSERT_EQ(capGetVideoFormat(w, &now, sizeof now), sizeof now);
    EXPECT_EQ(now.biXPelsPerMeter, 1);
}

} // namespace
} // namespace capdrv_test
