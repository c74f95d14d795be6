#include "board_fixture.h"

#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/handleapi.h"
#include "win32/modules.h"
#include "win32/winsvc.h"

#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace boardctl_test {

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
    return config;
}

void BoardTest::SetUp() {
    char pattern[] = "/tmp/boardctl-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    platform::set_system_root(root_);
    platform::clock::use_manual(100000);
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
}

void BoardTest::bring_up(const machine::MachineConfig& config, bool start) {
    machine::install_machine(std::make_unique<machine::Machine>(config));
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE service = CreateServiceA(
        manager, "Tarvo", "Tarvo", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
        SERVICE_ERROR_NORMAL, TARVO_IMAGE_PATH, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(service, nullptr) << GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (start) {
        start_driver();
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
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "Tarvo", SERVICE_ALL_ACCESS);
    EXPECT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
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
    platform::nt::reset();
    machine::install_machine(nullptr);
    platform::clock::use_real();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
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

} // namespace boardctl_test
