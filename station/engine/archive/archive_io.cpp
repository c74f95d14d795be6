#include "archive_io.h"

#include <win32/errors.h>
#include <win32/files.h>
#include <win32_owners/unique_handle.h>
#include <win32_owners/write_all.h>

#include <string>

namespace archive {
namespace {

using win32_owners::UniqueHandle;

// Other openers may read, write and delete while the archive holds a file, except while a
// frame is written through (exclusive).
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

[[noreturn]] void fail(const char* what, const Path& p) {
    throw ArchiveError(std::string(what) + " " + p.string() + ": error " +
                       std::to_string(GetLastError()));
}

UniqueHandle open_file(const Path& p, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return UniqueHandle(
        CreateFileA(p.string().c_str(), access, share, nullptr, disposition, flags, nullptr));
}

// Opens `p` for writing, creating it when missing; throws when it cannot.
UniqueHandle open_for_write(const Path& p, DWORD share = kShareAll,
                            DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    UniqueHandle file = open_file(p, GENERIC_WRITE, share, OPEN_ALWAYS, flags);
    if (!file) {
        fail("cannot open", p);
    }
    return file;
}

bool seek(HANDLE file, std::uint64_t offset) {
    LONG high = LONG(DWORD(offset >> 32));
    const DWORD low = SetFilePointer(file, LONG(DWORD(offset)), &high, FILE_BEGIN);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// Reads until `out` is full or the file ends; the bytes read.
std::size_t read_some(HANDLE file, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t left = out.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : DWORD(left);
        DWORD n = 0;
        if (!ReadFile(file, out.data() + done, chunk, &n, nullptr) || n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

void write_at_position(HANDLE file, std::uint64_t offset, std::span<const std::uint8_t> bytes,
                       const Path& p) {
    if (!seek(file, offset) || !win32_owners::write_all(file, bytes.data(), bytes.size())) {
        fail("cannot write", p);
    }
}

bool missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

class HostIo final : public ArchiveIo {
public:
    std::optional<std::vector<std::uint8_t>> read_file(const Path& p) override {
        UniqueHandle file =
            open_file(p, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
        if (!file) {
            return std::nullopt;
        }
        DWORD high = 0;
        const DWORD low = GetFileSize(file.get(), &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> out(std::size_t((std::uint64_t(high) << 32) | low));
        out.resize(read_some(file.get(), out));
        return out;
    }

    std::optional<std::uint64_t> file_size(const Path& p) override {
        UniqueHandle file = open_file(p, 0, kShareAll, OPEN_EXISTING);
        if (!file) {
            return std::nullopt;
        }
        DWORD high = 0;
        const DWORD low = GetFileSize(file.get(), &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            return std::nullopt;
        }
        return (std::uint64_t(high) << 32) | low;
    }

    bool read_at(const Path& p, std::uint64_t offset, std::span<std::uint8_t> out) override {
        UniqueHandle file = open_file(p, GENERIC_READ, kShareAll, OPEN_EXISTING);
        return file && seek(file.get(), offset) && read_some(file.get(), out) == out.size();
    }

    bool usable_directory(const Path& p) override {
        const DWORD attributes = GetFileAttributesA(p.string().c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
               (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    }

    void write_file(const Path& p, std::span<const std::uint8_t> bytes) override {
        UniqueHandle file = open_for_write(p);
        write_at_position(file.get(), 0, bytes, p);
        if (!SetEndOfFile(file.get())) {
            fail("cannot write", p);
        }
    }

    void write_at(const Path& p, std::uint64_t offset, std::span<const std::uint8_t> bytes,
                  DataWrite mode) override {
        UniqueHandle file =
            mode == DataWrite::WriteThrough
                ? open_for_write(p, 0, FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN)
                : open_for_write(p);
        write_at_position(file.get(), offset, bytes, p);
    }

    void write_and_cut(const Path& p, std::uint64_t offset,
                       std::span<const std::uint8_t> bytes) override {
        UniqueHandle file = open_for_write(p);
        write_at_position(file.get(), offset, bytes, p);
        if (!SetEndOfFile(file.get())) {
            fail("cannot write", p);
        }
    }

    bool remove_file(const Path& p) override {
        if (DeleteFileA(p.string().c_str())) {
            return true;
        }
        if (missing(GetLastError())) {
            return false;
        }
        fail("cannot delete", p);
    }

    void rename_file(const Path& from, const Path& to) override {
        if (!MoveFileExA(from.string().c_str(), to.string().c_str(), MOVEFILE_REPLACE_EXISTING)) {
            fail("cannot rename", from);
        }
    }

    bool create_directories(const Path& p) override {
        // Each folder on the way, from the outermost; those that exist fail harmlessly.
        const std::string path = p.string();
        for (std::size_t i = 1; i < path.size(); ++i) {
            if (path[i] == '/' || path[i] == '\\') {
                CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
            }
        }
        CreateDirectoryA(path.c_str(), nullptr);
        return usable_directory(p);
    }

    bool remove_empty_directory(const Path& p) override {
        return RemoveDirectoryA(p.string().c_str()) != FALSE;
    }
};

} // namespace

ArchiveIo& host_io() {
    static HostIo io;
    return io;
}

std::optional<DiskSpace> host_free_space(const Path& folder) {
    ULARGE_INTEGER free_to_caller{};
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExA(folder.string().c_str(), &free_to_caller, &total, nullptr)) {
        return std::nullopt;
    }
    return DiskSpace{free_to_caller.QuadPart, total.QuadPart};
}

} // namespace archive
