// The listening socket over loopback: where it listens, the connection list, the limits, the
// reading rules, Close from anywhere, errors.
#include "net/server_socket.h"

#include "loopback.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using net::ErrorEvent;
using net::ServerConnection;
using net::ServerSocket;
using net_test::RawSocket;
using net_test::RunLoopFor;
using net_test::RunLoopUntil;

// Records the events by kind and remote port ("connect 40001").
struct Recorder {
    explicit Recorder(ServerSocket& server) : server(server) {
        auto note = [this](const char* name) {
            return [this, name](ServerConnection& connection) { Note(name, connection); };
        };
        server.OnClientConnect = note("connect");
        server.OnClientDisconnect = note("disconnect");
        server.OnClientWrite = note("write");
        server.OnClientRead = [this](ServerConnection& connection) {
            Note("read", connection);
            if (read_all) {
                std::string bytes(static_cast<std::size_t>(connection.ReceiveLength()), '\0');
                const int n = connection.ReceiveBuf(bytes.data(), static_cast<int>(bytes.size()));
                if (n > 0) {
                    received += bytes.substr(0, static_cast<std::size_t>(n));
                }
            }
        };
        server.OnClientError = [this](ServerConnection& connection, ErrorEvent event, int& code) {
            Note("error " + std::to_string(static_cast<int>(event)) + " " + std::to_string(code),
                 connection);
            code = 0;
        };
    }
    void Note(const std::string& name, ServerConnection& connection) {
        events.push_back(name + " " + std::to_string(connection.RemotePort()));
        if (on_event) {
            on_event(name, connection);
        }
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const std::string& event : events) {
            n += event.rfind(name + " ", 0) == 0;
        }
        return n;
    }
    std::vector<int> ListedPorts() const {
        std::vector<int> ports;
        for (int i = 0; i < server.ActiveConnections(); ++i) {
            ports.push_back(server.Connection(i).RemotePort());
        }
        return ports;
    }

    ServerSocket& server;
    std::vector<std::string> events;
    bool read_all = true;
    std::string received;
    std::function<void(const std::string&, ServerConnection&)> on_event;
};

std::string Event(const std::string& name, const RawSocket& peer) {
    return name + " " + std::to_string(peer.Port());
}

struct Listening {
    Listening() : port(net_test::FreePort()), recorder(server) { EXPECT_TRUE(server.Open(port)); }
    // Connects a peer and runs the loop until the server lists it.
    RawSocket Join(const std::string& to = "127.0.0.1", const std::string& from = {}) {
        RawSocket peer = RawSocket::Connect(to, port, from);
        EXPECT_TRUE(peer.valid());
        const int before = recorder.Count("connect");
        EXPECT_TRUE(RunLoopUntil([&] { return recorder.Count("connect") > before; }));
        return peer;
    }
    int port;
    ServerSocket server;
    Recorder recorder;
};

TEST(ServerSocket, ListensOnAllIpv4AddressesAndReportsThePeer) {
    Listening listening;
    EXPECT_TRUE(listening.server.Active());
    RawSocket first = listening.Join("127.0.0.1", "127.0.0.3");
    RawSocket second = listening.Join("127.0.0.2");
    ASSERT_EQ(listening.server.ActiveConnections(), 2);
    EXPECT_EQ(listening.server.Connection(0).RemoteAddress(), 0x7F000003u);
    EXPECT_EQ(listening.server.Connection(0).RemotePort(), first.Port());
    EXPECT_EQ(listening.server.Connection(1).RemoteAddress(), 0x7F000001u);
    EXPECT_EQ(listening.server.Connection(1).RemotePort(), second.Port());
    EXPECT_TRUE(RunLoopUntil([&] { return listening.recorder.Count("write") == 2; }));
    EXPECT_EQ(listening.recorder.events,
              (std::vector<std::string>{Event("connect", first), Event("write", first),
                                        Event("connect", second), Event("write", second)}));
    EXPECT_THROW(listening.server.Connection(2), std::out_of_range);
    EXPECT_FALSE(listening.server.Open(listening.port)) << "opened twice";
}

