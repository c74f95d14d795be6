#include "driver_fixture.h"

#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/registry.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace capdrv_test {

std::filesystem::path install_copy(const std::string& file, int digit) {
    std::ifstream in(TARVOVFW_PATH, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::u16string marker = u"Driver Device0";
    const std::string needle(reinterpret_cast<const char*>(marker.data()), marker.size() * 2);
    auto at = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    EXPECT_NE(at, bytes.end()) << "no description in the driver";
    if (at != bytes.end()) {
        *(at + static_cast<std::ptrdiff_t>(needle.size()) - 2) = static_cast<char>('0' + digit);
    }
    const auto path = platform::system_directory() / file;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void register_slot(unsigned slot, const std::string& file) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string name = slot == 0 ? "MSVIDEO" : "MSVIDEO" + std::to_string(slot);
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(file.c_str()),
                             static_cast<DWORD>(file.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
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
    static std::atomic<int> serial{0};
    root_ = std::filesystem::temp_directory_path() /
            ("tolm-capdrv-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    platform::set_system_root(root_);
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
