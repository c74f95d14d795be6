// A fresh system root for one test, removed afterwards.
#pragma once

#include "platform/paths.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <unistd.h>

class TempRoot {
public:
    TempRoot() {
        static std::atomic<int> serial{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tolm-win32-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        platform::set_system_root(path_);
    }
    ~TempRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // `relative` below the root as a string (for the Win32 calls).
    std::string operator/(const std::string& relative) const { return (path_ / relative).string(); }

private:
    std::filesystem::path path_;
};
