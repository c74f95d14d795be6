// The digits-only rule of the password and number edits, typed or pasted.
#include "base/digits_entry.h"

#include <gtest/gtest.h>

namespace station {
namespace {

TEST(DigitsEntry, TypedAndPastedTexts) {
    const struct {
        const char* in;
        const char* out;
        bool beep;
    } cases[] = {
        {"", "", false},         {"0", "0", false},         {"30000", "30000", false},
        {"30001", "3000", true}, {"99999", "9999", true},   {"12a", "12", true},
        {" 1 2", "12", true},    {"123456", "12345", true}, {"-5", "5", true},
        {"1e3", "13", true},     {"abc", "", true},         {"00007", "00007", false},
        {"３", "", true}, // a full-width digit is no digit
    };
    for (const auto& c : cases) {
        const DigitsEntry e = FilterDigits(c.in);
        EXPECT_EQ(e.text, c.out) << c.in;
        EXPECT_EQ(e.beep, c.beep) << c.in;
    }
}

} // namespace
} // namespace station
