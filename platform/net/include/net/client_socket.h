// A non-blocking TCP client connection whose events come from the event loop of the thread
// that made it (the GUI thread).
//
// - Open starts a connect and returns; its events follow from the loop, never inside Open:
//   lookup, connecting, then connect (and one write event once the connection is writable)
//   or an error event.
// - Active is true from the connect event until the connection closes.
// - SendBuf never blocks and never raises SIGPIPE: it gives the count accepted, or -1 when
//   nothing can be accepted now (would block), after which one write event comes when there
//   is room again. A hard send error gives -1 and comes later, from the loop, as an error event.
// - What arrives is read and dropped after the read event, so a peer's close is seen (the
//   connection closes with a disconnect event) and a peer that keeps sending costs no spin.
// - Close of a connecting or connected socket fires the disconnect event before it returns;
//   it is safe inside the socket's own handlers, and the events of the closed connection
//   still pending are dropped.
// - An error event hands the handler the error code; a handler that has dealt with the error
//   clears it. A code left set is written to the standard error stream. Either way the
//   connection is closed after the handler (with a disconnect event) unless the handler
//   closed it.
// Destroying the socket closes it without events; it must not be destroyed inside its own
// handlers.
#pragma once

#include "net/ipv4_address.h"
#include "net/socket_error.h"

#include <functional>
#include <memory>
#include <string>

namespace net {

class ClientSocket {
public:
    ClientSocket();
    ~ClientSocket();
    ClientSocket(const ClientSocket&) = delete;
    ClientSocket& operator=(const ClientSocket&) = delete;

    std::function<void()> OnLookup;
    std::function<void()> OnConnecting;
    std::function<void()> OnConnect;
    std::function<void()> OnRead;
    std::function<void()> OnWrite;
    std::function<void()> OnDisconnect;
    std::function<void(ErrorEvent event, int& error_code)> OnError;

    // Starts connecting to the dotted `address` and `port` (1..65535). True when the connect
    // started; false, with nothing open and no event to follow, when the address does not
    // parse, the port is out of range, no descriptor is left or the socket is not closed.
    bool Open(const std::string& address, int port);
    void Close();
    bool Active() const;

    int SendBuf(const void* data, int count);

    // The peer of the current connection (from Open until the connection closes); 0 otherwise.
    Ipv4 RemoteAddress() const;
    int RemotePort() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace net
