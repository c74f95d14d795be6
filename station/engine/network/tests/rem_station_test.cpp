// One remote-station link: the send step on a fake socket under the manual clock, the
// reconnect timer, the socket events, and the records it takes from the peer's packets.
#include "network_fixture.h"

#include "archive/archive_search.h"

namespace network_test {
namespace {

using Log = std::vector<std::string>;

class Link : public NetworkTest {};

TEST_F(Link, SendStepWritesRecordsInOrderAndSendsThemOnce) {
    RemStation& r = Linked(1);
    PendingCopy(2, 3);
    PendingCopy(1, 5);
    r.PeerWantsFrame[2][3] = 1;
    r.PeerWantsFrame[1][5] = 1;
    r.PeerWantsFrame[1][6] = 1; // no copy pending: nothing sent, the request stays
    r.Subscribe[4][16] = 1;
    r.Subscribe[1][2] = 1;
    r.ArchRequestPending = 1;
    r.ArchRequestMode = 3;
    r.AnswerStream = Hex("FF FF 07 00 00 00 00 00 00 00");
    r.AnswerPending = 1;
    r.MonSwitchPending = 1;
    r.MonSwitchCamera = 7;
    r.MonSwitchMonitor = 2;
    r.SendTick();
    EXPECT_EQ(SentRecords(1),
              (Log{"frame 1/5", "frame 2/3", "sub 1/2", "sub 4/16", "req 3", "ans -1", "mon 2/7"}));
    // The header names this station's listening port.
    EXPECT_EQ(Bytes(Sock(1).sent.begin() + 8, Sock(1).sent.begin() + 12), Hex("D1 07 00 00"));
    EXPECT_FALSE(r.OutPacketOpen());
    EXPECT_EQ(r.PeerWantsFrame[1][6], 1);
    EXPECT_EQ(r.PeerWantsFrame[1][5], 0);

    // Everything was spent: the next steps send nothing until something is asked again.
    Sock(1).sent.clear();
    r.SendTick();
    r.SendTick();
    EXPECT_TRUE(Sock(1).sent.empty());
}

TEST_F(Link, OneFramePerSubscription) {
    RemStation& r = Linked(1);
    PendingCopy(1, 1);
    r.PeerWantsFrame[1][1] = 1;
    r.SendTick();
    r.SendTick(); // the same copy is still pending, but no record asked for it again
    EXPECT_EQ(SentRecords(1), Log{"frame 1/1"});
    // A type 1 record from the peer renews it.
    r.ParsePacket(BuildPacket(1018, {EncodeSubscription({1, 1, 1, 0, 100})}));
    r.SendTick();
    EXPECT_EQ(SentRecords(1), (Log{"frame 1/1", "frame 1/1"}));
}

TEST_F(Link, KeepAliveOnlyAfterTwoSecondsWithoutRecords) {
    RemStation& r = Linked(1);
    r.SendTick();
    clock_.advance(2000);
    r.SendTick();
    EXPECT_TRUE(Sock(1).sent.empty());
    clock_.advance(1);
    r.SendTick();
    EXPECT_EQ(SentRecords(1), Log{"keep"});
    // A record just written resets the wait.
    clock_.advance(1500);
    r.Subscribe[1][1] = 1;
    r.SendTick();
    clock_.advance(2000);
    r.SendTick();
    EXPECT_EQ(SentRecords(1), (Log{"keep", "sub 1/1"}));
    clock_.advance(1);
    r.SendTick();
    EXPECT_EQ(SentRecords(1), (Log{"keep", "sub 1/1", "keep"}));
}

TEST_F(Link, WouldBlockKeepsThePacketAndBuildsNothingNew) {
    RemStation& r = Linked(1);
    r.Subscribe[1][1] = 1;
    Sock(1).plan = {-1, -1};
    r.SendTick();
    const Bytes kept = r.OutPacket();
    r.Subscribe[1][2] = 1;
    r.SendTick();
    EXPECT_TRUE(Sock(1).sent.empty());
    EXPECT_EQ(r.OutPacket(), kept);
    r.SendTick(); // accepted now
    EXPECT_EQ(SentRecords(1), Log{"sub 1/1"});
    r.SendTick();
    EXPECT_EQ(SentRecords(1), (Log{"sub 1/1", "sub 1/2"}));
    EXPECT_EQ(Sock(1).sends, 4);
}

TEST_F(Link, PartialSendsResumeWhereTheyStopped) {
    RemStation& r = Linked(1);
    PendingCopy(1, 1);
    r.PeerWantsFrame[1][1] = 1;
    r.Subscribe[3][3] = 1;
    Sock(1).plan = {5, 0, -1, 100};
    r.SendTick();
    const Bytes whole = r.OutPacket();
    EXPECT_EQ(r.OutPosition(), 5u);
    for (int i = 0; i < 4; ++i) {
        r.SendTick();
    }
    EXPECT_EQ(Sock(1).sent, whole);
    EXPECT_FALSE(r.OutPacketOpen());
    EXPECT_EQ(SentRecords(1), (Log{"frame 1/1", "sub 3/3"}));
}

TEST_F(Link, TenSecondsOfSilenceCloseTheLinkAndTheTimerReconnects) {
    RemStation& r = Linked(1);
    EXPECT_EQ(Sock(1).opens.size(), 1u);
    EXPECT_TRUE(r.ReconnectTimerEnabled);
    clock_.advance(10000);
    r.SendTick();
    EXPECT_TRUE(Sock(1).Active());
    EXPECT_EQ(SentRecords(1), Log{"keep"});
    Sock(1).sent.clear();
    clock_.advance(1);
    r.Subscribe[1][1] = 1;
    r.SendTick();
    EXPECT_FALSE(Sock(1).Active());
    EXPECT_TRUE(Sock(1).sent.empty());
    EXPECT_EQ(r.Subscribe[1][1], 0); // the disconnect reset the requests
    EXPECT_EQ(r.LinkEventFlags[kLinkDisconnected], 1);
    EXPECT_TRUE(r.ReconnectTimerEnabled);
    r.ReconnectTimerTimer();
    ASSERT_EQ(Sock(1).opens.size(), 2u);
    EXPECT_EQ(Sock(1).opens[1], std::make_pair(std::string("127.0.0.1"), 1018));
    EXPECT_FALSE(r.ReconnectTimerEnabled);
}

TEST_F(Link, ReceivingKeepsTheLinkOpen) {
    RemStation& r = Linked(1);
    for (int i = 0; i < 5; ++i) {
        clock_.advance(9000);
        r.LastReceiveTick = clock_.now(); // what a read of the bound connection does
        r.SendTick();
    }
    EXPECT_TRUE(Sock(1).Active());
}

TEST_F(Link, ErrorClosesAndRetries) {
    RemStation& r = Linked(1);
    r.Subscribe[1][1] = 1;
    r.BoundPort = 5000;
    EXPECT_EQ(Sock(1).Error(), 0); // the code is cleared
    EXPECT_FALSE(Sock(1).Active());
    EXPECT_EQ(r.BoundPort, 0);
    EXPECT_EQ(r.Subscribe[1][1], 0);
    EXPECT_EQ(r.LinkEventFlags[kLinkError], 1);
    EXPECT_TRUE(r.ReconnectTimerEnabled);
    r.ReconnectTimerTimer();
    EXPECT_EQ(Sock(1).opens.size(), 2u);

    // A connect that fails: error, then the retry on the next tick.
    Sock(1).Error();
    EXPECT_TRUE(r.ReconnectTimerEnabled);
    r.ReconnectTimerTimer();
    EXPECT_EQ(Sock(1).opens.size(), 3u);
}

TEST_F(Link, AnOpenThatFailsAtOnceKeepsTheTimerRunning) {
    RemStation& r = links.Create(1);
    r.Address = "10.0.0.2";
    Sock(1).openStarts = false;
    r.ReconnectTimerTimer();
    EXPECT_TRUE(r.ReconnectTimerEnabled);
    Sock(1).openStarts = true;
    r.ReconnectTimerTimer();
    EXPECT_EQ(Sock(1).opens.size(), 2u);
    EXPECT_FALSE(r.ReconnectTimerEnabled);
}

TEST_F(Link, ReconnectTimerTriesOnlyAValidAddressAndPort) {
    struct Case {
        const char* address;
        int port;
        bool networkOn;
        bool opens;
        const char* addressAfter;
    };
    const Case cases[] = {
        {"192.168.1.20", 1018, true, true, "192.168.1.20"},
        {"192.168.1.20", 65535, true, true, "192.168.1.20"},
        {"192.168.1.20", 1, true, true, "192.168.1.20"},
        {"192.168.1.20", 0, true, false, "192.168.1.20"},
        {"192.168.1.20", 65536, true, false, "192.168.1.20"},
        {"192.168.1.20", -1018, true, false, "192.168.1.20"},
        {"192.168.1.20", 1018, false, false, "192.168.1.20"},
        {"", 1018, true, false, ""},
        {"192.168.1", 1018, true, false, ""},
        {"192.168.1.256", 1018, true, false, ""},
        {"host.example", 1018, true, false, ""},
        {" 10.0.0.1", 1018, true, false, ""},
    };
    for (const Case& c : cases) {
        links.Free(1);
        RemStation& r = links.Create(1);
        r.Address = c.address;
        r.Port = c.port;
        networkOn = c.networkOn;
        r.ReconnectTimerTimer();
        EXPECT_EQ(Sock(1).opens.size(), c.opens ? 1u : 0u) << c.address << " " << c.port;
        EXPECT_EQ(r.Address, c.addressAfter) << c.address;
    }
    networkOn = true;
    // An active link is not opened again.
    RemStation& r = Linked(2);
    r.ReconnectTimerTimer();
    EXPECT_EQ(Sock(2).opens.size(), 1u);
}

TEST_F(Link, JpegFramesAreEncodedAndAFrameThatCannotBeIsSkipped) {
    RemStation& r = Linked(1);
    PendingCopy(1, 1);
    PendingCopy(1, 2);
    // Copy 2 says 16 x 8 but holds only 10 bytes: the encoder refuses it.
    live.Handoff.Chip(1).FrameCopies[2].Pixels.resize(10);
    for (int c : {1, 2}) {
        r.PeerWantsFrame[1][c] = 1;
        r.PeerWantsJpeg[1][c] = 1;
        r.PeerQuality[1][c] = 60;
    }
    r.Subscribe[2][2] = 1;
    r.SendTick();
    Recorder rec;
    ParsePacket(Sock(1).sent, rec);
    EXPECT_EQ(rec.log, (Log{"frame 1/1", "sub 2/2"}));
    ASSERT_EQ(rec.frames.size(), 1u);
    EXPECT_EQ(rec.frames[0].Jpeg, 1);
    EXPECT_EQ(rec.frames[0].Quality, 60);
    const auto picture = archive::decode_jpeg(rec.frames[0].Picture);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 16);
    EXPECT_EQ(picture->height, 8);
    EXPECT_EQ(r.PeerWantsFrame[1][2], 0);
}

TEST_F(Link, FramesThatWouldPassThePacketLimitWaitForTheNextPacket) {
    RemStation& r = Linked(1);
    // 17 frames of 2 MiB: 15 fit under 32 MiB.
    auto big = [&](int board, int camera) {
        FrameCopy& c = live.Handoff.Chip(board).FrameCopies[static_cast<std::size_t>(camera)];
        c.Header = live_test::BitmapHeader(2048, 1024, 8);
        c.Pixels.assign(2048 * 1024, 1);
        c.Width = 2048;
        c.Height = 1024;
        c.Pending = true;
        r.PeerWantsFrame[board][camera] = 1;
    };
    for (int c = 1; c <= 16; ++c) {
        big(1, c);
    }
    big(2, 1);
    r.SendTick();
    EXPECT_LE(Sock(1).sent.size(), static_cast<std::size_t>(kMaxPacketLength));
    EXPECT_EQ(SentRecords(1).size(), 15u);
    EXPECT_EQ(r.PeerWantsFrame[1][16], 1);
    EXPECT_EQ(r.PeerWantsFrame[2][1], 1);
    r.SendTick();
    const Log all = SentRecords(1);
    ASSERT_EQ(all.size(), 17u);
    EXPECT_EQ(all[15], "frame 1/16");
    EXPECT_EQ(all[16], "frame 2/1");
}

TEST_F(Link, CameraFramesCarryTheAlarmFlagAndTheCameraName) {
    RemStation& r = Linked(1);
    PendingCopy(3, 4);
    live.Handoff.Chip(3).RemAlarmFlags[4] = 1;
    live.Tables.CamNames[4] = "\xCA\xE0\xEC"; // CP1251
    r.PeerWantsFrame[3][4] = 1;
    r.SendTick();
    Recorder rec;
    ParsePacket(Sock(1).sent, rec);
    ASSERT_EQ(rec.frames.size(), 1u);
    EXPECT_EQ(rec.frames[0].Alarm, 1);
    EXPECT_EQ(std::string(rec.frames[0].Name.begin(), rec.frames[0].Name.end()), "\xCA\xE0\xEC");
    EXPECT_EQ(rec.frames[0].Picture.size(), 16u * 8u);
}

// ---- Records from the peer ----

TEST_F(Link, SubscriptionsAskForOneFrameEach) {
    RemStation& r = Linked(1);
    r.ParsePacket(BuildPacket(1018, {EncodeSubscription({5, 2, 1, 1, 33}),
                                     EncodeSubscription({6, 2, 1, 0, 80}),
                                     EncodeSubscription({6, 2, 0, 0, 80})}));
    EXPECT_EQ(r.PeerWantsFrame[2][5], 1);
    EXPECT_EQ(r.PeerWantsJpeg[2][5], 1);
    EXPECT_EQ(r.PeerQuality[2][5], 33);
    EXPECT_EQ(r.PeerWantsFrame[2][6], 0); // withdrawn by the later record
    EXPECT_TRUE(links.Subscribed(1, 2, 5));
    EXPECT_FALSE(links.Subscribed(1, 2, 6));
}

TEST_F(Link, CameraFramesGoToTheWindowsOfThatStationOnly) {
    RemStation& r1 = Linked(1, "127.0.0.1", 1018);
    Linked(2, "127.0.0.1", 1018); // the same station entered twice
    Linked(3, "127.0.0.1", 1019); // another station on the same host
    Linked(4, "127.000.0.1", 1018);
    live_test::WindowSet windows{live.Slots, {}};
    live_test::FakePainter painters[6];
    const ChanelContext ctx = live.WindowContext();
    ChanelWindow* w[6] = {&windows.Add(1, 3, 2, 1, ctx), &windows.Add(2, 3, 2, 2, ctx),
                          &windows.Add(3, 3, 2, 3, ctx), &windows.Add(4, 3, 2, 0, ctx),
                          &windows.Add(5, 4, 2, 1, ctx), &windows.Add(6, 3, 2, 4, ctx)};
    for (int i = 0; i < 6; ++i) {
        w[i]->SetPainter(&painters[i]);
        w[i]->RemFrameSeen = 0;
    }
    const Bytes header = live_test::BitmapHeader(4, 2, 8);
    const Bytes pixels(8, 0x33);
    const Bytes name = Hex("43 61 6D");
    CameraFrameRecord f;
    f.Camera = 3;
    f.Board = 2;
    f.Name = name;
    f.Header = header;
    f.Picture = pixels;
    r1.ParsePacket(BuildPacket(1018, {EncodeCameraFrame(f)}));
    const bool shown[6] = {true, true, false, false, false, true};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(painters[i].pictures.size(), shown[i] ? 1u : 0u) << "window " << i + 1;
        EXPECT_EQ(w[i]->RemFrameSeen, shown[i] ? 1 : 0) << "window " << i + 1;
    }
    EXPECT_EQ(w[0]->RemCaptionBase, "Cam");
    EXPECT_EQ(painters[0].pictures[0].width, 4);
    windows.Clear();
}

