#include "codepage.h"

#include <win32/codepage.h>

#include <cstdint>
#include <vector>

namespace station {
namespace {

// Length of the (possibly broken) UTF-8 sequence at the start of `rest`, at least 1.
std::size_t utf8_sequence_length(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    const std::size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t n = 1;
    while (n < want && n < rest.size() && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

// The character of the well-formed UTF-8 sequence at the start of `rest` and its length, or
// length 0 when the sequence is broken, overlong, a surrogate or beyond U+10FFFF.
std::pair<char32_t, std::size_t> decode_utf8(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t want = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        want = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        want = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        want = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (rest.size() < want) {
        return {0, 0};
    }
    for (std::size_t i = 1; i < want; ++i) {
        const auto b = static_cast<unsigned char>(rest[i]);
        if ((b & 0xC0) != 0x80) {
            return {0, 0};
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return {0, 0};
    }
    return {c, want};
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    if (text.empty()) {
        return out;
    }
    // Every byte gives one UTF-16 unit of the basic plane.
    std::vector<WCHAR> wide(text.size());
    const int n = MultiByteToWideChar(CP_1251, 0, text.data(), static_cast<int>(text.size()),
                                      wide.data(), static_cast<int>(wide.size()));
    out.reserve(text.size());
    for (int i = 0; i < n; ++i) {
        append_utf8(out, static_cast<char32_t>(wide[static_cast<std::size_t>(i)]));
    }
    return out;
}

std::string Utf8ToCp1251(std::string_view text) {
    // Broken sequences and characters beyond the basic plane (none is in CP1251) become '?'
    // here; the code page turns the other characters it lacks into '?'.
    std::vector<WCHAR> wide;
    wide.reserve(text.size());
    while (!text.empty()) {
        const auto [c, length] = decode_utf8(text);
        if (length == 0 || c > 0xFFFF) {
            wide.push_back(u'?');
            text.remove_prefix(length == 0 ? utf8_sequence_length(text) : length);
        } else {
            wide.push_back(static_cast<WCHAR>(c));
            text.remove_prefix(length);
        }
    }
    std::string out(wide.size(), '\0');
    if (!wide.empty()) {
        const int n =
            WideCharToMultiByte(CP_1251, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                static_cast<int>(out.size()), nullptr, nullptr);
        out.resize(static_cast<std::size_t>(n < 0 ? 0 : n));
    }
    return out;
}

} // namespace station
