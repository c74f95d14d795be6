#include "module_search.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/modules.h"

#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <mutex>
#include <string>

namespace platform {
namespace {

struct Module {
    std::filesystem::path path;
    std::size_t loads = 0; // LoadLibraryA calls not yet matched by FreeLibrary
    bool thread_calls = true;
};

struct Registry {
    std::mutex mutex;
    std::map<void*, Module> modules; // by loader handle
};

Registry& registry() {
    static Registry* r = new Registry; // modules may be freed during process end
    return *r;
}

thread_local std::string load_error;

void* main_handle() {
    static void* h = dlopen(nullptr, RTLD_NOW);
    return h;
}

bool is_file(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

bool has_folder(std::string_view name) {
    return name.find_first_of("/\\") != std::string_view::npos;
}

std::filesystem::path search(const std::string& name) {
    if (has_folder(name)) {
        auto p = resolve_path(name);
        return is_file(p) ? p : std::filesystem::path();
    }
    for (const auto& dir : {program_directory(), system_directory()}) {
        auto p = resolve_path(dir.string() + "/" + name);
        if (is_file(p)) {
            return p;
        }
    }
    return {};
}

// The name as Windows completes it: ".dll" for a name without extension, a trailing dot
// meaning "no extension".
std::string module_name(std::string name) {
    const auto slash = name.find_last_of("/\\");
    const std::string_view last =
        std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
    if (!last.empty() && last.back() == '.') {
        name.pop_back();
    } else if (last.find('.') == std::string_view::npos) {
        name += ".dll";
    }
    return name;
}

std::filesystem::path canonical(const std::filesystem::path& p) {
    std::error_code ec;
    auto c = std::filesystem::weakly_canonical(p, ec);
    return ec ? std::filesystem::absolute(p) : c;
}

link_map* map_of(void* handle) {
    link_map* lm = nullptr;
    return dlinfo(handle, RTLD_DI_LINKMAP, &lm) == 0 ? lm : nullptr;
}

// Enters a handle the loader gave; counts a load when `load` is set.
// Answers the loads now counted.
std::size_t enter(void* handle, const std::filesystem::path& path, bool load) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    Module& m = r.modules[handle];
    if (m.path.empty()) {
        m.path = path;
    }
    if (load) {
        ++m.loads;
    }
    return m.loads;
}

// Calls the module's exported entry point, if it has one; TRUE without one.
BOOL call_entry(void* handle, DWORD reason) {
    using Entry = BOOL (*)(HINSTANCE, DWORD, LPVOID);
    void* entry = dlsym(handle, "DllMain");
    if (entry == nullptr) {
        return TRUE;
    }
    return reinterpret_cast<Entry>(entry)(static_cast<HINSTANCE>(handle), reason, nullptr);
}

bool known(void* handle) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.modules.count(handle) != 0;
}

// The file of an object the loader has loaded, by its path or (case-insensitively) its file
// name; empty when none matches.
std::filesystem::path loaded_object(const std::filesystem::path& wanted, bool by_path) {
    struct Search {
        const std::filesystem::path* wanted;
        bool by_path;
        std::filesystem::path found;
    } search{&wanted, by_path, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') {
                return 0;
            }
            const auto file = canonical(info->dlpi_name);
            if (s->by_path ? file == *s->wanted
                           : iequals(file.filename().string(), s->wanted->string())) {
                s->found = file;
                return 1;
            }
            return 0;
        },
        &search);
    return search.found;
}

} // namespace

namespace detail {

std::filesystem::path find_module_file(const char* name) {
    return search(module_name(name));
}

std::filesystem::path find_file_for_version(const char* name) {
    auto p = resolve_path(name);
    if (is_file(p)) {
        return p;
    }
    return has_folder(name) ? std::filesystem::path() : search(name);
}

} // namespace detail

std::filesystem::path program_path() {
    static const std::filesystem::path p = [] {
        std::error_code ec;
        auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        return ec ? std::filesystem::path() : exe;
    }();
    return p;
}

std::filesystem::path program_directory() {
    return program_path().parent_path();
}

std::filesystem::path module_file(HMODULE module) {
    if (module == nullptr || module == reinterpret_cast<HMODULE>(main_handle())) {
        return program_path();
    }
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.modules.find(module);
    return it == r.modules.end() ? std::filesystem::path() : it->second.path;
}

