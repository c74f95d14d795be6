#include "file_support.h"

#include <fstream>
#include <sstream>
#include <string>
#include <sys/sysmacros.h>

#include "platform/paths.h"
#include "win32/errors.h"

#include "win32_owners/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

DWORD win32_error_from_errno(int err, const std::filesystem::path& path) {
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT: {
        struct stat st {};
        const auto parent = path.parent_path();
        const bool folder =
            parent.empty() || (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
        return folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
        return ERROR_BUSY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

std::filesystem::path host_path(const char* name) {
    if (name == nullptr || *name == '\0') {
        return {};
    }
    return resolve_path(name);
}

DWORD attributes_of(const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes;
}

FILETIME filetime_of(const struct timespec& t) {
    // 100-ns units; 11644473600 s lie between 1601-01-01 and 1970-01-01.
    const std::int64_t seconds = std::int64_t(t.tv_sec) + 11644473600LL;
    const std::uint64_t units =
        seconds < 0 ? 0 : std::uint64_t(seconds) * 10000000u + std::uint64_t(t.tv_nsec) / 100u;
    return FILETIME{DWORD(units), DWORD(units >> 32)};
}

bool is_loaded_image(const std::filesystem::path& path, const struct stat& st) {
    if (S_ISREG(st.st_mode)) {
        char magic[4] = {};
        const win32_owners::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.valid() && (::pread(file.get(), magic, sizeof magic, 0) != sizeof magic ||
                             std::memcmp(magic,
                                         "\x7F"
                                         "ELF",
                                         sizeof magic) != 0)) {
            return false; // no image: the mappings need no search
        }
    }
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        // address perms offset dev inode path
        std::istringstream fields(line);
        std::string range, perms, offset, dev;
        unsigned long inode = 0;
        if (!(fields >> range >> perms >> offset >> dev >> inode) || inode == 0 ||
            perms.size() < 3 || perms[2] != 'x') {
            continue; // only code mappings make a loaded image
        }
        if (inode != static_cast<unsigned long>(st.st_ino)) {
            continue;
        }
        const auto colon = dev.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const unsigned long major = std::stoul(dev.substr(0, colon), nullptr, 16);
        const unsigned long minor = std::stoul(dev.substr(colon + 1), nullptr, 16);
        if (major == ::major(st.st_dev) && minor == ::minor(st.st_dev)) {
            return true;
        }
    }
    return false;
}

} // namespace platform
