#include "win32/errors.h"
#include "win32/sysinfo.h"

#include <cstring>

namespace {
constexpr DWORD kMajor = 5;
constexpr DWORD kMinor = 1;
constexpr DWORD kBuild = 2600;
} // namespace

extern "C" {

DWORD WINAPI GetVersion() {
    return kMajor | (kMinor << 8) | (kBuild << 16); // top bit clear: the NT line
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(info, 0, size);
    info->dwOSVersionInfoSize = size;
    info->dwMajorVersion = kMajor;
    info->dwMinorVersion = kMinor;
    info->dwBuildNumber = kBuild;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    if (size == sizeof(OSVERSIONINFOEXA)) {
        reinterpret_cast<LPOSVERSIONINFOEXA>(info)->wProductType = VER_NT_WORKSTATION;
    }
    return TRUE;
}
}
