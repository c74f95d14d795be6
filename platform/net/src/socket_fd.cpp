#include "socket_fd.h"

#include <cerrno>
#include <cstdio>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net::detail {

void SocketFd::reset() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

SocketFd NewStreamSocket() {
    return SocketFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

int SocketErrorCode(int posix_error) {
    switch (posix_error) {
    case EINTR:
        return WSAEINTR;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EAGAIN:
    case EINPROGRESS:
        return WSAEWOULDBLOCK;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case ENOTCONN:
        return WSAENOTCONN;
    case EPIPE:
        return WSAESHUTDOWN;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    default:
        return WSAEINVAL;
    }
}

bool WouldBlock(int posix_error) {
    return posix_error == EAGAIN || posix_error == EWOULDBLOCK || posix_error == EINTR;
}

PeekResult Peek(int fd, int& error_code) {
    char byte = 0;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        return PeekResult::Data;
    }
    if (n == 0) {
        return PeekResult::PeerClosed;
    }
    if (WouldBlock(errno)) {
        return PeekResult::Nothing;
    }
    error_code = SocketErrorCode(errno);
    return PeekResult::Failed;
}

int ReadableBytes(int fd) {
    int count = 0;
    if (::ioctl(fd, FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return count;
}

int PendingError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
}

void ReportUnhandled(ErrorEvent event, int error_code) {
    static constexpr const char* kSteps[] = {"general", "send",       "receive",
                                             "connect", "disconnect", "accept"};
    std::fprintf(stderr, "socket error %d on %s\n", error_code, kSteps[static_cast<int>(event)]);
}

} // namespace net::detail
