// The Remove operation.
#include "installer.h"

#include "device_cleanup.h"
#include "installer_support.h"
#include "names.h"
#include "registry_tree.h"
#include "texts.h"

#include <win32/shlwapi.h>
#include <win32/winsvc.h>

#include <cstring>
#include <win32_owners/reg_key.h>
#include <win32_owners/sc_handle.h>

namespace setup {

using win32_owners::RegKey;
using win32_owners::ScHandle;
namespace {

// The slot that holds the copy of device 0 ("tarvovfw0.dll", any case), or -1.
int find_first_slot() {
    RegKey drivers32;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, names::kDrivers32, 0, KEY_QUERY_VALUE, drivers32.out()) !=
        ERROR_SUCCESS) {
        return -1;
    }
    for (int slot = 0; slot < 10; ++slot) {
        char value[256] = {};
        DWORD size = 255;
        DWORD type = 0;
        if (RegQueryValueExA(drivers32.get(), slot_value_name(slot).c_str(), nullptr, &type,
                             reinterpret_cast<LPBYTE>(value), &size) != ERROR_SUCCESS) {
            continue;
        }
        if (same_ignoring_case(std::string_view(value, strnlen(value, size)),
                               names::kCaptureSource)) {
            return slot;
        }
    }
    return -1;
}

} // namespace

void Installer::OnRemove() {
    devices_removed_ = false;
    controls_.enable_button(Button::Install, false);
    controls_.enable_button(Button::Remove, false);
    controls_.enable_button(Button::Exit, false);

    const int found = find_first_slot();
    const int first = found >= 0 ? found : 0;
    const int count = 10 - first;

    status(text::kStatusRemovingFiles);
    const std::string system_dir = system_directory_slash();
    remove_files(system_dir, count);
    Sleep(1000);

    status(text::kStatusRemovingKeys);
    remove_registry_values(first, count);
    Sleep(1000);
    if (controls_.remove_devices_ticked() && settings.windows_major >= 5) {
        remove_devices();
    }

    if (!remove_service()) {
        controls_.enable_button(Button::Exit, true);
        return;
    }
    Sleep(1000);
    status(text::kStatusRemoveDone);
    done_beep();
    controls_.enable_button(Button::Exit, true);
    controls_.enable_button(Button::Install, true);
    offer_restart();
}

void Installer::remove_files(const std::string& system_dir, int count) {
    DeleteFileA((system_dir + names::kBoardControl).c_str());
    for (int i = 0; i < count; ++i) {
        DeleteFileA(format(names::kCaptureCopy, system_dir.c_str(), i).c_str());
    }
    DeleteFileA((system_dir + names::kDriversFolder + names::kKernelDriver).c_str());
}

void Installer::remove_registry_values(int first, int count) {
    {
        RegKey capture;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, names::kVideoCaptureUser, 0, KEY_ALL_ACCESS,
                          capture.out()) == ERROR_SUCCESS) {
            SHDeleteKeyA(capture.get(), names::kUserSettings);
        }
    }
    {
        // Only the slots that name one of our copies: other capture drivers stay registered.
        RegKey drivers32;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, names::kDrivers32, 0, KEY_ALL_ACCESS,
                          drivers32.out()) == ERROR_SUCCESS) {
            for (int slot = first; slot < 10; ++slot) {
                const std::string name = slot_value_name(slot);
                char value[256] = {};
                DWORD size = 255;
                DWORD type = 0;
                if (RegQueryValueExA(drivers32.get(), name.c_str(), nullptr, &type,
                                     reinterpret_cast<LPBYTE>(value), &size) == ERROR_SUCCESS &&
                    (type == REG_SZ || type == REG_EXPAND_SZ) &&
                    is_capture_copy_name(std::string_view(value, strnlen(value, size)))) {
                    RegDeleteValueA(drivers32.get(), name.c_str());
                }
            }
        }
    }
    {
        RegKey desc;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, names::kDriversDesc, 0, KEY_ALL_ACCESS, desc.out()) ==
            ERROR_SUCCESS) {
            for (int i = 0; i < count; ++i) {
                RegDeleteValueA(desc.get(), format(names::kCaptureCopyName, i).c_str());
            }
            RegDeleteValueA(desc.get(), names::kVfwWdmDescription);
        }
    }
    {
        RegKey msvideo;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, names::kMsvideoResources, 0, KEY_ALL_ACCESS,
                          msvideo.out()) == ERROR_SUCCESS) {
            RegDeleteValueA(msvideo.get(), names::kVfwWdm);
            SHDeleteKeyA(msvideo.get(), names::kVfwWdm);
        }
    }
}

// Stops and deletes the kernel service; false when the removal ends unfinished.
bool Installer::remove_service() {
    status(text::kStatusRemovingDriver);
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        fail(format(text::kManagerOpenError, static_cast<int>(GetLastError())));
        return false;
    }
    ScHandle service(OpenServiceA(manager.get(), names::kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        return true;
    }
    SERVICE_STATUS state{};
    if (!QueryServiceStatus(service.get(), &state)) {
        fail(format(text::kServiceQueryErrorRemove, static_cast<int>(GetLastError())));
        return false;
    }
    if (state.dwServiceType != SERVICE_KERNEL_DRIVER) {
        return true; // another program's service of that name
    }
    if (state.dwCurrentState == SERVICE_RUNNING &&
        !ControlService(service.get(), SERVICE_CONTROL_STOP, &state)) {
        status(text::kStopFailedRemovingDevices);
        // Devices another driver holds may keep it from stopping: remove them and try once more.
        bool stopped = false;
        if (settings.windows_major >= 5) {
            devices_removed_ = RemoveMatchingDevices(settings.pci_ids) != 0 || devices_removed_;
            PurgeDeviceInfs(settings.pci_ids);
            stopped = ControlService(service.get(), SERVICE_CONTROL_STOP, &state) != FALSE;
        }
        if (!stopped) {
            fail(text::kServiceStopErrorRemove);
            return false;
        }
    }
    const SC_LOCK lock = lock_service_database(manager.get());
    if (!DeleteService(service.get())) {
        fail(text::kServiceDeleteError);
        UnlockServiceDatabase(lock);
        return false;
    }
    service.reset();
    UnlockServiceDatabase(lock);
    Sleep(1000);
    return true;
}

} // namespace setup
