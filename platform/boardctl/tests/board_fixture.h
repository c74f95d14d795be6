// The library on the virtual board in stepped mode: a temporary system root, the machine, the
// kernel driver installed as a service and started through the service manager, and the library
// loaded from the program folder with its exports looked up by name, as the station binds them.
#pragma once

#include <gtest/gtest.h>

#include "win32/devio.h"

#include "kernel_service.h"
#include "machine/machine.h"
#include "tarvo/tarvo_ioctl.h"
#include "tarvovfw/tarvovfw.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace boardctl_test {

// The library's functions as found by GetProcAddress.
struct Library {
#define BOARDCTL_SLOT(fn) decltype(&::fn) fn = nullptr;
#include "export_names.inc"
#undef BOARDCTL_SLOT
};

// A page-aligned capture buffer.
struct Buffer {
    explicit Buffer(std::size_t n);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    std::uint8_t* data;
    std::size_t size;
};

// The 42 export names.
std::vector<const char*> export_names();

machine::MachineConfig one_board(int chips, bool bridge = true);

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the machine, installs the kernel driver (and starts it unless told not to) and
    // loads the library.
    void bring_up(const machine::MachineConfig& config = one_board(4), bool start_driver = true);
    void start_driver();
    machine::Machine& hw() { return machine::the_machine(); }
    const Library& lib() const { return lib_; }

    // A device handle of the test's own (as the capture driver library keeps one).
    HANDLE open_device(int number);
    bool ioctl(HANDLE h, std::uint32_t code, void* in, DWORD in_size, void* out, DWORD out_size,
               DWORD* bytes = nullptr);
    bool set_format(HANDLE h, std::uint32_t color, std::uint32_t width, std::uint32_t height);
    // Capture through `h` into four buffers of `frame_bytes`, started as the capture driver
    // library starts it; the frame-descriptor table lands in `table_`.
    void start_capture(HANDLE h, std::uint32_t color, std::uint32_t width, std::uint32_t height,
                       std::size_t frame_bytes);
    // Registers buffer i, or hands it back while capture runs.
    bool add_buffer(HANDLE h, int i);

    // The system root, the stepped machine and the kernel driver's service (from bring_up).
    std::optional<tolm_test::KernelDriverService> service_;
    HMODULE module_ = nullptr;
    Library lib_;
    std::vector<HANDLE> handles_;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    TARVO_FRAME_DESCRIPTOR* table_ = nullptr;
};

} // namespace boardctl_test
