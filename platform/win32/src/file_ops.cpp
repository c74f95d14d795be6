// System folders and the path-level file calls: copy, delete, create folder, attributes.
#include "file_support.h"
#include "win32_owners/unique_fd.h"

#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

UINT copy_folder_name(const std::filesystem::path& folder, LPSTR buffer, UINT size) {
    const std::string text = folder.string();
    if (buffer == nullptr || size <= text.size()) {
        return UINT(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return UINT(text.size());
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Copies the whole of `from` into `to`; an errno value or 0.
int copy_data(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return 0;
        }
        for (ssize_t off = 0; off < n;) {
            const ssize_t w = ::write(to, buffer + off, std::size_t(n - off));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            off += w;
        }
    }
}

} // namespace

extern "C" {

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return copy_folder_name(platform::system_directory(), buffer, size);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return copy_folder_name(platform::windows_directory(), buffer, size);
}

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR new_name, BOOL fail_if_exists) {
    const auto from = platform::host_path(existing);
    const auto to = platform::host_path(new_name);
    if (from.empty() || to.empty()) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    win32_owners::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat src {};
    if (!in.valid()) {
        return fail(platform::win32_error_from_errno(errno, from));
    }
    if (::fstat(in.get(), &src) != 0 || S_ISDIR(src.st_mode)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    struct stat dst {};
    if (::stat(to.c_str(), &dst) == 0) {
        if (S_ISDIR(dst.st_mode)) {
            return fail(ERROR_ACCESS_DENIED);
        }
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
            // Copying a file onto itself would truncate it before reading it.
            return fail(ERROR_SHARING_VIOLATION);
        }
        if (platform::is_loaded_image(to, dst)) {
            return fail(ERROR_SHARING_VIOLATION);
        }
    }
    const int create = fail_if_exists ? (O_CREAT | O_EXCL) : (O_CREAT | O_TRUNC);
    win32_owners::UniqueFd out(
        ::open(to.c_str(), O_WRONLY | O_CLOEXEC | create, src.st_mode & 07777));
    if (!out.valid()) {
        return fail(platform::win32_error_from_errno(errno, to));
    }
    const int err = copy_data(in.get(), out.get());
    if (err != 0) {
        out.reset();
        ::unlink(to.c_str()); // no half-copied file stays behind
        return fail(platform::win32_error_from_errno(err, to));
    }
    // The copy keeps the source's last-write time, as on Windows.
    const struct timespec times[2] = {src.st_atim, src.st_mtim};
    ::futimens(out.get(), times);
    if (::close(out.release()) != 0) {
        return fail(ERROR_WRITE_FAULT);
    }
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR name) {
    const auto path = platform::host_path(name);
    if (path.empty()) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    if (::unlink(path.c_str()) != 0) {
        return fail(platform::win32_error_from_errno(errno, path));
    }
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security) {
    const auto path = platform::host_path(name);
    if (path.empty()) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    if (::mkdir(path.c_str(), 0777) != 0) {
        const int err = errno;
        return fail(err == EEXIST ? DWORD(ERROR_ALREADY_EXISTS)
                                  : platform::win32_error_from_errno(err, path));
    }
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR name) {
    const auto path = platform::host_path(name);
    struct stat st {};
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (::stat(path.c_str(), &st) != 0) {
        SetLastError(platform::win32_error_from_errno(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    return platform::attributes_of(st);
}
}

namespace {

// Makes a rename in `folder` durable.
void sync_folder(const std::filesystem::path& folder) {
    win32_owners::UniqueFd dir(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

} // namespace

extern "C" {

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR new_name, DWORD flags) {
    const auto from = platform::host_path(existing);
    const auto to = platform::host_path(new_name);
    if (from.empty() || to.empty()) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    struct stat src {};
    if (::lstat(from.c_str(), &src) != 0) {
        return fail(platform::win32_error_from_errno(errno, from));
    }
    struct stat dst {};
    if (::lstat(to.c_str(), &dst) == 0) {
        const bool same = dst.st_dev == src.st_dev && dst.st_ino == src.st_ino;
        if (!same && (flags & MOVEFILE_REPLACE_EXISTING) == 0) {
            return fail(ERROR_ALREADY_EXISTS);
        }
        if (!same && (S_ISDIR(dst.st_mode) || S_ISDIR(src.st_mode))) {
            return fail(ERROR_ACCESS_DENIED);
        }
        if (!same && platform::is_loaded_image(to, dst)) {
            return fail(ERROR_SHARING_VIOLATION);
        }
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int err = errno;
        if (err != EXDEV) {
            return fail(err == ENOTEMPTY ? DWORD(ERROR_ACCESS_DENIED)
                                         : platform::win32_error_from_errno(err, to));
        }
        if ((flags & MOVEFILE_COPY_ALLOWED) == 0 || S_ISDIR(src.st_mode)) {
            return fail(ERROR_NOT_SAME_DEVICE);
        }
        if (!CopyFileA(existing, new_name, FALSE)) {
            return FALSE;
        }
        if ((flags & MOVEFILE_WRITE_THROUGH) != 0) {
            win32_owners::UniqueFd copy(::open(to.c_str(), O_RDONLY | O_CLOEXEC));
            if (copy.valid()) {
                ::fsync(copy.get());
            }
        }
        if (::unlink(from.c_str()) != 0) {
            return fail(platform::win32_error_from_errno(errno, from));
        }
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0) {
        sync_folder(to.parent_path());
        if (from.parent_path() != to.parent_path()) {
            sync_folder(from.parent_path());
        }
    }
    return TRUE;
}
}