TEST_F(Link, JpegCameraFramesShowAsBottomUpTwentyFourBitPictures) {
    RemStation& r = Linked(1);
    live_test::WindowSet windows{live.Slots, {}};
    live_test::FakePainter painter;
    ChanelWindow& w = windows.Add(1, 1, 1, 1, live.WindowContext());
    w.SetPainter(&painter);
    // Top half white, bottom half black.
    archive::Picture p;
    p.width = 16;
    p.height = 16;
    p.bgr.assign(16 * 16 * 3, 0);
    std::fill(p.bgr.begin(), p.bgr.begin() + 16 * 8 * 3, 0xFF);
    const Bytes jpeg = *archive::encode_jpeg(p, 95);
    const Bytes header = live_test::BitmapHeader(16, 16, 16, 2);
    CameraFrameRecord f;
    f.Camera = 1;
    f.Board = 1;
    f.Jpeg = 1;
    f.Header = header;
    f.Picture = jpeg;
    r.ParsePacket(BuildPacket(1018, {EncodeCameraFrame(f)}));
    ASSERT_EQ(painter.pictures.size(), 1u);
    EXPECT_EQ(painter.pictures[0].bits, 24);
    // The first stored row is the bottom one: black.
    EXPECT_LT(painter.pictures[0].firstBytes[0], 0x20);
    windows.Clear();
}

