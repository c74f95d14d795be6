// Two stations' links in one process over loopback, through the real socket components: A's
// link connects to B's listening socket and B's to A's, the incoming connections bind, A's
// remote windows get B's cameras, A switches B's manual monitor, and a closed listening socket
// at B stops the frames until it opens again.
#include "ui/network/client_socket_adapter.h"
#include "ui/network/server_socket_adapter.h"

#include "network_fixture.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

namespace network_test {
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

class LoopbackStations : public NetworkTest {
protected:
    struct Side {
        ~Side() { server.SetEvents(nullptr); }
        live_test::FakeCapture capture;
        live_test::FakeBoard board;
        BaseState base;
        live_test::NoLivePorts ports;
        std::unique_ptr<LiveStation> live;
        SettingsState settings;
        bool networkOn = true;
        FakeViewer viewer;
        ServerSocketAdapter server;
        std::unique_ptr<RemStations> links;
    };

    void SetUp() override {
        NetworkTest::SetUp();
        a = Make();
        b = Make();
        Join(*a, *b);
        Join(*b, *a);
        ASSERT_TRUE(RunLoopUntil([&] {
            return a->links->Get(1)->Socket().Active() && b->links->Get(1)->Socket().Active();
        }));
    }

    std::unique_ptr<Side> Make() {
        auto s = std::make_unique<Side>();
        s->live = std::make_unique<LiveStation>(s->capture, s->board, s->base, s->ports.Ports());
        s->links = std::make_unique<RemStations>(
            RemHost{s->settings, s->networkOn, *s->live, ctx, s->viewer}, s->server,
            [](ClientSocketEvents& e) { return std::make_unique<ClientSocketAdapter>(e); });
        s->server.SetEvents(s->links.get());
        for (int port = 46000; port < 47000 && !s->server.Active(); ++port) {
            if (s->server.Open(port)) {
                s->settings.ServerPort = port;
            }
        }
        EXPECT_TRUE(s->server.Active());
        return s;
    }

    // `from`'s link 1 connects to `to`'s listening socket.
    static void Join(Side& from, Side& to) {
        RemStation& r = from.links->Create(1);
        r.Address = "127.0.0.1";
        r.Port = to.settings.ServerPort;
        r.ReconnectTimerTimer();
    }

    // B's chip 1 has a frame of every camera: 8-bit 16 x 8, every pixel the camera number.
    void FramesAtB() {
        for (int c = 1; c <= kCameraCount; ++c) {
            FrameCopy& f = b->live->Handoff.Chip(1).FrameCopies[static_cast<std::size_t>(c)];
            f.Header = live_test::BitmapHeader(16, 8, 8);
            f.Pixels.assign(16 * 8, static_cast<std::uint8_t>(c));
            f.Width = 16;
            f.Height = 8;
            f.Pending = true;
        }
    }

    // One main-cycle pass on each side, then the loop carries the bytes. The reconnect timers
    // do nothing while their links are up.
    void Pass(const std::vector<int>& cameras) {
        a->links->Get(1)->ReconnectTimerTimer();
        b->links->Get(1)->ReconnectTimerTimer();
        for (int c : cameras) {
            a->links->RenewSubscription(1, 1, c, false, 90);
        }
        FramesAtB();
        a->links->SendTick(1);
        b->links->SendTick(1);
        clock_.advance(40);
        RunLoopFor(5);
    }

    std::unique_ptr<Side> a;
    std::unique_ptr<Side> b;
};

TEST_F(LoopbackStations, AShowsBsCamerasAndSwitchesBsMonitor) {
    live_test::WindowSet windows{a->live->Slots, {}};
    live_test::FakePainter painters[2];
    ChanelWindow& w3 = windows.Add(1, 3, 1, 1, a->live->WindowContext());
    ChanelWindow& w9 = windows.Add(2, 9, 1, 1, a->live->WindowContext());
    w3.SetPainter(&painters[0]);
    w9.SetPainter(&painters[1]);
    for (int i = 0; i < 200 && (painters[0].pictures.size() < 5 || painters[1].pictures.size() < 5);
         ++i) {
        Pass({3, 9});
    }
    EXPECT_NE(a->links->Get(1)->BoundPort, 0);
    EXPECT_NE(b->links->Get(1)->BoundPort, 0);
    ASSERT_GE(painters[0].pictures.size(), 5u);
    ASSERT_GE(painters[1].pictures.size(), 5u);
    EXPECT_EQ(painters[0].pictures.back().firstBytes[0], 3);
    EXPECT_EQ(painters[1].pictures.back().firstBytes[0], 9);

    b->live->Tables.MonManual[2] = true;
    a->links->RequestMonitorSwitch(1, 7, 2);
    for (int i = 0; i < 100 && b->board.monitors.empty(); ++i) {
        Pass({});
    }
    EXPECT_EQ(b->board.monitors, (std::vector<std::tuple<int, int>>{{2, 7}}));

    // B stops listening: A's link breaks, drops B's incoming connection (so B's link breaks
    // too) and both retry; the frames come back once B listens again.
    b->server.Close();
    ASSERT_TRUE(RunLoopUntil([&] { return !a->links->Get(1)->Socket().Active(); }));
    const std::size_t before = painters[0].pictures.size();
    for (int i = 0; i < 5; ++i) {
        Pass({3});
    }
    EXPECT_EQ(painters[0].pictures.size(), before);
    ASSERT_TRUE(b->server.Open(b->settings.ServerPort));
    for (int i = 0; i < 300 && painters[0].pictures.size() < before + 3; ++i) {
        Pass({3});
    }
    EXPECT_GE(painters[0].pictures.size(), before + 3);
    windows.Clear();
}

} // namespace
} // namespace network_test
