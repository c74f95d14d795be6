// The client socket over loopback: when its events come, what Active says, how sends are
// refused and resumed, what Close does from anywhere, and how arriving bytes are dropped.
#include "net/client_socket.h"

#include "loopback.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using net::ClientSocket;
using net::ErrorEvent;
using net_test::RawSocket;
using net_test::RunLoopFor;
using net_test::RunLoopUntil;

// Records every event as text, with Active as the handler saw it ("connect+" = active).
struct Recorder {
    explicit Recorder(ClientSocket& socket) : socket(socket) {
        auto note = [this](const char* name) { return [this, name] { Note(name); }; };
        socket.OnLookup = note("lookup");
        socket.OnConnecting = note("connecting");
        socket.OnConnect = note("connect");
        socket.OnRead = note("read");
        socket.OnWrite = note("write");
        socket.OnDisconnect = note("disconnect");
        socket.OnError = [this](ErrorEvent event, int& code) {
            Note("error " + std::to_string(static_cast<int>(event)) + " " + std::to_string(code));
            if (clear_errors) {
                code = 0;
            }
        };
    }
    void Note(const std::string& name) {
        events.push_back(name + (socket.Active() ? "+" : ""));
        if (on_event) {
            on_event(name);
        }
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const std::string& event : events) {
            n += event == name || event == name + "+";
        }
        return n;
    }

    ClientSocket& socket;
    std::vector<std::string> events;
    bool clear_errors = true;
    std::function<void(const std::string&)> on_event;
};

std::string ErrorText(ErrorEvent event, int code) {
    return "error " + std::to_string(static_cast<int>(event)) + " " + std::to_string(code);
}

// A client connected to a raw peer, with the loop run until the connect and its write event.
struct Connected {
    Connected() : listener(RawSocket::Listen(0)), recorder(socket) {
        EXPECT_TRUE(socket.Open("127.0.0.1", listener.Port()));
        peer = listener.Accept();
        EXPECT_TRUE(RunLoopUntil([&] { return recorder.Count("write") == 1; }));
        recorder.events.clear();
    }
    RawSocket listener;
    RawSocket peer;
    ClientSocket socket;
    Recorder recorder;
};

