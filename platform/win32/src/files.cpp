// CreateFileA and the calls on file handles.
#include "file_support.h"
#include "win32_owners/unique_fd.h"

#include "platform/io_object.h"
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// An open file of the host.
class FileObject : public IoObject {
public:
    FileObject(win32_owners::UniqueFd fd, bool readable, bool writable)
        : fd_(std::move(fd)), readable_(readable), writable_(writable) {}

    int fd() const { return fd_.get(); }

    DWORD read(void* buffer, DWORD size, DWORD& done, OVERLAPPED* overlapped) override {
        done = 0;
        if (!readable_) {
            return ERROR_ACCESS_DENIED;
        }
        return transfer(static_cast<char*>(buffer), size, done, overlapped, false);
    }

    DWORD write(const void* buffer, DWORD size, DWORD& done, OVERLAPPED* overlapped) override {
        done = 0;
        if (!writable_) {
            return ERROR_ACCESS_DENIED;
        }
        return transfer(static_cast<char*>(const_cast<void*>(buffer)), size, done, overlapped,
                        true);
    }

    // Cuts or extends the file at the current position.
    DWORD set_end() {
        if (!writable_) {
            return ERROR_ACCESS_DENIED;
        }
        const off_t here = ::lseek(fd_.get(), 0, SEEK_CUR);
        if (here < 0 || ::ftruncate(fd_.get(), here) != 0) {
            return errno == ENOSPC || errno == EFBIG ? DWORD(ERROR_DISK_FULL)
                                                     : DWORD(ERROR_WRITE_FAULT);
        }
        return ERROR_SUCCESS;
    }

    DWORD flush() override {
        if (!writable_) {
            return ERROR_ACCESS_DENIED;
        }
        return ::fsync(fd_.get()) == 0 ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    }

private:
    // Moves all `size` bytes (a read stops early only at the end of the file). With an
    // OVERLAPPED record the transfer is positioned at its offset and the record receives the
    // outcome; the file position is not used, and a read that finds nothing at its offset
    // fails with ERROR_HANDLE_EOF.
    DWORD transfer(char* data, DWORD size, DWORD& done, OVERLAPPED* overlapped, bool writing) {
        off_t position = 0;
        if (overlapped) {
            position = off_t((std::uint64_t(overlapped->OffsetHigh) << 32) | overlapped->Offset);
        }
        DWORD result = ERROR_SUCCESS;
        while (done < size) {
            const std::size_t chunk = size - done;
            ssize_t n;
            if (overlapped) {
                n = writing ? ::pwrite(fd_.get(), data + done, chunk, position + done)
                            : ::pread(fd_.get(), data + done, chunk, position + done);
            } else {
                n = writing ? ::write(fd_.get(), data + done, chunk)
                            : ::read(fd_.get(), data + done, chunk);
            }
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                result = errno == ENOSPC || errno == EDQUOT
                             ? DWORD(ERROR_DISK_FULL)
                             : DWORD(writing ? ERROR_WRITE_FAULT : ERROR_READ_FAULT);
                break;
            }
            if (n == 0) {
                break; // end of file
            }
            done += DWORD(n);
        }
        if (overlapped && !writing && size > 0 && done == 0 && result == ERROR_SUCCESS) {
            result = ERROR_HANDLE_EOF; // a positioned read at or past the end
        }
        if (overlapped) {
            overlapped->Internal = result;
            overlapped->InternalHigh = done;
        }
        return result;
    }

    win32_owners::UniqueFd fd_;
    bool readable_;
    bool writable_;
};

struct Opener {
    std::mutex mutex;
    DeviceOpener opener;
};

Opener& device_opener() {
    static Opener o;
    return o;
}

// The rest of the name after a device prefix ("\\.\" or "//./"), or null when `name` has none.
const char* device_name(const char* name) {
    const auto sep = [](char c) { return c == '\\' || c == '/'; };
    if (sep(name[0]) && sep(name[1]) && name[2] == '.' && sep(name[3])) {
        return name + 4;
    }
    return nullptr;
}

HANDLE fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

HANDLE open_device(const char* name, DWORD access, DWORD flags) {
    DeviceOpener opener;
    {
        Opener& o = device_opener();
        std::lock_guard lock(o.mutex);
        opener = o.opener;
    }
    if (!opener) {
        return fail(ERROR_FILE_NOT_FOUND);
    }
    return opener(name, access, flags);
}

