// Loopback peers and event-loop helpers for the socket component tests. The peers are plain
// blocking POSIX sockets driven by the test itself.
#pragma once

#include <functional>
#include <string>

namespace net_test {

// A port on 127.0.0.1 that nothing listens on right now.
int FreePort();

// Runs the event loop for `ms` milliseconds (sleeping while nothing happens).
void RunLoopFor(int ms);
// Runs the event loop until `done` holds or `timeout_ms` passed; whether it held.
bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms = 5000);

// CPU time the process has used, in milliseconds.
long CpuMs();

class RawSocket {
public:
    RawSocket() = default;
    explicit RawSocket(int fd) : fd_(fd) {}
    ~RawSocket();
    RawSocket(RawSocket&& other) noexcept;
    RawSocket& operator=(RawSocket&& other) noexcept;

    // A listener on 127.0.0.1:port.
    static RawSocket Listen(int port);
    // A connection to `address`:port, from `from` when given (any 127.x.y.z works locally).
    static RawSocket Connect(const std::string& address, int port, const std::string& from = {});

    RawSocket Accept(); // waits
    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // The local port.
    int Port() const;
    // Sends all of `bytes`; false on failure.
    bool SendAll(const std::string& bytes);
    // Reads what is there within `timeout_ms`: the bytes, empty at the peer's close.
    std::string Receive(int timeout_ms = 2000);
    // Reads until the peer closes or `timeout_ms` passes; whether it closed.
    bool WaitForClose(int timeout_ms = 2000);
    // Reads and drops everything there now.
    long Drain();
    // Closes with a reset instead of an orderly close.
    void Abort();
    void Close();

private:
    int fd_ = -1;
};

} // namespace net_test
