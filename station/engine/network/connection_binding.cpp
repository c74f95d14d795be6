// The listening socket's side of the links: binding incoming connections to links, the
// reassembly of their bytes and the connection timer.
#include "ipv4.h"
#include "rem_stations.h"
#include "base/language_lines.h"

#include <win32/sysinfo.h>

namespace station {

int RemStations::FindRemByAddress(Ipv4 address, std::int32_t remotePort) const {
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        const RemStation* r = Station(n);
        if (r != nullptr && r->Socket().Active() && r->Socket().RemoteAddress() == address &&
            r->BoundPort == remotePort) {
            return n;
        }
    }
    return 0;
}

void RemStations::BindRemConnection(Ipv4 address, std::int32_t headerPort,
                                    std::int32_t remotePort) {
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        RemStation* r = Get(n);
        if (r != nullptr && r->Socket().Active() && r->Socket().RemoteAddress() == address &&
            r->BoundPort == 0 && r->Port == headerPort) {
            r->BoundPort = remotePort;
            return;
        }
    }
}

void RemStations::DropRemConnections(Ipv4 address, std::int32_t port) {
    for (int i = server_.ActiveConnections() - 1; i >= 0; --i) {
        ServerConnectionPort& c = server_.Connection(i);
        if (c.RemoteAddress() == address && c.RemotePort() == port) {
            c.Close();
        }
    }
}

void RemStations::OnClientConnect(ServerConnectionPort&) {
    SocketEventFlags[kSockConnect] = 1;
}

void RemStations::OnClientDisconnect(ServerConnectionPort& connection) {
    SocketEventFlags[kSockDisconnect] = 1;
    if (&connection == reading_) {
        reading_closed_ = true;
        return;
    }
    assemblers_.erase(&connection);
}

void RemStations::OnClientWrite(ServerConnectionPort&) {
    SocketEventFlags[kSockWrite] = 1;
}

void RemStations::OnClientError(ServerConnectionPort& connection, int& errorCode) {
    SocketEventFlags[kSockError] = 1;
    errorCode = 0;
    connection.Close();
}

void RemStations::OnClientRead(ServerConnectionPort& connection) {
    SocketEventFlags[kSockRead] = 1;
    const int available = connection.ReceiveLength();
    if (available <= 0) {
        return;
    }
    chunk_.resize(static_cast<std::size_t>(available));
    const int got = connection.ReceiveBuf(chunk_.data(), available);
    if (got <= 0) {
        return;
    }
    const std::span<const std::uint8_t> chunk(chunk_.data(), static_cast<std::size_t>(got));
    const Ipv4 address = connection.RemoteAddress();
    const std::int32_t port = connection.RemotePort();
    const int k = FindRemByAddress(address, port);
    if (k == 0) {
        // Unbound: a header binds it; the chunk itself is not parsed.
        if (const auto hit = FindPacketSync(chunk)) {
            BindRemConnection(address, hit->Port, port);
        }
        assemblers_.erase(&connection);
        return;
    }
    Get(k)->LastReceiveTick = GetTickCount();
    reading_ = &connection;
    reading_closed_ = false;
    assemblers_[&connection].Feed(chunk, [this, k](std::span<const std::uint8_t> packet) {
        // Nothing more goes to a link that is gone or to a connection closed meanwhile.
        if (RemStation* r = Get(k); r != nullptr && !reading_closed_) {
            r->ParsePacket(packet);
        }
    });
    reading_ = nullptr;
    if (reading_closed_) {
        assemblers_.erase(&connection);
    }
}

std::size_t RemStations::HeldBytes(const ServerConnectionPort& connection) const {
    const auto it = assemblers_.find(&connection);
    return it == assemblers_.end() ? 0 : it->second.HeldBytes();
}

void RemStations::ConnectTimerTimer() {
    int bound = 0;
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        const RemStation* r = Station(n);
        if (r != nullptr && r->Socket().Active() && r->BoundPort != 0) {
            ++bound;
        }
    }
    if (server_.ActiveConnections() <= bound + 1) {
        return;
    }
    for (int i = 0; i < server_.ActiveConnections(); ++i) {
        ServerConnectionPort& c = server_.Connection(i);
        if (FindRemByAddress(c.RemoteAddress(), c.RemotePort()) == 0) {
            c.Close();
            return;
        }
    }
}

std::vector<std::string> RemStations::ConnectionLines(const LanguageList& lang) const {
    std::vector<std::string> lines;
    const int count = server_.ActiveConnections();
    lines.push_back(lang[kLineConnections] + " " + std::to_string(count));
    for (int i = 0; i < count; ++i) {
        ServerConnectionPort& c = server_.Connection(i);
        std::string line = std::to_string(i + 1) + " - " + Ipv4Text(c.RemoteAddress());
        const int k = FindRemByAddress(c.RemoteAddress(), c.RemotePort());
        if (k > 0) {
            line += " / " + std::to_string(Station(k)->Port);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace station
