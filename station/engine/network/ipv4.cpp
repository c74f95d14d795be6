#include "ipv4.h"

namespace station {

bool ParseIpv4(const std::string& text, Ipv4& address) {
    Ipv4 value = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        unsigned number = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            number = number * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || number > 255) {
            return false;
        }
        value = value << 8 | number;
    }
    if (at != text.size()) {
        return false;
    }
    address = value;
    return true;
}

std::string Ipv4Text(Ipv4 address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
           std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}

} // namespace station
