#include "packet_format.h"

#include "packet_bytes.h"
#include "base/frame_pixels.h"
#include "base/limits.h"
#include "live/chanel_window.h"

#include <algorithm>

namespace station {

namespace {

void append_type(std::vector<std::uint8_t>& out, RecordType type) {
    AppendLe<std::int16_t>(out, type);
}

void append_flags(std::vector<std::uint8_t>& out, std::span<const bool> flags) {
    for (const bool f : flags) {
        out.push_back(f ? 1 : 0);
    }
}

template <std::size_t N> bool read_flags(PacketReader& in, std::array<bool, N>& flags) {
    const auto bytes = in.Take(static_cast<std::int64_t>(N));
    if (in.Failed()) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        flags[i] = bytes[i] != 0;
    }
    return true;
}

// The picture of a camera frame can be shown as its header says.
bool picture_usable(const CameraFrameRecord& r) {
    if (r.Header.size() < static_cast<std::size_t>(kMinPictureHeader)) {
        return false;
    }
    const FrameFormat f = ParseFrameFormat(r.Header);
    if (r.Jpeg == 1) {
        int w = 0;
        int h = 0;
        return f.Width > 0 && f.Height > 0 && JpegStreamSize(r.Picture, w, h) && w == f.Width &&
               h == f.Height;
    }
    return FrameFits(f, r.Picture.size());
}

enum class Step { Used, Skipped, End };

Step read_subscription(PacketReader& in, PacketSink& sink) {
    SubscriptionRecord r;
    r.Camera = in.Read<std::int16_t>();
    r.Board = in.Read<std::int16_t>();
    r.Wanted = in.Read<std::int16_t>();
    r.Jpeg = in.Read<std::int16_t>();
    r.Quality = in.Read<std::int16_t>();
    if (in.Failed()) {
        return Step::End;
    }
    if (!ValidCamera(r.Camera) || !ValidChip(r.Board)) {
        return Step::Skipped;
    }
    sink.OnSubscription(r);
    return Step::Used;
}

Step read_camera_frame(PacketReader& in, PacketSink& sink) {
    CameraFrameRecord r;
    r.Camera = in.Read<std::int16_t>();
    r.Board = in.Read<std::int16_t>();
    r.Alarm = in.Read<std::int16_t>();
    r.Jpeg = in.Read<std::int16_t>();
    r.Quality = in.Read<std::int16_t>();
    r.Name = in.Take(in.Read<std::int16_t>());
    r.Header = in.Take(in.Read<std::int32_t>());
    r.Picture = in.Take(in.Read<std::int32_t>());
    if (in.Failed()) {
        return Step::End;
    }
    if (!picture_usable(r)) {
        return Step::Skipped;
    }
    sink.OnCameraFrame(r);
    return Step::Used;
}

Step read_arch_request(PacketReader& in, PacketSink& sink) {
    ArchRequestRecord r;
    r.Position = in.Read<std::int64_t>();
    r.Percent = in.Read<double>();
    r.Mode = in.Read<std::int16_t>();
    if (!read_flags(in, r.Filters.request) || !read_flags(in, r.Filters.alarm) ||
        !read_flags(in, r.Filters.system)) {
        return Step::End;
    }
    sink.OnArchRequest(r);
    return Step::Used;
}

Step read_arch_answer(PacketReader& in, PacketSink& sink) {
    ArchAnswerRecord r;
    r.Code = in.Read<std::int16_t>();
    r.Position = in.Read<std::int64_t>();
    if (r.Code == archive::kFound || r.Code == archive::kFilteredOut) {
        r.Percent = in.Read<double>();
        const auto record = in.Take(static_cast<std::int64_t>(archive::kFrameRecordSize));
        if (in.Failed()) {
            return Step::End;
        }
        r.Record = *archive::parse_frame_record(record);
        if (r.Code == archive::kFound) {
            r.Picture = in.Take(in.Read<std::int32_t>());
        }
    }
    if (in.Failed()) {
        return Step::End;
    }
    sink.OnArchAnswer(r);
    return Step::Used;
}

Step read_monitor_switch(PacketReader& in, PacketSink& sink) {
    MonitorSwitchRecord r;
    r.Camera = in.Read<std::int16_t>();
    r.Monitor = in.Read<std::int16_t>();
    if (in.Failed()) {
        return Step::End;
    }
    if (!ValidCamera(r.Camera) || !ValidMonitor(r.Monitor)) {
        return Step::Skipped;
    }
    sink.OnMonitorSwitch(r);
    return Step::Used;
}

} // namespace

// ---- Writers ----

std::vector<std::uint8_t> PacketHeader(std::int32_t serverPort) {
    std::vector<std::uint8_t> out;
    AppendLe<std::int32_t>(out, kPacketHeaderSize);
    AppendLe<std::uint32_t>(out, kPacketSync);
    AppendLe<std::int32_t>(out, serverPort);
    return out;
}

