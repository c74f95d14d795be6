#include "kernel_service.h"

#include "win32/dialogs.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32/synch.h"
#include "win32/sysinfo.h"
#include "win32_owners/reg_key.h"
#include "win32_owners/sc_handle.h"

#include <cstdio>
#include <string>
#include <utility>

namespace tarvovfw {
namespace {

// Texts of the message boxes (code page 1251).
constexpr const char* kRegisterFailed =
    "\xCD\xE5\xF3\xE4\xE0\xF7\xE0 \xEF\xF0\xE8 \xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE0\xF6\xE8\xE8 "
    "\xE4\xF0\xE0\xE9\xE2\xE5\xF0\xE0 Tarvo.sys";
constexpr const char* kStartFailedWithError =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xF3\xF1\xF2\xE8\xF2\xFC "
    "\xE4\xF0\xE0\xE9\xE2\xE5\xF0 Tarvo.sys , Error=%d";
constexpr const char* kStatusFailed =
    "\xCD\xE5\xF3\xE4\xE0\xF7\xE0 \xEF\xF0\xE8 \xE7\xE0\xEF\xF0\xEE\xF1\xE5 "
    "\xF1\xF2\xE0\xF2\xF3\xF1\xE0 \xE4\xF0\xE0\xE9\xE2\xE5\xF0\xE0 Tarvo.sys";
constexpr const char* kStartFailed =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xF3\xF1\xF2\xE8\xF2\xFC "
    "\xE4\xF0\xE0\xE9\xE2\xE5\xF0 Tarvo.sys";

constexpr const char* kServiceName = TARVO_SERVICE_NAME;
constexpr const char* kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\" TARVO_SERVICE_NAME;

using win32_owners::RegKey;
using win32_owners::ScHandle;

void error_box(const char* text) {
    MessageBoxA(nullptr, text, "Error", MB_OK);
}

bool running_kernel_driver(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) && status.dwServiceType == SERVICE_KERNEL_DRIVER &&
           status.dwCurrentState == SERVICE_RUNNING;
}

bool stop_service(SC_HANDLE manager) {
    ScHandle service(OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    }
    if (!ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START,
                              SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr)) {
        return false;
    }
    if (!running_kernel_driver(service.get())) {
        return true;
    }
    SERVICE_STATUS status{};
    return ControlService(service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
}

bool delete_service(SC_HANDLE manager) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_ALL_ACCESS, key.out()) ==
        ERROR_SUCCESS) {
        RegDeleteKeyA(key.get(), "Parameters");
        RegFlushKey(key.get());
    }
    ScHandle service(OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    }
    SC_LOCK lock = nullptr;
    while ((lock = LockServiceDatabase(manager)) == nullptr) {
        if (GetLastError() != ERROR_SERVICE_DATABASE_LOCKED) {
            return false; // only another holder's lock is waited for
        }
        Sleep(100);
    }
    const bool deleted = DeleteService(service.get()) != FALSE;
    UnlockServiceDatabase(lock);
    return deleted;
}

} // namespace

bool ensure_kernel_service() {
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system) {
        error_box("GetSystemDirectory Error");
        return false;
    }
    const std::string image = std::string(system) + "\\drivers\\Tarvo.sys";
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        error_box("OpenSCManager");
        return false;
    }
    ScHandle service(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        service.reset(CreateServiceA(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                     SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START,
                                     SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr,
                                     nullptr, nullptr));
        if (!service) {
            error_box(kRegisterFailed);
            return false;
        }
        if (!StartServiceA(service.get(), 0, nullptr)) {
            char text[128];
            std::snprintf(text, sizeof text, kStartFailedWithError,
                          static_cast<int>(GetLastError()));
            error_box(text);
            return false;
        }
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) {
        error_box(kStatusFailed);
        return false;
    }
    if (status.dwCurrentState != SERVICE_RUNNING && !StartServiceA(service.get(), 0, nullptr)) {
        error_box(kStartFailed);
        return false;
    }
    return true;
}

LRESULT check_kernel_service(DriverNameRecord& name) {
    if (name.manager == nullptr) {
        name.manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (name.manager == nullptr) {
            return 0;
        }
    }
    ScHandle service(OpenServiceA(name.manager, kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        return 1;
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status) ||
        status.dwServiceType != SERVICE_KERNEL_DRIVER) {
        CloseServiceHandle(std::exchange(name.manager, nullptr));
        return 0;
    }
    return 1;
}

LRESULT remove_kernel_service(DriverNameRecord& name) {
    if (check_kernel_service(name) == 0) {
        return 0;
    }
    {
        ScHandle service(OpenServiceA(name.manager, kServiceName, SERVICE_ALL_ACCESS));
        if (service && running_kernel_driver(service.get())) {
            service.reset();
            if (!stop_service(name.manager)) {
                return 0;
            }
        }
    }
    return delete_service(name.manager) ? 1 : 0;
}

} // namespace tarvovfw
