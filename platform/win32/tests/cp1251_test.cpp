#include "platform/cp1251.h"

#include <gtest/gtest.h>

namespace cp = platform::cp1251;

TEST(Cp1251, EveryDefinedByteRoundTripsThroughUtf8AndUtf16) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        if (b != 0x98) {
            all += static_cast<char>(b);
        }
    }
    const std::string utf8 = cp::to_utf8(all);
    const std::u16string utf16 = cp::to_utf16(all);
    ASSERT_EQ(utf16.size(), 255u);
    EXPECT_EQ(cp::from_utf8(utf8), all);
    EXPECT_EQ(cp::from_utf16(utf16), all);
    // Distinct bytes give distinct characters, none of them the replacement character.
    for (std::size_t a = 0; a < utf16.size(); ++a) {
        ASSERT_NE(utf16[a], u'\uFFFD') << a;
        for (std::size_t b = a + 1; b < utf16.size(); ++b) {
            ASSERT_NE(utf16[a], utf16[b]) << a << " " << b;
        }
    }
}

// 0x98 is undefined in code page 1251 (iconv refuses it): it reads as U+FFFD, and nothing
// writes it back.
TEST(Cp1251, UndefinedByteReadsAsReplacementCharacter) {
    EXPECT_EQ(cp::to_utf16("a\x98z"), u"a\uFFFDz");
    EXPECT_EQ(cp::to_utf8("a\x98z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(cp::from_utf16(u"\u0098"), "?");
    EXPECT_EQ(cp::from_utf8("a\xEF\xBF\xBDz"), "a?z");
}

TEST(Cp1251, KnownCharacters) {
    struct Case {
        unsigned char byte;
        char16_t unicode;
    } cases[] = {
        {0x41, u'A'},      {0xC0, u'\u0410'}, {0xFF, u'\u044F'}, {0xA8, u'\u0401'},
        {0xB8, u'\u0451'}, {0x88, u'\u20AC'}, {0xB9, u'\u2116'}, {0x98, u'\uFFFD'},
    };
    for (const Case& c : cases) {
        const std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(cp::to_utf16(byte), std::u16string(1, c.unicode)) << int(c.byte);
    }
    // "Внимание!" as the installer's caption is stored.
    const std::string caption = "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5!";
    EXPECT_EQ(cp::to_utf8(caption), "Внимание!");
    EXPECT_EQ(cp::from_utf8("Внимание!"), caption);
}

TEST(Cp1251, UnmappableAndInvalidInputBecomesTheReplacement) {
    EXPECT_EQ(cp::from_utf8("a\xE4\xB8\xAD"
                            "b"),
              "a?b"); // a CJK character
    EXPECT_EQ(cp::from_utf8("a\xFF"
                            "b\xC3"),
              "a?b?");                                        // bad byte, cut sequence
    EXPECT_EQ(cp::from_utf8("x\xF0\x9F\x98\x80", '#'), "x#"); // outside the BMP
    EXPECT_EQ(cp::from_utf16(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
    EXPECT_EQ(cp::to_utf8(""), "");
}
