// Dotted IPv4 addresses as the links keep them (text) and compare them (32-bit values).
#pragma once

#include "socket_ports.h"

#include <string>

namespace station {

// Four decimal numbers 0..255 separated by dots, nothing else; false when it does not parse.
bool ParseIpv4(const std::string& text, Ipv4& address);
// "a.b.c.d".
std::string Ipv4Text(Ipv4 address);
// A listening port a link may connect to.
inline constexpr bool ValidPort(int port) {
    return port >= 1 && port <= 65535;
}

} // namespace station
