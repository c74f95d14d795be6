#include "core_test_support.h"
#include "system_root.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using Next = int (*)();

class Modules : public ::testing::Test {
protected:
    // A copy of the test module at `dir/name`.
    fs::path copy_module(const fs::path& dir, const std::string& name) {
        fs::create_directories(dir);
        fs::copy_file(TEST_MODULE_PATH, dir / name, fs::copy_options::overwrite_existing);
        return dir / name;
    }
    static std::string file_of(HMODULE h) {
        char buf[MAX_PATH];
        const DWORD n = GetModuleFileNameA(h, buf, sizeof buf);
        return std::string(buf, n);
    }
    static Next next_of(HMODULE h) {
        return reinterpret_cast<Next>(GetProcAddress(h, "test_module_next"));
    }

    tolm_test::TempSystemRoot root;
};

TEST_F(Modules, TwoCopiesOfOneLibraryKeepSeparateState) {
    const auto a = copy_module(root.path() / "a", "tarvovfw0.dll");
    const auto b = copy_module(root.path() / "b", "tarvovfw0.dll");
    const HMODULE ha = LoadLibraryA(a.c_str());
    const HMODULE hb = LoadLibraryA(b.c_str());
    ASSERT_NE(ha, nullptr) << platform::module_load_error();
    ASSERT_NE(hb, nullptr) << platform::module_load_error();
    EXPECT_NE(ha, hb);
    const Next next_a = next_of(ha);
    const Next next_b = next_of(hb);
    ASSERT_TRUE(next_a && next_b);
    EXPECT_EQ(next_a(), 1);
    EXPECT_EQ(next_a(), 2);
    EXPECT_EQ(next_b(), 1);
    EXPECT_EQ(next_a(), 3);
    EXPECT_EQ(file_of(ha), fs::canonical(a).string());
    EXPECT_EQ(file_of(hb), fs::canonical(b).string());
    EXPECT_TRUE(FreeLibrary(ha));
    EXPECT_TRUE(FreeLibrary(hb));
}

TEST_F(Modules, ALoadedImageCannotBeOverwritten) {
    const auto image = copy_module(root.path() / "a", "tarvovfw0.dll");
    const auto other = copy_module(root.path() / "b", "tarvovfw1.dll");
    const HMODULE h = LoadLibraryA(image.c_str());
    ASSERT_NE(h, nullptr) << platform::module_load_error();

    EXPECT_FALSE(CopyFileA(other.c_str(), image.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CreateFileA(image.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    // Reading it stays allowed.
    const HANDLE reader = CreateFileA(image.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(next_of(h)(), 1); // the module still runs

    ASSERT_TRUE(FreeLibrary(h));
    EXPECT_TRUE(CopyFileA(other.c_str(), image.c_str(), FALSE));
}

TEST_F(Modules, LoadingAgainCountsAReferenceOnTheSameModule) {
    const auto path = copy_module(root.path() / "c", "counted.dll");
    const HMODULE first = LoadLibraryA(path.c_str());
    const HMODULE again = LoadLibraryA(path.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, again);
    const auto state =
        reinterpret_cast<const void* (*)()>(GetProcAddress(first, "test_module_state"));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(platform::module_of_address(state()), first) << "data maps back to its module";
    EXPECT_EQ(platform::module_of_address(reinterpret_cast<const void*>(state)), first);
    EXPECT_EQ(GetModuleHandleA("COUNTED"), first) << "by file name, case-insensitive";
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(next_of(first)(), 1) << "still loaded after one of two frees";
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_EQ(GetModuleHandleA("counted.dll"), nullptr);
    EXPECT_FALSE(FreeLibrary(again));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(Modules, BareNamesSearchTheProgramFolderThenTheSystemDirectory) {
    // The test module lies in the program folder of this test; a copy in the system directory
    // under the same name must not win, one under another name is found there.
    copy_module(platform::system_directory(), "win32_test_module.dll");
    const auto sys_only = copy_module(platform::system_directory(), "SysOnly.dll");
    struct Case {
        const char* name;
        fs::path expected;
    };
    for (const Case& c : {Case{"WIN32_TEST_MODULE.DLL", fs::canonical(TEST_MODULE_PATH)},
                          Case{"win32_test_module", fs::canonical(TEST_MODULE_PATH)},
                          Case{"sysonly.DLL", fs::canonical(sys_only)}}) {
        SCOPED_TRACE(c.name);
        const HMODULE h = LoadLibraryA(c.name);
        ASSERT_NE(h, nullptr) << platform::module_load_error();
        EXPECT_EQ(file_of(h), c.expected.string());
        FreeLibrary(h);
    }
}

TEST_F(Modules, FailuresGiveTheirErrors) {
    const auto junk = root.path() / "junk.dll";
    std::ofstream(junk) << "not a library";
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("no_such_module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA(junk.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_FORMAT));
    EXPECT_FALSE(platform::module_load_error().empty());
    EXPECT_EQ(LoadLibraryA(NEEDY_MODULE_PATH), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND)) << platform::module_load_error();

    const HMODULE h = LoadLibraryA(TEST_MODULE_PATH);
    ASSERT_NE(h, nullptr);
    struct Case {
        const char* what;
        LPCSTR name;
    };
    for (const Case& c : {Case{"missing", "no_such_function"},
                          Case{"defined by a library it uses, not by it", "malloc"},
                          Case{"ordinal", reinterpret_cast<LPCSTR>(std::uintptr_t(3))}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GetProcAddress(h, c.name), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    }
    FreeLibrary(h);
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(std::uintptr_t(0x1230)), "x"), nullptr);
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(std::uintptr_t(0x1230))));
}

TEST_F(Modules, ALibraryLinkedToTheProgramIsFoundByName) {
    const HMODULE h = GetModuleHandleA("LIBTOLM_WIN32.SO");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(fs::path(file_of(h)).filename(), "libtolm_win32.so");
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(h, "GetTickCount")),
              reinterpret_cast<void*>(&GetTickCount));
    EXPECT_EQ(platform::module_of_address(reinterpret_cast<const void*>(&GetTickCount)), h);
}

