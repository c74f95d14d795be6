#include "base/language.h"

#include "program_dir_fixture.h"

namespace station {
namespace {

TEST(LanguageList, SplitsLinesAtEveryLineEnd) {
    const struct {
        const char* what;
        std::string_view bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"no final line end", "a\r\nb", {"a", "b"}},
        {"LF and CR alone", "a\nb\rc", {"a", "b", "c"}},
        {"empty lines kept", "\r\n\r\nx\r\n\r\n", {"", "", "x", ""}},
        {"CR CR is two ends", "a\r\rb", {"a", "", "b"}},
        {"empty file", "", {}},
        {"bytes kept as they are",
         std::string_view("\xCA\xE0\r\n\x00z", 6),
         {"\xCA\xE0", std::string("\0z", 2)}},
    };
    for (const auto& c : cases) {
        LanguageList list;
        list.SetText(c.bytes);
        ASSERT_EQ(list.Count(), static_cast<int>(c.lines.size())) << c.what;
        for (int i = 0; i < list.Count(); ++i) {
            EXPECT_EQ(list[i], c.lines[static_cast<std::size_t>(i)]) << c.what << " line " << i;
        }
    }
}

TEST(LanguageList, LinesTheFileLacksAreEmpty) {
    LanguageList list;
    list.SetText("only\r\n");
    EXPECT_EQ(list[0], "only");
    EXPECT_EQ(list[1], "");
    EXPECT_EQ(list[-1], "");
    EXPECT_EQ(list[1 << 30], "");
}

class LanguageFile : public test::ProgramDirTest {};

TEST_F(LanguageFile, LoadsFromTheProgramFolder) {
    base_.LangList.SetText("old");
    EXPECT_FALSE(LoadLanguageFile(base_));
    EXPECT_EQ(base_.LangList[0], "old") << "a failed load leaves the list";
    std::filesystem::create_directory(path("tolm.lng"));
    EXPECT_FALSE(LoadLanguageFile(base_));
    std::filesystem::remove(path("tolm.lng"));
    write("TOLM.LNG", {'n', '\r', '\n', 'm'});
    ASSERT_TRUE(LoadLanguageFile(base_));
    EXPECT_EQ(base_.LangList.Count(), 2);
    EXPECT_EQ(base_.LangList[1], "m");
}

// The shipped file: CP1251, every line the station uses filled in.
TEST(ShippedLanguageFile, HoldsEveryUsedLine) {
    LanguageList list;
    ASSERT_TRUE(list.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
    EXPECT_EQ(list.Count(), 316);
    // Known lines in CP1251: the program name, a menu caption with its form's built-in text,
    // the start line of the work log and the last line.
    EXPECT_EQ(list[0], "\xCA\xE0\xF1\xF2\xF0\xE5\xEB\xFC");
    EXPECT_EQ(list[5], "\xcd\xe0\xf1\xf2\xf0\xee\xe9\xea\xe0");
    EXPECT_EQ(list[303],
              "\xcf\xf0\xee\xe3\xf0\xe0\xec\xec\xe0\x20\xe7\xe0\xef\xf3\xf9\xe5\xed\xe0");
    EXPECT_EQ(list[312], "\xcf\xf3\xf1\xf2\xfb\xf5\x20\xea\xe0\xe4\xf0\xee\xe2\x3a");
    // Menu captions of the main form, start and stop lines of the work log, messages.
    for (const int n : {5,   6,   7,   24,  27,  30,  49,  50,  51,  52,  53,  54,  91,
                        161, 162, 175, 194, 213, 226, 271, 291, 292, 293, 294, 303, 304}) {
        EXPECT_FALSE(list[n].empty()) << "line " << n;
    }
    for (int n = 0; n < list.Count(); ++n) {
        for (const char c : list[n]) {
            // No control characters, and no UTF-8 lead byte followed by a continuation byte
            // pattern that CP1251 Russian text never forms (0xD0/0xD1 + 0x80..0xBF).
            ASSERT_GE(static_cast<unsigned char>(c), 0x20u) << "line " << n;
        }
        const std::string& s = list[n];
        for (std::size_t i = 0; i + 1 < s.size(); ++i) {
            const auto a = static_cast<unsigned char>(s[i]);
            const auto b = static_cast<unsigned char>(s[i + 1]);
            ASSERT_FALSE((a == 0xD0 || a == 0xD1) && b >= 0x80 && b <= 0xBF)
                << "line " << n << " looks like UTF-8";
        }
    }
}

} // namespace
} // namespace station
