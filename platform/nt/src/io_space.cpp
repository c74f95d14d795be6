// Register windows (kernel mappings of I/O space and process views of them), the
// "\Device\PhysicalMemory" section and the register accessors.
#include "nt/hal.h"
#include "nt/zw.h"

#include "kernel.h"
#include "objects.h"
#include "platform/register_view.h"

#include "machine/machine.h"

#include <map>
#include <mutex>
#include <vector>

#define STATUS_NOT_MAPPED_VIEW TOLM_NTSTATUS(0xC0000019)

namespace tolm_nt {
namespace {

struct Window {
    std::size_t size;       // reserved bytes (whole pages)
    machine::PhysAddr phys; // physical address of the first byte
    bool register_space;    // false: a view of RAM (host memory, not reserved here)
    void* module = nullptr; // the driver that mapped it (null: the kernel or a test)
};

std::mutex window_mutex;
std::map<std::uintptr_t, Window>& windows() {
    static std::map<std::uintptr_t, Window> w;
    return w;
}

// Maps a register window starting at page `phys`: the machine's guarded view, whose loads and
// stores run the register handlers (the accessors below reach them without the trap).
void* reserve_window(machine::PhysAddr phys, std::size_t size, void* module) {
    void* p = hw().map_physical(phys, size);
    if (p == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(window_mutex);
    windows()[reinterpret_cast<std::uintptr_t>(p)] = Window{size, phys, true, module};
    return p;
}

// The window holding `address`: its physical address there, or false.
bool register_at(const volatile void* address, machine::PhysAddr& phys) {
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    std::lock_guard lock(window_mutex);
    auto it = windows().upper_bound(a);
    if (it == windows().begin()) {
        return false;
    }
    --it;
    if (!it->second.register_space || a >= it->first + it->second.size) {
        return false;
    }
    phys = it->second.phys + static_cast<machine::PhysAddr>(a - it->first);
    return true;
}

// Removes the window or view starting at page `base`; false when there is none.
bool release_window(std::uintptr_t base) {
    Window w{};
    {
        std::lock_guard lock(window_mutex);
        const auto it = windows().find(base);
        if (it == windows().end()) {
            return false;
        }
        w = it->second;
        windows().erase(it);
    }
    if (w.register_space) {
        hw().unmap_physical(reinterpret_cast<void*>(base));
    }
    return true;
}

} // namespace

std::size_t unmap_mappings_of(void* module) {
    std::vector<std::uintptr_t> left;
    {
        std::lock_guard lock(window_mutex);
        for (const auto& [base, w] : windows()) {
            if (module != nullptr && w.module == module) {
                left.push_back(base);
            }
        }
    }
    for (std::uintptr_t base : left) {
        release_window(base);
    }
    return left.size();
}

namespace {

std::size_t pages_for(std::uint64_t offset_in_page, std::uint64_t bytes) {
    return static_cast<std::size_t>((offset_in_page + bytes + PAGE_SIZE - 1) &
                                    ~std::uint64_t(PAGE_SIZE - 1));
}

class PhysicalMemorySection : public KernelHandleObject {};

template <typename T> T read_at(const volatile void* address) {
    machine::PhysAddr phys;
    if (register_at(address, phys)) {
        return static_cast<T>(hw().mmio_read(phys, sizeof(T)));
    }
    return *static_cast<const volatile T*>(address);
}

template <typename T> void write_at(volatile void* address, T value) {
    machine::PhysAddr phys;
    if (register_at(address, phys)) {
        hw().mmio_write(phys, value, sizeof(T));
        return;
    }
    *static_cast<volatile T*>(address) = value;
}

} // namespace
} // namespace tolm_nt

namespace platform::nt {
std::uint32_t read_register32(const volatile void* a) {
    return tolm_nt::read_at<std::uint32_t>(a);
}
std::uint16_t read_register16(const volatile void* a) {
    return tolm_nt::read_at<std::uint16_t>(a);
}
std::uint8_t read_register8(const volatile void* a) {
    return tolm_nt::read_at<std::uint8_t>(a);
}
void write_register32(volatile void* a, std::uint32_t v) {
    tolm_nt::write_at(a, v);
}
void write_register16(volatile void* a, std::uint16_t v) {
    tolm_nt::write_at(a, v);
}
void write_register8(volatile void* a, std::uint8_t v) {
    tolm_nt::write_at(a, v);
}
bool is_register_window(const volatile void* a) {
    machine::PhysAddr phys;
    return tolm_nt::register_at(a, phys);
}
} // namespace platform::nt

using namespace tolm_nt;

extern "C" {

PVOID NTAPI MmMapIoSpace(PHYSICAL_ADDRESS address, SIZE_T bytes, MEMORY_CACHING_TYPE) {
    require_irql_at_most(DISPATCH_LEVEL, "MmMapIoSpace");
    NTSTATUS ignored;
    if (bytes == 0 || address.QuadPart < 0 || address.QuadPart > 0xFFFFFFFFll ||
        fault_fires(platform::nt::Fault::MapIoSpace, ignored)) {
        return nullptr;
    }
    const auto phys = static_cast<machine::PhysAddr>(address.QuadPart);
    const machine::PhysAddr page = phys & ~machine::PhysAddr(PAGE_SIZE - 1);
    if (hw().is_register_space(phys)) {
        void* base = reserve_window(page, pages_for(phys - page, bytes),
                                    module_of(__builtin_return_address(0)));
        return base == nullptr ? nullptr : static_cast<char*>(base) + (phys - page);
    }
    return hw().host_address(phys, bytes);
}

VOID NTAPI MmUnmapIoSpace(PVOID base, SIZE_T) {
    release_window(reinterpret_cast<std::uintptr_t>(PAGE_ALIGN(base)));
}

UCHAR NTAPI READ_REGISTER_UCHAR(volatile UCHAR* r) {
    return read_at<UCHAR>(r);
}
USHORT NTAPI READ_REGISTER_USHORT(volatile USHORT* r) {
    return read_at<USHORT>(r);
}
ULONG NTAPI READ_REGISTER_ULONG(volatile ULONG* r) {
    return read_at<ULONG>(r);
}
VOID NTAPI WRITE_REGISTER_UCHAR(volatile UCHAR* r, UCHAR v) {
    write_at(r, v);
}
VOID NTAPI WRITE_REGISTER_USHORT(volatile USHORT* r, USHORT v) {
    write_at(r, v);
}
VOID NTAPI WRITE_REGISTER_ULONG(volatile ULONG* r, ULONG v) {
    write_at(r, v);
}
VOID NTAPI READ_REGISTER_BUFFER_ULONG(volatile ULONG* r, PULONG buffer, ULONG count) {
    for (ULONG i = 0; i < count; ++i) {
        buffer[i] = read_at<ULONG>(r + i);
    }
}
VOID NTAPI WRITE_REGISTER_BUFFER_ULONG(volatile ULONG* r, PULONG buffer, ULONG count) {
    for (ULONG i = 0; i < count; ++i) {
        write_at(r + i, buffer[i]);
    }
}

NTSTATUS NTAPI ZwOpenSection(PHANDLE handle, ACCESS_MASK, POBJECT_ATTRIBUTES attributes) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwOpenSection");
    if (attributes == nullptr || attributes->ObjectName == nullptr) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    if (attributes->RootDirectory != nullptr ||
        lower(narrow(attributes->ObjectName)) != "\\device\\physicalmemory") {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    *handle = platform::make_handle(std::make_shared<PhysicalMemorySection>());
    note_handle(*handle, module_of(__builtin_return_address(0)));
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI ZwMapViewOfSection(HANDLE section, HANDLE, PVOID* base, ULONG_PTR, SIZE_T commit,
                                  PLARGE_INTEGER offset, PSIZE_T view_size, SECTION_INHERIT, ULONG,
                                  ULONG) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwMapViewOfSection");
    if (!platform::lookup_handle_as<PhysicalMemorySection>(section)) {
        return STATUS_INVALID_HANDLE;
    }
    NTSTATUS injected;
    if (fault_fires(platform::nt::Fault::MapViewOfSection, injected)) {
        return injected;
    }
    if (offset == nullptr || view_size == nullptr || base == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    if (*base != nullptr) {
        return STATUS_CONFLICTING_ADDRESSES; // views go where the kernel puts them
    }
    const std::uint64_t bytes = *view_size != 0 ? *view_size : commit;
    if (bytes == 0 || offset->QuadPart < 0 ||
        static_cast<std::uint64_t>(offset->QuadPart) + bytes > 0x100000000ull) {
        return STATUS_INVALID_PARAMETER;
    }
    const auto phys = static_cast<machine::PhysAddr>(offset->QuadPart);
    const machine::PhysAddr page = phys & ~machine::PhysAddr(PAGE_SIZE - 1);
    const std::size_t size = pages_for(phys - page, bytes);
    void* view = nullptr;
    void* const module = module_of(__builtin_return_address(0));
    if (hw().is_register_space(page)) {
        view = reserve_window(page, size, module);
        if (view == nullptr) {
            return STATUS_INSUFFICIENT_RESOURCES;
        }
    } else {
        view = hw().host_address(page, size);
        if (view == nullptr) {
            return STATUS_CONFLICTING_ADDRESSES;
        }
        std::lock_guard lock(window_mutex);
        windows()[reinterpret_cast<std::uintptr_t>(view)] = Window{size, page, false, module};
    }
    *base = view;
    offset->QuadPart = page;
    *view_size = size;
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI ZwUnmapViewOfSection(HANDLE, PVOID base) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwUnmapViewOfSection");
    return release_window(reinterpret_cast<std::uintptr_t>(base)) ? STATUS_SUCCESS
                                                                  : STATUS_NOT_MAPPED_VIEW;
}

} // extern "C"
