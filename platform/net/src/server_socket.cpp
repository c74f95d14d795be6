#include "net/server_socket.h"

#include "socket_fd.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <sys/socket.h>
#include <vector>

namespace net {

namespace {

// How long accepting pauses when no descriptor is left.
constexpr int kAcceptRetryMs = 250;

struct PendingError {
    ErrorEvent event;
    int code;
};

} // namespace

class ServerConnection::Impl {
public:
    Impl(detail::SocketFd fd, Ipv4 remote, int remote_port)
        : fd_(std::move(fd)), remote_(remote), remote_port_(remote_port) {}

    ~Impl() { Stop(); }

    void Stop() {
        connected_ = false;
        error_pending_.reset();
        read_.setEnabled(false);
        write_.setEnabled(false);
        read_.setSocket(-1);
        write_.setSocket(-1);
        fd_.reset();
    }

    detail::SocketFd fd_;
    Ipv4 remote_;
    int remote_port_;
    bool connected_ = true;
    // The handler of the current read event has read.
    bool received_ = false;
    std::optional<PendingError> error_pending_;
    QSocketNotifier read_{QSocketNotifier::Read};
    QSocketNotifier write_{QSocketNotifier::Write};
    ServerSocket::Impl* server_ = nullptr;
};

class ServerSocket::Impl {
public:
    explicit Impl(ServerSocket& owner) : owner_(owner) {
        post_.setSingleShot(true);
        QObject::connect(&post_, &QTimer::timeout, [this] { RunPosted(); });
        accept_retry_.setSingleShot(true);
        QObject::connect(&accept_retry_, &QTimer::timeout, [this] {
            if (active_) {
                accept_.setEnabled(true);
            }
        });
        QObject::connect(&accept_, &QSocketNotifier::activated, [this] { AcceptPending(); });
    }

    ~Impl() {
        StopListening();
        connections_.clear();
        closed_.clear();
    }

    bool Open(int port);
    void Close();
    bool Active() const { return active_; }
    int Count() const { return static_cast<int>(connections_.size()); }
    ServerConnection& At(int index) {
        if (index < 0 || index >= Count()) {
            throw std::out_of_range("server connection index");
        }
        return *connections_[static_cast<std::size_t>(index)];
    }

    void CloseConnection(ServerConnection& connection);
    int ReceiveBuf(ServerConnection& connection, void* data, int count);

private:
    static ServerConnection::Impl& Of(ServerConnection& connection) { return *connection.impl_; }

    void AcceptPending();
    void Add(detail::SocketFd fd, const sockaddr_in& from);
    void Readable(ServerConnection& connection);
    void Writable(ServerConnection& connection);
    void DeliverError(ServerConnection& connection, PendingError error);
    void RunPosted();
    void StopListening();

    ServerSocket& owner_;
    bool active_ = false;
    detail::SocketFd listen_fd_;
    QSocketNotifier accept_{QSocketNotifier::Read};
    QTimer accept_retry_;
    QTimer post_;
    std::vector<std::unique_ptr<ServerConnection>> connections_;
    // Closed connections, freed from the loop so that a handler's reference stays valid.
    std::vector<std::unique_ptr<ServerConnection>> closed_;
};

bool ServerSocket::Impl::Open(int port) {
    if (active_ || port < 0 || port > 65535) {
        return false;
    }
    detail::SocketFd fd = detail::NewStreamSocket();
    if (!fd) {
        return false;
    }
    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(fd.get(), SOMAXCONN) != 0) {
        return false;
    }
    listen_fd_ = std::move(fd);
    accept_.setSocket(listen_fd_.get());
    accept_.setEnabled(true);
    active_ = true;
    return true;
}

void ServerSocket::Impl::StopListening() {
    active_ = false;
    accept_retry_.stop();
    accept_.setEnabled(false);
    accept_.setSocket(-1);
    listen_fd_.reset();
}

void ServerSocket::Impl::Close() {
    if (!active_) {
        return;
    }
    StopListening();
    while (!connections_.empty()) {
        CloseConnection(*connections_.front());
    }
}

void ServerSocket::Impl::AcceptPending() {
    while (active_) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        detail::SocketFd fd(::accept4(listen_fd_.get(), reinterpret_cast<sockaddr*>(&from), &length,
                                      SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            const int error = errno;
            if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
                // The connection stays queued; the notifier would report it at once again.
                accept_.setEnabled(false);
                accept_retry_.start(kAcceptRetryMs);
                return;
            }
            if (error == EINTR || error == ECONNABORTED || error == EPROTO) {
                continue;
            }
            return;
        }
        if (Count() >= kMaxConnections) {
            continue; // refused: `fd` closes here
        }
        Add(std::move(fd), from);
    }
}