TEST(ServerSocket, KeepsConnectionsInAcceptOrder) {
    Listening listening;
    std::vector<RawSocket> peers;
    for (int i = 0; i < 5; ++i) {
        peers.push_back(RawSocket::Connect("127.0.0.1", listening.port));
    }
    ASSERT_TRUE(RunLoopUntil([&] { return listening.server.ActiveConnections() == 5; }));
    std::vector<int> ports;
    for (const RawSocket& peer : peers) {
        ports.push_back(peer.Port());
    }
    EXPECT_EQ(listening.recorder.ListedPorts(), ports);

    // The second and the fourth go, each its own way; the rest keep their order.
    listening.server.Connection(1).Close();
    peers[3].Close();
    ASSERT_TRUE(RunLoopUntil([&] { return listening.server.ActiveConnections() == 3; }));
    EXPECT_EQ(listening.recorder.ListedPorts(), (std::vector<int>{ports[0], ports[2], ports[4]}));
    EXPECT_TRUE(peers[1].WaitForClose());
}

TEST(ServerSocket, ReusesItsAddressAndCloseEndsEveryConnectionInOrder) {
    Listening listening;
    RawSocket first = listening.Join();
    RawSocket second = listening.Join();
    listening.recorder.events.clear();
    listening.server.Close();
    EXPECT_FALSE(listening.server.Active());
    EXPECT_EQ(listening.server.ActiveConnections(), 0);
    EXPECT_EQ(listening.recorder.events,
              (std::vector<std::string>{Event("disconnect", first), Event("disconnect", second)}));
    EXPECT_TRUE(first.WaitForClose());
    EXPECT_TRUE(second.WaitForClose());
    // This side closed first, so its old connections wait out their time on the port.
    EXPECT_TRUE(listening.server.Open(listening.port));
    RawSocket third = listening.Join();
    EXPECT_EQ(listening.server.ActiveConnections(), 1);
}

TEST(ServerSocket, HoldsAtMost64ConnectionsAndRefusesMore) {
    Listening listening;
    std::vector<RawSocket> peers;
    for (int i = 0; i < ServerSocket::kMaxConnections + 6; ++i) {
        peers.push_back(RawSocket::Connect("127.0.0.1", listening.port));
        ASSERT_TRUE(peers.back().valid());
    }
    RunLoopUntil([&] { return listening.server.ActiveConnections() == 64; });
    RunLoopFor(100);
    EXPECT_EQ(listening.server.ActiveConnections(), ServerSocket::kMaxConnections);
    EXPECT_EQ(listening.recorder.Count("connect"), ServerSocket::kMaxConnections);
    for (int i = ServerSocket::kMaxConnections; i < static_cast<int>(peers.size()); ++i) {
        EXPECT_TRUE(peers[static_cast<std::size_t>(i)].WaitForClose()) << "peer " << i;
    }
    // Room made: the next one is taken.
    peers.front().Close();
    ASSERT_TRUE(RunLoopUntil([&] { return listening.server.ActiveConnections() == 63; }));
    RawSocket late = listening.Join();
    EXPECT_EQ(listening.server.ActiveConnections(), ServerSocket::kMaxConnections);
    EXPECT_EQ(listening.server.Connection(63).RemotePort(), late.Port());
}

