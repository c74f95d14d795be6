#include "sigma_text.h"

#include <charconv>
#include <cmath>

namespace station {

std::string FormatSigmaFactor(double value) {
    // Room for the widest double in fixed notation (309 digits), sign, point and decimals.
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    return std::string(buf, r.ptr);
}

std::optional<double> ParseSigmaFactor(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    std::string number(text);
    for (char& c : number) {
        if (c == ',') {
            c = '.';
        }
    }
    double value = 0.0;
    const char* end = number.data() + number.size();
    const auto r = std::from_chars(number.data(), end, value, std::chars_format::general);
    if (number.empty() || r.ec != std::errc() || r.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace station
