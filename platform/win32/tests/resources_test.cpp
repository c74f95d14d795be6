#include "core_test_support.h"
#include "temp_dir.h"
#include "resource_format.h"
#include "windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
namespace res = platform::resources;

namespace {

const char kDescription[] = "MSVIDEO: Orvik Video Capture Driver Device0";

std::vector<std::uint8_t> read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Offset of the last character's low byte of `text` as UTF-16LE at an even offset, or -1.
long find_wide(const std::vector<std::uint8_t>& image, const char* text) {
    const std::size_t n = std::strlen(text);
    for (std::size_t at = 0; at + 2 * n <= image.size(); at += 2) {
        std::size_t i = 0;
        while (i < n && image[at + 2 * i] == std::uint8_t(text[i]) && image[at + 2 * i + 1] == 0) {
            ++i;
        }
        if (i == n) {
            return long(at + 2 * (n - 1));
        }
    }
    return -1;
}

// Version information of a file as GetFileVersionInfoA hands it out.
std::vector<std::uint8_t> version_info(const std::string& file) {
    DWORD handle = 1;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<std::uint8_t> data(size);
    if (size == 0 || !GetFileVersionInfoA(file.c_str(), 0, size, data.data())) {
        ADD_FAILURE() << "no version information in " << file;
        return {};
    }
    return data;
}

std::string query_text(const std::vector<std::uint8_t>& info, const char* path) {
    LPVOID p = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(info.data(), path, &p, &len)) {
        return "<none>";
    }
    EXPECT_EQ(len, std::strlen(static_cast<const char*>(p)) + 1) << "length counts the zero";
    return static_cast<const char*>(p);
}

TEST(ResourceBlock, SerialisedLayoutIsByteExact) {
    res::Block b;
    b.translations = {{0x0409, 0x04E4}};
    b.version_texts = {{{0x0409, 0x04E4}, u"Ab", u"C"}};
    b.strings = {{0x01020304, u"x"}};
    const std::vector<std::uint8_t> expected = {
        'T', 'O', 'L', 'M', 'R', 'S', 'R', 'C', 76,   0,    0,    0,
        3,   0,   0,   0,                                               // header
        2,   0,   0,   0,   12,  0,   0,   0,   0x09, 0x04, 0xE4, 0x04, // translations
        3,   0,   0,   0,   28,  0,   0,   0,   0x09, 0x04, 0xE4, 0x04,
        2,   0,   1,   0,                                            // version text
        'A', 0,   'b', 0,   0,   0,   'C', 0,   0,    0,    0,    0, //   "Ab", "C", pad
        4,   0,   0,   0,   20,  0,   0,   0,   4,    3,    2,    1,
        1,   0,   0,   0, // string 0x01020304
        'x', 0,   0,   0};
    EXPECT_EQ(res::serialise(b), expected);
    const auto back = res::parse(expected);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->version_texts.at(0).name, u"Ab");
    EXPECT_EQ(back->strings.at(0).id, 0x01020304u);
}

TEST(ResourceBlock, MalformedBlocksAreRejected) {
    res::Block b;
    b.version_texts = {{{0x0409, 0x04E4}, u"Name", u"Text"}};
    const auto good = res::serialise(b); // header 16 + record 36
    ASSERT_EQ(good.size(), 52u);
    ASSERT_TRUE(res::parse(good));
    struct Case {
        const char* what;
        std::size_t at;
        std::uint8_t value;
        std::size_t keep; // bytes kept (cut) or the whole block
    };
    for (const Case& c : {Case{"marker", 0, 'X', good.size()},
                          Case{"block length past the data", 8, 56, good.size()},
                          Case{"block length not a multiple of 4", 8, 50, good.size()},
                          Case{"more records than fit", 12, 2, good.size()},
                          Case{"record length past the block", 20, 40, good.size()},
                          Case{"record shorter than its header", 20, 4, good.size()},
                          Case{"text longer than its record", 30, 9, good.size()},
                          Case{"missing terminating zero", 32 + 8, 'Z', good.size()},
                          Case{"cut block", 0, 'T', 40}}) {
        SCOPED_TRACE(c.what);
        auto bad = std::vector<std::uint8_t>(good.begin(), good.begin() + long(c.keep));
        bad[c.at] = c.value;
        EXPECT_FALSE(res::parse(bad));
    }
}

