// What the remote-station links and the connection binding need of the non-blocking TCP
// sockets. The program adapts its socket components to these ports and delivers their events
// to the engine through the `...Events` interfaces; tests give fakes. Everything runs on the
// GUI thread: events come only from the event loop, never from inside a call below, except
// where a call says so.
#pragma once

#include <cstdint>
#include <string>

namespace station {

// IPv4 addresses are 32-bit values in host order (127.0.0.1 is 0x7F000001).
using Ipv4 = std::uint32_t;

// The outgoing client connection of one link.
class ClientSocketPort {
public:
    virtual ~ClientSocketPort() = default;
    // Starts connecting to the dotted IPv4 `address` and `port` (1..65535). True when the
    // connect started; its outcome comes later as connected or error + disconnected events.
    // False when it could not start (nothing is left open, no event follows).
    virtual bool Open(const std::string& address, int port) = 0;
    // Closes the connection. A connecting or connected socket fires the disconnected event
    // before Close returns; safe inside the socket's own event handlers.
    virtual void Close() = 0;
    // Connected and not closed since.
    virtual bool Active() const = 0;
    // Sends without blocking: the count of bytes accepted (possibly fewer than `count`), or
    // -1 when nothing could be accepted now (would block). Hard errors come as error events.
    virtual int SendBuf(const std::uint8_t* data, int count) = 0;
    // The connected peer's address; 0 while not active.
    virtual Ipv4 RemoteAddress() const = 0;
};

// Events of a client socket, delivered by its owner.
class ClientSocketEvents {
public:
    virtual ~ClientSocketEvents() = default;
    virtual void OnLookup() = 0;
    virtual void OnConnecting() = 0;
    virtual void OnConnected() = 0;
    virtual void OnRead() = 0; // the owner reads and drops the bytes
    virtual void OnWrite() = 0;
    virtual void OnDisconnected() = 0;
    // `errorCode` is cleared by the handler when it has dealt with the error (the engine
    // always clears it; the socket raises nothing for a cleared code).
    virtual void OnError(int& errorCode) = 0;
};

// One accepted connection of the listening socket.
class ServerConnectionPort {
public:
    virtual ~ServerConnectionPort() = default;
    virtual Ipv4 RemoteAddress() const = 0;
    virtual int RemotePort() const = 0;
    // Bytes ready to read now.
    virtual int ReceiveLength() = 0;
    // Reads up to `count` bytes: the count read, or -1 on failure.
    virtual int ReceiveBuf(std::uint8_t* data, int count) = 0;
    // Closes the connection: it leaves the server's list and the server's disconnect event
    // fires before Close returns. The object stays valid until the event loop runs again.
    virtual void Close() = 0;
};

// The listening socket with its connections in accept order.
class ServerSocketPort {
public:
    virtual ~ServerSocketPort() = default;
    // Listens on `port` on all IPv4 addresses; false when it could not.
    virtual bool Open(int port) = 0;
    virtual void Close() = 0;
    virtual bool Active() const = 0;
    virtual int ActiveConnections() const = 0;
    // Connection `index` (0 .. ActiveConnections() - 1).
    virtual ServerConnectionPort& Connection(int index) = 0;
};

// Events of the listening socket's connections, delivered by its owner.
class ServerSocketEvents {
public:
    virtual ~ServerSocketEvents() = default;
    virtual void OnClientConnect(ServerConnectionPort& connection) = 0;
    virtual void OnClientDisconnect(ServerConnectionPort& connection) = 0;
    virtual void OnClientRead(ServerConnectionPort& connection) = 0;
    virtual void OnClientWrite(ServerConnectionPort& connection) = 0;
    // As for the client socket: the handler clears `errorCode`; the connection is then closed
    // by the handler.
    virtual void OnClientError(ServerConnectionPort& connection, int& errorCode) = 0;
};

} // namespace station
