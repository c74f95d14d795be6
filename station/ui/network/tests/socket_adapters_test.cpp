// The socket components behind the engine's socket ports, over loopback: a link's client
// socket connected to the listening socket, events reaching the engine's interfaces, the
// connection ports keeping their identity and staying valid after Close.
#include "ui/network/client_socket_adapter.h"
#include "ui/network/server_socket_adapter.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace station {
namespace {

void RunLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        RunLoopFor(2);
    }
    return true;
}

// Port 0 lets the system choose; the tests take a port from a listener they close.
int FreePort() {
    ServerSocketAdapter probe;
    for (int port = 47000; port < 48000; ++port) {
        if (probe.Open(port)) {
            probe.Close();
            return port;
        }
    }
    return 0;
}

struct ClientEvents : ClientSocketEvents {
    void OnLookup() override { log.push_back("lookup"); }
    void OnConnecting() override { log.push_back("connecting"); }
    void OnConnected() override { log.push_back("connected"); }
    void OnRead() override { log.push_back("read"); }
    void OnWrite() override { log.push_back("write"); }
    void OnDisconnected() override { log.push_back("disconnected"); }
    void OnError(int& code) override {
        log.push_back("error " + std::to_string(code));
        code = 0;
        if (socket != nullptr) {
            socket->Close();
        }
    }
    std::vector<std::string> log;
    ClientSocketPort* socket = nullptr;
};

struct ServerEvents : ServerSocketEvents {
    void OnClientConnect(ServerConnectionPort& c) override { Note("connect", c); }
    void OnClientDisconnect(ServerConnectionPort& c) override { Note("disconnect", c); }
    void OnClientWrite(ServerConnectionPort& c) override { Note("write", c); }
    void OnClientError(ServerConnectionPort& c, int& code) override {
        Note("error", c);
        code = 0;
        c.Close();
    }
    void OnClientRead(ServerConnectionPort& c) override {
        Note("read", c);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(c.ReceiveLength()));
        const int n = c.ReceiveBuf(bytes.data(), static_cast<int>(bytes.size()));
        if (n > 0) {
            received.append(bytes.begin(), bytes.begin() + n);
        }
        if (close_on_read) {
            c.Close();
            // Still valid after its own Close.
            port_after_close = c.RemotePort();
        }
    }
    void Note(const std::string& what, ServerConnectionPort& c) {
        log.push_back(what);
        ports.push_back(&c);
    }
    std::vector<std::string> log;
    std::vector<ServerConnectionPort*> ports;
    std::string received;
    bool close_on_read = false;
    int port_after_close = 0;
};

TEST(SocketAdapters, ALinksClientReachesTheListeningSocket) {
    ServerEvents serverEvents;
    ServerSocketAdapter server;
    server.SetEvents(&serverEvents);
    const int port = FreePort();
    ASSERT_TRUE(server.Open(port));
    EXPECT_TRUE(server.Active());

    ClientEvents clientEvents;
    ClientSocketAdapter client(clientEvents);
    clientEvents.socket = &client;
    ASSERT_TRUE(client.Open("127.0.0.1", port));
    EXPECT_TRUE(clientEvents.log.empty());
    EXPECT_EQ(client.RemoteAddress(), 0u) << "an address before the connect";
    ASSERT_TRUE(RunLoopUntil([&] { return client.Active() && server.ActiveConnections() == 1; }));
    EXPECT_EQ(client.RemoteAddress(), 0x7F000001u);
    ASSERT_TRUE(RunLoopUntil([&] { return clientEvents.log.size() == 4; }));
    EXPECT_EQ(clientEvents.log,
              (std::vector<std::string>{"lookup", "connecting", "connected", "write"}));

    // The connection's port is one object for the list and every event.
    ServerConnectionPort& listed = server.Connection(0);
    EXPECT_EQ(listed.RemoteAddress(), 0x7F000001u);
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(client.SendBuf(bytes, 5), 5);
    ASSERT_TRUE(RunLoopUntil([&] { return serverEvents.received.size() == 5; }));
    EXPECT_EQ(serverEvents.received, std::string("\1\2\3\4\5"));
    for (ServerConnectionPort* p : serverEvents.ports) {
        EXPECT_EQ(p, &listed);
    }

    // The connection closed inside its own read event stays valid; the client sees the close.
    serverEvents.close_on_read = true;
    const int clientPort = listed.RemotePort();
    EXPECT_EQ(client.SendBuf(bytes, 1), 1);
    ASSERT_TRUE(RunLoopUntil([&] { return serverEvents.log.back() == "disconnect"; }));
    EXPECT_EQ(serverEvents.port_after_close, clientPort);
    EXPECT_EQ(server.ActiveConnections(), 0);
    ASSERT_TRUE(RunLoopUntil([&] { return clientEvents.log.back() == "disconnected"; }));
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(client.RemoteAddress(), 0u);
}

TEST(SocketAdapters, AFailedConnectIsAnErrorThenADisconnect) {
    ClientEvents events;
    ClientSocketAdapter client(events);
    events.socket = &client;
    EXPECT_FALSE(client.Open("not an address", 1018));
    EXPECT_FALSE(client.Open("127.0.0.1", 0));
    ASSERT_TRUE(client.Open("127.0.0.1", FreePort()));
    ASSERT_TRUE(RunLoopUntil([&] { return events.log.size() == 4; }));
    EXPECT_EQ(events.log,
              (std::vector<std::string>{"lookup", "connecting", "error 10061", "disconnected"}));
}

TEST(SocketAdapters, ClosingTheServerDisconnectsEveryConnection) {
    ServerEvents serverEvents;
    ServerSocketAdapter server;
    server.SetEvents(&serverEvents);
    const int port = FreePort();
    ASSERT_TRUE(server.Open(port));
    ClientEvents e1;
    ClientEvents e2;
    ClientSocketAdapter c1(e1);
    ClientSocketAdapter c2(e2);
    ASSERT_TRUE(c1.Open("127.0.0.1", port));
    ASSERT_TRUE(c2.Open("127.0.0.1", port));
    ASSERT_TRUE(RunLoopUntil([&] { return server.ActiveConnections() == 2; }));
    server.Close();
    EXPECT_FALSE(server.Active());
    int disconnects = 0;
    for (const std::string& e : serverEvents.log) {
        disconnects += e == "disconnect";
    }
    EXPECT_EQ(disconnects, 2);
    ASSERT_TRUE(RunLoopUntil([&] { return !c1.Active() && !c2.Active(); }));
}

} // namespace
} // namespace station
