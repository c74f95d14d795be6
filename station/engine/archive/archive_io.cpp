#include "archive_io.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archive {
namespace {

// An open POSIX file descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

[[noreturn]] void fail(const char* what, const Path& p) {
    throw ArchiveError(std::string(what) + " " + p.string() + ": " + std::strerror(errno));
}

void write_all(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes, const Path& p) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("cannot write", p);
        }
        done += std::size_t(n);
    }
}

class HostIo final : public ArchiveIo {
public:
    std::optional<std::vector<std::uint8_t>> read_file(const Path& p) override {
        Fd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            return std::nullopt;
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> out(std::size_t(st.st_size));
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd.get(), out.data() + done, out.size() - done, off_t(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += std::size_t(n);
        }
        out.resize(done);
        return out;
    }

    std::optional<std::uint64_t> file_size(const Path& p) override {
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return std::nullopt;
        }
        return std::uint64_t(st.st_size);
    }

    bool read_at(const Path& p, std::uint64_t offset, std::span<std::uint8_t> out) override {
        Fd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            return false;
        }
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n =
                ::pread(fd.get(), out.data() + done, out.size() - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += std::size_t(n);
        }
        return true;
    }

    bool usable_directory(const Path& p) override {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
               ::access(p.c_str(), R_OK | W_OK | X_OK) == 0;
    }

    void write_file(const Path& p, std::span<const std::uint8_t> bytes) override {
        Fd fd(::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        if (!fd) {
            fail("cannot open", p);
        }
        write_all(fd.get(), 0, bytes, p);
        if (::ftruncate(fd.get(), off_t(bytes.size())) != 0) {
            fail("cannot write", p);
        }
    }

    void write_at(const Path& p, std::uint64_t offset, std::span<const std::uint8_t> bytes,
                  DataWrite mode) override {
        int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
        if (mode == DataWrite::WriteThrough) {
            flags |= O_DSYNC;
        }
        Fd fd(::open(p.c_str(), flags, 0644));
        if (!fd) {
            fail("cannot open", p);
        }
        if (mode == DataWrite::WriteThrough) {
            ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        }
        write_all(fd.get(), offset, bytes, p);
    }

    void write_and_cut(const Path& p, std::uint64_t offset,
                       std::span<const std::uint8_t> bytes) override {
        Fd fd(::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        if (!fd) {
            fail("cannot open", p);
        }
        write_all(fd.get(), offset, bytes, p);
        if (::ftruncate(fd.get(), off_t(offset + bytes.size())) != 0) {
            fail("cannot write", p);
        }
    }

    bool remove_file(const Path& p) override {
        if (::unlink(p.c_str()) == 0) {
            return true;
        }
        if (errno == ENOENT) {
            return false;
        }
        fail("cannot delete", p);
    }

    void rename_file(const Path& from, const Path& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) {
            fail("cannot rename", from);
        }
    }

    bool create_directories(const Path& p) override {
        std::error_code ec;
        std::filesystem::create_directories(p, ec);
        return usable_directory(p);
    }

    bool remove_empty_directory(const Path& p) override { return ::rmdir(p.c_str()) == 0; }
};

} // namespace

ArchiveIo& host_io() {
    static HostIo io;
    return io;
}

std::optional<DiskSpace> host_free_space(const Path& folder) {
    std::error_code ec;
    const auto info = std::filesystem::space(folder, ec);
    if (ec) {
        return std::nullopt;
    }
    return DiskSpace{info.available, info.capacity};
}

} // namespace archive
