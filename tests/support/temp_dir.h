// A fresh folder under the temporary directory for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tolm_test {

class TempDir {
public:
    // "<temp>/<prefix>-XXXXXX", made unique by mkdtemp.
    explicit TempDir(std::string_view prefix = "tolm-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const {
        return path_ / relative;
    }

private:
    std::filesystem::path path_;
};

} // namespace tolm_test
