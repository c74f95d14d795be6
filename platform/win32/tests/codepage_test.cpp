#include "windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CodePage, MultiByteToWideCharSizesAndConverts) {
    const char* text = "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5!"; // "Внимание!"
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 10) << "with the zero";
    EXPECT_EQ(MultiByteToWideChar(1251, 0, text, 3, nullptr, 0), 3);
    WCHAR wide[16] = {};
    ASSERT_EQ(MultiByteToWideChar(1251, 0, text, -1, wide, 16), 10);
    EXPECT_EQ(std::u16string(wide), u"Внимание!");
    // 0x98 is undefined in code page 1251.
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\x98", 2, wide, 16), 2);
    EXPECT_EQ(wide[1], u'\uFFFD');

    struct Bad {
        UINT code_page;
        const char* source;
        int size;
        int capacity;
        DWORD error;
    } cases[] = {
        {1251, text, -1, 9, ERROR_INSUFFICIENT_BUFFER},
        {65001, text, -1, 16, ERROR_INVALID_PARAMETER},
        {1251, nullptr, -1, 16, ERROR_INVALID_PARAMETER},
        {1251, text, 0, 16, ERROR_INVALID_PARAMETER},
        {1251, text, -2, 16, ERROR_INVALID_PARAMETER},
    };
    for (const Bad& c : cases) {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(c.code_page, 0, c.source, c.size, wide, c.capacity), 0)
            << c.code_page << " " << c.size << " " << c.capacity;
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(CodePage, WideCharToMultiByteUsesTheDefaultCharacter) {
    char bytes[16] = {};
    BOOL used = TRUE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Ёж", -1, bytes, 16, nullptr, &used), 3);
    EXPECT_EQ(std::string(bytes), "\xA8\xE6");
    EXPECT_FALSE(used);

    ASSERT_EQ(WideCharToMultiByte(1251, 0, u"a\u4E2Db", 3, bytes, 16, "#", &used), 3);
    EXPECT_EQ(std::string(bytes, 3), "a#b");
    EXPECT_TRUE(used);
    // A character outside the basic plane is one character (two units): one default byte.
    ASSERT_EQ(WideCharToMultiByte(1251, 0, u"x\U0001F600", 3, bytes, 16, nullptr, &used), 2);
    EXPECT_EQ(std::string(bytes, 2), "x?");
    // A zero inside the text stays a zero, not a default.
    ASSERT_EQ(WideCharToMultiByte(1251, 0, u"a\0b", 3, bytes, 16, nullptr, &used), 3);
    EXPECT_EQ(std::string(bytes, 3), std::string("a\0b", 3));
    EXPECT_FALSE(used);

    EXPECT_EQ(WideCharToMultiByte(1251, 0, u"abc", 3, nullptr, 0, nullptr, nullptr), 3);
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(1251, 0, u"abc", 3, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

} // namespace
