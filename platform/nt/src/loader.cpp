// Driver images: loading, DriverEntry, DriverUnload and the unload report.
#include "loader.h"

#include "nt/io.h"

#include "io_internal.h"
#include "kernel.h"
#include "pool.h"

#include "win32/errors.h"

#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <sys/mman.h>
#include <unistd.h>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#ifndef ERROR_BAD_EXE_FORMAT
#define ERROR_BAD_EXE_FORMAT 193L
#endif

namespace tolm_nt {
namespace {

struct LoadedDriver {
    std::string service;
    void* image = nullptr;  // dlopen handle
    int image_copy = -1;    // the private copy of the image file the handle maps
    void* module = nullptr; // load address, as module_of() answers
    DRIVER_OBJECT object{};
    DRIVER_EXTENSION extension{};
    std::u16string registry_path;
    std::u16string driver_name;
    std::u16string service_key;
    UNICODE_STRING registry_path_string{};
};

std::recursive_mutex loader_mutex;
std::map<std::string, std::unique_ptr<LoadedDriver>>& drivers() {
    static std::map<std::string, std::unique_ptr<LoadedDriver>> d;
    return d;
}

// Drivers whose deferred call still ran when they unloaded: their images stay mapped.
std::vector<std::unique_ptr<LoadedDriver>>& kept_images() {
    static std::vector<std::unique_ptr<LoadedDriver>> k;
    return k;
}

std::mutex report_mutex;
std::vector<platform::nt::UnloadReport>& reports() {
    static std::vector<platform::nt::UnloadReport> r;
    return r;
}

NTSTATUS NTAPI invalid_request(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

void set_string(UNICODE_STRING& s, std::u16string& storage) {
    s.Buffer = storage.data();
    s.Length = static_cast<USHORT>(storage.size() * sizeof(WCHAR));
    s.MaximumLength = static_cast<USHORT>(s.Length + sizeof(WCHAR));
}

// Releases what a driver left and records the report.
void finish_unload(LoadedDriver& d) {
    platform::nt::UnloadReport r;
    r.service = d.service;
    r.deferred_left = drop_deferred_of(d.module);
    r.handles_left = close_handles_of(d.module);
    r.mappings_left = unmap_mappings_of(d.module);
    r.interrupts_left = disconnect_interrupts_of(d.module);
    r.devices_left = delete_devices_of(&d.object);
    r.links_left = delete_links_of(d.module);
    r.resources_left = release_claims_of(&d.object);
    r.leaked_pool = blocks_of(d.module, true);
    if (!r.clean()) {
        std::fprintf(stderr, "tolm_nt: driver %s left at unload:", d.service.c_str());
        for (const auto& u : r.leaked_pool) {
            std::fprintf(stderr, " pool tag '%s' %zu blocks %zu bytes;",
                         platform::nt::tag_text(u.tag).c_str(), u.blocks, u.bytes);
        }
        std::fprintf(stderr,
                     " %zu devices, %zu links, %zu interrupts, %zu deferred calls, %zu resource "
                     "claims, %zu handles, %zu mappings\n",
                     r.devices_left, r.links_left, r.interrupts_left, r.deferred_left,
                     r.resources_left, r.handles_left, r.mappings_left);
    }
    std::lock_guard lock(report_mutex);
    reports().push_back(std::move(r));
}

// The kernel reads a driver image into memory and keeps no hold on its file, so the file can
// be replaced while the driver runs (an installer copying a new image over the running one).
// A private in-memory copy gives the same here: the loader maps the copy, not the file.
int copy_image(const std::filesystem::path& image) {
    std::ifstream in(image, std::ios::binary);
    if (!in) {
        return -1;
    }
    const int fd = memfd_create(image.filename().c_str(), MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    char buf[65536];
    while (in) {
        in.read(buf, sizeof buf);
        const std::streamsize n = in.gcount();
        for (std::streamsize done = 0; done < n;) {
            const ssize_t w = ::write(fd, buf + done, static_cast<std::size_t>(n - done));
            if (w <= 0) {
                ::close(fd);
                return -1;
            }
            done += w;
        }
    }
    return fd;
}

void close_image(void* handle, int copy) {
    if (handle != nullptr) {
        dlclose(handle);
    }
    if (copy >= 0) {
        ::close(copy);
    }
}

} // namespace

DWORD load_driver(const std::string& service, const std::filesystem::path& image) {
    require_irql_at_most(PASSIVE_LEVEL, "driver load");
    std::lock_guard lock(loader_mutex);
    if (drivers().count(lower(service)) != 0) {
        return ERROR_SERVICE_ALREADY_RUNNING;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(image, ec)) {
        return ERROR_FILE_NOT_FOUND;
    }
    const int copy = copy_image(image);
    if (copy < 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::string copy_path = "/proc/self/fd/" + std::to_string(copy);
    void* handle = dlopen(copy_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "tolm_nt: cannot load %s: %s\n", image.c_str(), dlerror());
        close_image(nullptr, copy);
        return ERROR_BAD_EXE_FORMAT;
    }
    auto entry = reinterpret_cast<PDRIVER_INITIALIZE>(dlsym(handle, "DriverEntry"));
    if (entry == nullptr) {
        close_image(handle, copy);
        return ERROR_BAD_EXE_FORMAT;
    }
    auto d = std::make_unique<LoadedDriver>();
    d->service = service;
    d->image = handle;
    d->image_copy = copy;
    d->module = module_of(reinterpret_cast<const void*>(entry));
    d->registry_path =
        widen("\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + service);
    d->driver_name = widen("\\Driver\\" + service);
    d->service_key = widen(service);
    set_string(d->registry_path_string, d->registry_path);
    DRIVER_OBJECT& o = d->object;
    o.Type = 4;
    o.Size = sizeof(DRIVER_OBJECT);
    o.DriverStart = d->module;
    o.DriverExtension = &d->extension;
    d->extension.DriverObject = &o;
    set_string(d->extension.ServiceKeyName, d->service_key);
    set_string(o.DriverName, d->driver_name);
    o.DriverInit = entry;
    for (PDRIVER_DISPATCH& f : o.MajorFunction) {
        f = invalid_request;
    }
    const NTSTATUS status = entry(&o, &d->registry_path_string);
    if (irql() != PASSIVE_LEVEL) {
        bug_check(IRQL_NOT_LESS_OR_EQUAL, irql(), PASSIVE_LEVEL, 0, 0,
                  "DriverEntry returned above passive level");
    }
    if (!NT_SUCCESS(status)) {
        finish_unload(*d);
        close_image(handle, copy);
        return win32_error(status);
    }
    finish_initializing(&o);
    drivers()[lower(service)] = std::move(d);
    return ERROR_SUCCESS;
}

bool driver_loaded(const std::string& service) {
    std::lock_guard lock(loader_mutex);
    return drivers().count(lower(service)) != 0;
}

bool driver_can_stop(const std::string& service) {
    std::lock_guard lock(loader_mutex);
    const auto it = drivers().find(lower(service));
    return it != drivers().end() && it->second->object.DriverUnload != nullptr;
}

DWORD unload_driver(const std::string& service) {
    require_irql_at_most(PASSIVE_LEVEL, "driver unload");
    std::unique_ptr<LoadedDriver> d;
    {
        std::lock_guard lock(loader_mutex);
        const auto it = drivers().find(lower(service));
        if (it == drivers().end()) {
            return ERROR_SERVICE_NOT_ACTIVE;
        }
        if (it->second->object.DriverUnload == nullptr) {
            return ERROR_INVALID_SERVICE_CONTROL;
        }
        if (open_files_of(&it->second->object) != 0) {
            return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        }
        d = std::move(it->second);
        drivers().erase(it);
    }
    d->object.DriverUnload(&d->object);
    if (irql() != PASSIVE_LEVEL) {
        bug_check(IRQL_NOT_LESS_OR_EQUAL, irql(), PASSIVE_LEVEL, 0, 0,
                  "DriverUnload returned above passive level");
    }
    // The image goes next: a deferred call of it still running would run on in freed code and
    // freed state (KeFlushQueuedDpcs waits for those). The image stays mapped after the report.
    if (deferred_running_of(d->module)) {
        LoadedDriver* kept = d.get();
        {
            std::lock_guard lock(loader_mutex);
            kept_images().push_back(std::move(d));
        }
        bug_check(DRIVER_UNLOADED_WITHOUT_CANCELLING_PENDING_OPERATIONS,
                  reinterpret_cast<ULONG_PTR>(kept->module), 0, 0, 0,
                  "driver " + kept->service + " unloaded while its deferred call still runs");
    }
    finish_unload(*d);
    close_image(d->image, d->image_copy);
    return ERROR_SUCCESS;
}

std::vector<std::string> loaded_drivers() {
    std::lock_guard lock(loader_mutex);
    std::vector<std::string> out;
    for (const auto& [key, d] : drivers()) {
        out.push_back(d->service);
    }
    return out;
}

} // namespace tolm_nt

namespace platform::nt {

std::vector<UnloadReport> unload_reports() {
    std::lock_guard lock(tolm_nt::report_mutex);
    return tolm_nt::reports();
}

void clear_unload_reports() {
    std::lock_guard lock(tolm_nt::report_mutex);
    tolm_nt::reports().clear();
}

} // namespace platform::nt
