#include "program_dir.h"

#include <win32/errors.h>
#include <win32/files.h>
#include <win32/modules.h>
#include <win32_owners/unique_handle.h>
#include <win32_owners/write_all.h>

#include <mutex>

namespace station {
namespace {

using win32_owners::UniqueHandle;

std::mutex& dir_mutex() {
    static std::mutex m;
    return m;
}

std::string& dir_value() {
    static std::string dir;
    return dir;
}

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

// The folder of the program file; the current folder when the program file cannot be told.
std::string program_file_folder() {
    char path[4096]; // host folders may be deeper than MAX_PATH
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string file(path, n < sizeof path ? n : 0);
    std::size_t cut = file.size();
    while (cut > 0 && !is_separator(file[cut - 1])) {
        --cut;
    }
    if (cut == 0) {
        const DWORD size = GetCurrentDirectoryA(sizeof path, path);
        return size > 0 && size < sizeof path ? std::string(path, size) : std::string();
    }
    file.resize(cut > 1 ? cut - 1 : cut);
    return file;
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
    while (dir.size() > 1 && is_separator(dir.back())) {
        dir.pop_back();
    }
    std::lock_guard lock(dir_mutex());
    dir_value() = std::move(dir);
}

std::string ProgramFile(std::string_view name) {
    std::string path = ProgramDir();
    path += '/';
    path += name;
    return path;
}

std::optional<std::vector<std::uint8_t>> ReadProgramFile(std::string_view name) {
    return ReadWholeFile(ProgramFile(name));
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
    const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t buf[4096];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buf, sizeof buf, &n, nullptr)) {
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.insert(bytes.end(), buf, buf + n);
    }
}

bool ReplaceProgramFile(std::string_view name, const std::vector<std::uint8_t>& bytes) {
    const std::string target = ProgramFile(name);
    const std::string temp = target + ".tmp";
    bool written = false;
    {
        const UniqueHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_FLAG_WRITE_THROUGH, nullptr));
        if (!file) {
            return false;
        }
        written = win32_owners::write_all(file.get(), bytes.data(), bytes.size()) &&
                  FlushFileBuffers(file.get());
    }
    if (!written || !MoveFileExA(temp.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temp.c_str());
        return false;
    }
    return true;
}

} // namespace station
