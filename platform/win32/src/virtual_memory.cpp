// VirtualQuery over the process's mappings as the host kernel lists them (/proc/self/maps).
// Every mapping is committed; an anonymous one is private, a file's one mapped (an image when
// it is executable). The capture driver's user views of kernel memory lie in these mappings
// too, as the kernel stand-in shares the one address space.
#include "win32/errors.h"
#include "win32/memory.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

struct Mapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    DWORD protect = PAGE_NOACCESS;
    DWORD type = MEM_PRIVATE;
};

DWORD protection(const char* perms) {
    const bool r = perms[0] == 'r';
    const bool w = perms[1] == 'w';
    const bool x = perms[2] == 'x';
    if (x) {
        return w ? PAGE_EXECUTE_READWRITE : r ? PAGE_EXECUTE_READ : PAGE_EXECUTE;
    }
    return w ? PAGE_READWRITE : r ? PAGE_READONLY : PAGE_NOACCESS;
}

// The mapping that holds `address`; false when none does, with `gap_end` the start of the
// next mapping above it.
bool find_mapping(std::uintptr_t address, Mapping& found, std::uintptr_t& gap_end) {
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr) {
        return false;
    }
    gap_end = UINTPTR_MAX;
    bool inside = false;
    char line[512];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long start = 0;
        unsigned long end = 0;
        char perms[5] = {};
        unsigned long offset = 0;
        char dev[16] = {};
        unsigned long inode = 0;
        if (std::sscanf(line, "%lx-%lx %4s %lx %15s %lu", &start, &end, perms, &offset, dev,
                        &inode) != 6) {
            continue;
        }
        if (address >= start && address < end) {
            found.start = start;
            found.end = end;
            found.protect = protection(perms);
            found.type = inode == 0 ? MEM_PRIVATE : perms[2] == 'x' ? MEM_IMAGE : MEM_MAPPED;
            inside = true;
            break;
        }
        if (start > address) {
            gap_end = start;
            break;
        }
    }
    std::fclose(maps);
    return inside;
}

} // namespace

extern "C" SIZE_T WINAPI VirtualQuery(LPCVOID lpAddress, PMEMORY_BASIC_INFORMATION lpBuffer,
                                      SIZE_T dwLength) {
    if (lpBuffer == nullptr || dwLength < sizeof(MEMORY_BASIC_INFORMATION)) {
        SetLastError(ERROR_BAD_LENGTH);
        return 0;
    }
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(lpAddress);
    const std::uintptr_t base = address & ~(page - 1);
    Mapping m;
    std::uintptr_t gap_end = 0;
    MEMORY_BASIC_INFORMATION info{};
    info.BaseAddress = reinterpret_cast<PVOID>(base);
    if (find_mapping(address, m, gap_end)) {
        info.AllocationBase = reinterpret_cast<PVOID>(m.start);
        info.AllocationProtect = m.protect;
        info.RegionSize = m.end - base;
        info.State = MEM_COMMIT;
        info.Protect = m.protect;
        info.Type = m.type;
    } else {
        info.RegionSize = gap_end - base;
        info.State = MEM_FREE;
        info.Protect = PAGE_NOACCESS;
    }
    std::memcpy(lpBuffer, &info, sizeof info);
    return sizeof info;
}
