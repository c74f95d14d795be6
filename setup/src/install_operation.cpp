// The Install operation.
#include "installer.h"

#include "device_cleanup.h"
#include "installer_support.h"
#include "names.h"
#include "registry_tree.h"
#include "string_search.h"
#include "texts.h"

#include <win32/restart.h>
#include <win32/shlwapi.h>
#include <win32/winsvc.h>

#include <memory>
#include <new>
#include <win32_owners/unique_handle.h>
#include <win32_owners/reg_key.h>
#include <win32_owners/sc_handle.h>

namespace setup {

using win32_owners::RegKey;
using win32_owners::ScHandle;
using win32_owners::UniqueHandle;

void Installer::fail(const std::string& text) {
    error_beep();
    status(text);
}

int Installer::ask(const std::string& text) {
    question_beep();
    return MessageBoxA(controls_.window(), text.c_str(), text::kCaptionAttention, MB_YESNO);
}

void Installer::tell(const std::string& text, const char* caption) {
    MessageBoxA(controls_.window(), text.c_str(), caption, MB_OK);
}

void Installer::offer_restart() {
    if (settings.windows_major > 4 && devices_removed_ && ask(text::kRestartQuestion) == IDYES) {
        ExitWindowsEx(EWX_REBOOT, 0);
    }
}

void Installer::remove_devices() {
    status(text::kStatusRemovingDevices);
    devices_removed_ = RemoveMatchingDevices(settings.pci_ids) != 0 || devices_removed_;
    PurgeDeviceInfs(settings.pci_ids);
}

void Installer::OnInstall() {
    devices_removed_ = false;
    controls_.enable_button(Button::Install, false);
    controls_.enable_button(Button::Remove, false);
    controls_.enable_button(Button::Exit, false);

    if (controls_.remove_devices_ticked() && settings.windows_major > 4) {
        remove_devices();
    }
    status(text::kStatusCopyingFiles);
    const std::string system_dir = system_directory_slash();
    if (copy_capture_driver(system_dir) &&
        copy_system_file(names::kBoardControl, system_dir + names::kBoardControl) &&
        copy_system_file(names::kKernelDriver,
                         system_dir + names::kDriversFolder + names::kKernelDriver)) {
        Sleep(1000);
        status(text::kStatusRegistry);
        if (write_registry()) {
            install_service();
        }
    }
    controls_.enable_button(Button::Remove, true);
    controls_.enable_button(Button::Exit, true);
}

// Reads the capture driver library and writes one copy per device, each with its device digit
// at the end of its file description.
bool Installer::copy_capture_driver(const std::string& system_dir) {
    UniqueHandle source(CreateFileA(names::kCaptureSource, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source.valid()) {
        fail(text::kSourceNotFound);
        return false;
    }
    const DWORD size = GetFileSize(source.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size <= 999) {
        fail(text::kSourceDamaged);
        return false;
    }
    std::unique_ptr<unsigned char[]> image(new (std::nothrow) unsigned char[size]);
    if (!image) {
        fail(text::kNoMemory);
        return false;
    }
    DWORD read = 0;
    if (!ReadFile(source.get(), image.get(), size, &read, nullptr) || read < size) {
        fail(text::kSourceReadError);
        return false;
    }
    const SearchResult description = FindWideString(image.get(), size, names::kFileDescription);
    if (!description.found) {
        fail(text::kSourceNoDescription);
        return false;
    }
    for (int i = 0; i < settings.device_count; ++i) {
        image[description.position] = static_cast<unsigned char>('0' + i);
        const std::string destination = format(names::kCaptureCopy, system_dir.c_str(), i);
        if (GetFileAttributesA(destination.c_str()) != INVALID_FILE_ATTRIBUTES &&
            ask(format(text::kCopyExistsReplace, destination.c_str())) == IDNO) {
            continue;
        }
        UniqueHandle copy(CreateFileA(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!copy.valid() || !WriteFile(copy.get(), image.get(), size, &written, nullptr) ||
            written != size) {
            fail(text::kSourceDamaged);
            return false;
        }
    }
    return true;
}

// Copies a file from the current folder without overwriting, asking before a replacement.
bool Installer::copy_system_file(const char* name, const std::string& destination) {
    if (CopyFileA(name, destination.c_str(), TRUE)) {
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
        fail(format(text::kFileNotFound, name));
        return false;
    }
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        if (ask(format(text::kSystemFileExistsReplace, name)) == IDNO) {
            return true;
        }
        if (CopyFileA(name, destination.c_str(), FALSE)) {
            return true;
        }
        const DWORD again = GetLastError();
        fail(format(text::kCopyError, name, static_cast<int>(again)));
        return false;
    }
    fail(format(text::kCopyError, name, static_cast<int>(error)));
    return false;
}

// Removes the WDM capture registration and registers each copy in its slot.
bool Installer::write_registry() {
    {
        RegKey msvideo;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, names::kMsvideoResources, 0, KEY_ALL_ACCESS,
                          msvideo.out()) == ERROR_SUCCESS) {
            RegDeleteValueA(msvideo.get(), names::kVfwWdm);
            SHDeleteKeyA(msvideo.get(), names::kVfwWdm);
        }
    }
    for (int i = 0; i < settings.device_count; ++i) {
        const std::string file = format(names::kCaptureCopyName, i);
        RegKey drivers32;
        DWORD disposition = 0;
        LONG e = RegCreateKeyExA(HKEY_LOCAL_MACHINE, names::kDrivers32, 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, drivers32.out(),
                                 &disposition);
        if (e == ERROR_SUCCESS) {
            e = RegSetValueExA(drivers32.get(), slot_value_name(settings.first_slot + i).c_str(), 0,
                               REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                               static_cast<DWORD>(file.size() + 1));
        }
        if (e != ERROR_SUCCESS) {
            fail(format(text::kRegistryWriteError, static_cast<int>(e)));
            return false;
        }
        RegKey desc;
        e = RegCreateKeyExA(HKEY_LOCAL_MACHINE, names::kDriversDesc, 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, desc.out(),
                            &disposition);
        if (e == ERROR_SUCCESS) {
            const std::string text = format(names::kDriverDescription, settings.first_slot + i);
            e = RegSetValueExA(desc.get(), file.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1));
        }
        if (e != ERROR_SUCCESS) {
            error_beep();
            tell(format(text::kRegistryMinorError, static_cast<int>(e)), "Error");
        }
    }
    return true;
}

