// The packet format: golden bytes of every record type, and what a parsed packet hands on when
// a record is malformed.
#include "malformed_cases.h"

#include <gtest/gtest.h>

namespace network_test {
namespace {

std::vector<std::string> Parse(const Bytes& packet, Recorder& r) {
    ParsePacket(packet, r);
    return r.log;
}

std::vector<std::string> Parse(const Bytes& packet) {
    Recorder r;
    return Parse(packet, r);
}

TEST(PacketGolden, KeepAlivePacketIsFourteenBytes) {
    EXPECT_EQ(BuildPacket(1018, {EncodeKeepAlive()}),
              Hex("0E 00 00 00 A5 A5 A5 A5 FA 03 00 00 00 00"));
    EXPECT_EQ(Parse(BuildPacket(1018, {EncodeKeepAlive()})), std::vector<std::string>{"keep"});
}

TEST(PacketGolden, Subscription) {
    EXPECT_EQ(EncodeSubscription({16, 4, 1, 1, 75}), Hex("01 00 10 00 04 00 01 00 01 00 4B 00"));
    EXPECT_EQ(Parse(BuildPacket(1, {Hex("01 00 10 00 04 00 01 00 01 00 4B 00")})),
              std::vector<std::string>{"sub 4/16"});
}

TEST(PacketGolden, UncompressedCameraFrameOfFourByTwoEightBitPixels) {
    const Bytes header = BitmapHeader(4, 2, 8);
    const Bytes pixels = Hex("00 01 02 03 04 05 06 07");
    CameraFrameRecord r;
    r.Camera = 3;
    r.Board = 2;
    r.Alarm = 1;
    r.Jpeg = 0;
    r.Quality = 50;
    const Bytes name = Hex("43 61 6D");
    r.Name = name;
    r.Header = header;
    r.Picture = pixels;
    const Bytes golden = Cat({Hex("02 00 03 00 02 00 01 00 00 00 32 00 03 00 43 61 6D 28 00 00 00"),
                              header, Hex("08 00 00 00 00 01 02 03 04 05 06 07")});
    EXPECT_EQ(EncodeCameraFrame(r), golden);

    Recorder rec;
    const Bytes packet = BuildPacket(1, {golden}); // the records are views into it
    EXPECT_EQ(Parse(packet, rec), std::vector<std::string>{"frame 2/3"});
    const CameraFrameRecord& got = rec.frames.at(0);
    EXPECT_EQ(got.Alarm, 1);
    EXPECT_EQ(got.Quality, 50);
    EXPECT_EQ(Bytes(got.Name.begin(), got.Name.end()), name);
    EXPECT_EQ(Bytes(got.Header.begin(), got.Header.end()), header);
    EXPECT_EQ(Bytes(got.Picture.begin(), got.Picture.end()), pixels);
}

TEST(PacketGolden, ArchiveRequest) {
    ArchRequestRecord r;
    r.Position = 5;
    r.Percent = 50.0;
    r.Mode = 3;
    r.Filters.request[0] = true;
    r.Filters.alarm[15] = true;
    r.Filters.system[0] = true;
    r.Filters.system[20] = true;
    const Bytes golden =
        Cat({Hex("03 00 05 00 00 00 00 00 00 00 00 00 00 00 00 00 49 40 03 00"),
             Hex("01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
             Hex("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01"),
             Hex("01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01")});
    EXPECT_EQ(EncodeArchRequest(r), golden);
    EXPECT_EQ(golden.size(), 2u + 71u);

    // Any byte other than 0 reads as set.
    Bytes twos = golden;
    twos[20] = 2;
    Recorder rec;
    ParsePacket(BuildPacket(1, {twos}), rec);
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].Position, 5);
    EXPECT_EQ(rec.requests[0].Percent, 50.0);
    EXPECT_EQ(rec.requests[0].Mode, 3);
    EXPECT_TRUE(rec.requests[0].Filters.request[0]);
    EXPECT_TRUE(rec.requests[0].Filters.alarm[15]);
    EXPECT_FALSE(rec.requests[0].Filters.alarm[14]);
    EXPECT_TRUE(rec.requests[0].Filters.system[20]);
}

TEST(PacketGolden, ArchiveAnswers) {
    // Code -1: code and position only, 10 bytes of body.
    const Bytes nothing = Hex("FF FF 07 00 00 00 00 00 00 00");
    EXPECT_EQ(EncodeArchAnswer(nothing), Cat({Hex("04 00"), nothing}));

    archive::FrameRecord fr;
    fr.jpeg = 1;
    fr.camera = 4;
    fr.station = 0;
    fr.length = 3;
    const auto record = archive::serialize(fr);
    const Bytes filtered = Cat({Hex("FE FF 07 00 00 00 00 00 00 00 00 00 00 00 00 00 49 40"),
                                Bytes(record.begin(), record.end())});
    const Bytes picture = Jpeg(8, 8);
    const Bytes found = Cat({Hex("00 00 07 00 00 00 00 00 00 00 00 00 00 00 00 00 49 40"),
                             Bytes(record.begin(), record.end()),
                             Le32(static_cast<std::int32_t>(picture.size())), picture});

    Recorder rec;
    const Bytes packet = BuildPacket(
        1, {EncodeArchAnswer(nothing), EncodeArchAnswer(filtered), EncodeArchAnswer(found)});
    EXPECT_EQ(Parse(packet, rec), (std::vector<std::string>{"ans -1", "ans -2", "ans 0"}));
    EXPECT_EQ(rec.answers[0].Position, 7);
    EXPECT_EQ(rec.answers[1].Percent, 50.0);
    EXPECT_EQ(rec.answers[1].Record.camera, 4);
    EXPECT_TRUE(rec.answers[1].Picture.empty());
    EXPECT_EQ(rec.answers[2].Record.jpeg, 1);
    EXPECT_EQ(Bytes(rec.answers[2].Picture.begin(), rec.answers[2].Picture.end()), picture);
}

TEST(PacketGolden, MonitorSwitch) {
    EXPECT_EQ(EncodeMonitorSwitch({7, 2}), Hex("05 00 07 00 02 00"));
    EXPECT_EQ(Parse(BuildPacket(1, {Hex("05 00 07 00 02 00")})),
              std::vector<std::string>{"mon 2/7"});
}

TEST(PacketMalformed, OneRecordOfEachFaultTakesOnlyItsOwnEffect) {
    for (const MalformedCase& c : MalformedCases()) {
        EXPECT_EQ(Parse(BuildPacket(1, {Sub(1, 1), c.record, Sub(1, 2)})), c.effect) << c.what;
    }
}

TEST(PacketMalformed, TruncatedLastRecordDropsOnlyItself) {
    for (const Bytes& record : {Sub(1, 3), EncodeMonitorSwitch({1, 1}),
                                Frame(BitmapHeader(4, 2, 8), Bytes(8, 1)), EncodeArchRequest({})}) {
        for (std::size_t cut = 1; cut < record.size(); ++cut) {
            const Bytes part(record.begin(), record.begin() + static_cast<long>(cut));
            EXPECT_EQ(Parse(BuildPacket(1, {Sub(1, 1), part})), std::vector<std::string>{"sub 1/1"})
                << "cut at " << cut;
        }
    }
}

TEST(PacketMalformed, HeaderLengthDecidesWhatIsRead) {
    Bytes p = BuildPacket(1, {Sub(1, 1), Sub(1, 2)});
    // Bytes after the length word are not read.
    Bytes longer = p;
    longer.insert(longer.end(), {0x01, 0x00});
    EXPECT_EQ(Parse(longer), (std::vector<std::string>{"sub 1/1", "sub 1/2"}));
    // A length that cuts the second record.
    Bytes cut = p;
    cut[0] = static_cast<std::uint8_t>(p.size() - 1);
    EXPECT_EQ(Parse(cut), std::vector<std::string>{"sub 1/1"});
    // Lengths below a header and a record, or past the bytes given, and a wrong sync word.
    for (const std::int32_t length : {0, 12, 13, -1, static_cast<std::int32_t>(p.size() + 1)}) {
        Bytes bad = p;
        const Bytes l = Le32(length);
        std::copy(l.begin(), l.end(), bad.begin());
        EXPECT_TRUE(Parse(bad).empty()) << length;
    }
    Bytes sync = p;
    sync[5] = 0xA4;
    EXPECT_TRUE(Parse(sync).empty());
}

TEST(JpegSize, ReadsTheFrameHeaderWithoutDecoding) {
    int w = 0;
    int h = 0;
    ASSERT_TRUE(JpegStreamSize(Jpeg(24, 16), w, h));
    EXPECT_EQ(w, 24);
    EXPECT_EQ(h, 16);
    const Bytes j = Jpeg(24, 16);
    for (std::size_t cut = 0; cut < 40; ++cut) {
        // Cut before its frame header: no size (and never a read past the end).
        JpegStreamSize(std::span(j.data(), cut), w, h);
    }
    EXPECT_FALSE(JpegStreamSize(Hex("FF D8 FF DA 00 02"), w, h));
    EXPECT_FALSE(JpegStreamSize(Hex("FF D8 FF E0 00 01"), w, h));
}

} // namespace
} // namespace network_test
