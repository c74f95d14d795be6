#include "driver_fixture.h"

#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "win32/errors.h"
#include "win32/handleapi.h"
#include "win32/registry.h"
#include "win32/winsvc.h"

extern "C" ULONG RtlNtStatusToDosError(LONG status);

namespace tarvo_test {

DWORD error_of(std::uint32_t nt_status) {
    return nt_status == 0 ? 0 : RtlNtStatusToDosError(static_cast<LONG>(nt_status));
}

UserBuffer::UserBuffer(std::size_t size, std::size_t offset) : size_(size) {
    const std::size_t total = (offset + size + 4095) / 4096 * 4096;
    block_ = std::aligned_alloc(4096, total);
    std::memset(block_, 0xCD, total);
    data_ = static_cast<std::uint8_t*>(block_) + offset;
}

UserBuffer::~UserBuffer() {
    std::free(block_);
}

void DriverTest::make_machine(const machine::MachineConfig& config) {
    service_.emplace(TARVO_IMAGE_PATH, config, "Tarvo",
                     tolm_test::KernelDriverService::Start::Later);
    ASSERT_TRUE(service_->installed()) << service_->start_error();
}

bool DriverTest::start(DWORD* error) {
    const bool ok = service_->start();
    if (error != nullptr) {
        *error = ok ? 0 : service_->start_error();
    }
    return ok;
}

void DriverTest::stop_and_check_clean() {
    EXPECT_TRUE(service_->stop()) << GetLastError();
    // No register access while a window was off, no DMA into pages given back.
    EXPECT_EQ(hw().fault_count(machine::FaultKind::RegisterMemoryOff), 0u);
    EXPECT_EQ(hw().fault_count(machine::FaultKind::DmaNotLocked), 0u);
    EXPECT_EQ(hw().fault_count(machine::FaultKind::InterruptStorm), 0u);
    const auto reports = platform::nt::unload_reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(reports.back().clean());
    for (const auto& leak : reports.back().leaked_pool) {
        ADD_FAILURE() << "pool left: " << platform::nt::tag_text(leak.tag) << " " << leak.blocks;
    }
}

void DriverTest::TearDown() {
    for (HANDLE h : open_handles_) {
        CloseHandle(h);
    }
    open_handles_.clear();
    service_.reset();
}

HANDLE DriverTest::open(int device) {
    const std::string name = "\\\\.\\TarvoDevice" + std::to_string(device);
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        open_handles_.push_back(h);
    }
    return h;
}

void DriverTest::close(HANDLE h) {
    std::erase(open_handles_, h);
    CloseHandle(h);
}

Reply DriverTest::ioctl(HANDLE h, std::uint32_t code, const void* in, DWORD in_size, void* out,
                        DWORD out_size) {
    Reply r;
    r.ok = DeviceIoControl(h, code, const_cast<void*>(in), in_size, out, out_size, &r.bytes,
                           nullptr) != FALSE;
    r.error = r.ok ? 0 : GetLastError();
    return r;
}

Reply DriverTest::ioctl_inout(HANDLE h, std::uint32_t code, void* buffer, DWORD in_size,
                              DWORD out_size) {
    return ioctl(h, code, buffer, in_size, buffer, out_size);
}

std::optional<DWORD> DriverTest::device_value(int device, const char* name) {
    const std::string path = "SYSTEM\\CurrentControlSet\\Services\\Tarvo\\Devices\\TarvoDevice\\" +
                             std::to_string(device);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG e =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    if (e != ERROR_SUCCESS || type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

void DriverTest::route_camera(int chip, int camera) {
    const std::uint32_t byte =
        16u * static_cast<std::uint32_t>(chip - 1) + static_cast<std::uint32_t>(camera - 1);
    hw().write_register(1, 0x110, (0x4Cu << 24) | (byte << 16) | 0x80u);
    hw().write_register(1, 0x100, 1u << 8); // acknowledge the transaction's done bit
    ASSERT_EQ(hw().capture_route(1, chip), camera);
    hw().step();
}

std::vector<std::uint32_t> DriverTest::stable_registers(int chip) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t offset = 0; offset <= 0x11C; offset += 4) {
        // DSTATUS, INT_STAT and I2C change by themselves.
        if (offset == 0x000 || offset == 0x100 || offset == 0x110) {
            continue;
        }
        out.push_back(hw().read_register(chip, offset));
    }
    out.push_back(hw().read_register(chip, 0x200));
    return out;
}

} // namespace tarvo_test
