// The service control manager over the registry, and the kernel's boot (automatic-start
// drivers).
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/registry_store.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32/winsvc.h"

#include "kernel.h"
#include "loader.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <unistd.h>

#ifndef ERROR_INVALID_SERVICE_LOCK
#define ERROR_INVALID_SERVICE_LOCK 1071L
#endif

namespace tolm_nt {
namespace {

using platform::registry::Root;

constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";

std::string key_of(const std::string& name) {
    return std::string(kServices) + "\\" + name;
}

bool service_exists(const std::string& name) {
    return platform::registry::open_key(Root::LocalMachine, key_of(name)) == ERROR_SUCCESS;
}

DWORD read_dword(const std::string& name, const char* value, DWORD fallback) {
    platform::registry::Value v;
    if (platform::registry::query_value(Root::LocalMachine, key_of(name), value, v) !=
            ERROR_SUCCESS ||
        v.type != REG_DWORD || v.data.size() != 4) {
        return fallback;
    }
    DWORD d;
    std::memcpy(&d, v.data.data(), 4);
    return d;
}

std::string read_string(const std::string& name, const char* value) {
    platform::registry::Value v;
    if (platform::registry::query_value(Root::LocalMachine, key_of(name), value, v) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::string s(v.data.begin(), v.data.end());
    while (!s.empty() && s.back() == '\0') {
        s.pop_back();
    }
    return s;
}

LONG write_dword(const std::string& name, const char* value, DWORD d) {
    return platform::registry::set_value(Root::LocalMachine, key_of(name), value, REG_DWORD, &d, 4);
}

LONG write_string(const std::string& name, const char* value, const std::string& s,
                  DWORD type = REG_SZ) {
    return platform::registry::set_value(Root::LocalMachine, key_of(name), value, type, s.c_str(),
                                         s.size() + 1);
}

// A dependency list "a\0b\0\0" as REG_MULTI_SZ.
LONG write_multi(const std::string& name, const char* value, LPCSTR list) {
    std::size_t n = 0;
    while (list[n] != '\0') {
        n += std::strlen(list + n) + 1;
    }
    return platform::registry::set_value(Root::LocalMachine, key_of(name), value, REG_MULTI_SZ,
                                         list, n + 1);
}

LONG delete_tree(const std::string& path) {
    return platform::registry::delete_tree(Root::LocalMachine, path);
}

bool is_driver(DWORD type) {
    return (type & SERVICE_DRIVER) != 0 && (type & ~DWORD(SERVICE_DRIVER)) == 0;
}

// The driver image of a service: "\SystemRoot\..." and relative paths lie in the system root.
std::filesystem::path image_file(const std::string& name) {
    std::string path = read_string(name, "ImagePath");
    if (path.empty()) {
        path = "System32\\drivers\\" + name + ".sys";
    }
    if (path.rfind("\\??\\", 0) == 0) {
        path = path.substr(4);
    }
    const std::string l = lower(path);
    for (const char* prefix : {"\\systemroot\\", "%systemroot%\\"}) {
        if (l.rfind(prefix, 0) == 0) {
            path = path.substr(std::strlen(prefix));
            return platform::resolve_path(platform::system_root().string() + "/" + path);
        }
    }
    const bool absolute = path[0] == '\\' || path[0] == '/' || (path.size() > 1 && path[1] == ':');
    if (!absolute) {
        return platform::resolve_path(platform::system_root().string() + "/" + path);
    }
    return platform::resolve_path(path);
}

// ---- Handles ---------------------------------------------------------------------------------
class ManagerHandle : public platform::KernelObject {};

std::mutex state_mutex;
std::map<std::string, int> service_handles; // open service handles per lower-case name
std::set<int> held_locks;                   // database lock files this process holds

void delete_if_marked(const std::string& name) {
    {
        std::lock_guard lock(state_mutex);
        const auto it = service_handles.find(lower(name));
        if (it != service_handles.end() && it->second > 0) {
            return;
        }
    }
    if (read_dword(name, "DeleteFlag", 0) != 0 && !driver_loaded(name)) {
        delete_tree(key_of(name));
    }
}

class ServiceHandle : public platform::KernelObject {
public:
    explicit ServiceHandle(std::string n) : name(std::move(n)) {
        std::lock_guard lock(state_mutex);
        ++service_handles[lower(name)];
    }
    void on_close() override {
        {
            std::lock_guard lock(state_mutex);
            --service_handles[lower(name)];
        }
        delete_if_marked(name);
    }
    const std::string name;
};

SC_HANDLE to_sc(HANDLE h) {
    return reinterpret_cast<SC_HANDLE>(h);
}
HANDLE from_sc(SC_HANDLE h) {
    return reinterpret_cast<HANDLE>(h);
}

std::shared_ptr<ServiceHandle> service_of(SC_HANDLE h) {
    auto s = platform::lookup_handle_as<ServiceHandle>(from_sc(h));
    if (!s) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return s;
}

// The service behind `h` while its registry key still exists; null (with the last error set)
// for an unknown handle or a service deleted under it.
std::shared_ptr<ServiceHandle> existing_service_of(SC_HANDLE h) {
    auto s = service_of(h);
    if (s && !service_exists(s->name)) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    return s;
}

bool valid_name(LPCSTR name) {
    if (name == nullptr || name[0] == '\0' || std::strlen(name) > 256) {
        return false;
    }
    return std::strchr(name, '\\') == nullptr && std::strchr(name, '/') == nullptr;
}

// The manager handle and a service name, with the error of the first that is wrong.
bool manager_and_name_valid(SC_HANDLE manager, LPCSTR name) {
    if (!platform::lookup_handle_as<ManagerHandle>(from_sc(manager))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!valid_name(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

bool valid_config(DWORD type, DWORD start, DWORD error_control) {
    const DWORD base = type & ~DWORD(SERVICE_INTERACTIVE_PROCESS);
    const bool type_ok = base == SERVICE_KERNEL_DRIVER || base == SERVICE_FILE_SYSTEM_DRIVER ||
                         base == SERVICE_WIN32_OWN_PROCESS || base == SERVICE_WIN32_SHARE_PROCESS;
    if (!type_ok || start > SERVICE_DISABLED || error_control > SERVICE_ERROR_CRITICAL) {
        return false;
    }
    return is_driver(type) || start >= SERVICE_AUTO_START;
}

// Another process (or another lock of this one) holds the database lock.
bool locked_by_other() {
    {
        std::lock_guard lock(state_mutex);
        if (!held_locks.empty()) {
            return false;
        }
    }
    const std::string path = (platform::system_root() / "scm.lock").string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool other = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return other;
}

DWORD start_service(const std::string& name) {
    if (!service_exists(name)) {
        return ERROR_SERVICE_DOES_NOT_EXIST;
    }
    if (read_dword(name, "DeleteFlag", 0) != 0) {
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    }
    if (read_dword(name, "Start", SERVICE_DEMAND_START) == SERVICE_DISABLED) {
        return ERROR_SERVICE_DISABLED;
    }
    if (!is_driver(read_dword(name, "Type", 0))) {
        return ERROR_NOT_SUPPORTED; // only driver services run here
    }
    if (driver_loaded(name)) {
        return ERROR_SERVICE_ALREADY_RUNNING;
    }
    return load_driver(name, image_file(name));
}

void fill_status(const std::string& name, LPSERVICE_STATUS status) {
    if (status == nullptr) {
        return;
    }
    const bool running = driver_loaded(name);
    *status = SERVICE_STATUS{};
    status->dwServiceType = read_dword(name, "Type", 0);
    status->dwCurrentState = running ? SERVICE_RUNNING : SERVICE_STOPPED;
    status->dwControlsAccepted = running && driver_can_stop(name) ? SERVICE_ACCEPT_STOP : 0;
}

std::mutex boot_mutex;
bool booted_flag = false;

} // namespace
} // namespace tolm_nt

namespace platform::nt {

void boot() {
    using namespace tolm_nt;
    std::lock_guard lock(boot_mutex);
    if (booted_flag) {
        return;
    }
    booted_flag = true;
    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0;
         platform::registry::enum_key(Root::LocalMachine, kServices, i, name) == ERROR_SUCCESS;
         ++i) {
        names.push_back(name);
    }
    for (const std::string& n : names) { // the deletions of an earlier run
        if (read_dword(n, "DeleteFlag", 0) != 0) {
            delete_tree(key_of(n));
        }
    }
    for (DWORD start = SERVICE_BOOT_START; start <= SERVICE_AUTO_START; ++start) {
        for (const std::string& n : names) {
            if (service_exists(n) && is_driver(read_dword(n, "Type", 0)) &&
                read_dword(n, "Start", SERVICE_DEMAND_START) == start) {
                const DWORD e = start_service(n);
                if (e != ERROR_SUCCESS && e != ERROR_SERVICE_ALREADY_RUNNING) {
                    std::fprintf(stderr, "tolm_nt: automatic start of %s failed: error %lu\n",
                                 n.c_str(), static_cast<unsigned long>(e));
                }
            }
        }
    }
}

bool booted() {
    std::lock_guard lock(tolm_nt::boot_mutex);
    return tolm_nt::booted_flag;
}

void reset() {
    for (const std::string& name : tolm_nt::loaded_drivers()) {
        tolm_nt::unload_driver(name);
    }
    tolm_nt::set_process_port_access(false);
    std::lock_guard lock(tolm_nt::boot_mutex);
    tolm_nt::booted_flag = false;
}

} // namespace platform::nt

using namespace tolm_nt;

extern "C" {

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD) {
    if (machine != nullptr && machine[0] != '\0') {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (database != nullptr && !platform::iequals(database, SERVICES_ACTIVE_DATABASEA)) {
        SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    platform::nt::boot();
    return to_sc(platform::make_handle(std::make_shared<ManagerHandle>()));
}

SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR display, DWORD, DWORD type,
                                DWORD start, DWORD error_control, LPCSTR binary, LPCSTR group,
                                LPDWORD tag, LPCSTR dependencies, LPCSTR account, LPCSTR) {
    if (!manager_and_name_valid(manager, name)) {
        return nullptr;
    }
    if (binary == nullptr || binary[0] == '\0' || !valid_config(type, start, error_control)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (service_exists(name)) {
        SetLastError(read_dword(name, "DeleteFlag", 0) != 0 ? ERROR_SERVICE_MARKED_FOR_DELETE
                                                            : ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    const std::string shown = display != nullptr && display[0] != '\0' ? display : name;
    std::string other;
    for (DWORD i = 0;
         platform::registry::enum_key(Root::LocalMachine, kServices, i, other) == ERROR_SUCCESS;
         ++i) {
        if (platform::iequals(read_string(other, "DisplayName"), shown) ||
            platform::iequals(other, shown)) {
            SetLastError(ERROR_DUPLICATE_SERVICE_NAME);
            return nullptr;
        }
    }
    LONG e = platform::registry::create_key(Root::LocalMachine, key_of(name));
    if (e == ERROR_SUCCESS) {
        e = write_dword(name, "Type", type);
    }
    if (e == ERROR_SUCCESS) {
        e = write_dword(name, "Start", start);
    }
    if (e == ERROR_SUCCESS) {
        e = write_dword(name, "ErrorControl", error_control);
    }
    if (e == ERROR_SUCCESS) {
        e = write_string(name, "ImagePath", binary, REG_EXPAND_SZ);
    }
    if (e == ERROR_SUCCESS) {
        e = write_string(name, "DisplayName", shown);
    }
    if (e == ERROR_SUCCESS && group != nullptr && group[0] != '\0') {
        e = write_string(name, "Group", group);
    }
    if (e == ERROR_SUCCESS && dependencies != nullptr && dependencies[0] != '\0') {
        e = write_multi(name, "DependOnService", dependencies);
    }
    if (e == ERROR_SUCCESS && account != nullptr && account[0] != '\0') {
        e = write_string(name, "ObjectName", account);
    }
    if (e != ERROR_SUCCESS) {
        delete_tree(key_of(name));
        SetLastError(static_cast<DWORD>(e));
        return nullptr;
    }
    if (tag != nullptr) {
        *tag = 0;
    }
    return to_sc(platform::make_handle(std::make_shared<ServiceHandle>(name)));
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD) {
    if (!manager_and_name_valid(manager, name)) {
        return nullptr;
    }
    if (!service_exists(name)) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    return to_sc(platform::make_handle(std::make_shared<ServiceHandle>(name)));
}

BOOL WINAPI StartServiceA(SC_HANDLE service, DWORD, LPCSTR*) {
    const auto s = service_of(service);
    if (!s) {
        return FALSE;
    }
    if (locked_by_other()) {
        SetLastError(ERROR_SERVICE_DATABASE_LOCKED);
        return FALSE;
    }
    const DWORD e = start_service(s->name);
    if (e != ERROR_SUCCESS) {
        SetLastError(e);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
    const auto s = service_of(service);
    if (!s) {
        return FALSE;
    }
    if (status == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!service_exists(s->name)) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return FALSE;
    }
    fill_status(s->name, status);
    return TRUE;
}

BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    const auto s = existing_service_of(service);
    if (!s) {
        return FALSE;
    }
    DWORD e = ERROR_SUCCESS;
    switch (control) {
    case SERVICE_CONTROL_STOP:
        e = unload_driver(s->name);
        break;
    case SERVICE_CONTROL_INTERROGATE:
        e = driver_loaded(s->name) ? ERROR_SUCCESS : ERROR_SERVICE_NOT_ACTIVE;
        break;
    default:
        e = driver_loaded(s->name) ? ERROR_INVALID_SERVICE_CONTROL : ERROR_SERVICE_NOT_ACTIVE;
        break;
    }
    fill_status(s->name, status);
    if (e != ERROR_SUCCESS) {
        SetLastError(e);
        return FALSE;
    }
    if (control == SERVICE_CONTROL_STOP) {
        delete_if_marked(s->name); // this handle keeps the key until it is closed
    }
    return TRUE;
}

BOOL WINAPI ChangeServiceConfigA(SC_HANDLE service, DWORD type, DWORD start, DWORD error_control,
                                 LPCSTR binary, LPCSTR group, LPDWORD tag, LPCSTR dependencies,
                                 LPCSTR account, LPCSTR, LPCSTR display) {
    const auto s = existing_service_of(service);
    if (!s) {
        return FALSE;
    }
    const std::string& n = s->name;
    if (read_dword(n, "DeleteFlag", 0) != 0) {
        SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
        return FALSE;
    }
    const DWORD new_type = type == SERVICE_NO_CHANGE ? read_dword(n, "Type", 0) : type;
    const DWORD new_start = start == SERVICE_NO_CHANGE ? read_dword(n, "Start", 3) : start;
    const DWORD new_error =
        error_control == SERVICE_NO_CHANGE ? read_dword(n, "ErrorControl", 1) : error_control;
    if (!valid_config(new_type, new_start, new_error) || (binary != nullptr && binary[0] == '\0')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LONG e = write_dword(n, "Type", new_type);
    if (e == ERROR_SUCCESS) {
        e = write_dword(n, "Start", new_start);
    }
    if (e == ERROR_SUCCESS) {
        e = write_dword(n, "ErrorControl", new_error);
    }
    if (e == ERROR_SUCCESS && binary != nullptr) {
        e = write_string(n, "ImagePath", binary, REG_EXPAND_SZ);
    }
    if (e == ERROR_SUCCESS && group != nullptr) {
        e = write_string(n, "Group", group);
    }
    if (e == ERROR_SUCCESS && dependencies != nullptr) {
        e = write_multi(n, "DependOnService", dependencies);
    }
    if (e == ERROR_SUCCESS && account != nullptr) {
        e = write_string(n, "ObjectName", account);
    }
    if (e == ERROR_SUCCESS && display != nullptr) {
        e = write_string(n, "DisplayName", display);
    }
    if (e != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(e));
        return FALSE;
    }
    if (tag != nullptr) {
        *tag = 0;
    }
    return TRUE;
}

BOOL WINAPI DeleteService(SC_HANDLE service) {
    const auto s = existing_service_of(service);
    if (!s) {
        return FALSE;
    }
    if (read_dword(s->name, "DeleteFlag", 0) != 0) {
        SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
        return FALSE;
    }
    const LONG e = write_dword(s->name, "DeleteFlag", 1);
    if (e != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(e));
        return FALSE;
    }
    return TRUE;
}

SC_LOCK WINAPI LockServiceDatabase(SC_HANDLE manager) {
    if (!platform::lookup_handle_as<ManagerHandle>(from_sc(manager))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::string path = (platform::system_root() / "scm.lock").string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        SetLastError(ERROR_SERVICE_DATABASE_LOCKED);
        return nullptr;
    }
    std::lock_guard lock(state_mutex);
    held_locks.insert(fd);
    return reinterpret_cast<SC_LOCK>(static_cast<std::intptr_t>(fd) + 1);
}

BOOL WINAPI UnlockServiceDatabase(SC_LOCK sc_lock) {
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(sc_lock) - 1);
    {
        std::lock_guard lock(state_mutex);
        if (held_locks.erase(fd) == 0) {
            SetLastError(ERROR_INVALID_SERVICE_LOCK);
            return FALSE;
        }
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return TRUE;
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE handle) {
    const auto object = platform::lookup_handle(from_sc(handle));
    if (!std::dynamic_pointer_cast<ServiceHandle>(object) &&
        !std::dynamic_pointer_cast<ManagerHandle>(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return platform::close_handle(from_sc(handle)) ? TRUE : FALSE;
}

} // extern "C"
