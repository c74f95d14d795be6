#include "system_root.h"

#include "platform/paths.h"

#include "win32/profile.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const char* const kIni = "; station hardware\r\n"
                         "[I2C]\r\n"
                         "  Delay = 3 \r\n"
                         "AutoRepeat=-7\r\n"
                         "UseCheckComm=0x10\r\n"
                         "Text=\"quoted value\"\r\n"
                         "Junk=abc\r\n"
                         "Empty=\r\n"
                         "no equals sign\r\n"
                         "[Other]\n"
                         "delay=99\n"
                         "[i2c]\n"
                         "Late=5\n";

} // namespace

TEST(Profile, IntegersBySectionAndKeyIgnoringCase) {
    tolm_test::TempSystemRoot root;
    const std::string file = root / "tolm.ini";
    std::ofstream(file) << kIni;
    struct Case {
        const char* section;
        const char* key;
        int fallback;
        UINT expected;
    } cases[] = {
        {"I2C", "Delay", 1, 3},
        {"i2c", "DELAY", 1, 3},
        {"I2C", "AutoRepeat", 20, UINT(-7)},
        {"I2C", "UseCheckComm", 1, 0}, // leading digits only
        {"I2C", "Junk", 4, 0},         // present but not a number
        {"I2C", "Empty", 4, 0},
        {"I2C", "UseCommReady", 0, 0}, // missing key
        {"I2C", "Missing", 42, 42},
        {"Nothing", "Delay", 8, 8}, // missing section
        {"Other", "Delay", 1, 99},
        {"I2C", "Late", 6, 6}, // a repeated section is not searched
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrivateProfileIntA(c.section, c.key, c.fallback, file.c_str()), c.expected)
            << c.section << "/" << c.key;
    }
    EXPECT_EQ(GetPrivateProfileIntA("I2C", "Delay", 17, (root / "none.ini").c_str()), 17u);
}

TEST(Profile, FileNameWithoutFolderIsInTheWindowsDirectory) {
    tolm_test::TempSystemRoot root;
    fs::create_directories(root.path() / "windows");
    std::ofstream(root.path() / "windows" / "Win.INI") << "[s]\nk=12\n";
    EXPECT_EQ(GetPrivateProfileIntA("S", "K", 0, "win.ini"), 12u);
}

TEST(Profile, StringsAndLists) {
    tolm_test::TempSystemRoot root;
    const std::string file = root / "tolm.ini";
    std::ofstream(file) << kIni;
    char buf[64];
    EXPECT_EQ(GetPrivateProfileStringA("I2C", "text", "d", buf, sizeof buf, file.c_str()), 12u);
    EXPECT_STREQ(buf, "quoted value");
    EXPECT_EQ(GetPrivateProfileStringA("I2C", "none", "dflt  ", buf, sizeof buf, file.c_str()), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA("I2C", "Text", "", buf, 6, file.c_str()), 5u); // cut
    EXPECT_STREQ(buf, "quote");

    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, file.c_str()), 14u);
    EXPECT_EQ(std::string(buf, 15), std::string("I2C\0Other\0i2c\0\0", 15));
    EXPECT_EQ(GetPrivateProfileStringA("other", nullptr, "", buf, sizeof buf, file.c_str()), 6u);
    EXPECT_EQ(std::string(buf, 7), std::string("delay\0\0", 7));
    // A cut list keeps its two closing zeros.
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buf, 8, file.c_str()), 6u);
    EXPECT_EQ(std::string(buf, 8), std::string("I2C\0Ot\0\0", 8));
}
