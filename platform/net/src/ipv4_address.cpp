#include "net/ipv4_address.h"

#include <arpa/inet.h>

namespace net {

std::optional<Ipv4> ParseDottedAddress(std::string_view text) {
    // inet_pton takes exactly four decimal parts 0..255 without leading zeros.
    if (text.size() > INET_ADDRSTRLEN) {
        return std::nullopt;
    }
    const std::string copy(text);
    in_addr address{};
    if (::inet_pton(AF_INET, copy.c_str(), &address) != 1) {
        return std::nullopt;
    }
    return ntohl(address.s_addr);
}

std::string FormatAddress(Ipv4 address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

} // namespace net