void ServerSocket::Impl::Add(detail::SocketFd fd, const sockaddr_in& from) {
    auto impl = std::make_unique<ServerConnection::Impl>(std::move(fd), ntohl(from.sin_addr.s_addr),
                                                         ntohs(from.sin_port));
    impl->server_ = this;
    ServerConnection::Impl& state = *impl;
    connections_.push_back(
        std::unique_ptr<ServerConnection>(new ServerConnection(std::move(impl))));
    ServerConnection& connection = *connections_.back();
    state.read_.setSocket(state.fd_.get());
    state.write_.setSocket(state.fd_.get());
    QObject::connect(&state.read_, &QSocketNotifier::activated,
                     [this, &connection] { Readable(connection); });
    QObject::connect(&state.write_, &QSocketNotifier::activated,
                     [this, &connection] { Writable(connection); });
    state.read_.setEnabled(true);
    // One write event once the new connection is writable.
    state.write_.setEnabled(true);
    if (owner_.OnClientConnect) {
        owner_.OnClientConnect(connection);
    }
}

void ServerSocket::Impl::CloseConnection(ServerConnection& connection) {
    ServerConnection::Impl& state = Of(connection);
    if (!state.connected_) {
        return;
    }
    state.Stop();
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [&](const auto& held) { return held.get() == &connection; });
    if (it != connections_.end()) {
        closed_.push_back(std::move(*it));
        connections_.erase(it);
        post_.start(0);
    }
    if (owner_.OnClientDisconnect) {
        owner_.OnClientDisconnect(connection);
    }
}

void ServerSocket::Impl::Readable(ServerConnection& connection) {
    ServerConnection::Impl& state = Of(connection);
    if (!state.connected_) {
        return;
    }
    if (state.error_pending_) {
        DeliverError(connection, *std::exchange(state.error_pending_, std::nullopt));
        return;
    }
    int code = 0;
    switch (detail::Peek(state.fd_.get(), code)) {
    case detail::PeekResult::Nothing:
        return;
    case detail::PeekResult::PeerClosed:
        CloseConnection(connection);
        return;
    case detail::PeekResult::Failed:
        DeliverError(connection, {ErrorEvent::Receive, code});
        return;
    case detail::PeekResult::Data:
        break;
    }
    state.received_ = false;
    if (owner_.OnClientRead) {
        owner_.OnClientRead(connection);
    }
    if (state.connected_ && !state.received_) {
        // Nothing was read: no further read event until something is.
        state.read_.setEnabled(false);
    }
}

void ServerSocket::Impl::Writable(ServerConnection& connection) {
    ServerConnection::Impl& state = Of(connection);
    state.write_.setEnabled(false);
    if (state.connected_ && owner_.OnClientWrite) {
        owner_.OnClientWrite(connection);
    }
}

int ServerSocket::Impl::ReceiveBuf(ServerConnection& connection, void* data, int count) {
    ServerConnection::Impl& state = Of(connection);
    if (!state.connected_ || state.error_pending_ || count < 0) {
        return -1;
    }
    state.received_ = true;
    state.read_.setEnabled(true);
    if (count == 0) {
        return 0;
    }
    const ssize_t n = ::recv(state.fd_.get(), data, static_cast<std::size_t>(count), MSG_DONTWAIT);
    if (n >= 0) {
        return static_cast<int>(n);
    }
    if (!detail::WouldBlock(errno)) {
        state.error_pending_ = PendingError{ErrorEvent::Receive, detail::SocketErrorCode(errno)};
        post_.start(0);
    }
    return -1;
}

void ServerSocket::Impl::DeliverError(ServerConnection& connection, PendingError error) {
    int code = error.code;
    if (owner_.OnClientError) {
        owner_.OnClientError(connection, error.event, code);
    }
    if (code != 0) {
        detail::ReportUnhandled(error.event, code);
    }
    CloseConnection(connection);
}

void ServerSocket::Impl::RunPosted() {
    closed_.clear();
    std::vector<ServerConnection*> failed;
    for (const auto& connection : connections_) {
        if (Of(*connection).error_pending_) {
            failed.push_back(connection.get());
        }
    }
    for (ServerConnection* connection : failed) {
        ServerConnection::Impl& state = Of(*connection);
        if (state.connected_ && state.error_pending_) {
            DeliverError(*connection, *std::exchange(state.error_pending_, std::nullopt));
        }
    }
}

ServerConnection::ServerConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ServerConnection::~ServerConnection() = default;
Ipv4 ServerConnection::RemoteAddress() const {
    return impl_->remote_;
}
int ServerConnection::RemotePort() const {
    return impl_->remote_port_;
}
int ServerConnection::ReceiveLength() {
    return impl_->connected_ ? detail::ReadableBytes(impl_->fd_.get()) : 0;
}
int ServerConnection::ReceiveBuf(void* data, int count) {
    return impl_->server_->ReceiveBuf(*this, data, count);
}
void ServerConnection::Close() {
    impl_->server_->CloseConnection(*this);
}
bool ServerConnection::Connected() const {
    return impl_->connected_;
}

ServerSocket::ServerSocket() : impl_(std::make_unique<Impl>(*this)) {}
ServerSocket::~ServerSocket() = default;
bool ServerSocket::Open(int port) {
    return impl_->Open(port);
}
void ServerSocket::Close() {
    impl_->Close();
}
bool ServerSocket::Active() const {
    return impl_->Active();
}
int ServerSocket::ActiveConnections() const {
    return impl_->Count();
}
ServerConnection& ServerSocket::Connection(int index) {
    return impl_->At(index);
}

} // namespace net