TEST_F(Link, MonitorSwitchOnlyOnManualMonitors) {
    RemStation& r = Linked(1);
    live.Tables.MonManual[2] = true;
    r.ParsePacket(BuildPacket(1018, {EncodeMonitorSwitch({7, 2}), EncodeMonitorSwitch({8, 3})}));
    EXPECT_EQ(board.monitors, (std::vector<std::tuple<int, int>>{{2, 7}}));
}

// ---- Archive requests and answers ----

class LinkArchive : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        for (int id = 0; id < 12; ++id) {
            write(id);
        }
        all.request.fill(true);
        all.alarm.fill(true);
        all.system.fill(true);
    }

    Bytes Request(std::int16_t mode, std::int64_t position, double percent,
                  const archive::ArchFilters& filters) {
        ArchRequestRecord q;
        q.Mode = mode;
        q.Position = position;
        q.Percent = percent;
        q.Filters = filters;
        return BuildPacket(1018, {EncodeArchRequest(q)});
    }

    archive::ArchFilters all;
};

TEST_F(LinkArchive, AnswersEqualTheArchiveReadersForEveryMode) {
    archive::ArchFilters none;
    for (const bool cyclic : {true, false}) {
        ctx.settings.cyclic = cyclic;
        for (const std::int16_t mode : {0, 1, -1, 2, 3, -2, 7}) {
            for (const std::int64_t pos : {0, 5, 11, 40, -3}) {
                for (const auto* filters : {&all, &none}) {
                    RemStation& r = Linked(1);
                    r.ParsePacket(Request(mode, pos, 37.5, *filters));
                    ASSERT_EQ(r.AnswerPending, 1);
                    std::int64_t expected_pos = pos;
                    switch (mode) {
                    case 1:
                        expected_pos = archive::ArchNextPos(ctx, pos);
                        break;
                    case -1:
                        expected_pos = archive::ArchPrevPos(ctx, pos);
                        break;
                    case 2:
                        expected_pos = archive::ArchLastPos(ctx, pos);
                        break;
                    case 3:
                        expected_pos = archive::ArchPercentPos(ctx, pos, 37.5);
                        break;
                    case -2:
                        expected_pos = 0;
                        break;
                    default:
                        break;
                    }
                    Bytes body;
                    if (cyclic) {
                        archive::ArchAnswerCyclic(ctx, expected_pos, *filters, body);
                    } else {
                        archive::ArchAnswerLinear(ctx, expected_pos, *filters, body);
                    }
                    EXPECT_EQ(r.ReceivedPos, expected_pos) << mode << " " << pos;
                    EXPECT_EQ(r.AnswerStream, body) << mode << " " << pos;
                    r.SendTick();
                    EXPECT_EQ(Bytes(Sock(1).sent.begin() + 14, Sock(1).sent.end()), body);
                    links.Free(1);
                }
            }
        }
    }
}

