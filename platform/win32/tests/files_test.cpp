#include "system_root.h"

#include "platform/paths.h"

#include "platform/handles.h"
#include "platform/io_object.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <algorithm>
#include <cstring>
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

} // namespace

TEST(Files, SystemFoldersAnswerLengthOrNeededSize) {
    tolm_test::TempSystemRoot root;
    const std::string sys = (root.path() / "system32").string();
    char buffer[MAX_PATH];
    EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), sys.size());
    EXPECT_EQ(std::string(buffer), sys);
    EXPECT_TRUE(fs::is_directory(root.path() / "system32" / "drivers"));
    // Too small (exactly the length, no room for the zero): the size needed with the zero.
    EXPECT_EQ(GetSystemDirectoryA(buffer, UINT(sys.size())), sys.size() + 1);
    EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), sys.size() + 1);
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer),
              (root.path() / "windows").string().size());
    EXPECT_EQ(std::string(buffer), (root.path() / "windows").string());
}

TEST(Files, CreateDispositionsOnPresentAndMissingFiles) {
    tolm_test::TempSystemRoot root;
    struct Case {
        DWORD disposition;
        bool present;
        bool opens;
        DWORD last_error;
        const char* content_after; // null: no file
    } cases[] = {
        {CREATE_NEW, false, true, 0, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_ALWAYS, false, true, 0, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_EXISTING, true, true, 0, "old"},
        {OPEN_ALWAYS, false, true, 0, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {TRUNCATE_EXISTING, true, true, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "disposition " << c.disposition << " present " << c.present);
        for (const auto& entry : fs::directory_iterator(root.path())) {
            fs::remove_all(entry.path());
        }
        if (c.present) {
            put(root.path() / "Data.Bin", "old");
        }
        SetLastError(12345);
        // Other case and separators than the file on disk.
        HANDLE h =
            CreateFileA((root / "data.bin").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                        nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(GetLastError(), c.last_error);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(platform::close_handle(h));
        }
        const fs::path file = platform::resolve_path(root / "DATA.BIN");
        if (c.content_after) {
            EXPECT_EQ(slurp(file), c.content_after);
        } else {
            EXPECT_FALSE(fs::exists(file));
        }
    }
}

TEST(Files, OpenErrors) {
    tolm_test::TempSystemRoot root;
    fs::create_directories(root.path() / "dir");
    struct Case {
        std::string name;
        DWORD access;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {root / "missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {root / "nodir\\missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {root / "nodir\\new.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {root / "DIR", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {root / "x.txt", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
        {root / "x.txt", GENERIC_READ, 0, ERROR_INVALID_PARAMETER},
        {"", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"\\\\.\\Tarvo0", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND}, // no opener
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(CreateFileA(c.name.c_str(), c.access, 0, nullptr, c.disposition, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
}

TEST(Files, ReadWriteSizeAndPosition) {
    tolm_test::TempSystemRoot root;
    const std::string name = root / "f.dat";
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_FLAG_WRITE_THROUGH, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(h, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    EXPECT_TRUE(FlushFileBuffers(h));
    DWORD high = 77;
    EXPECT_EQ(GetFileSize(h, &high), 10u);
    EXPECT_EQ(high, 0u);

    EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
    char buf[16] = {};
    EXPECT_TRUE(ReadFile(h, buf, 3, &done, nullptr));
    EXPECT_EQ(std::string(buf, done), "234");
    EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_CURRENT), 3u);
    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_END), 9u);
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &done, nullptr));
    EXPECT_EQ(std::string(buf, done), "9");
    // At the end a read succeeds with nothing.
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &done, nullptr));
    EXPECT_EQ(done, 0u);
    // Before the start: refused, position kept.
    EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);
    // A 64-bit move with the high word.
    LONG move_high = 1;
    EXPECT_EQ(SetFilePointer(h, 5, &move_high, FILE_BEGIN), 5u);
    EXPECT_EQ(move_high, 1);
    move_high = 0;
    EXPECT_EQ(SetFilePointer(h, 4, &move_high, FILE_BEGIN), 4u);

    // Positioned transfers through an OVERLAPPED record complete at once.
    OVERLAPPED ov{};
    ov.Offset = 8;
    EXPECT_TRUE(WriteFile(h, "AB", 2, &done, &ov));
    EXPECT_EQ(ov.InternalHigh, 2u);
    ov.Offset = 7;
    EXPECT_TRUE(ReadFile(h, buf, 4, &done, &ov));
    EXPECT_EQ(std::string(buf, done), "7AB");
    ov.Offset = 10;
    EXPECT_FALSE(ReadFile(h, buf, 4, &done, &ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(platform::close_handle(h));
    EXPECT_EQ(slurp(name), "01234567AB");

    // Access is enforced.
    h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                    nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(platform::close_handle(h));
    EXPECT_FALSE(ReadFile(h, buf, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
}

TEST(Files, CopyHonoursFailIfExistsAndRefusesItself) {
    tolm_test::TempSystemRoot root;
    fs::create_directories(root.path() / "System32");
    put(root.path() / "tarvo.sys", "new image");
    put(root.path() / "System32" / "Tarvo.SYS", "old image");
    const std::string src = root / "TARVO.sys";
    const std::string dst = root / "system32\\tarvo.sys";

    EXPECT_FALSE(CopyFileA(src.c_str(), dst.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(slurp(root.path() / "System32" / "Tarvo.SYS"), "old image");
    EXPECT_TRUE(CopyFileA(src.c_str(), dst.c_str(), FALSE));
    EXPECT_EQ(slurp(root.path() / "System32" / "Tarvo.SYS"), "new image"); // name kept
    EXPECT_TRUE(CopyFileA(src.c_str(), (root / "system32/copy.sys").c_str(), TRUE));
    EXPECT_EQ(slurp(root.path() / "System32" / "copy.sys"), "new image");

    EXPECT_FALSE(CopyFileA((root / "none.sys").c_str(), dst.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileA(src.c_str(), (root / "nodir\\x.sys").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    // Onto itself under another spelling: refused, content intact.
    EXPECT_FALSE(CopyFileA(src.c_str(), (root / "Tarvo.Sys").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(slurp(root.path() / "tarvo.sys"), "new image");
}

TEST(Files, DeleteCreateFolderAndAttributes) {
    tolm_test::TempSystemRoot root;
    put(root.path() / "Correct.pdt", "x");
    EXPECT_EQ(GetFileAttributesA((root / "correct.PDT").c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(DeleteFileA((root / "CORRECT.pdt").c_str()));
    EXPECT_FALSE(fs::exists(root.path() / "Correct.pdt"));

    struct Case {
        std::string name;
        DWORD error;
    } missing[] = {{root / "correct.pdt", ERROR_FILE_NOT_FOUND},
                   {root / "no\\correct.pdt", ERROR_PATH_NOT_FOUND}};
    for (const Case& c : missing) {
        EXPECT_FALSE(DeleteFileA(c.name.c_str()));
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        EXPECT_EQ(GetFileAttributesA(c.name.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }

    EXPECT_TRUE(CreateDirectoryA((root / "Arch").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA((root / "ARCH").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA((root / "a\\b").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA((root / "arch").c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(DeleteFileA((root / "arch").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

namespace {

// A device that answers reads with its name.
class EchoDevice : public platform::IoObject {
public:
    explicit EchoDevice(std::string name) : name_(std::move(name)) {}
    DWORD read(void* buffer, DWORD size, DWORD& done, OVERLAPPED*) override {
        done = std::min<DWORD>(size, DWORD(name_.size()));
        std::memcpy(buffer, name_.data(), done);
        return ERROR_SUCCESS;
    }
    DWORD write(const void*, DWORD, DWORD& done, OVERLAPPED*) override {
        done = 0;
        return ERROR_IO_PENDING;
    }

private:
    std::string name_;
};

} // namespace

TEST(Files, DeviceNamesGoToTheRegisteredOpener) {
    DWORD seen_flags = 0;
    platform::set_device_opener([&](std::string_view name, DWORD, DWORD flags) -> HANDLE {
        seen_flags = flags;
        if (name != "Tarvo0") {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        return platform::make_handle(std::make_shared<EchoDevice>(std::string(name)));
    });
    HANDLE h = CreateFileA("\\\\.\\Tarvo0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(seen_flags, FILE_FLAG_OVERLAPPED);
    char buf[16];
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &done, nullptr));
    EXPECT_EQ(std::string(buf, done), "Tarvo0");
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
    EXPECT_FALSE(FlushFileBuffers(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
    // File-only calls refuse a device handle.
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_TRUE(platform::close_handle(h));
    EXPECT_EQ(CreateFileA("\\\\.\\Other", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    platform::set_device_opener({});
}
