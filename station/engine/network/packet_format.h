// The packets stations exchange: a 12-byte header (total length, sync word, the sender's
// listening port) and records back to back. Writers build each record's bytes; the reader
// takes one whole packet, checks every length and index against it and hands each record that
// can be used to a sink, in order.
#pragma once

#include "archive/archive_reader.h"

#include <cstdint>
#include <span>
#include <vector>

namespace station {

inline constexpr std::uint32_t kPacketSync = 0xA5A5A5A5u;
inline constexpr std::int32_t kPacketHeaderSize = 12;
// A packet holds at least one record; anything longer than this is not a packet of ours.
inline constexpr std::int32_t kMinPacketLength = kPacketHeaderSize + 2;
inline constexpr std::int32_t kMaxPacketLength = 32 * 1024 * 1024;
// A camera frame's picture header is at least a bitmap information header.
inline constexpr std::int32_t kMinPictureHeader = 40;

enum RecordType : std::int16_t {
    kRecKeepAlive = 0,
    kRecSubscription = 1,
    kRecCameraFrame = 2,
    kRecArchRequest = 3,
    kRecArchAnswer = 4,
    kRecMonitorSwitch = 5,
};

struct SubscriptionRecord {
    std::int16_t Camera = 1;
    std::int16_t Board = 1;
    std::int16_t Wanted = 1;
    std::int16_t Jpeg = 0;
    std::int16_t Quality = 100;
};

// Views into the packet.
struct CameraFrameRecord {
    std::int16_t Camera = 1;
    std::int16_t Board = 1;
    std::int16_t Alarm = 0;
    std::int16_t Jpeg = 0;
    std::int16_t Quality = 100;
    std::span<const std::uint8_t> Name; // CP1251
    std::span<const std::uint8_t> Header;
    std::span<const std::uint8_t> Picture;
};

struct ArchRequestRecord {
    std::int64_t Position = 0;
    double Percent = 0;
    std::int16_t Mode = 0;
    archive::ArchFilters Filters;
};

struct ArchAnswerRecord {
    std::int16_t Code = archive::kNothingRead;
    std::int64_t Position = 0;
    // Codes 0 and -2.
    double Percent = 0;
    archive::FrameRecord Record;
    // Code 0: the stored picture (JPEG when Record.jpeg, else a bitmap file).
    std::span<const std::uint8_t> Picture;
};

struct MonitorSwitchRecord {
    std::int16_t Camera = 1;
    std::int16_t Monitor = 1;
};

// ---- Writers: a packet's header and each record's bytes, the type included ----

std::vector<std::uint8_t> PacketHeader(std::int32_t serverPort);
std::vector<std::uint8_t> EncodeKeepAlive();
std::vector<std::uint8_t> EncodeSubscription(const SubscriptionRecord& r);
std::vector<std::uint8_t> EncodeCameraFrame(const CameraFrameRecord& r);
// The same record appended to `out` (the link writes frames straight into its packet), and
// its size in bytes.
void AppendCameraFrame(std::vector<std::uint8_t>& out, const CameraFrameRecord& r);
std::size_t CameraFrameSize(const CameraFrameRecord& r);
std::vector<std::uint8_t> EncodeArchRequest(const ArchRequestRecord& r);
// `body` as the archive answer readers write it.
std::vector<std::uint8_t> EncodeArchAnswer(std::span<const std::uint8_t> body);
std::vector<std::uint8_t> EncodeMonitorSwitch(const MonitorSwitchRecord& r);

// ---- Reader ----

// What a parsed packet hands on, record by record.
class PacketSink {
public:
    virtual ~PacketSink() = default;
    virtual void OnKeepAlive() {}
    virtual void OnSubscription(const SubscriptionRecord&) {}
    virtual void OnCameraFrame(const CameraFrameRecord&) {}
    virtual void OnArchRequest(const ArchRequestRecord&) {}
    virtual void OnArchAnswer(const ArchAnswerRecord&) {}
    virtual void OnMonitorSwitch(const MonitorSwitchRecord&) {}
};

// Parses one whole packet (its header included; the length word counts, bytes beyond it are
// not read). A record whose body runs past the packet's length, has a negative length or an
// unknown type ends the packet: the records before it keep their effect. A record whose values
// are out of range (subscription board 1..4 and camera 1..16, switch camera 1..16 and monitor
// 1..4, a picture header under 40 bytes, a raw picture that does not hold its header's format,
// a JPEG whose size is not the header's) is skipped alone. Answers the records handed on.
int ParsePacket(std::span<const std::uint8_t> packet, PacketSink& sink);

// Width and height from a JPEG stream's frame header, without decoding; false when the
// stream has none before its scan.
bool JpegStreamSize(std::span<const std::uint8_t> jpeg, int& width, int& height);

} // namespace station