HMODULE module_of_address(const void* address) {
    Dl_info info{};
    link_map* lm = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&lm), RTLD_DL_LINKMAP) == 0 || !lm) {
        return nullptr;
    }
    if (lm->l_name == nullptr || lm->l_name[0] == '\0' || lm == map_of(main_handle())) {
        return reinterpret_cast<HMODULE>(main_handle());
    }
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        for (const auto& [handle, m] : r.modules) {
            if (map_of(handle) == lm) {
                return reinterpret_cast<HMODULE>(handle);
            }
        }
    }
    void* h = dlopen(lm->l_name, RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) {
        return nullptr;
    }
    dlclose(h); // RTLD_NOLOAD counted a reference; the module stays loaded by its owner
    enter(h, canonical(lm->l_name), false);
    return reinterpret_cast<HMODULE>(h);
}

bool thread_library_calls_enabled(HMODULE module) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.modules.find(static_cast<void*>(module));
    return it != r.modules.end() && it->second.thread_calls;
}

std::string module_load_error() {
    return load_error;
}

} // namespace platform

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (lpLibFileName == nullptr || *lpLibFileName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto path = platform::detail::find_module_file(lpLibFileName);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const auto file = platform::canonical(path);
    // Outside the registry lock: the module's initialisers may call back into these calls.
    void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        const char* why = dlerror();
        platform::load_error = why ? why : "";
        // As Windows tells them apart: a library it needs is missing, a function it imports
        // is missing, or the file is no loadable image.
        const auto& text = platform::load_error;
        SetLastError(text.find("cannot open shared object") != std::string::npos
                         ? ERROR_MOD_NOT_FOUND
                     : text.find("undefined symbol") != std::string::npos ? ERROR_PROC_NOT_FOUND
                                                                          : ERROR_BAD_FORMAT);
        return nullptr;
    }
    platform::load_error.clear();
    if (platform::enter(h, file, true) == 1 && !platform::call_entry(h, DLL_PROCESS_ATTACH)) {
        // A refused load leaves nothing behind; the entry point gets no detach call.
        {
            platform::Registry& r = platform::registry();
            std::lock_guard lock(r.mutex);
            r.modules.erase(h);
        }
        dlclose(h);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(h);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    void* h = hLibModule;
    if (h == platform::main_handle()) {
        return TRUE;
    }
    bool close = false;
    bool last = false;
    {
        platform::Registry& r = platform::registry();
        std::lock_guard lock(r.mutex);
        const auto it = r.modules.find(h);
        if (it == r.modules.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (it->second.loads > 0) {
            close = true;
            last = --it->second.loads == 0;
            if (last) {
                r.modules.erase(it);
            }
        }
    }
    if (last) {
        platform::call_entry(h, DLL_PROCESS_DETACH);
    }
    if (close) {
        dlclose(h); // outside the lock: finalisers may call back
    }
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    void* h = hModule ? static_cast<void*>(hModule) : platform::main_handle();
    if (h != platform::main_handle() && !platform::known(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (reinterpret_cast<std::uintptr_t>(lpProcName) < 0x10000) { // an ordinal, or null
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(h, lpProcName);
    Dl_info info{};
    link_map* owner = nullptr;
    if (symbol == nullptr ||
        dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
        owner != platform::map_of(h)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr) {
        return reinterpret_cast<HMODULE>(platform::main_handle());
    }
    const std::string name = platform::module_name(lpModuleName);
    const bool with_folder = platform::has_folder(name);
    const auto wanted = with_folder ? platform::canonical(platform::resolve_path(name))
                                    : std::filesystem::path(name).filename();
    {
        platform::Registry& r = platform::registry();
        std::lock_guard lock(r.mutex);
        for (const auto& [handle, m] : r.modules) {
            if (with_folder ? m.path == wanted
                            : platform::iequals(m.path.filename().string(), wanted.string())) {
                return reinterpret_cast<HMODULE>(handle);
            }
        }
    }
    // A module loaded by other means (linked to the program, or loaded by another module).
    const auto file = platform::loaded_object(wanted, with_folder);
    if (!file.empty()) {
        if (void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
            dlclose(h); // RTLD_NOLOAD counted a reference; GetModuleHandleA counts none
            platform::enter(h, file, false);
            return reinterpret_cast<HMODULE>(h);
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    const std::string path = platform::module_file(hModule).string();
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (lpFilename == nullptr || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= nSize) {
        std::memcpy(lpFilename, path.data(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, path.data(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return DWORD(path.size());
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) {
    platform::Registry& r = platform::registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.modules.find(static_cast<void*>(hLibModule));
    if (it == r.modules.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    it->second.thread_calls = false;
    return TRUE;
}
}
