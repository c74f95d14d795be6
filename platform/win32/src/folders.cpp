// Folder calls: removing a folder, the current folder, the space on a file system.
#include "file_support.h"

#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

extern "C" {

BOOL WINAPI RemoveDirectoryA(LPCSTR name) {
    const auto path = platform::host_path(name);
    if (path.empty()) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    if (::rmdir(path.c_str()) != 0) {
        const int err = errno;
        if (err == ENOTDIR) {
            return fail(ERROR_DIRECTORY);
        }
        if (err == ENOTEMPTY || err == EEXIST) {
            return fail(ERROR_DIR_NOT_EMPTY);
        }
        return fail(platform::win32_error_from_errno(err, path));
    }
    return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    std::error_code ec;
    const std::string text = std::filesystem::current_path(ec).string();
    if (ec) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (buffer == nullptr || size <= text.size()) {
        return DWORD(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return DWORD(text.size());
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR name) {
    const auto path = platform::host_path(name);
    if (path.empty()) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    if (::chdir(path.c_str()) != 0) {
        const int err = errno;
        return fail(err == ENOTDIR ? DWORD(ERROR_DIRECTORY)
                                   : platform::win32_error_from_errno(err, path));
    }
    return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER free_to_caller,
                                PULARGE_INTEGER total, PULARGE_INTEGER total_free) {
    const auto path = directory == nullptr || *directory == '\0' ? std::filesystem::path(".")
                                                                 : platform::host_path(directory);
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0) {
        return fail(platform::win32_error_from_errno(errno, path));
    }
    const ULONGLONG unit = fs.f_frsize != 0 ? fs.f_frsize : fs.f_bsize;
    if (free_to_caller != nullptr) {
        free_to_caller->QuadPart = ULONGLONG(fs.f_bavail) * unit;
    }
    if (total != nullptr) {
        total->QuadPart = ULONGLONG(fs.f_blocks) * unit;
    }
    if (total_free != nullptr) {
        total_free->QuadPart = ULONGLONG(fs.f_bfree) * unit;
    }
    return TRUE;
}
}
