#include "system_root.h"

#include "platform/paths.h"

#include "platform/handles.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> find_all(const std::string& pattern, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) {
            *error = GetLastError();
        }
        return names;
    }
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    return names;
}

} // namespace

TEST(FindFiles, WildcardsMatchCaseInsensitively) {
    tolm_test::TempSystemRoot root;
    const fs::path inf = root.path() / "Windows" / "Inf";
    fs::create_directories(inf / "Sub");
    for (const char* name :
         {"OEM12.INF", "oem2.inf", "a.inf.bak", "OEM12.PNF", "machine", "b.Inf"}) {
        std::ofstream(inf / name) << name;
    }
    using V = std::vector<std::string>;
    struct Case {
        std::string pattern;
        V names;
    } cases[] = {
        {"*.inf", V{"b.Inf", "OEM12.INF", "oem2.inf"}},
        {"OEM?.INF", V{"oem2.inf"}},
        {"oem*.?nf", V{"OEM12.INF", "OEM12.PNF", "oem2.inf"}},
        {"*.*", V{".", "..", "a.inf.bak", "b.Inf", "machine", "OEM12.INF", "OEM12.PNF", "oem2.inf",
                  "Sub"}},
        {"*", V{".", "..", "a.inf.bak", "b.Inf", "machine", "OEM12.INF", "OEM12.PNF", "oem2.inf",
                "Sub"}},
        {"machine.*", V{"machine"}},
        {"MACHINE", V{"machine"}},
        {"sub", V{"Sub"}},
        {"*.bak*", V{"a.inf.bak"}},
    };
    for (const Case& c : cases) {
        // Folder spelled in another case, with backslashes.
        EXPECT_EQ(find_all(root / ("WINDOWS\\inf\\" + c.pattern)), c.names) << c.pattern;
    }
}

TEST(FindFiles, EntryDataAndErrors) {
    tolm_test::TempSystemRoot root;
    std::ofstream(root.path() / "tarvovfw0.dll") << "12345";
    fs::create_directories(root.path() / "Drivers");
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((root / "TARVOVFW0.DLL").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "tarvovfw0.dll");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.dwFileAttributes, DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    EXPECT_FALSE(FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    h = FindFirstFileA((root / "drivers").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    FindClose(h);

    DWORD error = 0;
    EXPECT_TRUE(find_all(root / "*.sys", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(find_all(root / "nowhere\\*.*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
}
