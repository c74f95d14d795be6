#include "base/codepage.h"

#include <gtest/gtest.h>

namespace station {
namespace {

TEST(Codepage, ConvertsBothWays) {
    const struct {
        std::string_view cp1251;
        std::string_view utf8;
    } cases[] = {
        {"", ""},
        {"abc 26.15", "abc 26.15"},
        {"\xCA\xE0\xF1\xF2\xF0\xE5\xEB\xFC", "Кастрель"},
        {"\xA8\xB8 \xB9", "Ёё №"},
        {"\xC0\xDF\xE0\xFF", "АЯая"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cp1251ToUtf8(c.cp1251), c.utf8);
        EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251);
    }
}

TEST(Codepage, UnconvertibleInputIsReplaced) {
    EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a\xEF\xBF\xBDz") << "0x98 is undefined in CP1251";
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xADz"), "a?z") << "a character CP1251 lacks";
    EXPECT_EQ(Utf8ToCp1251("a\xD0z"), "a?z") << "a cut sequence";
    EXPECT_EQ(Utf8ToCp1251("a\xFFz"), "a?z") << "a byte that starts nothing";
}

} // namespace
} // namespace station
