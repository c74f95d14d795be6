// A fresh system root for one test (the platform's C:\ with its system32, windows and
// registry), set for the process as TOLM_SYSROOT would and dropped again at the end.
#pragma once

#include "temp_dir.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tolm_test {

class TempSystemRoot {
public:
    explicit TempSystemRoot(std::string_view prefix = "tolm-root");
    // The root goes back to TOLM_SYSROOT or the default, then the folder is removed.
    ~TempSystemRoot();
    TempSystemRoot(const TempSystemRoot&) = delete;
    TempSystemRoot& operator=(const TempSystemRoot&) = delete;

    const std::filesystem::path& path() const { return dir_.path(); }
    // `relative` below the root as a string (for the Win32 calls).
    std::string operator/(const std::string& relative) const {
        return (dir_.path() / relative).string();
    }

private:
    TempDir dir_;
};

} // namespace tolm_test