std::vector<std::uint8_t> EncodeKeepAlive() {
    std::vector<std::uint8_t> out;
    append_type(out, kRecKeepAlive);
    return out;
}

std::vector<std::uint8_t> EncodeSubscription(const SubscriptionRecord& r) {
    std::vector<std::uint8_t> out;
    append_type(out, kRecSubscription);
    for (const std::int16_t v : {r.Camera, r.Board, r.Wanted, r.Jpeg, r.Quality}) {
        AppendLe(out, v);
    }
    return out;
}

std::size_t CameraFrameSize(const CameraFrameRecord& r) {
    return 24 + r.Name.size() + r.Header.size() + r.Picture.size();
}

void AppendCameraFrame(std::vector<std::uint8_t>& out, const CameraFrameRecord& r) {
    const std::size_t need = out.size() + CameraFrameSize(r);
    if (out.capacity() < need) {
        out.reserve(std::max(need, 2 * out.capacity()));
    }
    append_type(out, kRecCameraFrame);
    for (const std::int16_t v : {r.Camera, r.Board, r.Alarm, r.Jpeg, r.Quality}) {
        AppendLe(out, v);
    }
    AppendLe(out, static_cast<std::int16_t>(r.Name.size()));
    AppendBytes(out, r.Name);
    AppendLe(out, static_cast<std::int32_t>(r.Header.size()));
    AppendBytes(out, r.Header);
    AppendLe(out, static_cast<std::int32_t>(r.Picture.size()));
    AppendBytes(out, r.Picture);
}

std::vector<std::uint8_t> EncodeCameraFrame(const CameraFrameRecord& r) {
    std::vector<std::uint8_t> out;
    AppendCameraFrame(out, r);
    return out;
}

std::vector<std::uint8_t> EncodeArchRequest(const ArchRequestRecord& r) {
    std::vector<std::uint8_t> out;
    append_type(out, kRecArchRequest);
    AppendLe(out, r.Position);
    AppendLe(out, r.Percent);
    AppendLe(out, r.Mode);
    append_flags(out, r.Filters.request);
    append_flags(out, r.Filters.alarm);
    append_flags(out, r.Filters.system);
    return out;
}

std::vector<std::uint8_t> EncodeArchAnswer(std::span<const std::uint8_t> body) {
    std::vector<std::uint8_t> out;
    out.reserve(2 + body.size());
    append_type(out, kRecArchAnswer);
    AppendBytes(out, body);
    return out;
}

std::vector<std::uint8_t> EncodeMonitorSwitch(const MonitorSwitchRecord& r) {
    std::vector<std::uint8_t> out;
    append_type(out, kRecMonitorSwitch);
    AppendLe(out, r.Camera);
    AppendLe(out, r.Monitor);
    return out;
}

// ---- Reader ----

int ParsePacket(std::span<const std::uint8_t> packet, PacketSink& sink) {
    PacketReader head(packet);
    const std::int32_t length = head.Read<std::int32_t>();
    const std::uint32_t sync = head.Read<std::uint32_t>();
    head.Read<std::int32_t>();
    if (head.Failed() || sync != kPacketSync || length < kMinPacketLength ||
        static_cast<std::size_t>(length) > packet.size()) {
        return 0;
    }
    PacketReader in(
        packet.subspan(kPacketHeaderSize, static_cast<std::size_t>(length - kPacketHeaderSize)));
    int used = 0;
    while (in.Left() > 0) {
        const std::int16_t type = in.Read<std::int16_t>();
        if (in.Failed()) {
            break;
        }
        Step step = Step::End;
        switch (type) {
        case kRecKeepAlive:
            sink.OnKeepAlive();
            step = Step::Used;
            break;
        case kRecSubscription:
            step = read_subscription(in, sink);
            break;
        case kRecCameraFrame:
            step = read_camera_frame(in, sink);
            break;
        case kRecArchRequest:
            step = read_arch_request(in, sink);
            break;
        case kRecArchAnswer:
            step = read_arch_answer(in, sink);
            break;
        case kRecMonitorSwitch:
            step = read_monitor_switch(in, sink);
            break;
        default:
            // No known length: nothing after it can be read.
            break;
        }
        if (step == Step::End) {
            break;
        }
        if (step == Step::Used) {
            ++used;
        }
    }
    return used;
}

bool JpegStreamSize(std::span<const std::uint8_t> jpeg, int& width, int& height) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        return false;
    }
    std::size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        if (jpeg[at] != 0xFF) {
            return false;
        }
        const std::uint8_t marker = jpeg[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) { // end of image or start of scan
            return false;
        }
        const std::size_t len = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (len < 2 || at + 2 + len > jpeg.size()) {
            return false;
        }
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            if (len < 7) {
                return false;
            }
            height = jpeg[at + 5] << 8 | jpeg[at + 6];
            width = jpeg[at + 7] << 8 | jpeg[at + 8];
            return true;
        }
        at += 2 + len;
    }
    return false;
}

} // namespace station
