#include "platform/paths.h"
#include "temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(Paths, ResolvesBackslashesAndCaseOfExistingNames) {
    const tolm_test::TempDir dir("paths-test");
    const fs::path& root = dir.path();
    fs::create_directories(root / "System32" / "Drivers");
    std::ofstream(root / "System32" / "Drivers" / "Tarvo.SYS") << "x";

    const std::string win = root.string() + "\\SYSTEM32\\drivers\\tarvo.sys";
    EXPECT_EQ(platform::resolve_path(win), root / "System32" / "Drivers" / "Tarvo.SYS");
    // A missing tail keeps its spelling; existing parents take theirs.
    EXPECT_EQ(platform::resolve_path(root.string() + "/system32/NEW/file.dll"),
              root / "System32" / "NEW" / "file.dll");
}

TEST(Paths, SystemRootOverrideAndFolders) {
    const fs::path root = fs::temp_directory_path() / ("paths-root-" + std::to_string(getpid()));
    platform::set_system_root(root);
    EXPECT_EQ(platform::system_root(), root);
    EXPECT_TRUE(fs::is_directory(platform::system_directory() / "drivers"));
    EXPECT_TRUE(platform::iequals("MSVIDEO1", "msvideo1"));
    EXPECT_FALSE(platform::iequals("MSVIDEO1", "msvideo"));
    fs::remove_all(root);
}
