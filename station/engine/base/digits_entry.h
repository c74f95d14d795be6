// The rule of the number and password edits: digits only, at most `max_length` of them, and a
// value of at most `max_value`. Applied to whatever reaches the edit, typed or pasted.
#pragma once

#include <string>
#include <string_view>

namespace station {

struct DigitsEntry {
    std::string text;
    // Something was dropped: the edit beeps.
    bool beep = false;
};

// Other characters are dropped, the text is cut to `max_length`, and while its value is above
// `max_value` the last character goes. An empty text stays empty.
DigitsEntry FilterDigits(std::string_view text, std::size_t max_length = 5, long max_value = 30000);

} // namespace station
