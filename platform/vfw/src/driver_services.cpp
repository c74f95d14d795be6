// Installable-driver services: loading driver modules, the driver handles of their opens and
// the messages sent through them.
//
// Opens and closes are serialised by one recursive lock (a driver's DRV_LOAD may itself ask for
// driver descriptions or open another driver). The handle table has its own lock, never held
// while a DriverProc runs.
#include "driver_services.h"

#include "platform/cp1251.h"
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/modules.h"
#include "win32/registry.h"

#include <map>
#include <memory>
#include <mutex>

namespace vfw_impl {
namespace {

constexpr char kDriversKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";

struct LoadedModule {
    HMODULE module = nullptr;
    DRIVERPROC proc = nullptr;
    int opens = 0;
};

struct DriverOpen {
    std::shared_ptr<LoadedModule> module;
    DWORD_PTR id = 0;
};

std::recursive_mutex open_mutex;
std::mutex table_mutex;
std::map<HDRVR, DriverOpen>& opens() {
    static auto* table = new std::map<HDRVR, DriverOpen>;
    return *table;
}
ULONG_PTR next_handle = 0x20010;

std::shared_ptr<LoadedModule> loaded_module(HMODULE module) {
    std::lock_guard lock(table_mutex);
    for (auto& [h, open] : opens()) {
        if (open.module->module == module) {
            return open.module;
        }
    }
    return nullptr;
}

HDRVR add_open(std::shared_ptr<LoadedModule> module) {
    std::lock_guard lock(table_mutex);
    auto h = reinterpret_cast<HDRVR>(next_handle);
    next_handle += 4;
    opens().emplace(h, DriverOpen{std::move(module), 0});
    return h;
}

bool find_open(HDRVR h, DriverOpen& out) {
    std::lock_guard lock(table_mutex);
    auto it = opens().find(h);
    if (it == opens().end()) {
        return false;
    }
    out = it->second;
    return true;
}

void remove_open(HDRVR h) {
    std::lock_guard lock(table_mutex);
    opens().erase(h);
}

// Sends DRV_DISABLE and DRV_FREE when `h` was the module's last open, and unloads it.
void release_module(HDRVR h, const std::shared_ptr<LoadedModule>& module) {
    if (--module->opens == 0) {
        module->proc(0, h, DRV_DISABLE, 0, 0);
        module->proc(0, h, DRV_FREE, 0, 0);
        remove_open(h);
        FreeLibrary(module->module);
    } else {
        remove_open(h);
    }
}

bool has_separator(const std::string& s) {
    return s.find_first_of("\\/") != std::string::npos;
}

} // namespace

std::filesystem::path driver_file(const std::string& name, const std::string& section,
                                  bool name_is_file) {
    if (name.empty()) {
        return {};
    }
    std::string file = name_is_file ? name : std::string();
    HKEY key = nullptr;
    const std::string path = kDriversKey + section;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) ==
        ERROR_SUCCESS) {
        char value[MAX_PATH + 1] = {};
        DWORD type = 0;
        DWORD size = MAX_PATH;
        const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (rc == ERROR_SUCCESS) {
            if (type != REG_SZ && type != REG_EXPAND_SZ) {
                return {};
            }
            value[size < MAX_PATH ? size : MAX_PATH] = '\0';
            file = value;
        } else if (rc != ERROR_FILE_NOT_FOUND) {
            return {};
        }
    }
    if (file.size() > MAX_PATH) {
        return {};
    }
    // Leading and trailing blanks are not part of a file name.
    const auto first = file.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    file = file.substr(first, file.find_last_not_of(' ') - first + 1);
    if (has_separator(file)) {
        return platform::resolve_path(file);
    }
    return platform::resolve_path((platform::system_directory() / file).string());
}

HDRVR open_driver_file(const std::filesystem::path& file, LPARAM lparam2) {
    std::lock_guard serial(open_mutex);
    HMODULE module = LoadLibraryA(file.string().c_str());
    if (!module) {
        return nullptr;
    }
    std::shared_ptr<LoadedModule> loaded = loaded_module(module);
    const bool first = !loaded;
    if (first) {
        auto proc = reinterpret_cast<DRIVERPROC>(GetProcAddress(module, "DriverProc"));
        if (!proc) {
            FreeLibrary(module);
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        loaded = std::make_shared<LoadedModule>();
        loaded->module = module;
        loaded->proc = proc;
    } else {
        FreeLibrary(module); // the module keeps the reference of its first open
    }
    loaded->opens++;
    HDRVR h = add_open(loaded);
    if (first) {
        if (loaded->proc(0, h, DRV_LOAD, 0, 0) == 0) {
            remove_open(h);
            FreeLibrary(module);
            return nullptr;
        }
        loaded->proc(0, h, DRV_ENABLE, 0, 0);
    }
    const LRESULT id = loaded->proc(0, h, DRV_OPEN, 0, lparam2);
    if (id == 0) {
        release_module(h, loaded);
        return nullptr;
    }
    {
        std::lock_guard lock(table_mutex);
        opens()[h].id = static_cast<DWORD_PTR>(id);
    }
    return h;
}

} // namespace vfw_impl

extern "C" {

HDRVR WINAPI OpenDriver(LPCWSTR szDriverName, LPCWSTR szSectionName, LPARAM lParam2) {
    if (!szDriverName) {
        return nullptr;
    }
    const std::string name = platform::cp1251::from_utf16(szDriverName);
    const std::string section =
        szSectionName ? platform::cp1251::from_utf16(szSectionName) : std::string("Drivers32");
    const auto file = vfw_impl::driver_file(name, section, true);
    if (file.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return vfw_impl::open_driver_file(file, lParam2);
}

LRESULT WINAPI CloseDriver(HDRVR hDriver, LPARAM lParam1, LPARAM lParam2) {
    std::lock_guard serial(vfw_impl::open_mutex);
    vfw_impl::DriverOpen open;
    if (!vfw_impl::find_open(hDriver, open)) {
        return 0;
    }
    const LRESULT result = open.module->proc(open.id, hDriver, DRV_CLOSE, lParam1, lParam2);
    vfw_impl::release_module(hDriver, open.module);
    return result;
}

LRESULT WINAPI SendDriverMessage(HDRVR hDriver, UINT message, LPARAM lParam1, LPARAM lParam2) {
    vfw_impl::DriverOpen open;
    if (!vfw_impl::find_open(hDriver, open)) {
        return 0;
    }
    return open.module->proc(open.id, hDriver, message, lParam1, lParam2);
}

LRESULT WINAPI DefDriverProc(DWORD_PTR, HDRVR, UINT uMsg, LPARAM, LPARAM) {
    switch (uMsg) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    case DRV_INSTALL:
    case DRV_REMOVE:
        return DRVCNF_OK;
    default:
        return 0;
    }
}

HMODULE WINAPI GetDriverModuleHandle(HDRVR hDriver) {
    vfw_impl::DriverOpen open;
    return vfw_impl::find_open(hDriver, open) ? open.module->module : nullptr;
}
}
