#include "ui/network/client_socket_adapter.h"

namespace station {

ClientSocketAdapter::ClientSocketAdapter(ClientSocketEvents& events) {
    socket_.OnLookup = [&events] { events.OnLookup(); };
    socket_.OnConnecting = [&events] { events.OnConnecting(); };
    socket_.OnConnect = [&events] { events.OnConnected(); };
    socket_.OnRead = [&events] { events.OnRead(); };
    socket_.OnWrite = [&events] { events.OnWrite(); };
    socket_.OnDisconnect = [&events] { events.OnDisconnected(); };
    socket_.OnError = [&events](net::ErrorEvent, int& code) { events.OnError(code); };
}

bool ClientSocketAdapter::Open(const std::string& address, int port) {
    return socket_.Open(address, port);
}

void ClientSocketAdapter::Close() {
    socket_.Close();
}

bool ClientSocketAdapter::Active() const {
    return socket_.Active();
}

int ClientSocketAdapter::SendBuf(const std::uint8_t* data, int count) {
    return socket_.SendBuf(data, count);
}

Ipv4 ClientSocketAdapter::RemoteAddress() const {
    return socket_.Active() ? socket_.RemoteAddress() : 0;
}

} // namespace station
