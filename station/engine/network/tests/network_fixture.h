// A station's links over fake sockets: the live engine with fake capture and board, an archive
// in a temporary program folder, the manual clock, the listening socket and the viewer.
#pragma once

#include "network_fakes.h"

#include "archive_fixture.h"
#include "live_fakes.h"
#include "manual_clock.h"
#include "network/ipv4.h"
#include "network/packet_assembler.h"
#include "network/rem_stations.h"

#include <gtest/gtest.h>

namespace network_test {

class NetworkTest : public archive::test::ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        server.events = &links;
        settings.ServerPort = 2001;
    }

    // Link n with an address and port, its socket connected to `peer`.
    RemStation& Linked(int n, const std::string& address = "127.0.0.1", int port = 1018) {
        RemStation& r = links.Create(n);
        r.Address = address;
        r.Port = port;
        Ipv4 a = 0;
        ParseIpv4(address, a);
        Sock(n).peer = a;
        r.ReconnectTimerTimer();
        Sock(n).Connected();
        return r;
    }
    FakeClientSocket& Sock(int n) { return static_cast<FakeClientSocket&>(links.Get(n)->Socket()); }

    // The frame copy of (board, camera), 8-bit 16 x 8, pending.
    void PendingCopy(int board, int camera, std::uint8_t value = 0x40) {
        FrameCopy& c = live.Handoff.Chip(board).FrameCopies[static_cast<std::size_t>(camera)];
        c.Header = live_test::BitmapHeader(16, 8, 8);
        c.Pixels.assign(16 * 8, value);
        c.Width = 16;
        c.Height = 8;
        c.Pending = true;
    }

    // What link n sent, cut into packets and parsed into a record log.
    std::vector<std::string> SentRecords(int n) {
        Recorder r;
        PacketAssembler a;
        a.Feed(Sock(n).sent, [&](std::span<const std::uint8_t> p) { ParsePacket(p, r); });
        return r.log;
    }

    tolm_test::ScopedManualClock clock_{100000};
    live_test::FakeCapture capture;
    live_test::FakeBoard board;
    BaseState base_;
    live_test::NoLivePorts livePorts;
    LiveStation live{capture, board, base_, livePorts.Ports()};
    SettingsState settings;
    bool networkOn = true;
    FakeViewer viewer;
    FakeServer server;
    RemStations links{RemHost{settings, networkOn, live, ctx, viewer}, server,
                      [](ClientSocketEvents& e) { return std::make_unique<FakeClientSocket>(e); }};
};

} // namespace network_test