TEST(ServerSocket, DoesNotSpinWhileNoDescriptorIsLeftForAnAccept) {
    Listening listening;
    RawSocket waiting = RawSocket::Connect("127.0.0.1", listening.port);
    ASSERT_TRUE(waiting.valid());

    // Use up the descriptors under a lowered limit.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> filler;
    for (int fd; (fd = ::dup(waiting.fd())) >= 0;) {
        filler.push_back(fd);
    }
    const long cpu = net_test::CpuMs();
    RunLoopFor(500);
    const long used = net_test::CpuMs() - cpu;
    for (const int fd : filler) {
        ::close(fd);
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_LT(used, 200) << "the accept was retried without a pause";
    EXPECT_EQ(listening.server.ActiveConnections(), 0);

    // Descriptors back: the waiting connection is taken.
    EXPECT_TRUE(RunLoopUntil([&] { return listening.server.ActiveConnections() == 1; }));
    EXPECT_EQ(listening.server.Connection(0).RemotePort(), waiting.Port());
}

TEST(ServerSocket, ReadsWhatArrivesAndSeesThePeersClose) {
    Listening listening;
    RawSocket peer = listening.Join();
    peer.SendAll("first ");
    ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.received == "first "; }));
    peer.SendAll("second");
    peer.Close();
    ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.Count("disconnect") == 1; }));
    EXPECT_EQ(listening.recorder.received, "first second");
    EXPECT_EQ(listening.server.ActiveConnections(), 0);
}

TEST(ServerSocket, AHandlerThatReadsNothingGetsOneReadEventUntilItReads) {
    Listening listening;
    listening.recorder.read_all = false;
    RawSocket peer = listening.Join();
    peer.SendAll("unread");
    ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.Count("read") == 1; }));
    const long cpu = net_test::CpuMs();
    RunLoopFor(300);
    EXPECT_LT(net_test::CpuMs() - cpu, 150);
    EXPECT_EQ(listening.recorder.Count("read"), 1);

    // Reading part of it brings the next read event for the rest.
    char byte = 0;
    EXPECT_EQ(listening.server.Connection(0).ReceiveLength(), 6);
    EXPECT_EQ(listening.server.Connection(0).ReceiveBuf(&byte, 1), 1);
    EXPECT_EQ(byte, 'u');
    listening.recorder.read_all = true;
    ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.received == "nread"; }));
}

TEST(ServerSocket, CloseInsideEachOwnHandlerKeepsTheConnectionValid) {
    for (const std::string handler : {"connect", "write", "read", "error"}) {
        SCOPED_TRACE(handler);
        Listening listening;
        int disconnects_inside = -1;
        int port_after_close = 0;
        listening.recorder.on_event = [&](const std::string& name, ServerConnection& connection) {
            if (name.rfind(handler, 0) == 0) {
                const int before = listening.recorder.Count("disconnect");
                connection.Close();
                disconnects_inside = listening.recorder.Count("disconnect") - before;
                port_after_close = connection.RemotePort();
                EXPECT_FALSE(connection.Connected());
                EXPECT_EQ(listening.server.ActiveConnections(), 0);
                connection.Close();
            }
        };
        RawSocket peer = RawSocket::Connect("127.0.0.1", listening.port);
        const int peer_port = peer.Port();
        if (handler == "read") {
            peer.SendAll("x");
        }
        if (handler == "error") {
            ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.Count("write") == 1; }));
            peer.Abort();
        }
        ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.Count("disconnect") == 1; }));
        RunLoopFor(50);
        EXPECT_EQ(disconnects_inside, 1);
        EXPECT_EQ(port_after_close, peer_port);
        EXPECT_EQ(listening.recorder.Count("disconnect"), 1);
        EXPECT_EQ(listening.recorder.events.back(), "disconnect " + std::to_string(peer_port));
    }
}

TEST(ServerSocket, AResetComesAsAnErrorEventThenTheConnectionCloses) {
    Listening listening;
    RawSocket peer = listening.Join();
    const std::string port = std::to_string(peer.Port());
    ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.Count("write") == 1; }));
    listening.recorder.events.clear();
    testing::internal::CaptureStderr();
    peer.Abort();
    ASSERT_TRUE(RunLoopUntil([&] { return listening.recorder.Count("disconnect") == 1; }));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a cleared code was reported";
    const std::string error = "error " + std::to_string(static_cast<int>(ErrorEvent::Receive)) +
                              " " + std::to_string(net::WSAECONNRESET);
    EXPECT_EQ(listening.recorder.events,
              (std::vector<std::string>{error + " " + port, "disconnect " + port}));
    EXPECT_EQ(listening.server.ActiveConnections(), 0);
}

} // namespace
