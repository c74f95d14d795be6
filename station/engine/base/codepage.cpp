#include "codepage.h"

#include <cerrno>
#include <iconv.h>

namespace station {
namespace {

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

    // Converts `text`; where a piece cannot be converted, `skip(rest)` tells how many input
    // bytes to drop and `replacement` is written instead.
    template <typename Skip>
    std::string run(std::string_view text, std::string_view replacement, Skip skip) {
        std::string out;
        if (!ok()) {
            return out;
        }
        char buf[256];
        char* in = const_cast<char*>(text.data());
        std::size_t in_left = text.size();
        while (in_left > 0) {
            char* o = buf;
            std::size_t o_left = sizeof buf;
            const std::size_t r = iconv(cd_, &in, &in_left, &o, &o_left);
            out.append(buf, static_cast<std::size_t>(o - buf));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                const std::size_t n = skip(std::string_view(in, in_left));
                in += n;
                in_left -= n;
                out += replacement;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

private:
    iconv_t cd_;
};

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

} // namespace

std::string Cp1251ToUtf8(std::string_view text) {
    Converter c("UTF-8", "CP1251");
    return c.run(text, "\xEF\xBF\xBD", [](std::string_view) { return std::size_t{1}; });
}

std::string Utf8ToCp1251(std::string_view text) {
    Converter c("CP1251", "UTF-8");
    return c.run(text, "?", utf8_sequence_length);
}

} // namespace station
