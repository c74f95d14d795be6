#include "driver_fixture.h"

#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/registry.h"

namespace capdrv_test {

std::filesystem::path install_copy(const std::string& file, int digit) {
    return vfw_test::install_driver_copy(TARVOVFW_PATH, file, digit);
}

static std::filesystem::path kernel_image_path() {
    return platform::system_directory() / "drivers" / "Tarvo.sys";
}

void install_kernel_image(const char* image) {
    std::filesystem::create_directories(platform::system_directory() / "drivers");
    std::filesystem::copy_file(image, kernel_image_path(),
                               std::filesystem::copy_options::overwrite_existing);
}

void create_service(DWORD start) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    const std::string image = kernel_image_path().string();
    SC_HANDLE service = CreateServiceA(manager, "Tarvo", "Tarvo", SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, start, SERVICE_ERROR_NORMAL,
                                       image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(service, nullptr) << GetLastError();
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

DWORD service_state() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "Tarvo", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    const DWORD state =
        service != nullptr && QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return state;
}

DWORD service_start_type() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tarvo", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return 0xFFFFFFFF;
    }
    DWORD type = 0, value = 0xFFFFFFFF, size = sizeof value;
    RegQueryValueExA(key, "Start", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    return value;
}

static std::string user_key(int index) {
    return "Software\\Microsoft\\Multimedia\\Video Capture\\Tarvo\\Driver" + std::to_string(index);
}

long long user_value(int index, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, user_key(index).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return -1;
    }
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG e =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    return e == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long long>(value) : -1;
}

void set_user_value(int index, const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, user_key(index).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

DriverFixture::DriverFixture() {
    root_ = vfw_test::make_system_root("tolm-capdrv");
    platform::nt::clear_unload_reports();
}

DriverFixture::~DriverFixture() {
    platform::nt::reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

Channel::Channel(LPCWSTR file, DWORD channel) {
    parms_.dwSize = sizeof parms_;
    parms_.fccType = mmioFOURCC('v', 'c', 'a', 'p');
    parms_.dwVersion = VIDEOAPIVERSION;
    parms_.dwFlags = channel;
    parms_.dwError = 0xEEEE;
    handle_ = OpenDriver(file, nullptr, reinterpret_cast<LPARAM>(&parms_));
}

std::unique_ptr<Channel> Channel::configuration(LPCWSTR file) {
    auto c = std::make_unique<Channel>();
    c->handle_ = OpenDriver(file, nullptr, 0);
    return c;
}

LRESULT Channel::configure(UINT msg, DWORD flags, void* data1, DWORD size1, void* data2,
                           DWORD size2, DWORD* ret) const {
    DWORD dummy = 0;
    VIDEOCONFIGPARMS c{ret != nullptr ? ret : &dummy, data1, size1, data2, size2};
    return send(msg, flags, reinterpret_cast<LPARAM>(&c));
}

LRESULT Channel::close() {
    if (handle_ == nullptr) {
        return 0;
    }
    const LRESULT r = CloseDriver(handle_, 0, 0);
    handle_ = nullptr;
    return r;
}

} // namespace capdrv_test
