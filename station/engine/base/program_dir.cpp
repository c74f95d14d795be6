#include "program_dir.h"

#include "base_state.h"

#include <win32/errors.h>
#include <win32/files.h>
#include <win32/modules.h>
#include <win32_owners/unique_handle.h>
#include <win32_owners/write_all.h>

namespace station {
namespace {

using win32_owners::UniqueHandle;

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

// The folder of the program file; the current folder when the program file cannot be told.
std::string ProgramFileFolder() {
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

void SetProgramDir(BaseState& base, std::string dir) {
    while (dir.size() > 1 && is_separator(dir.back())) {
        dir.pop_back();
    }
    base.ProgramDir = std::move(dir);
}

std::string ProgramFile(const BaseState& base, std::string_view name) {
    std::string path = base.ProgramDir;
    path += '/';
    path += name;
    return path;
}

std::optional<std::vector<std::uint8_t>> ReadProgramFile(const BaseState& base,
                                                         std::string_view name) {
    return ReadWholeFile(ProgramFile(base, name));
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

bool ReplaceProgramFile(const BaseState& base, std::string_view name,
                        const std::vector<std::uint8_t>& bytes) {
    const std::string target = ProgramFile(base, name);
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
