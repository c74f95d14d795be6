#include "settings/station_settings.h"

#include <gtest/gtest.h>

namespace station {
namespace {

using B = std::vector<std::uint8_t>;

TEST(StationSettings, WritesGoldenBytes) {
    struct Case {
        const char* what;
        void (*write)(SettingsStream&);
        B bytes;
    };
    const Case cases[] = {
        {"int32",
         [](SettingsStream& s) { StreamWriteInt(s, 0x12345678); },
         {0x78, 0x56, 0x34, 0x12}},
        {"negative int32",
         [](SettingsStream& s) { StreamWriteInt(s, -2); },
         {0xFE, 0xFF, 0xFF, 0xFF}},
        {"16-bit value sign-extended",
         [](SettingsStream& s) { StreamWriteInt(s, std::int16_t(-32768)); },
         {0x00, 0x80, 0xFF, 0xFF}},
        {"true", [](SettingsStream& s) { StreamWriteBool(s, true); }, {0x01}},
        {"false", [](SettingsStream& s) { StreamWriteBool(s, false); }, {0x00}},
        {"empty string", [](SettingsStream& s) { StreamWriteStr(s, ""); }, {0, 0, 0, 0}},
        {"abc",
         [](SettingsStream& s) { StreamWriteStr(s, "abc"); },
         {3, 0, 0, 0, 0x61, 0, 0, 0, 0x62, 0, 0, 0, 0x63, 0, 0, 0}},
        {"CP1251 byte stays unsigned",
         [](SettingsStream& s) { StreamWriteStr(s, "\xE0"); },
         {1, 0, 0, 0, 0xE0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SettingsStream s;
        c.write(s);
        EXPECT_EQ(s.bytes(), c.bytes) << c.what;
    }
}

TEST(StationSettings, ReadsBooleansAndSixteenBitValuesAsStored) {
    SettingsStream s(B{1, 0, 2, 0xFF, 0x01, 0x00, 0x01, 0x00, 0x00, 0x80, 0x01, 0x00});
    bool b = true;
    ASSERT_TRUE(StreamReadBool(s, b));
    EXPECT_TRUE(b);
    ASSERT_TRUE(StreamReadBool(s, b));
    EXPECT_FALSE(b);
    ASSERT_TRUE(StreamReadBool(s, b));
    EXPECT_FALSE(b) << "only the byte 1 reads as true";
    ASSERT_TRUE(StreamReadBool(s, b));
    EXPECT_FALSE(b);
    std::int16_t v = 0;
    ASSERT_TRUE(StreamReadInt16(s, v));
    EXPECT_EQ(v, 1) << "65537 keeps its low 16 bits";
    ASSERT_TRUE(StreamReadInt16(s, v));
    EXPECT_EQ(v, -32768) << "0x18000 keeps its low 16 bits";
    EXPECT_EQ(s.remaining(), 0u);
}

TEST(StationSettings, StringKeepsLowBytesOnly) {
    SettingsStream s(B{2, 0, 0, 0, 0x41, 0x12, 0x34, 0x56, 0xFF, 0xFF, 0xFF, 0xFF});
    std::string text;
    ASSERT_TRUE(StreamReadStr(s, text));
    EXPECT_EQ(text, "A\xFF");
}

// A value that runs past the end, or a string count that is negative or promises more than
// is left, fails; so does everything after it, even where bytes remain.
TEST(StationSettings, BrokenDataEndsTheStream) {
    const struct {
        const char* what;
        B bytes;
    } cases[] = {
        {"int32 cut short", {1, 2, 3}},
        {"negative count", {0xFF, 0xFF, 0xFF, 0xFF, 0x41, 0, 0, 0, 7, 0, 0, 0}},
        {"count one past the end", {2, 0, 0, 0, 0x41, 0, 0, 0, 0x42, 0, 0}},
        {"huge count", {0xFF, 0xFF, 0xFF, 0x7F, 0x41, 0, 0, 0, 7, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SettingsStream s(c.bytes);
        std::string text = "kept";
        if (c.bytes.size() == 3) {
            std::int32_t v = 5;
            EXPECT_FALSE(StreamReadInt(s, v)) << c.what;
            EXPECT_EQ(v, 5) << c.what;
        } else {
            EXPECT_FALSE(StreamReadStr(s, text)) << c.what;
            EXPECT_EQ(text, "kept") << c.what;
        }
        EXPECT_TRUE(s.failed()) << c.what;
        std::int32_t v = 5;
        bool b = true;
        EXPECT_FALSE(StreamReadInt(s, v)) << c.what;
        EXPECT_FALSE(StreamReadBool(s, b)) << c.what;
        EXPECT_EQ(v, 5) << c.what;
    }
}

TEST(StationSettings, RoundTripsEveryPrimitive) {
    SettingsStream w;
    StreamWriteInt(w, -123456);
    StreamWriteBool(w, true);
    StreamWriteStr(w, std::string("a\0\xC0z", 4));
    StreamWriteInt(w, std::int16_t(-7));
    SettingsStream r(w.bytes());
    std::int32_t i = 0;
    bool b = false;
    std::string t;
    std::int16_t h = 0;
    ASSERT_TRUE(StreamReadInt(r, i) && StreamReadBool(r, b) && StreamReadStr(r, t) &&
                StreamReadInt16(r, h));
    EXPECT_EQ(i, -123456);
    EXPECT_TRUE(b);
    EXPECT_EQ(t, std::string("a\0\xC0z", 4));
    EXPECT_EQ(h, -7);
    EXPECT_FALSE(r.failed());
}

} // namespace
} // namespace station
