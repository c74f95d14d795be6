// Reassembly of a connection's byte stream into packets: every split of the stream gives the
// same packets; junk and bad headers are skipped; nothing hangs and little is held.
#include "network_fakes.h"

#include "network/packet_assembler.h"

#include <gtest/gtest.h>

#include <random>

namespace network_test {
namespace {

// A packet whose payload is full of sync bytes: a camera frame of A5 pixels named "A5A5".
Bytes SyncRichPacket(int camera) {
    CameraFrameRecord r;
    r.Camera = static_cast<std::int16_t>(camera);
    const Bytes name(4, 0xA5);
    Bytes header(40, 0xA5);
    const Bytes pixels(64, 0xA5);
    r.Name = name;
    r.Header = header;
    r.Picture = pixels;
    return BuildPacket(0x0A5A5, {EncodeCameraFrame(r), EncodeKeepAlive()});
}

struct Collector {
    std::vector<Bytes> packets;
    PacketAssembler::PacketFn fn() {
        return
            [this](std::span<const std::uint8_t> p) { packets.emplace_back(p.begin(), p.end()); };
    }
};

Bytes Stream(const std::vector<Bytes>& packets) {
    Bytes s;
    for (const Bytes& p : packets) {
        s.insert(s.end(), p.begin(), p.end());
    }
    return s;
}

TEST(FindPacketSync, NeedsTheWholeHeaderInHand) {
    const Bytes p = BuildPacket(1018, {EncodeKeepAlive()});
    for (std::size_t n = 0; n < 12; ++n) {
        EXPECT_FALSE(FindPacketSync(std::span(p.data(), n))) << n;
    }
    const auto hit = FindPacketSync(std::span(p.data(), 12));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->Start, 0u);
    EXPECT_EQ(hit->Length, 14);
    EXPECT_EQ(hit->Port, 1018);
}

TEST(FindPacketSync, PassesOverHeadersWithImpossibleLengths) {
    const Bytes good = BuildPacket(7, {EncodeKeepAlive()});
    for (const std::int32_t length : {-5, 0, 11, 12, 13, kMaxPacketLength + 1}) {
        Bytes bad = PacketHeader(9);
        for (int i = 0; i < 4; ++i) {
            bad[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
        }
        const Bytes s = Stream({bad, good});
        const auto hit = FindPacketSync(s);
        ASSERT_TRUE(hit) << length;
        EXPECT_EQ(hit->Start, bad.size()) << length;
        EXPECT_EQ(hit->Port, 7) << length;
    }
}

TEST(PacketAssembler, EveryTwoWaySplitGivesThePacketsFedWhole) {
    const std::vector<Bytes> packets{SyncRichPacket(1), SyncRichPacket(2),
                                     BuildPacket(3, {EncodeKeepAlive()})};
    const Bytes s = Stream(packets);
    for (std::size_t cut = 0; cut <= s.size(); ++cut) {
        PacketAssembler a;
        Collector c;
        a.Feed(std::span(s.data(), cut), c.fn());
        a.Feed(std::span(s.data() + cut, s.size() - cut), c.fn());
        EXPECT_EQ(c.packets, packets) << "cut at " << cut;
        EXPECT_EQ(a.PacketRemaining(), 0);
    }
}

TEST(PacketAssembler, OneByteChunksGiveThePacketsFedWhole) {
    const std::vector<Bytes> packets{SyncRichPacket(1), SyncRichPacket(2)};
    const Bytes s = Stream(packets);
    PacketAssembler a;
    Collector c;
    for (const std::uint8_t b : s) {
        a.Feed(std::span(&b, 1), c.fn());
        EXPECT_LE(a.HeldBytes(), s.size());
    }
    EXPECT_EQ(c.packets, packets);
}

TEST(PacketAssembler, ThreeChunksParseOnceAfterTheThird) {
    const Bytes p = SyncRichPacket(5);
    PacketAssembler a;
    Collector c;
    a.Feed(std::span(p.data(), 5), c.fn());
    a.Feed(std::span(p.data() + 5, 40), c.fn());
    EXPECT_TRUE(c.packets.empty());
    a.Feed(std::span(p.data() + 45, p.size() - 45), c.fn());
    EXPECT_EQ(c.packets, std::vector<Bytes>{p});
}

TEST(PacketAssembler, JunkBeforeAndBetweenPacketsIsSkipped) {
    const Bytes p1 = SyncRichPacket(1);
    const Bytes p2 = BuildPacket(2, {EncodeKeepAlive()});
    // Junk with lone sync bytes and a header whose length is impossible.
    Bytes bad = PacketHeader(9);
    bad[0] = 3;
    const Bytes junk = Stream({Hex("A5 A5 A5 00 01 A5 A5"), bad, Hex("00 A5")});
    const Bytes s = Stream({junk, p1, junk, p2});
    for (std::size_t cut = 0; cut <= s.size(); ++cut) {
        PacketAssembler a;
        Collector c;
        a.Feed(std::span(s.data(), cut), c.fn());
        a.Feed(std::span(s.data() + cut, s.size() - cut), c.fn());
        EXPECT_EQ(c.packets, (std::vector<Bytes>{p1, p2})) << "cut at " << cut;
    }
}

TEST(PacketAssembler, HoldsAtMostElevenBytesBetweenPackets) {
    PacketAssembler a;
    Collector c;
    std::mt19937 rng(7);
    Bytes junk(100000);
    for (auto& b : junk) {
        b = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xA5 : rng());
    }
    for (std::size_t at = 0; at < junk.size(); at += 997) {
        const std::size_t n = std::min<std::size_t>(997, junk.size() - at);
        a.Feed(std::span(junk.data() + at, n), c.fn());
        if (a.PacketRemaining() == 0) {
            EXPECT_LE(a.HeldBytes(), kHeaderCarry);
        }
    }
    // Whatever the junk started, a packet's worth of bytes at most is held.
    EXPECT_LE(a.HeldBytes(), static_cast<std::size_t>(kMaxPacketLength));
}

TEST(PacketAssembler, ALongClaimedLengthWaitsWithoutAllocatingAhead) {
    Bytes head = PacketHeader(1);
    const std::int32_t length = kMaxPacketLength;
    for (int i = 0; i < 4; ++i) {
        head[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    PacketAssembler a;
    Collector c;
    a.Feed(head, c.fn());
    EXPECT_EQ(a.PacketRemaining(), length - 12);
    EXPECT_EQ(a.HeldBytes(), 12u);
    a.Reset();
    EXPECT_EQ(a.HeldBytes(), 0u);
    EXPECT_EQ(a.PacketRemaining(), 0);
}

} // namespace
} // namespace network_test
