#include "ansi_code_page.h"

#include <array>
#include <iconv.h>
#include <unordered_map>

namespace platform::detail {
namespace {

// UTF-16 unit -> CP1251 byte for the upper half of the code page, decoded once by iconv.
const std::unordered_map<char16_t, char>& upper_half() {
    static const auto table = [] {
        std::unordered_map<char16_t, char> map;
        iconv_t cd = iconv_open("UTF-16LE", "CP1251");
        if (cd == iconv_t(-1)) {
            return map;
        }
        for (int b = 0x80; b <= 0xFF; ++b) {
            char in = char(b);
            unsigned char out[4] = {};
            char* pin = &in;
            char* pout = reinterpret_cast<char*>(out);
            std::size_t in_left = 1;
            std::size_t out_left = sizeof out;
            if (iconv(cd, &pin, &in_left, &pout, &out_left) != std::size_t(-1) &&
                out_left == sizeof out - 2) {
                map.emplace(char16_t(out[0] | (out[1] << 8)), char(b));
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        iconv_close(cd);
        return map;
    }();
    return table;
}

} // namespace

std::string utf16_to_ansi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        const auto& map = upper_half();
        const auto it = map.find(c);
        out += it == map.end() ? '?' : it->second;
    }
    return out;
}

} // namespace platform::detail
