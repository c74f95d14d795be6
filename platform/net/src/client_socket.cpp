#include "net/client_socket.h"

#include "socket_fd.h"

#include <QSocketNotifier>
#include <QTimer>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

namespace net {

namespace {

// Bytes dropped per read event at most (chunks x chunk size); the rest waits for the next one.
constexpr std::size_t kDropChunk = 16 * 1024;
constexpr int kDropChunksPerEvent = 64;

struct PendingError {
    ErrorEvent event;
    int code;
};

} // namespace

class ClientSocket::Impl {
public:
    explicit Impl(ClientSocket& owner) : owner_(owner) {
        post_.setSingleShot(true);
        QObject::connect(&post_, &QTimer::timeout, [this] { RunPosted(); });
        QObject::connect(&read_, &QSocketNotifier::activated, [this] { Readable(); });
        QObject::connect(&write_, &QSocketNotifier::activated, [this] { Writable(); });
    }

    ~Impl() { Stop(); }

    bool Open(const std::string& address, int port);
    void Close();
    bool Active() const { return state_ == State::Connected; }
    int SendBuf(const void* data, int count);
    Ipv4 RemoteAddress() const { return state_ == State::Closed ? 0 : remote_; }
    int RemotePort() const { return state_ == State::Closed ? 0 : remote_port_; }

private:
    enum class State { Closed, Connecting, Connected };

    // Calls an event handler; false when the connection it belonged to has closed meanwhile.
    bool Fire(const std::function<void()>& handler) {
        const std::uint64_t epoch = epoch_;
        if (handler) {
            handler();
        }
        return epoch == epoch_;
    }

    void RunPosted();
    void Start();
    void Connected();
    void Readable();
    void Writable();
    void DeliverError(PendingError error);
    void DropArrived();
    // Releases the connection without events.
    void Stop();

