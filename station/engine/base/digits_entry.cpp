#include "digits_entry.h"

namespace station {
namespace {

long value_of(const std::string& digits) {
    long v = 0;
    for (const char c : digits) {
        v = v * 10 + (c - '0');
    }
    return v;
}

} // namespace

DigitsEntry FilterDigits(std::string_view text, std::size_t max_length, long max_value) {
    DigitsEntry out;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            out.text.push_back(c);
        } else {
            out.beep = true;
        }
    }
    if (out.text.size() > max_length) {
        out.text.resize(max_length);
        out.beep = true;
    }
    while (!out.text.empty() && value_of(out.text) > max_value) {
        out.text.pop_back();
        out.beep = true;
    }
    return out;
}

} // namespace station
