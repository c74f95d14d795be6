// The descriptor of a POSIX socket, owned; and the calls both components make on one.
#pragma once

#include "net/socket_error.h"

#include <utility>

namespace net::detail {

class SocketFd {
public:
    SocketFd() = default;
    explicit SocketFd(int fd) : fd_(fd) {}
    ~SocketFd() { reset(); }
    SocketFd(SocketFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    SocketFd& operator=(SocketFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset();

private:
    int fd_ = -1;
};

// A non-blocking TCP socket, or an empty one when none is left.
SocketFd NewStreamSocket();

// The Windows Sockets code of a POSIX error number.
int SocketErrorCode(int posix_error);

// errno of a call that may have only been refused for now.
bool WouldBlock(int posix_error);

// What a read check found on a connected socket.
enum class PeekResult { Data, Nothing, PeerClosed, Failed };
// Looks whether bytes, the peer's close or an error wait, without taking anything; on
// Failed, `error_code` is the Windows Sockets code.
PeekResult Peek(int fd, int& error_code);

// Bytes that can be read now (0 when the call fails).
int ReadableBytes(int fd);

// The pending error of a socket (SO_ERROR) as a POSIX error number, 0 when none.
int PendingError(int fd);

// Writes the report of an error code an error handler left set.
void ReportUnhandled(ErrorEvent event, int error_code);

} // namespace net::detail