    ClientSocket& owner_;
    State state_ = State::Closed;
    // Counts connections; an event of an earlier one is dropped.
    std::uint64_t epoch_ = 0;
    Ipv4 remote_ = 0;
    int remote_port_ = 0;
    // The connect call's errno, kept until the start step delivers its outcome.
    int connect_errno_ = 0;
    bool start_pending_ = false;
    std::optional<PendingError> error_pending_;
    detail::SocketFd fd_;
    QSocketNotifier read_{QSocketNotifier::Read};
    QSocketNotifier write_{QSocketNotifier::Write};
    QTimer post_;
};

bool ClientSocket::Impl::Open(const std::string& address, int port) {
    if (state_ != State::Closed || port < 1 || port > 65535) {
        return false;
    }
    const std::optional<Ipv4> remote = ParseDottedAddress(address);
    if (!remote) {
        return false;
    }
    detail::SocketFd fd = detail::NewStreamSocket();
    if (!fd) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(*remote);
    const int rc = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    connect_errno_ = rc == 0 ? 0 : errno;
    fd_ = std::move(fd);
    read_.setSocket(fd_.get());
    write_.setSocket(fd_.get());
    remote_ = *remote;
    remote_port_ = port;
    state_ = State::Connecting;
    ++epoch_;
    // Even an outcome known now is delivered from the loop, after lookup and connecting.
    start_pending_ = true;
    post_.start(0);
    return true;
}

void ClientSocket::Impl::RunPosted() {
    if (error_pending_) {
        DeliverError(*std::exchange(error_pending_, std::nullopt));
        return;
    }
    if (start_pending_) {
        start_pending_ = false;
        Start();
    }
}

void ClientSocket::Impl::Start() {
    if (!Fire(owner_.OnLookup) || !Fire(owner_.OnConnecting)) {
        return;
    }
    if (connect_errno_ == 0) {
        Connected();
    } else if (connect_errno_ == EINPROGRESS || connect_errno_ == EINTR) {
        write_.setEnabled(true);
    } else {
        DeliverError({ErrorEvent::Connect, detail::SocketErrorCode(connect_errno_)});
    }
}

void ClientSocket::Impl::Connected() {
    state_ = State::Connected;
    read_.setEnabled(true);
    // One write event once the new connection is writable.
    write_.setEnabled(true);
    Fire(owner_.OnConnect);
}

void ClientSocket::Impl::Writable() {
    write_.setEnabled(false);
    if (state_ == State::Connecting) {
        const int error = detail::PendingError(fd_.get());
        if (error == 0) {
            Connected();
        } else {
            DeliverError({ErrorEvent::Connect, detail::SocketErrorCode(error)});
        }
    } else if (state_ == State::Connected) {
        if (error_pending_) {
            DeliverError(*std::exchange(error_pending_, std::nullopt));
            return;
        }
        Fire(owner_.OnWrite);
    }
}

void ClientSocket::Impl::Readable() {
    if (state_ != State::Connected) {
        return;
    }
    // A send error already seen comes before what the read check finds.
    if (error_pending_) {
        DeliverError(*std::exchange(error_pending_, std::nullopt));
        return;
    }
    int code = 0;
    switch (detail::Peek(fd_.get(), code)) {
    case detail::PeekResult::Nothing:
        return;
    case detail::PeekResult::PeerClosed:
        Close();
        return;
    case detail::PeekResult::Failed:
        DeliverError({ErrorEvent::Receive, code});
        return;
    case detail::PeekResult::Data:
        break;
    }
    if (Fire(owner_.OnRead)) {
        DropArrived();
    }
}

void ClientSocket::Impl::DropArrived() {
    std::array<char, kDropChunk> sink;
    for (int i = 0; i < kDropChunksPerEvent; ++i) {
        const ssize_t n = ::recv(fd_.get(), sink.data(), sink.size(), MSG_DONTWAIT);
        if (n > 0) {
            continue;
        }
        if (n == 0) {
            Close();
        } else if (!detail::WouldBlock(errno)) {
            DeliverError({ErrorEvent::Receive, detail::SocketErrorCode(errno)});
        }
        return;
    }
}

void ClientSocket::Impl::DeliverError(PendingError error) {
    const std::uint64_t epoch = epoch_;
    int code = error.code;
    if (owner_.OnError) {
        owner_.OnError(error.event, code);
    }
    if (code != 0) {
        detail::ReportUnhandled(error.event, code);
    }
    if (epoch == epoch_) {
        Close();
    }
}

int ClientSocket::Impl::SendBuf(const void* data, int count) {
    if (state_ != State::Connected || error_pending_ || count < 0) {
        return -1;
    }
    if (count == 0) {
        return 0;
    }
    const ssize_t n =
        ::send(fd_.get(), data, static_cast<std::size_t>(count), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
        return static_cast<int>(n);
    }
    if (detail::WouldBlock(errno)) {
        write_.setEnabled(true);
    } else {
        error_pending_ = PendingError{ErrorEvent::Send, detail::SocketErrorCode(errno)};
        post_.start(0);
    }
    return -1;
}

void ClientSocket::Impl::Stop() {
    ++epoch_;
    state_ = State::Closed;
    start_pending_ = false;
    error_pending_.reset();
    post_.stop();
    read_.setEnabled(false);
    write_.setEnabled(false);
    read_.setSocket(-1);
    write_.setSocket(-1);
    fd_.reset();
}

void ClientSocket::Impl::Close() {
    if (state_ == State::Closed) {
        return;
    }
    Stop();
    if (owner_.OnDisconnect) {
        owner_.OnDisconnect();
    }
}

ClientSocket::ClientSocket() : impl_(std::make_unique<Impl>(*this)) {}
ClientSocket::~ClientSocket() = default;
bool ClientSocket::Open(const std::string& address, int port) {
    return impl_->Open(address, port);
}
void ClientSocket::Close() {
    impl_->Close();
}
bool ClientSocket::Active() const {
    return impl_->Active();
}
int ClientSocket::SendBuf(const void* data, int count) {
    return impl_->SendBuf(data, count);
}
Ipv4 ClientSocket::RemoteAddress() const {
    return impl_->RemoteAddress();
}
int ClientSocket::RemotePort() const {
    return impl_->RemotePort();
}

} // namespace net
