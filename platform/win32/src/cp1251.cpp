#include "platform/cp1251.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <unordered_map>

namespace platform::cp1251 {
namespace {

// iconv conversion descriptor with RAII.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Both directions as tables, built once from iconv. The byte iconv does not know (0x98, which
// code page 1251 leaves undefined) becomes U+FFFD, and no character converts back to it.
constexpr char32_t kUndefined = 0xFFFD;

struct Tables {
    std::array<char32_t, 256> to_unicode{};
    std::unordered_map<char32_t, unsigned char> from_unicode;

    Tables() {
        Converter cv("UTF-32LE", "CP1251");
        for (unsigned b = 0; b < 256; ++b) {
            char32_t cp = b < 0x80 ? b : kUndefined;
            if (cv.ok()) {
                char in = static_cast<char>(b);
                unsigned char out[8] = {};
                char* inp = &in;
                char* outp = reinterpret_cast<char*>(out);
                std::size_t inleft = 1;
                std::size_t outleft = sizeof(out);
                iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
                if (iconv(cv.get(), &inp, &inleft, &outp, &outleft) != std::size_t(-1) &&
                    sizeof(out) - outleft == 4) {
                    cp = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 |
                         char32_t(out[3]) << 24;
                }
            }
            to_unicode[b] = cp;
            if (cp != kUndefined) {
                from_unicode.emplace(cp, static_cast<unsigned char>(b));
            }
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // CP1251 maps only into the basic multilingual plane.
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char to_byte(char32_t cp, char replacement) {
    const auto& map = tables().from_unicode;
    const auto it = map.find(cp);
    return it == map.end() ? replacement : static_cast<char>(it->second);
}

// Decodes `in` (in the given iconv encoding) into code points with iconv; an invalid or
// incomplete sequence yields one replacement and resynchronises `unit` bytes later.
template <typename Sink>
void decode(const char* encoding, const char* data, std::size_t size, std::size_t unit,
            Sink&& sink) {
    Converter cv("UTF-32LE", encoding);
    if (!cv.ok()) {
        return;
    }
    char* inp = const_cast<char*>(data);
    std::size_t inleft = size;
    std::array<char, 4096> buffer;
    while (inleft > 0) {
        char* outp = buffer.data();
        std::size_t outleft = buffer.size();
        const std::size_t r = iconv(cv.get(), &inp, &inleft, &outp, &outleft);
        const int err = errno;
        const std::size_t produced = buffer.size() - outleft;
        for (std::size_t i = 0; i + 4 <= produced; i += 4) {
            const auto* u = reinterpret_cast<const unsigned char*>(buffer.data() + i);
            sink(char32_t(u[0]) | char32_t(u[1]) << 8 | char32_t(u[2]) << 16 |
                 char32_t(u[3]) << 24);
        }
        if (r == std::size_t(-1) && err != E2BIG) {
            sink(char32_t(0xFFFFFFFF)); // stands for "no character": becomes the replacement
            const std::size_t skip = std::min(unit, inleft);
            inp += skip;
            inleft -= skip;
            iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
}

} // namespace

std::string to_utf8(std::string_view cp1251) {
    const auto& t = tables().to_unicode;
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char c : cp1251) {
        append_utf8(out, t[static_cast<unsigned char>(c)]);
    }
    return out;
}

std::u16string to_utf16(std::string_view cp1251) {
    const auto& t = tables().to_unicode;
    std::u16string out;
    out.reserve(cp1251.size());
    for (const char c : cp1251) {
        out += static_cast<char16_t>(t[static_cast<unsigned char>(c)]);
    }
    return out;
}

std::string from_utf8(std::string_view utf8, char replacement) {
    std::string out;
    out.reserve(utf8.size());
    decode("UTF-8", utf8.data(), utf8.size(), 1,
           [&](char32_t cp) { out += to_byte(cp, replacement); });
    return out;
}

std::string from_utf16(std::u16string_view utf16, char replacement) {
    std::string out;
    out.reserve(utf16.size());
    static_assert(std::endian::native == std::endian::little, "UTF-16LE in native char16_t");
    decode("UTF-16LE", reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2, 2,
           [&](char32_t cp) { out += to_byte(cp, replacement); });
    return out;
}

} // namespace platform::cp1251
