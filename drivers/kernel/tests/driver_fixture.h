// A test fixture that runs the driver image on the virtual board in stepped mode: a temporary
// system root, a machine of a given layout, the service installed and started through the
// service manager, and user-mode device requests as the capture library sends them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The user-mode declarations first: the kernel's base header defers to them.
#include "win32/devio.h"

#include "machine/machine.h"
#include "kernel_service.h"
#include "platform/nt_kernel.h"
#include "platform/register_view.h"
#include "tarvo/tarvo_ioctl.h"

namespace tarvo_test {

// The result of one DeviceIoControl.
struct Reply {
    bool ok = false;
    DWORD error = 0; // GetLastError when !ok
    DWORD bytes = 0;
};

// NT status codes the driver answers with.
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kUnsuccessful = 0xC0000001;
inline constexpr std::uint32_t kInvalidParameter = 0xC000000D;
inline constexpr std::uint32_t kNoSuchDevice = 0xC000000E;
inline constexpr std::uint32_t kBufferTooSmall = 0xC0000023;
inline constexpr std::uint32_t kInsufficientResources = 0xC000009A;
inline constexpr std::uint32_t kDeviceDoesNotExist = 0xC00000C0;
inline constexpr std::uint32_t kInvalidParameter1 = 0xC00000EF;

// Win32 error a failing request with this NT status reports (0 for success).
DWORD error_of(std::uint32_t nt_status);

// A page-aligned block of `size` bytes with the usable data starting `offset` bytes in.
class UserBuffer {
public:
    UserBuffer(std::size_t size, std::size_t offset = 0);
    ~UserBuffer();
    UserBuffer(const UserBuffer&) = delete;
    UserBuffer& operator=(const UserBuffer&) = delete;
    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    void* block_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

using tolm_test::BoardsOf;

class DriverTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Builds the machine in a fresh system root and installs the service; start() loads the
    // driver.
    void make_machine(const machine::MachineConfig& config);
    bool start(DWORD* error = nullptr);
    // Stops the service; the driver's unload report must be clean.
    void stop_and_check_clean();
    machine::Machine& hw() { return machine::the_machine(); }

    HANDLE open(int device);
    void close(HANDLE h);
    Reply ioctl(HANDLE h, std::uint32_t code, const void* in, DWORD in_size, void* out,
                DWORD out_size);
    // A request whose input and output are the same buffer.
    Reply ioctl_inout(HANDLE h, std::uint32_t code, void* buffer, DWORD in_size, DWORD out_size);

    std::optional<DWORD> device_value(int device, const char* name);
    // Routes crosspoint input `camera` to capture output `chip` (board 1) through chip 1's I2C
    // bus, and lets one field start so the switch takes effect.
    void route_camera(int chip, int camera);
    // Snapshot of the registers that only software changes.
    std::vector<std::uint32_t> stable_registers(int chip);

    std::optional<tolm_test::KernelDriverService> service_;
    std::vector<HANDLE> open_handles_; // closed at tear-down when a test left them open
};

// Stream helpers shared by the streaming tests.
struct Stream {
    TARVO_FRAME_DESCRIPTOR* table = nullptr;
};

} // namespace tarvo_test
