// The listening socket's connections: binding to links by address and port, reassembly of a
// bound connection's reads, closing of connections nobody claims, and the connection lines.
#include "malformed_cases.h"
#include "network_fixture.h"

#include "base/language_lines.h"

#include <algorithm>
#include <random>

namespace network_test {
namespace {

constexpr Ipv4 kLocal = 0x7F000001; // 127.0.0.1
constexpr Ipv4 kOther = 0x0A000002; // 10.0.0.2

class Binding : public NetworkTest {
protected:
    // A subscription packet from the station listening on `port`.
    Bytes Packet(int port, int camera) {
        return BuildPacket(port,
                           {EncodeSubscription({static_cast<std::int16_t>(camera), 1, 1, 0, 100})});
    }
    static Bytes Stream2(const Bytes& a, const Bytes& b) {
        Bytes s = a;
        s.insert(s.end(), b.begin(), b.end());
        return s;
    }
};

TEST_F(Binding, FindRemByAddressNeedsAnActiveLinkTheAddressAndTheBoundPort) {
    RemStation& r1 = Linked(1, "127.0.0.1", 1018);
    RemStation& r2 = Linked(2, "10.0.0.2", 1018);
    links.Create(3).Address = "127.0.0.1"; // never connected
    r1.BoundPort = 40001;
    r2.BoundPort = 40002;
    links.Get(3)->BoundPort = 40003;
    struct Case {
        Ipv4 address;
        int port;
        int station;
    };
    const Case cases[] = {
        {kLocal, 40001, 1}, {kOther, 40002, 2}, {kLocal, 40002, 0},
        {kOther, 40001, 0}, {kLocal, 40003, 0}, {kLocal, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(links.FindRemByAddress(c.address, c.port), c.station)
            << Ipv4Text(c.address) << ":" << c.port;
    }
}

TEST_F(Binding, BindRemConnectionTakesTheFirstFreeLinkOfThatAddressAndListeningPort) {
    struct Case {
        const char* what;
        Ipv4 address;
        int headerPort;
        int bound1, bound2, bound3; // BoundPort of links 1..3 afterwards
    };
    // Links: 1 = 127.0.0.1:1018, 2 = 127.0.0.1:1019, 3 = 10.0.0.2:1018.
    const Case cases[] = {
        {"first station on the host", kLocal, 1018, 50000, 0, 0},
        {"second station on the same host", kLocal, 1019, 0, 50000, 0},
        {"other host", kOther, 1018, 0, 0, 50000},
        {"no link for that port", kLocal, 1020, 0, 0, 0},
        {"no link for that address", 0x0A000003, 1018, 0, 0, 0},
    };
    for (const Case& c : cases) {
        links.FreeAll();
        Linked(1, "127.0.0.1", 1018);
        Linked(2, "127.0.0.1", 1019);
        Linked(3, "10.0.0.2", 1018);
        links.BindRemConnection(c.address, c.headerPort, 50000);
        EXPECT_EQ(links.Get(1)->BoundPort, c.bound1) << c.what;
        EXPECT_EQ(links.Get(2)->BoundPort, c.bound2) << c.what;
        EXPECT_EQ(links.Get(3)->BoundPort, c.bound3) << c.what;
    }
    // Already bound, or not connected: nothing changes.
    links.FreeAll();
    Linked(1, "127.0.0.1", 1018).BoundPort = 7;
    links.BindRemConnection(kLocal, 1018, 50000);
    EXPECT_EQ(links.Get(1)->BoundPort, 7);
    links.Get(1)->BoundPort = 0;
    Sock(1).Close();
    links.BindRemConnection(kLocal, 1018, 50000);
    EXPECT_EQ(links.Get(1)->BoundPort, 0);
}

TEST_F(Binding, TheFirstChunkBindsAndLaterChunksAreParsed) {
    RemStation& r = Linked(1, "127.0.0.1", 1018);
    FakeConnection& c = server.Accept(kLocal, 50000);
    server.Receive(c, Packet(1018, 1));
    EXPECT_EQ(r.BoundPort, 50000);
    EXPECT_EQ(r.PeerWantsFrame[1][1], 0); // the binding chunk is not parsed
    clock_.advance(5000);
    server.Receive(c, Stream2(Packet(1018, 2), Packet(1018, 3)));
    EXPECT_EQ(r.PeerWantsFrame[1][2], 1);
    EXPECT_EQ(r.PeerWantsFrame[1][3], 1);
    EXPECT_EQ(r.LastReceiveTick, clock_.now());
    EXPECT_EQ(links.SocketEventFlags[kSockRead], 1);
}

TEST_F(Binding, TwoStationsOnOneHostGetOnlyTheirOwnPackets) {
    RemStation& a = Linked(1, "127.0.0.1", 1018);
    RemStation& b = Linked(2, "127.0.0.1", 1019);
    FakeConnection& fromB = server.Accept(kLocal, 50001);
    FakeConnection& fromA = server.Accept(kLocal, 50002);
    server.Receive(fromB, Packet(1019, 1));
    server.Receive(fromA, Packet(1018, 1));
    EXPECT_EQ(a.BoundPort, 50002);
    EXPECT_EQ(b.BoundPort, 50001);
    server.Receive(fromA, Packet(1018, 5));
    server.Receive(fromB, Packet(1019, 6));
    EXPECT_EQ(a.PeerWantsFrame[1][5], 1);
    EXPECT_EQ(a.PeerWantsFrame[1][6], 0);
    EXPECT_EQ(b.PeerWantsFrame[1][6], 1);
    EXPECT_EQ(b.PeerWantsFrame[1][5], 0);
}

TEST_F(Binding, AConnectionWithoutAnOpenLinkIsNeverBound) {
    FakeConnection& c = server.Accept(kOther, 50000);
    Linked(1, "127.0.0.1", 1018);
    server.Receive(c, Packet(1018, 1));
    server.Receive(c, Packet(1018, 2));
    EXPECT_EQ(links.Get(1)->BoundPort, 0);
    EXPECT_EQ(links.Get(1)->PeerWantsFrame[1][2], 0);
    EXPECT_EQ(links.HeldBytes(c), 0u);
}

TEST_F(Binding, AHeaderSplitAcrossReadsIsKept) {
    RemStation& r = Linked(1);
    FakeConnection& c = server.Accept(kLocal, 50000);
    server.Receive(c, Packet(1018, 1));
    const Bytes s = Stream2(Packet(1018, 2), Packet(1018, 3));
    for (std::size_t cut = 1; cut < s.size(); ++cut) {
        r.PeerWantsFrame[1][2] = 0;
        r.PeerWantsFrame[1][3] = 0;
        server.Receive(c, std::span(s.data(), cut));
        server.Receive(c, std::span(s.data() + cut, s.size() - cut));
        EXPECT_EQ(r.PeerWantsFrame[1][2], 1) << cut;
        EXPECT_EQ(r.PeerWantsFrame[1][3], 1) << cut;
        EXPECT_EQ(links.HeldBytes(c), 0u) << cut;
    }
}

TEST_F(Binding, JunkFloodHoldsElevenBytesAtMost) {
    Linked(1);
    FakeConnection& c = server.Accept(kLocal, 50000);
    server.Receive(c, Packet(1018, 1));
    const Bytes junk(4096, 0xA5);
    for (int i = 0; i < 100; ++i) {
        server.Receive(c, junk);
        EXPECT_LE(links.HeldBytes(c), kHeaderCarry);
    }
}

TEST_F(Binding, AFailedReadIsDiscarded) {
    RemStation& r = Linked(1);
    FakeConnection& c = server.Accept(kLocal, 50000);
    server.Receive(c, Packet(1018, 1));
    c.failRead = true;
    server.Receive(c, Packet(1018, 2));
    EXPECT_EQ(r.PeerWantsFrame[1][2], 0);
    EXPECT_EQ(links.HeldBytes(c), 0u);
}

TEST_F(Binding, TheLinksDisconnectClosesItsBoundConnectionOnly) {
    RemStation& r = Linked(1, "127.0.0.1", 1018);
    Linked(2, "127.0.0.1", 1019);
    FakeConnection& a = server.Accept(kLocal, 50001);
    FakeConnection& b = server.Accept(kLocal, 50002);
    server.Receive(a, Packet(1018, 1));
    server.Receive(b, Packet(1019, 1));
    Sock(1).Close();
    EXPECT_TRUE(a.closed);
    EXPECT_FALSE(b.closed);
    EXPECT_EQ(r.BoundPort, 0);
    EXPECT_EQ(server.Ports(), std::vector<int>{50002});
}

TEST_F(Binding, ASocketErrorClosesOnlyThatConnection) {
    FakeConnection& a = server.Accept(kLocal, 50001);
    FakeConnection& b = server.Accept(kLocal, 50002);
    int code = 10054;
    links.OnClientError(a, code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(a.closed);
    EXPECT_FALSE(b.closed);
    EXPECT_EQ(links.SocketEventFlags[kSockError], 1);
    EXPECT_EQ(links.SocketEventFlags[kSockDisconnect], 1);
}

TEST_F(Binding, ConnectTimerClosesOneUnclaimedConnectionPerTick) {
    struct Case {
        const char* what;
        int linksBound;                  // links 1.. bound to the first connections
        int connections;                 // open connections in all
        std::vector<int> portsAfterTick; // remote ports left after one tick
    };
    const Case cases[] = {
        {"nothing open", 0, 0, {}},
        {"one unbound is tolerated", 0, 1, {50001}},
        {"two unbound: the first goes", 0, 2, {50002}},
        {"one bound and one unbound", 1, 2, {50001, 50002}},
        {"one bound and two unbound", 1, 3, {50001, 50003}},
        {"two bound and three unbound", 2, 5, {50001, 50002, 50004, 50005}},
    };
    for (const Case& c : cases) {
        links.FreeAll();
        server.list.clear();
        for (int i = 1; i <= c.connections; ++i) {
            FakeConnection& conn = server.Accept(kLocal, 50000 + i);
            if (i <= c.linksBound) {
                Linked(i, "127.0.0.1", 2000 + i);
                server.Receive(conn, Packet(2000 + i, 1));
            }
        }
        links.ConnectTimerTimer();
        EXPECT_EQ(server.Ports(), c.portsAfterTick) << c.what;
    }
}

TEST_F(Binding, ConnectTimerDoesNotSpareAStrangerWithABoundPortNumber) {
    Linked(1, "127.0.0.1", 1018);
    FakeConnection& own = server.Accept(kLocal, 50001);
    server.Receive(own, Packet(1018, 1));
    server.Accept(kOther, 50001); // another host, the same remote port
    server.Accept(kOther, 50002);
    links.ConnectTimerTimer();
    EXPECT_EQ(server.Ports(), (std::vector<int>{50001, 50002}));
    EXPECT_FALSE(own.closed);
}

TEST_F(Binding, MalformedPacketsSplitAtRandomTakeOnlyTheirGoodRecordsAndFloodsStayBounded) {
    RemStation& r = Linked(1);
    FakeConnection& c = server.Accept(kLocal, 50000);
    server.Receive(c, Packet(1018, 16));
    std::mt19937 rng(23);
    for (const MalformedCase& m : MalformedCases()) {
        for (int round = 0; round < 20; ++round) {
            r.PeerWantsFrame[1][1] = 0;
            r.PeerWantsFrame[1][2] = 0;
            Bytes s = Hex("A5 A5 00 A5 A5 A5 A5 01");
            const Bytes p = BuildPacket(1018, {Sub(1, 1), m.record, Sub(1, 2)});
            s.insert(s.end(), p.begin(), p.end());
            std::vector<std::size_t> cuts{0, s.size()};
            for (int i = 0; i < 3; ++i) {
                cuts.push_back(rng() % s.size());
            }
            std::sort(cuts.begin(), cuts.end());
            for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
                if (cuts[i + 1] > cuts[i]) {
                    server.Receive(c, std::span(s.data() + cuts[i], cuts[i + 1] - cuts[i]));
                }
            }
            const auto took = [&](const char* record) {
                return std::find(m.effect.begin(), m.effect.end(), record) != m.effect.end();
            };
            EXPECT_EQ(r.PeerWantsFrame[1][1], took("sub 1/1") ? 1 : 0) << m.what;
            EXPECT_EQ(r.PeerWantsFrame[1][2], took("sub 1/2") ? 1 : 0) << m.what;
            EXPECT_EQ(links.HeldBytes(c), 0u) << m.what;
        }
    }
    // A flood of sync-rich junk: false headers of every length; what is held stays under one
    // packet's limit and the link stays up.
    for (int i = 0; i < 2000; ++i) {
        Bytes junk(1 + rng() % 300);
        for (auto& b : junk) {
            b = rng() % 2 ? 0xA5 : static_cast<std::uint8_t>(rng());
        }
        server.Receive(c, junk);
        ASSERT_LE(links.HeldBytes(c), static_cast<std::size_t>(kMaxPacketLength));
    }
    EXPECT_TRUE(Sock(1).Active());
    EXPECT_FALSE(c.closed);
}

TEST_F(Binding, ConnectionLinesNameTheBoundStationsPort) {
    base_.LangList.SetText(std::string(kLineConnections, '\n') + "Connections:\n");
    Linked(3, "127.0.0.1", 1019);
    FakeConnection& bound = server.Accept(kLocal, 50001);
    server.Receive(bound, Packet(1019, 1));
    server.Accept(kOther, 50002);
    EXPECT_EQ(links.ConnectionLines(base_.LangList),
              (std::vector<std::string>{"Connections: 2", "1 - 127.0.0.1 / 1019", "2 - 10.0.0.2"}));
}

} // namespace
} // namespace network_test
