// A link's client socket: the socket component behind the engine's ClientSocketPort, its
// events handed to the link.
#pragma once

#include "network/socket_ports.h"

#include <net/client_socket.h>

namespace station {

class ClientSocketAdapter : public ClientSocketPort {
public:
    // `events` outlives the adapter.
    explicit ClientSocketAdapter(ClientSocketEvents& events);
    ~ClientSocketAdapter() override = default;
    ClientSocketAdapter(const ClientSocketAdapter&) = delete;
    ClientSocketAdapter& operator=(const ClientSocketAdapter&) = delete;

    bool Open(const std::string& address, int port) override;
    void Close() override;
    bool Active() const override;
    int SendBuf(const std::uint8_t* data, int count) override;
    Ipv4 RemoteAddress() const override;

private:
    net::ClientSocket socket_;
};

} // namespace station