TEST(ClientSocket, ConnectOutcomeComesOnlyFromTheLoopInOrder) {
    RawSocket listener = RawSocket::Listen(0);
    const struct {
        const char* name;
        int port;
        std::vector<std::string> events;
    } cases[] = {
        {"listening peer", listener.Port(), {"lookup", "connecting", "connect+", "write+"}},
        {"nobody listens",
         net_test::FreePort(),
         {"lookup", "connecting", ErrorText(ErrorEvent::Connect, net::WSAECONNREFUSED),
          "disconnect"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientSocket socket;
        Recorder recorder(socket);
        ASSERT_TRUE(socket.Open("127.0.0.1", c.port));
        EXPECT_TRUE(recorder.events.empty()) << "an event inside Open";
        EXPECT_FALSE(socket.Active());
        EXPECT_EQ(socket.RemoteAddress(), 0x7F000001u);
        EXPECT_EQ(socket.RemotePort(), c.port);
        EXPECT_TRUE(RunLoopUntil([&] { return recorder.events.size() >= c.events.size(); }));
        RunLoopFor(50);
        EXPECT_EQ(recorder.events, c.events);
        socket.Close();
    }
}

TEST(ClientSocket, OpenThatCannotStartGivesFalseAndNoEvents) {
    const int port = net_test::FreePort();
    const struct {
        const char* address;
        int port;
    } cases[] = {{"", port},          {"localhost", port},  {"127.0.0", port},
                 {"256.0.0.1", port}, {"1.2.3.4.5", port},  {" 127.0.0.1", port},
                 {"127.0.0.1", 0},    {"127.0.0.1", 65536}, {"127.0.0.1", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + ":" + std::to_string(c.port));
        ClientSocket socket;
        Recorder recorder(socket);
        EXPECT_FALSE(socket.Open(c.address, c.port));
        RunLoopFor(20);
        EXPECT_TRUE(recorder.events.empty());
        EXPECT_EQ(socket.RemoteAddress(), 0u);
    }
    // A socket that is not closed does not open again.
    Connected link;
    EXPECT_FALSE(link.socket.Open("127.0.0.1", link.listener.Port()));
    EXPECT_TRUE(link.socket.Active());
}

TEST(ClientSocket, ActiveOnlyFromConnectUntilClose) {
    Connected link;
    EXPECT_TRUE(link.socket.Active());
    link.peer.Close();
    EXPECT_TRUE(RunLoopUntil([&] { return link.recorder.Count("disconnect") == 1; }));
    EXPECT_EQ(link.recorder.events.back(), "disconnect");
    EXPECT_FALSE(link.socket.Active());
    EXPECT_EQ(link.socket.RemoteAddress(), 0u);
    // Closed: it opens again.
    EXPECT_TRUE(link.socket.Open("127.0.0.1", link.listener.Port()));
    RawSocket again = link.listener.Accept();
    EXPECT_TRUE(RunLoopUntil([&] { return link.socket.Active(); }));
}

TEST(ClientSocket, SendGivesCountOrMinusOneAndOneWriteEventAfterWouldBlock) {
    Connected link;
    const std::string block(64 * 1024, 'x');
    EXPECT_EQ(link.socket.SendBuf(block.data(), 0), 0);
    EXPECT_EQ(link.socket.SendBuf("abc", 3), 3);
    EXPECT_EQ(link.peer.Receive(), "abc");
    RunLoopFor(50);
    EXPECT_EQ(link.recorder.Count("write"), 0) << "a write event without a refused send";

    // The peer reads nothing: sends are taken in part, then refused.
    long accepted = 0;
    int refused = 0;
    for (int i = 0; i < 10000 && refused < 3; ++i) {
        const int n = link.socket.SendBuf(block.data(), static_cast<int>(block.size()));
        ASSERT_GE(n, -1);
        ASSERT_LE(n, static_cast<int>(block.size()));
        if (n < 0) {
            ++refused;
        } else {
            EXPECT_EQ(refused, 0) << "taken again without room made";
            accepted += n;
        }
    }
    ASSERT_EQ(refused, 3);
    EXPECT_GT(accepted, 0);
    RunLoopFor(50);
    EXPECT_EQ(link.recorder.Count("write"), 0) << "a write event with no room made";

    // Room made: one write event for all the refusals, and none after it.
    while (accepted > 0) {
        const long n = link.peer.Drain();
        accepted -= n;
        if (n == 0) {
            RunLoopFor(5);
        }
    }
    EXPECT_TRUE(RunLoopUntil([&] { return link.recorder.Count("write") == 1; }));
    RunLoopFor(100);
    EXPECT_EQ(link.recorder.events, std::vector<std::string>{"write+"});
    EXPECT_EQ(link.socket.SendBuf("z", 1), 1);
}

TEST(ClientSocket, HardSendErrorIsPostedNeverSigpipe) {
    // A SIGPIPE would end the test process.
    const auto previous = std::signal(SIGPIPE, SIG_DFL);
    Connected link;
    link.peer.Abort();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    int result = 0;
    // The reset may still be on its way for the first sends.
    for (int i = 0; i < 200 && result != -1; ++i) {
        result = link.socket.SendBuf("data", 4);
        ASSERT_TRUE(link.recorder.events.empty()) << "an event inside SendBuf";
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(link.socket.SendBuf("data", 4), -1);
    EXPECT_TRUE(RunLoopUntil([&] { return link.recorder.Count("disconnect") == 1; }));
    ASSERT_EQ(link.recorder.events.size(), 2u);
    EXPECT_EQ(link.recorder.events[0].rfind("error ", 0), 0u);
    EXPECT_TRUE(link.recorder.events[0] == ErrorText(ErrorEvent::Send, net::WSAECONNRESET) + "+" ||
                link.recorder.events[0] == ErrorText(ErrorEvent::Receive, net::WSAECONNRESET) + "+")
        << link.recorder.events[0];
    EXPECT_EQ(link.recorder.events[1], "disconnect");
    std::signal(SIGPIPE, previous);
}

TEST(ClientSocket, CloseFiresDisconnectBeforeItReturns) {
    // Connecting (nothing delivered yet) and connected.
    for (const bool connected : {false, true}) {
        SCOPED_TRACE(connected ? "connected" : "connecting");
        RawSocket listener = RawSocket::Listen(0);
        ClientSocket socket;
        Recorder recorder(socket);
        ASSERT_TRUE(socket.Open("127.0.0.1", listener.Port()));
        RawSocket peer = listener.Accept();
        if (connected) {
            ASSERT_TRUE(RunLoopUntil([&] { return socket.Active(); }));
        }
        recorder.events.clear();
        socket.Close();
        EXPECT_EQ(recorder.events, std::vector<std::string>{"disconnect"});
        socket.Close();
        RunLoopFor(100);
        EXPECT_EQ(recorder.events, std::vector<std::string>{"disconnect"});
        EXPECT_TRUE(peer.WaitForClose());
    }
    // Closed already: no event.
    ClientSocket idle;
    Recorder recorder(idle);
    idle.Close();
    EXPECT_TRUE(recorder.events.empty());
}

TEST(ClientSocket, CloseInsideEachOwnHandlerEndsTheConnectionsEvents) {
    RawSocket listener = RawSocket::Listen(0);
    const int refused_port = net_test::FreePort();
    const struct {
        const char* handler;
        bool reachable;
        bool peer_sends;
        std::vector<std::string> events;
    } cases[] = {
        {"lookup", true, false, {"lookup", "disconnect"}},
        {"connecting", true, false, {"lookup", "connecting", "disconnect"}},
        {"connect", true, false, {"lookup", "connecting", "connect+", "disconnect"}},
        {"write", true, false, {"lookup", "connecting", "connect+", "write+", "disconnect"}},
        {"read", true, true, {"lookup", "connecting", "connect+", "write+", "read+", "disconnect"}},
        {"error",
         false,
         false,
         {"lookup", "connecting", ErrorText(ErrorEvent::Connect, net::WSAECONNREFUSED),
          "disconnect"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.handler);
        ClientSocket socket;
        Recorder recorder(socket);
        recorder.on_event = [&](const std::string& name) {
            if (name.substr(0, name.find(' ')) == c.handler) {
                socket.Close();
            }
        };
        ASSERT_TRUE(socket.Open("127.0.0.1", c.reachable ? listener.Port() : refused_port));
        RawSocket peer;
        if (c.reachable) {
            peer = listener.Accept();
            if (c.peer_sends) {
                ASSERT_TRUE(RunLoopUntil([&] { return recorder.Count("write") == 1; }));
                peer.SendAll("hello");
            }
        }
        EXPECT_TRUE(RunLoopUntil([&] { return recorder.Count("disconnect") == 1; }));
        RunLoopFor(100);
        EXPECT_EQ(recorder.events, c.events);
        EXPECT_FALSE(socket.Active());
    }
}

TEST(ClientSocket, ArrivingBytesAreDroppedAndThePeersCloseIsSeen) {
    Connected link;
    const std::string megabyte(1 << 20, 'y');
    ASSERT_TRUE(link.peer.SendAll(megabyte));
    RunLoopFor(200);
    const int reads = link.recorder.Count("read");
    EXPECT_GE(reads, 1);
    EXPECT_LE(reads, 40) << "read events without the bytes taken";
    // Nothing waits any more: the loop sleeps.
    const long cpu = net_test::CpuMs();
    RunLoopFor(300);
    EXPECT_LT(net_test::CpuMs() - cpu, 150);
    EXPECT_EQ(link.recorder.Count("read"), reads);
    EXPECT_TRUE(link.socket.Active());

    link.peer.SendAll("last words");
    link.peer.Close();
    EXPECT_TRUE(RunLoopUntil([&] { return link.recorder.Count("disconnect") == 1; }));
    EXPECT_FALSE(link.socket.Active());
}

TEST(ClientSocket, AnErrorCodeLeftSetIsReportedAndTheSocketClosed) {
    const int port = net_test::FreePort();
    for (const bool clear : {true, false}) {
        SCOPED_TRACE(clear ? "cleared" : "left set");
        ClientSocket socket;
        Recorder recorder(socket);
        recorder.clear_errors = clear;
        testing::internal::CaptureStderr();
        ASSERT_TRUE(socket.Open("127.0.0.1", port));
        EXPECT_TRUE(RunLoopUntil([&] { return recorder.Count("disconnect") == 1; }));
        const std::string report = testing::internal::GetCapturedStderr();
        EXPECT_EQ(report, clear ? "" : "socket error 10061 on connect\n");
        EXPECT_EQ(recorder.events.back(), "disconnect");
    }
}

} // namespace
