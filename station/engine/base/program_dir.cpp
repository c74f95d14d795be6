#include "program_dir.h"

#include "base_state.h"

#include "platform/paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace station {
namespace {} // namespace

std::string ProgramFileFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path(ec).string();
    }
    return exe.parent_path().string();
}

namespace {

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

void SetProgramDir(BaseState& base, std::string dir) {
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) {
        dir.pop_back();
    }
    base.ProgramDir = std::move(dir);
}

std::filesystem::path ProgramFile(const BaseState& base, std::string_view name) {
    std::string path = base.ProgramDir;
    path += '/';
    path += name;
    return platform::resolve_path(path);
}

std::optional<std::vector<std::uint8_t>> ReadProgramFile(const BaseState& base,
                                                         std::string_view name) {
    const auto path = ProgramFile(base, name);
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

bool ReplaceProgramFile(const BaseState& base, std::string_view name,
                        const std::vector<std::uint8_t>& bytes) {
    const auto target = ProgramFile(base, name);
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