void Installer::install_service() {
    Sleep(1000);
    status(text::kStatusInstallingDriver);
    char system[256] = {};
    const UINT length = GetSystemDirectoryA(system, sizeof system);
    const std::string image =
        (length < sizeof system ? std::string(system, length) : std::string()) +
        names::kImagePathTail;

    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        fail(format(text::kServiceRegisterError, static_cast<int>(GetLastError())));
        return;
    }
    {
        ScHandle old(OpenServiceA(manager.get(), names::kServiceName, SERVICE_ALL_ACCESS));
        if (old) {
            SERVICE_STATUS state{};
            if (!QueryServiceStatus(old.get(), &state)) {
                fail(format(text::kServiceQueryErrorInstall, static_cast<int>(GetLastError())));
                return;
            }
            if (state.dwServiceType == SERVICE_KERNEL_DRIVER) {
                if (state.dwCurrentState == SERVICE_RUNNING &&
                    !ControlService(old.get(), SERVICE_CONTROL_STOP, &state)) {
                    fail(text::kServiceStopErrorInstall);
                    return;
                }
                const SC_LOCK lock = lock_service_database(manager.get());
                DeleteService(old.get());
                // The service goes once its last handle is closed; the create below needs that.
                old.reset();
                UnlockServiceDatabase(lock);
                Sleep(1000);
            }
        }
    }
    const SC_LOCK lock = lock_service_database(manager.get());
    ScHandle service(CreateServiceA(manager.get(), names::kServiceName, names::kServiceName,
                                    SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START,
                                    SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr,
                                    nullptr, nullptr));
    const DWORD create_error = GetLastError();
    UnlockServiceDatabase(lock);
    if (!service) {
        fail(format(text::kServiceRegisterError, static_cast<int>(create_error)));
        return;
    }
    if (!StartServiceA(service.get(), 0, nullptr)) {
        report_start_failure(GetLastError());
        return;
    }
    report_missing_devices();
    Sleep(1000);
    status(text::kStatusInstallDone);
    done_beep();
    controls_.enable_button(Button::Remove, true);
    controls_.enable_button(Button::Exit, true);
    offer_restart();
}

void Installer::report_missing_devices() {
    const std::int32_t first = ReadDeviceValue(0, "InstallError", 0);
    if (first == 1003 || first == 1) {
        tell(text::kNoCaptureDevices, text::kCaptionAttention);
        return;
    }
    for (int i = 1; i < settings.device_count; ++i) {
        if (ReadDeviceValue(i, "InstallError", 0) == 1) {
            tell(format(text::kCaptureDeviceMissing, i), text::kCaptionAttention);
        }
    }
}

void Installer::report_start_failure(DWORD error) {
    for (int i = 0; i < settings.device_count; ++i) {
        const std::int32_t code = ReadDeviceValue(i, "InstallError", 0);
        if (code == 0) {
            continue;
        }
        const unsigned status_word = static_cast<unsigned>(ReadDeviceValue(i, "ErrorStatus", 0));
        std::string box;
        switch (code) {
        case 1002:
            box = format(text::kDeviceConflict, i, status_word);
            break;
        case 1003:
            box = format(text::kDeviceNotFound, i);
            break;
        case 1004:
            box =
                format(text::kNoFreeInterrupt, i, ReadDeviceValue(i, "InstallInterrupt", 0) & 0xFF);
            break;
        case 1005:
            box = format(text::kDeviceInitError, i, status_word);
            break;
        case 1006:
            box = format(text::kNoRegisterMemory, i, status_word);
            break;
        default:
            box = format(text::kDeviceCreateError, i, status_word);
            break;
        }
        tell(box, text::kCaptionAttention);
        break;
    }
    fail(format(text::kServiceStartError, static_cast<int>(error)));
}

} // namespace setup
