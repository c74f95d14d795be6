#include "ui/network/server_socket_adapter.h"

namespace station {

class ServerSocketAdapter::Connected : public ServerConnectionPort {
public:
    explicit Connected(net::ServerConnection& connection) : connection_(connection) {}

    Ipv4 RemoteAddress() const override { return connection_.RemoteAddress(); }
    int RemotePort() const override { return connection_.RemotePort(); }
    int ReceiveLength() override { return connection_.ReceiveLength(); }
    int ReceiveBuf(std::uint8_t* data, int count) override {
        return connection_.ReceiveBuf(data, count);
    }
    void Close() override { connection_.Close(); }

private:
    net::ServerConnection& connection_;
};

ServerSocketAdapter::ServerSocketAdapter() {
    free_closed_.setSingleShot(true);
    QObject::connect(&free_closed_, &QTimer::timeout, [this] { closed_.clear(); });
    socket_.OnClientConnect = [this](net::ServerConnection& connection) {
        ServerConnectionPort& port = Port(connection);
        if (events_ != nullptr) {
            events_->OnClientConnect(port);
        }
    };
    socket_.OnClientDisconnect = [this](net::ServerConnection& connection) {
        Disconnected(connection);
    };
    socket_.OnClientRead = [this](net::ServerConnection& connection) {
        ServerConnectionPort& port = Port(connection);
        if (events_ != nullptr) {
            events_->OnClientRead(port);
        }
    };
    socket_.OnClientWrite = [this](net::ServerConnection& connection) {
        ServerConnectionPort& port = Port(connection);
        if (events_ != nullptr) {
            events_->OnClientWrite(port);
        }
    };
    socket_.OnClientError = [this](net::ServerConnection& connection, net::ErrorEvent, int& code) {
        ServerConnectionPort& port = Port(connection);
        if (events_ != nullptr) {
            events_->OnClientError(port, code);
        }
    };
}

// The component closes without events when it goes.
ServerSocketAdapter::~ServerSocketAdapter() = default;

ServerSocketAdapter::Connected& ServerSocketAdapter::Port(net::ServerConnection& connection) {
    std::unique_ptr<Connected>& port = ports_[&connection];
    if (!port) {
        port = std::make_unique<Connected>(connection);
    }
    return *port;
}

void ServerSocketAdapter::Disconnected(net::ServerConnection& connection) {
    Connected& port = Port(connection);
    if (events_ != nullptr) {
        events_->OnClientDisconnect(port);
    }
    const auto it = ports_.find(&connection);
    if (it != ports_.end()) {
        closed_.push_back(std::move(it->second));
        ports_.erase(it);
        free_closed_.start(0);
    }
}

bool ServerSocketAdapter::Open(int port) {
    return socket_.Open(port);
}

void ServerSocketAdapter::Close() {
    socket_.Close();
}

bool ServerSocketAdapter::Active() const {
    return socket_.Active();
}

int ServerSocketAdapter::ActiveConnections() const {
    return socket_.ActiveConnections();
}

ServerConnectionPort& ServerSocketAdapter::Connection(int index) {
    return Port(socket_.Connection(index));
}

} // namespace station
