// The main form's listening socket `ServerSocket`: the socket component behind the engine's
// ServerSocketPort, each accepted connection behind a ServerConnectionPort, the events handed
// to the engine. A closed connection's port object stays valid until the event loop runs
// again, as the component's connection does.
#pragma once

#include "network/socket_ports.h"

#include <QTimer>
#include <map>
#include <memory>
#include <net/server_socket.h>
#include <vector>

namespace station {

class ServerSocketAdapter : public ServerSocketPort {
public:
    ServerSocketAdapter();
    ~ServerSocketAdapter() override;
    ServerSocketAdapter(const ServerSocketAdapter&) = delete;
    ServerSocketAdapter& operator=(const ServerSocketAdapter&) = delete;

    // Where the events go (null: nowhere); it outlives the adapter or is reset first.
    void SetEvents(ServerSocketEvents* events) { events_ = events; }

    bool Open(int port) override;
    void Close() override;
    bool Active() const override;
    int ActiveConnections() const override;
    ServerConnectionPort& Connection(int index) override;

private:
    class Connected;

    Connected& Port(net::ServerConnection& connection);
    void Disconnected(net::ServerConnection& connection);

    net::ServerSocket socket_;
    ServerSocketEvents* events_ = nullptr;
    std::map<const net::ServerConnection*, std::unique_ptr<Connected>> ports_;
    // Ports of closed connections, freed from the loop.
    std::vector<std::unique_ptr<Connected>> closed_;
    QTimer free_closed_;
};

} // namespace station