TEST(VersionInfo, TextsTranslationAndFixedInfoOfAModule) {
    const auto info = version_info(TEST_MODULE_PATH);
    EXPECT_EQ(query_text(info, "\\StringFileInfo\\040904E4\\FileDescription"), kDescription);
    EXPECT_EQ(query_text(info, "\\stringfileinfo\\040904e4\\productname"), "Test module");
    EXPECT_EQ(query_text(info, "\\StringFileInfo\\041904E3\\FileDescription"), "<none>");
    EXPECT_EQ(query_text(info, "\\StringFileInfo\\040904E4\\Comments"), "<none>");

    LPVOID p = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &p, &len));
    ASSERT_EQ(len, 4u);
    EXPECT_EQ(*static_cast<const DWORD*>(p), 0x04E40409u) << "language word, then code page";

    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", &p, &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(p);
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00030004u);
    EXPECT_EQ(fixed->dwFileType, VFT_DLL);
}

TEST(VersionInfo, PatchedCopyReadsBackItsOwnText) {
    tolm_test::TempDir dir;
    auto image = read_file(TEST_MODULE_PATH);
    const long at = find_wide(image, kDescription);
    ASSERT_GT(at, 0);
    const fs::path copy = dir.path() / "tarvovfw3.dll";
    image[std::size_t(at)] = '3';
    write_file(copy, image);

    EXPECT_EQ(
        query_text(version_info(copy.string()), "\\StringFileInfo\\040904E4\\FileDescription"),
        "MSVIDEO: Orvik Video Capture Driver Device3");
    EXPECT_EQ(
        query_text(version_info(TEST_MODULE_PATH), "\\StringFileInfo\\040904E4\\FileDescription"),
        kDescription);

    // As the capture driver reads it: its own path from its module handle.
    const HMODULE h = LoadLibraryA(copy.c_str());
    ASSERT_NE(h, nullptr) << "the patched copy no longer loads";
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(h, path, MAX_PATH), 0u);
    EXPECT_EQ(query_text(version_info(path), "\\StringFileInfo\\040904E4\\FileDescription"),
              "MSVIDEO: Orvik Video Capture Driver Device3");
    FreeLibrary(h);
}

TEST(VersionInfo, FilesWithoutInformationAndShortBuffers) {
    tolm_test::TempDir dir;
    DWORD handle = 0;
    EXPECT_EQ(GetFileVersionInfoSizeA((dir.path() / "missing.dll").c_str(), &handle), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileVersionInfoSizeA(NAMED_HELPER_PATH, &handle), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
    write_file(dir.path() / "text.dll", {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    EXPECT_EQ(GetFileVersionInfoSizeA((dir.path() / "text.dll").c_str(), &handle), 0u);

    const DWORD size = GetFileVersionInfoSizeA(TEST_MODULE_PATH, &handle);
    std::vector<std::uint8_t> data(size);
    EXPECT_FALSE(GetFileVersionInfoA(TEST_MODULE_PATH, 0, size - 1, data.data()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST(Strings, LoadStringFromAModuleAndTheProgram) {
    const HMODULE module = LoadLibraryA(TEST_MODULE_PATH);
    ASSERT_NE(module, nullptr);
    struct Case {
        HMODULE from;
        UINT id;
        int buffer;
        const char* text; // null: not found
    };
    for (const Case& c :
         {Case{module, 1, 100, "Tarvo.hlp"}, Case{module, 1, 4, "Tar"},
          Case{module, 7, 100, "\xCA\xE0\xEC\xE5\xF0\xE0 7"}, // code page 1251
          Case{module, 9, 100, "two\nlines"}, Case{module, 2, 100, nullptr},
          Case{nullptr, 3, 100, "program string"}, Case{nullptr, 1, 100, nullptr}}) {
        SCOPED_TRACE(c.id);
        char buf[100];
        std::memset(buf, 'x', sizeof buf);
        const int n = LoadStringA(c.from, c.id, buf, c.buffer);
        if (c.text) {
            EXPECT_EQ(n, int(std::strlen(c.text)));
            EXPECT_STREQ(buf, c.text);
        } else {
            EXPECT_EQ(n, 0);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
            EXPECT_EQ(buf[0], '\0');
        }
    }
    FreeLibrary(module);
}

} // namespace
