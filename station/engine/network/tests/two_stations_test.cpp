// Two stations' links joined by a fake wire: each link's client socket delivers what it sends
// to the other station's listening socket. A subscribes to B's cameras, switches B's monitor
// and reads B's archive, through binding, reassembly and both send steps.
#include "network_fixture.h"

namespace network_test {
namespace {

class TwoStations : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        for (int id = 0; id < 6; ++id) {
            write(id);
        }
        a = Make(2001);
        b = Make(2002);
        Join(*a, *b, 40001);
        Join(*b, *a, 40002);
    }

    struct Side {
        live_test::FakeCapture capture;
        live_test::FakeBoard board;
        BaseState base;
        live_test::NoLivePorts ports;
        std::unique_ptr<LiveStation> live;
        SettingsState settings;
        bool networkOn = true;
        FakeViewer viewer;
        FakeServer server;
        std::unique_ptr<RemStations> links;
        FakeClientSocket* socket = nullptr;
    };

    std::unique_ptr<Side> Make(int serverPort) {
        auto s = std::make_unique<Side>();
        s->live = std::make_unique<LiveStation>(s->capture, s->board, s->base, s->ports.Ports());
        s->settings.ServerPort = serverPort;
        Side* raw = s.get();
        s->links = std::make_unique<RemStations>(
            RemHost{s->settings, s->networkOn, *s->live, ctx, s->viewer}, s->server,
            [raw](ClientSocketEvents& e) {
                auto sock = std::make_unique<FakeClientSocket>(e);
                raw->socket = sock.get();
                return sock;
            });
        s->server.events = s->links.get();
        return s;
    }

    // `from`'s link 1 connects to `to`'s listening socket from local port `localPort`.
    void Join(Side& from, Side& to, int localPort) {
        RemStation& r = from.links->Create(1);
        r.Address = "127.0.0.1";
        r.Port = to.settings.ServerPort;
        r.ReconnectTimerTimer();
        from.socket->Connected();
        FakeConnection& c = to.server.Accept(0x7F000001, localPort);
        from.socket->wire = [&to, &c](std::span<const std::uint8_t> bytes) {
            to.server.Receive(c, bytes);
        };
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

    // One main-cycle pass on each side: A renews its windows' subscriptions, both send.
    void Pass(const std::vector<int>& cameras, bool jpeg) {
        for (int c : cameras) {
            a->links->RenewSubscription(1, 1, c, jpeg, 90);
        }
        FramesAtB();
        a->links->SendTick(1);
        b->links->SendTick(1);
        clock_.advance(40);
    }

    // Both sides' first packets (keep-alives after 2 s) bind their incoming connections.
    void Bind() {
        clock_.advance(2001);
        a->links->SendTick(1);
        b->links->SendTick(1);
        ASSERT_NE(a->links->Get(1)->BoundPort, 0);
        ASSERT_NE(b->links->Get(1)->BoundPort, 0);
    }

    std::unique_ptr<Side> a;
    std::unique_ptr<Side> b;
};

TEST_F(TwoStations, AShowsBsCamerasRawAndJpeg) {
    live_test::WindowSet windows{a->live->Slots, {}};
    live_test::FakePainter painters[2];
    ChanelWindow& w3 = windows.Add(1, 3, 1, 1, a->live->WindowContext());
    ChanelWindow& w9 = windows.Add(2, 9, 1, 1, a->live->WindowContext());
    w3.SetPainter(&painters[0]);
    w9.SetPainter(&painters[1]);
    for (int i = 0; i < 10; ++i) {
        Pass({3, 9}, false);
    }
    // The first chunk on each side only binds; every later pass brings one frame per camera.
    ASSERT_GE(painters[0].pictures.size(), 7u);
    ASSERT_GE(painters[1].pictures.size(), 7u);
    EXPECT_EQ(painters[0].pictures.back().firstBytes[0], 3);
    EXPECT_EQ(painters[1].pictures.back().firstBytes[0], 9);
    EXPECT_EQ(painters[0].pictures.back().bits, 8);
    // Without renewals the frames stop.
    const std::size_t before = painters[0].pictures.size();
    Pass({}, false);
    Pass({}, false);
    EXPECT_LE(painters[0].pictures.size(), before + 1);

    for (int i = 0; i < 3; ++i) {
        Pass({3}, true);
    }
    EXPECT_EQ(painters[0].pictures.back().bits, 24);
    // A grey of level 3 survives JPEG within a few steps.
    EXPECT_LE(painters[0].pictures.back().firstBytes[0], 8);
    windows.Clear();
}

TEST_F(TwoStations, ASwitchesBsManualMonitorAndReadsBsArchive) {
    b->live->Tables.MonManual[3] = true;
    Bind();
    a->links->RequestMonitorSwitch(1, 12, 3);
    RemStation& link = *a->links->Get(1);
    link.ArchRequestPending = 1;
    link.ArchRequestMode = 2; // the last frame
    a->viewer.viewStation = 1;
    Pass({}, false);
    Pass({}, false);
    EXPECT_EQ(b->board.monitors, (std::vector<std::tuple<int, int>>{{3, 12}}));
    ASSERT_EQ(a->viewer.answers.size(), 1u);
    EXPECT_EQ(a->viewer.answers[0].code, archive::kFilteredOut); // A's filters are all off
    EXPECT_EQ(a->viewer.answers[0].position, 5);
    EXPECT_TRUE(a->viewer.answers[0].fromShown);

    a->viewer.filters.request.fill(true);
    a->viewer.filters.alarm.fill(true);
    a->viewer.filters.system.fill(true);
    link.ArchRequestPending = 1;
    link.ArchRequestMode = -2; // frame 0
    Pass({}, false);
    Pass({}, false);
    ASSERT_EQ(a->viewer.answers.size(), 2u);
    EXPECT_EQ(a->viewer.answers[1].code, archive::kFound);
    EXPECT_EQ(a->viewer.answers[1].position, 0);
    EXPECT_EQ(a->viewer.answers[1].pictureWidth, width);
}

TEST_F(TwoStations, SilenceOfOneSideClosesTheOtherLinkAndItsIncomingConnection) {
    Bind();
    // B stops sending: A's link closes after 10 s and drops B's incoming connection.
    b->socket->wire = nullptr;
    for (int i = 0; i < 260; ++i) {
        a->links->SendTick(1);
        clock_.advance(40);
    }
    EXPECT_FALSE(a->socket->Active());
    EXPECT_TRUE(a->server.list.empty());
    EXPECT_EQ(a->links->Get(1)->BoundPort, 0);
    // The reconnect timer opens the link again.
    a->links->Get(1)->ReconnectTimerTimer();
    EXPECT_EQ(a->socket->opens.size(), 2u);
}

} // namespace
} // namespace network_test
