#include "system_root.h"

#include "platform/paths.h"

#include "win32/errors.h"
#include "win32/files.h"
#include "win32/handleapi.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

TEST(FileMoves, MoveFileExReplacesOnlyWhenAsked) {
    tolm_test::TempSystemRoot root;
    put(root.path() / "new.tmp", "new");
    put(root.path() / "Data.bin", "old");
    fs::create_directories(root.path() / "folder");

    const DWORD through = MOVEFILE_WRITE_THROUGH;
    EXPECT_FALSE(MoveFileExA((root / "new.tmp").c_str(), (root / "data.BIN").c_str(), through));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(slurp(root.path() / "Data.bin"), "old");
    // Names match ignoring case and either separator; the existing name keeps its case.
    const std::string target = root.path().string() + "\\DATA.bin";
    ASSERT_TRUE(MoveFileExA((root / "NEW.TMP").c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | through));
    EXPECT_EQ(slurp(root.path() / "Data.bin"), "new");
    EXPECT_FALSE(fs::exists(root.path() / "new.tmp"));

    struct Case {
        const char* from;
        const char* to;
        DWORD flags;
        DWORD error;
    } cases[] = {
        {"missing", "x", 0, ERROR_FILE_NOT_FOUND},
        {"nowhere/missing", "x", 0, ERROR_PATH_NOT_FOUND},
        {"Data.bin", "folder", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
        {"Data.bin", "nowhere/x", 0, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(MoveFileExA((root / c.from).c_str(), (root / c.to).c_str(), c.flags))
            << c.from << " -> " << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.from << " -> " << c.to;
    }
    // A folder moves to a new name.
    ASSERT_TRUE(MoveFileExA((root / "FOLDER").c_str(), (root / "moved").c_str(), 0));
    EXPECT_TRUE(fs::is_directory(root.path() / "moved"));
}

TEST(FileMoves, RemoveDirectoryOnlyWhenEmpty) {
    tolm_test::TempSystemRoot root;
    fs::create_directories(root.path() / "Archive" / "Day");
    put(root.path() / "file", "x");
    EXPECT_FALSE(RemoveDirectoryA((root / "archive").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(RemoveDirectoryA((root / "file").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    EXPECT_FALSE(RemoveDirectoryA((root / "missing").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(RemoveDirectoryA((root / "ARCHIVE\\day").c_str()));
    EXPECT_TRUE(RemoveDirectoryA((root / "archive").c_str()));
    EXPECT_FALSE(fs::exists(root.path() / "Archive"));
}

TEST(FileMoves, CurrentFolderResolvesRelativeNames) {
    tolm_test::TempSystemRoot root;
    const fs::path before = fs::current_path();
    fs::create_directories(root.path() / "Bin");
    put(root.path() / "Bin" / "tolm.lng", "lines");

    ASSERT_TRUE(SetCurrentDirectoryA((root / "bin").c_str()));
    char buffer[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    const std::string here = fs::canonical(root.path() / "Bin").string();
    EXPECT_EQ(std::string(buffer, n), here);
    EXPECT_EQ(GetCurrentDirectoryA(DWORD(here.size()), buffer), here.size() + 1);
    EXPECT_EQ(GetFileAttributesA("TOLM.LNG") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(GetFileAttributesA("..\\bin\\tolm.lng") & FILE_ATTRIBUTE_DIRECTORY, 0u);

    EXPECT_FALSE(SetCurrentDirectoryA("tolm.lng"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    EXPECT_FALSE(SetCurrentDirectoryA("missing"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    fs::current_path(before);
}

TEST(FileMoves, SetEndOfFileCutsAndExtendsAtThePosition) {
    tolm_test::TempSystemRoot root;
    const HANDLE f =
        CreateFileA((root / "log.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    CREATE_ALWAYS, FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(f, "0123456789", 10, &done, nullptr));
    ASSERT_EQ(SetFilePointer(f, 4, nullptr, FILE_BEGIN), 4u);
    ASSERT_TRUE(SetEndOfFile(f));
    EXPECT_EQ(GetFileSize(f, nullptr), 4u);
    LONG high = 0;
    ASSERT_EQ(SetFilePointer(f, 100, &high, FILE_BEGIN), 100u);
    ASSERT_TRUE(SetEndOfFile(f));
    EXPECT_EQ(GetFileSize(f, nullptr), 100u);
    ASSERT_TRUE(FlushFileBuffers(f));
    CloseHandle(f);
    EXPECT_EQ(slurp(root.path() / "log.txt").substr(0, 5), std::string("0123\0", 5));

    const HANDLE ro = CreateFileA((root / "log.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(SetEndOfFile(ro));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(ro);
    EXPECT_FALSE(SetEndOfFile(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(FileMoves, DiskFreeSpaceOfTheFolder) {
    tolm_test::TempSystemRoot root;
    ULARGE_INTEGER caller{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.path().string().c_str(), &caller, &total, &free));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(caller.QuadPart, free.QuadPart);
    EXPECT_LE(free.QuadPart, total.QuadPart);
    EXPECT_TRUE(GetDiskFreeSpaceExA(nullptr, &caller, nullptr, nullptr));
    EXPECT_FALSE(GetDiskFreeSpaceExA((root / "missing").c_str(), &caller, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

} // namespace