// ReadFile and WriteFile: the transfer of any IoObject.
BOOL transfer(HANDLE h, void* buffer, DWORD size, LPDWORD transferred, LPOVERLAPPED overlapped,
              bool writing) {
    auto object = lookup_handle_as<IoObject>(h);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (buffer == nullptr && size != 0) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    DWORD done = 0;
    const DWORD error = writing ? object->write(buffer, size, done, overlapped)
                                : object->read(buffer, size, done, overlapped);
    if (transferred) {
        *transferred = done;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

std::shared_ptr<FileObject> file_of(HANDLE h) {
    auto file = lookup_handle_as<FileObject>(h);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return file;
}

} // namespace

void set_device_opener(DeviceOpener opener) {
    Opener& o = device_opener();
    std::lock_guard lock(o.mutex);
    o.opener = std::move(opener);
}

} // namespace platform

using platform::fail;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE template_file) {
    if (name == nullptr || *name == '\0') {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    if (const char* device = platform::device_name(name)) {
        return platform::open_device(device, access, flags);
    }
    const bool readable = access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
    const bool writable =
        access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
        (disposition == TRUNCATE_EXISTING && !writable)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const std::filesystem::path path = platform::resolve_path(name);
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (writable && exists && platform::is_loaded_image(path, st)) {
        return fail(ERROR_SHARING_VIOLATION);
    }

    int mode = O_RDONLY;
    if (readable && writable) {
        mode = O_RDWR;
    } else if (writable) {
        mode = O_WRONLY;
    }
    // Write-through, no-buffering and scan hints are accepted: data goes to the host's cache,
    // whose durability stands in for the disk's.
    mode |= O_CLOEXEC;

    // CREATE_ALWAYS and OPEN_ALWAYS report whether the file was there (ERROR_ALREADY_EXISTS);
    // the exclusive create tells that without a race. The loop covers a file removed between
    // the two opens.
    win32_owners::UniqueFd fd;
    DWORD existed = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 8 && !fd.valid(); ++attempt) {
        switch (disposition) {
        case CREATE_NEW:
            fd.reset(::open(path.c_str(), mode | O_CREAT | O_EXCL, 0666));
            break;
        case OPEN_EXISTING:
            fd.reset(::open(path.c_str(), mode));
            break;
        case TRUNCATE_EXISTING:
            fd.reset(::open(path.c_str(), mode | O_TRUNC));
            break;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            fd.reset(::open(path.c_str(), mode | O_CREAT | O_EXCL, 0666));
            if (!fd.valid() && errno == EEXIST) {
                const int again = mode | (disposition == CREATE_ALWAYS ? O_TRUNC : 0);
                fd.reset(::open(path.c_str(), again));
                existed = ERROR_ALREADY_EXISTS;
                if (!fd.valid() && errno == ENOENT) {
                    continue;
                }
            }
            break;
        }
        if (!fd.valid()) {
            return fail(platform::win32_error_from_errno(errno, path));
        }
    }
    if (!fd.valid()) {
        return fail(ERROR_ACCESS_DENIED);
    }
    SetLastError(existed);
    return platform::make_handle(
        std::make_shared<platform::FileObject>(std::move(fd), readable, writable));
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read,
                     LPOVERLAPPED overlapped) {
    return platform::transfer(file, buffer, to_read, read, overlapped, false);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    return platform::transfer(file, const_cast<void*>(buffer), to_write, written, overlapped, true);
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD size_high) {
    auto object = platform::file_of(file);
    struct stat st {};
    if (!object) {
        return INVALID_FILE_SIZE;
    }
    if (::fstat(object->fd(), &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const auto size = std::uint64_t(st.st_size);
    if (size_high) {
        *size_high = DWORD(size >> 32);
    }
    SetLastError(NO_ERROR);
    return DWORD(size);
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
    auto object = platform::file_of(file);
    if (!object) {
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high word the distance is a signed 32-bit value.
    const std::int64_t move =
        distance_high ? std::int64_t((std::uint64_t(std::uint32_t(*distance_high)) << 32) |
                                     std::uint32_t(distance))
                      : std::int64_t(distance);
    std::int64_t base = 0;
    if (method == FILE_CURRENT) {
        base = ::lseek(object->fd(), 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat st {};
        base = ::fstat(object->fd(), &st) == 0 ? std::int64_t(st.st_size) : -1;
    } else if (method != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    if ((move > 0 && base > INT64_MAX - move) || base + move < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    const std::int64_t target = base + move;
    if (!distance_high && target > std::int64_t(0xFFFFFFFFu)) {
        SetLastError(ERROR_INVALID_PARAMETER); // the position would not fit the answer
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(object->fd(), off_t(target), SEEK_SET) < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distance_high) {
        *distance_high = LONG(std::uint64_t(target) >> 32);
    }
    SetLastError(NO_ERROR);
    return DWORD(std::uint64_t(target));
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
    auto object = platform::lookup_handle_as<platform::IoObject>(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const DWORD error = object->flush();
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI SetEndOfFile(HANDLE file) {
    auto object = platform::lookup_handle_as<platform::FileObject>(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const DWORD error = object->set_end();
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
}
