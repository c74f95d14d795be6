#include "loopback.h"

#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace net_test {

namespace {

sockaddr_in Loopback(const std::string& address, int port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
        throw std::runtime_error("bad address " + address);
    }
    return at;
}

} // namespace

int FreePort() {
    RawSocket probe = RawSocket::Listen(0);
    return probe.Port();
}

void RunLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        RunLoopFor(2);
    }
    return true;
}

long CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
}

RawSocket::~RawSocket() {
    Close();
}

RawSocket::RawSocket(RawSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

RawSocket& RawSocket::operator=(RawSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

RawSocket RawSocket::Listen(int port) {
    RawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in at = Loopback("127.0.0.1", port);
    if (::bind(s.fd_, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(s.fd_, 16) != 0) {
        throw std::runtime_error("listen");
    }
    return s;
}

RawSocket RawSocket::Connect(const std::string& address, int port, const std::string& from) {
    RawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!from.empty()) {
        const sockaddr_in local = Loopback(from, 0);
        if (::bind(s.fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            throw std::runtime_error("bind " + from);
        }
    }
    const sockaddr_in to = Loopback(address, port);
    if (::connect(s.fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        s.Close();
    }
    return s;
}

RawSocket RawSocket::Accept() {
    return RawSocket(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

int RawSocket::Port() const {
    sockaddr_in at{};
    socklen_t length = sizeof at;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &length);
    return ntohs(at.sin_port);
}

bool RawSocket::SendAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string RawSocket::Receive(int timeout_ms) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) {
        return {};
    }
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool RawSocket::WaitForClose(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) {
            continue;
        }
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return true;
        }
    }
    return false;
}

long RawSocket::Drain() {
    long total = 0;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) {
            return total;
        }
        total += n;
    }
}

void RawSocket::Abort() {
    const linger reset{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    Close();
}

void RawSocket::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace net_test