TEST_F(LinkArchive, ARequestWhileAnAnswerIsUnsentIsDropped) {
    RemStation& r = Linked(1);
    Sock(1).plan = {-1};
    r.ParsePacket(Request(0, 3, 0, all));
    const Bytes first = r.AnswerStream;
    r.ParsePacket(Request(0, 4, 0, all));
    EXPECT_EQ(r.AnswerStream, first);
    EXPECT_EQ(r.ReceivedPos, 3);
}

TEST_F(LinkArchive, AnArchiveThatFailsAnswersNothingRead) {
    RemStation& r = Linked(1);
    ctx.program_dir = (tmp.path() / "missing").string();
    r.ParsePacket(Request(0, 3, 0, all));
    EXPECT_EQ(r.AnswerStream, Hex("FF FF 03 00 00 00 00 00 00 00"));
}

TEST_F(LinkArchive, AnswersGoToTheViewerMarkedByTheirStation) {
    RemStation& r1 = Linked(1, "127.0.0.1", 1018);
    Linked(2, "127.0.0.1", 1019);
    viewer.viewStation = 2;
    // A real answer of this archive, and one whose picture does not decode.
    Bytes found;
    ASSERT_EQ(archive::ArchAnswerCyclic(ctx, 4, all, found), archive::kFound);
    Bytes broken = found;
    broken.resize(broken.size() - 30);
    const auto length = static_cast<std::uint32_t>(broken.size() - 18 - 57 - 4);
    for (int i = 0; i < 4; ++i) {
        broken[18 + 57 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(length >> (8 * i));
    }
    r1.ParsePacket(BuildPacket(1018, {EncodeArchAnswer(found), EncodeArchAnswer(broken),
                                      EncodeArchAnswer(Hex("FF FF 09 00 00 00 00 00 00 00"))}));
    viewer.viewStation = 1;
    r1.ParsePacket(BuildPacket(1018, {EncodeArchAnswer(found)}));
    ASSERT_EQ(viewer.answers.size(), 4u);
    EXPECT_EQ(viewer.answers[0].code, 0);
    EXPECT_EQ(viewer.answers[0].position, 4);
    EXPECT_FALSE(viewer.answers[0].fromShown); // station 2 is on another port
    EXPECT_EQ(viewer.answers[0].pictureWidth, width);
    EXPECT_EQ(viewer.answers[1].code, -1); // the picture did not decode
    EXPECT_EQ(viewer.answers[1].position, 4);
    EXPECT_EQ(viewer.answers[2].code, -1);
    EXPECT_EQ(viewer.answers[2].position, 9);
    EXPECT_TRUE(viewer.answers[3].fromShown);
}

TEST_F(LinkArchive, ArchiveRequestsCarryTheViewersFilters) {
    RemStation& r = Linked(1);
    viewer.filters.alarm[3] = true;
    viewer.filters.system[20] = true;
    r.ArchRequestPending = 1;
    r.ArchRequestMode = -1;
    r.ArchRequestPos = 77;
    r.ArchRequestPercent = 12.5;
    r.SendTick();
    Recorder rec;
    ParsePacket(Sock(1).sent, rec);
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].Mode, -1);
    EXPECT_EQ(rec.requests[0].Position, 77);
    EXPECT_EQ(rec.requests[0].Percent, 12.5);
    EXPECT_EQ(rec.requests[0].Filters.alarm, viewer.filters.alarm);
    EXPECT_EQ(rec.requests[0].Filters.system, viewer.filters.system);
}

} // namespace
} // namespace network_test
