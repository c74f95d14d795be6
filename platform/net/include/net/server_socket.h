// A non-blocking TCP listening socket with its accepted connections, whose events come from
// the event loop of the thread that made it (the GUI thread).
//
// - Open listens on all IPv4 addresses of the port with the address reusable (a restart does
//   not wait for old connections to time out).
// - Accepted connections are kept in accept order, at most kMaxConnections of them; one more
//   is closed as soon as it is accepted, without events. When no descriptor is left for an
//   accept, accepting pauses for a moment instead of spinning.
// - Each accepted connection gives a connect event, then one write event once writable.
// - A read event is due while bytes wait; a handler that does not read any (ReceiveBuf) gets
//   no further read event until it does. A peer's close closes the connection.
// - ServerConnection::Close fires the disconnect event before it returns and takes the
//   connection out of the list; it is safe inside the connection's own handlers, and the
//   object stays valid until the event loop runs again.
// - Error events are as for the client socket: the handler clears the code it dealt with, a
//   code left set is written to the standard error stream, and the connection is closed after
//   the handler unless the handler closed it.
// - Close closes every connection in list order (disconnect events) and stops listening.
// Destroying the socket closes everything without events; it must not be destroyed inside
// its own handlers.
#pragma once

#include "net/ipv4_address.h"
#include "net/socket_error.h"

#include <functional>
#include <memory>

namespace net {

class ServerSocket;

// One accepted connection, owned by its server.
class ServerConnection {
public:
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    Ipv4 RemoteAddress() const;
    int RemotePort() const;
    // Bytes that can be read now.
    int ReceiveLength();
    // Reads up to `count` bytes: the count read (0 once the peer has closed), or -1 when
    // nothing can be read (a hard error then comes as an error event).
    int ReceiveBuf(void* data, int count);
    void Close();
    bool Connected() const;

private:
    friend class ServerSocket;
    class Impl;
    explicit ServerConnection(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class ServerSocket {
public:
    static constexpr int kMaxConnections = 64;

    ServerSocket();
    ~ServerSocket();
    ServerSocket(const ServerSocket&) = delete;
    ServerSocket& operator=(const ServerSocket&) = delete;

    std::function<void(ServerConnection&)> OnClientConnect;
    std::function<void(ServerConnection&)> OnClientDisconnect;
    std::function<void(ServerConnection&)> OnClientRead;
    std::function<void(ServerConnection&)> OnClientWrite;
    std::function<void(ServerConnection&, ErrorEvent event, int& error_code)> OnClientError;

    // Listens on `port` (0..65535; 0 lets the system choose). False when the socket is
    // already listening or cannot listen there.
    bool Open(int port);
    void Close();
    bool Active() const;

    int ActiveConnections() const;
    // Connection `index`, 0 .. ActiveConnections() - 1, in accept order.
    ServerConnection& Connection(int index);

private:
    friend class ServerConnection;
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace net
