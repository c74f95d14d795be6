#include "board_fixture.h"

#include "platform/modules.h"
#include "win32/errors.h"
#include "win32/handleapi.h"
#include "win32/modules.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace boardctl_test {

Buffer::Buffer(std::size_t n) : size(n) {
    data = static_cast<std::uint8_t*>(std::aligned_alloc(4096, (n + 4095) / 4096 * 4096));
    std::memset(data, 0xCD, n);
}

Buffer::~Buffer() {
    std::free(data);
}

std::vector<const char*> export_names() {
    return {
#define BOARDCTL_SLOT(fn) #fn,
#include "export_names.inc"
#undef BOARDCTL_SLOT
    };
}

machine::MachineConfig one_board(int chips, bool bridge) {
    machine::MachineConfig config;
    config.boards.assign(1, machine::BoardConfig{});
    config.boards[0].chips.assign(static_cast<std::size_t>(chips), machine::ChipConfig{});
    config.bridge_fitted = bridge;
    // The board tests compare exact camera levels: cameras without sensor noise and drift.
    for (machine::CameraConfig& camera : config.boards[0].cameras) {
        camera.noise = 0;
        camera.drift = 0;
    }
    return config;
}

void BoardTest::SetUp() {}

void BoardTest::bring_up(const machine::MachineConfig& config, bool start) {
    service_.emplace(TARVO_IMAGE_PATH, config, "Tarvo",
                     start ? tolm_test::KernelDriverService::Start::Now
                           : tolm_test::KernelDriverService::Start::Later);
    ASSERT_TRUE(service_->installed()) << service_->start_error();
    if (start) {
        EXPECT_TRUE(service_->started()) << service_->start_error();
    }

    module_ = LoadLibraryA(TARVOVFW_PATH);
    ASSERT_NE(module_, nullptr) << platform::module_load_error();
#define BOARDCTL_SLOT(fn)                                                                          \
    lib_.fn = reinterpret_cast<decltype(lib_.fn)>(GetProcAddress(module_, #fn));                   \
    ASSERT_NE(lib_.fn, nullptr) << #fn;
#include "export_names.inc"
#undef BOARDCTL_SLOT
}

void BoardTest::start_driver() {
    EXPECT_TRUE(service_->start()) << service_->start_error();
}

void BoardTest::TearDown() {
    for (HANDLE h : handles_) {
        CloseHandle(h);
    }
    if (module_ != nullptr) {
        FreeLibrary(module_);
        // Released for real, so its device handles are closed before the driver goes.
        EXPECT_EQ(dlopen(TARVOVFW_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
    }
    service_.reset();
}

HANDLE BoardTest::open_device(int number) {
    const std::string name = "\\\\.\\TarvoDevice" + std::to_string(number);
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        handles_.push_back(h);
    }
    return h;
}

bool BoardTest::ioctl(HANDLE h, std::uint32_t code, void* in, DWORD in_size, void* out,
                      DWORD out_size, DWORD* bytes) {
    DWORD returned = 0;
    const bool ok =
        DeviceIoControl(h, code, in, in_size, out, out_size, &returned, nullptr) != FALSE;
    if (bytes != nullptr) {
        *bytes = returned;
    }
    return ok;
}

bool BoardTest::set_format(HANDLE h, std::uint32_t color, std::uint32_t width,
                           std::uint32_t height) {
    TARVO_FORMAT f{};
    f.size = sizeof f;
    f.colorFormat = color;
    f.width = width;
    f.height = height;
    return ioctl(h, IOCTL_TARVO_SET_FORMAT, &f, sizeof f, nullptr, 0);
}

void BoardTest::start_capture(HANDLE h, std::uint32_t color, std::uint32_t width,
                              std::uint32_t height, std::size_t frame_bytes) {
    ASSERT_TRUE(set_format(h, color, width, height));
    std::uint32_t period = 40000;
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_STREAM_INIT, &period, 4, &period, 4));
    for (int i = 0; i < 4; ++i) {
        buffers_.push_back(std::make_unique<Buffer>(frame_bytes));
    }
    for (int i = 0; i < 2; ++i) { // the first two answers after the driver starts
        ASSERT_TRUE(add_buffer(h, 0));
    }
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(add_buffer(h, i));
    }
    ASSERT_NE(table_, nullptr);
    ASSERT_TRUE(ioctl(h, IOCTL_TARVO_STREAM_START, nullptr, 0, nullptr, 0));
    ASSERT_TRUE(add_buffer(h, 0)); // a registered buffer handed back starts capture
}

bool BoardTest::add_buffer(HANDLE h, int i) {
    const Buffer& b = *buffers_.at(static_cast<std::size_t>(i));
    TARVO_BUFFER_HEADER header{};
    header.lpData = reinterpret_cast<std::uintptr_t>(b.data);
    header.dwBufferLength = static_cast<std::uint32_t>(b.size);
    const bool ok =
        ioctl(h, IOCTL_TARVO_ADD_BUFFER, &header, sizeof header, &header, sizeof header);
    if (header.dwReserved[3] != 0) {
        table_ = reinterpret_cast<TARVO_FRAME_DESCRIPTOR*>(header.dwReserved[3]);
    }
    return ok;
}

} // namespace boardctl_test