TEST_F(Modules, TheProgramItself) {
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(file_of(nullptr), exe);
    EXPECT_EQ(file_of(GetModuleHandleA(nullptr)), exe);
    EXPECT_EQ(platform::module_of_address(reinterpret_cast<const void*>(&file_of)),
              GetModuleHandleA(nullptr));
    EXPECT_EQ(platform::program_directory(), fs::path(exe).parent_path());

    char small[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), DWORD(sizeof small));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small), exe.substr(0, 4)) << "cut and zero-terminated";
}

} // namespace

namespace {

std::string entry_log() {
    const char* log = std::getenv("ENTRY_MODULE_LOG");
    return log ? log : "";
}

// The entry point runs at the first load and the last free; a refusal fails the load.
TEST_F(Modules, EntryPointSeesAttachAndDetachAndMayRefuse) {
    const fs::path dir = root.path() / "entry";
    fs::create_directories(dir);
    fs::copy_file(ENTRY_MODULE_PATH, dir / "entry.dll");
    fs::copy_file(ENTRY_MODULE_PATH, dir / "refuse.dll");
    setenv("ENTRY_MODULE_LOG", "", 1);

    const HMODULE h = LoadLibraryA((dir / "entry.dll").c_str());
    ASSERT_NE(h, nullptr) << platform::module_load_error();
    EXPECT_EQ(entry_log(), "1");
    EXPECT_FALSE(platform::thread_library_calls_enabled(h)) << "switched off at attach";
    EXPECT_EQ(LoadLibraryA((dir / "entry.dll").c_str()), h);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(entry_log(), "1") << "no call for a second load or its free";
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(entry_log(), "10");

    setenv("ENTRY_MODULE_LOG", "", 1);
    EXPECT_EQ(LoadLibraryA((dir / "refuse.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
    EXPECT_EQ(entry_log(), "1") << "a refused load gets no detach";
    EXPECT_EQ(GetModuleHandleA((dir / "refuse.dll").c_str()), nullptr);

    // Modules without an entry point load as before; unknown handles are refused.
    const HMODULE plain = LoadLibraryA(TEST_MODULE_PATH);
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(platform::thread_library_calls_enabled(plain));
    EXPECT_TRUE(FreeLibrary(plain));
    EXPECT_FALSE(DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(&entry_log)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

} // namespace
