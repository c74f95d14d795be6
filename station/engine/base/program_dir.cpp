#include "program_dir.h"

#include "platform/paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <system_error>
#include <unistd.h>

namespace station {
namespace {

std::mutex& dir_mutex() {
    static std::mutex m;
    return m;
}

std::string& dir_value() {
    static std::string dir;
    return dir;
}

std::string program_file_folder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path(ec).string();
    }
    return exe.parent_path().string();
}

bool write_all(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string ProgramDir() {
    std::lock_guard lock(dir_mutex());
    std::string& dir = dir_value();
    if (dir.empty()) {
        dir = program_file_folder();
    }
    return dir;
}

void SetProgramDir(std::string dir) {
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) {
        dir.pop_back();
    }
    std::lock_guard lock(dir_mutex());
    dir_value() = std::move(dir);
}

std::filesystem::path ProgramFile(std::string_view name) {
    std::string path = ProgramDir();
    path += '/';
    path += name;
    return platform::resolve_path(path);
}

std::optional<std::vector<std::uint8_t>> ReadProgramFile(std::string_view name) {
    const auto path = ProgramFile(name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + in.gcount());
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

bool ReplaceProgramFile(std::string_view name, const std::vector<std::uint8_t>& bytes) {
    const auto target = ProgramFile(name);
    auto temp = target;
    temp += ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = write_all(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), target.c_str()) != 0) {
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace station
