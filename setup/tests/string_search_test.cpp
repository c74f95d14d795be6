#include "installer_support.h"
#include "string_search.h"
#include "wildcard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> bytes(const std::string& s) {
    return std::vector<unsigned char>(s.begin(), s.end());
}

std::vector<unsigned char> wide(const std::string& s, std::size_t lead = 0) {
    std::vector<unsigned char> out(lead, 0x41);
    for (char c : s) {
        out.push_back(static_cast<unsigned char>(c));
        out.push_back(0);
    }
    return out;
}

TEST(StringSearch, NarrowFindsEveryOccurrenceIncludingOverlappingStarts) {
    struct Case {
        std::string image;
        std::string text;
        bool found;
        std::size_t position;
    };
    const Case cases[] = {
        {"xxPCI\\VEN_109E", "PCI\\VEN_109E", true, 13},
        {"aaab", "aab", true, 3}, // a start inside a failed match is tried too
        {"PCPCI", "PCI", true, 4},
        {"PCI", "PCI", true, 2},
        {"PC", "PCI", false, 0},
        {"pci\\ven_109e", "PCI\\VEN_109E", false, 0}, // bytes, not letters
        {"anything", "", false, 0},
    };
    for (const Case& c : cases) {
        const auto image = bytes(c.image);
        const setup::SearchResult r = setup::FindNarrowString(image.data(), image.size(), c.text);
        EXPECT_EQ(r.found, c.found) << c.image << " / " << c.text;
        if (c.found) {
            EXPECT_EQ(r.position, c.position) << c.image << " / " << c.text;
        }
    }
}

TEST(StringSearch, WideMatchesAtEvenOffsetsAndPointsAtTheLastLowByte) {
    const std::string description = "MSVIDEO: Orvik Video Capture Driver Device0";
    // At an even offset, after a near miss that shares its first characters.
    auto image = wide("MSVIDEO: Orvik", 4);
    const auto tail = wide(description);
    image.insert(image.end(), tail.begin(), tail.end());
    setup::SearchResult r = setup::FindWideString(image.data(), image.size(), description);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.position, image.size() - 2);
    EXPECT_EQ(image[r.position], '0');

    // "aab" in "aaab" as UTF-16: the overlapping start is found.
    const auto overlap = wide("aaab");
    r = setup::FindWideString(overlap.data(), overlap.size(), "aab");
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.position, 6u);

    // At an odd offset, or as narrow text, it is not UTF-16 text.
    const auto odd = wide(description, 1);
    EXPECT_FALSE(setup::FindWideString(odd.data(), odd.size(), description).found);
    const auto narrow = bytes(description);
    EXPECT_FALSE(setup::FindWideString(narrow.data(), narrow.size(), description).found);
    EXPECT_FALSE(setup::FindWideString(nullptr, 0, description).found);
}

TEST(Wildcard, InfPatternAndTheTrailingStarRule) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"*.inf", "OEM12.INF", true},
        {"*.inf", "a.inf.bak", false},
        {"*.inf", "oem1.pnf", false},
        {"*.inf", ".inf", true},
        {"*.inf", "inf", false},
        {"*.*", "setup.inf", true},
        {"*", "name", true},
        {"*", "name.ext", false},
        {"oem?.inf", "OEM7.inf", true},
        {"oem?.inf", "OEM.inf", false},
        {"abc", "ABC", true},
        {"abc", "abcd", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(setup::MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    }
}

TEST(CaptureCopyName, OurCopiesInAnyCaseOnly) {
    struct Case {
        const char* name;
        bool ours;
    };
    const Case cases[] = {
        {"tarvovfw0.dll", true}, {"TARVOVFW9.DLL", true},   {"TarvoVfw5.Dll", true},
        {"tarvovfw.dll", false}, {"tarvovfw10.dll", false}, {"tarvovfwx.dll", false},
        {"msyuv.dll", false},    {"tarvovfw1.dl", false},   {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(setup::is_capture_copy_name(c.name), c.ours) << c.name;
    }
}

} // namespace
