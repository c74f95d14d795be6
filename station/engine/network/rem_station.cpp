#include "rem_station.h"

#include "ipv4.h"
#include "packet_bytes.h"
#include "archive/archive_encode.h"
#include "archive/archive_search.h"
#include "live/live_station.h"

#include <win32/sysinfo.h>

#include <algorithm>
#include <exception>

namespace station {

namespace {

constexpr std::uint32_t kSilenceLimit = 10000;
constexpr std::uint32_t kKeepAliveAfter = 2000;

// A decoded JPEG as a camera frame: the header with 24 bits per pixel, rows bottom-up.
void to_bottom_up_24(const archive::Picture& picture, std::vector<std::uint8_t>& header,
                     std::vector<std::uint8_t>& rows) {
    header[14] = 24;
    header[15] = 0;
    const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
    rows.resize(row * static_cast<std::size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        const auto* src = picture.bgr.data() + static_cast<std::size_t>(y) * row;
        std::copy(src, src + row,
                  rows.data() + static_cast<std::size_t>(picture.height - 1 - y) * row);
    }
}

} // namespace

RemStation::RemStation(int stationNumber, RemHost host, const SocketFactory& makeSocket)
    : StationNumber(stationNumber), host_(host) {
    const std::uint32_t now = GetTickCount();
    LastSendTick = now;
    NowTick = now;
    LastReceiveTick = now;
    ResetRequests();
    socket_ = makeSocket(*this);
}

RemStation::~RemStation() {
    OnTimerChanged = nullptr;
    ResetRequests();
    socket_->Close();
    ReleaseRemoteChannels();
    drop_connections();
    socket_.reset();
    DropPacket();
}

void RemStation::ResetRequests() {
    MonSwitchPending = 0;
    MonSwitchCamera = 1;
    MonSwitchMonitor = 1;
    ArchRequestPending = 0;
    for (int b = 1; b <= kChipCount; ++b) {
        for (int c = 1; c <= kCameraCount; ++c) {
            Subscribe[b][c] = 0;
            SubscribeJpeg[b][c] = 0;
            PeerWantsFrame[b][c] = 0;
            PeerWantsJpeg[b][c] = 0;
            SubscribeQuality[b][c] = 100;
            PeerQuality[b][c] = 100;
        }
    }
    AnswerStream.clear();
    AnswerStream.shrink_to_fit();
    AnswerPending = 0;
}

void RemStation::BeginPacket() {
    if (!out_open_) {
        out_packet_ = PacketHeader(host_.Settings.ServerPort);
        out_position_ = 0;
        out_open_ = true;
    }
}

void RemStation::AppendToPacket(std::span<const std::uint8_t> bytes) {
    if (!out_open_) {
        return;
    }
    out_packet_.insert(out_packet_.end(), bytes.begin(), bytes.end());
    set_length();
}

void RemStation::set_length() {
    const auto length = static_cast<std::uint32_t>(out_packet_.size());
    for (int i = 0; i < 4; ++i) {
        out_packet_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    }
}

void RemStation::DropPacket() {
    out_packet_.clear();
    out_packet_.shrink_to_fit();
    out_position_ = 0;
    out_open_ = false;
}

bool RemStation::SameStation(const RemStation& other) const {
    Ipv4 a = 0;
    Ipv4 b = 0;
    return ParseIpv4(Address, a) && ParseIpv4(other.Address, b) && a == b && Port == other.Port;
}

void RemStation::ReleaseRemoteChannels() {
    for (int s = 1; s <= kSlotCount; ++s) {
        ChanelWindow* w = host_.Live.Slots.Used(s);
        if (w == nullptr || !ValidRemote(w->RemNumber)) {
            continue;
        }
        const RemStation* r = host_.Links->Station(w->RemNumber);
        if (r != nullptr && r->SameStation(*this) && w->Painter() != nullptr) {
            w->Painter()->Repaint();
        }
    }
}

void RemStation::drop_connections() {
    Ipv4 address = 0;
    if (BoundPort != 0 && ParseIpv4(Address, address)) {
        host_.Links->DropRemConnections(address, BoundPort);
    }
}

void RemStation::set_timer(bool on) {
    ReconnectTimerEnabled = on;
    if (OnTimerChanged) {
        OnTimerChanged();
    }
}

// ---- Reconnect timer ----

void RemStation::ReconnectTimerTimer() {
    if (!host_.NetworkOn) {
        return;
    }
    Ipv4 address = 0;
    if (!ParseIpv4(Address, address)) {
        Address.clear();
        return;
    }
    if (socket_->Active() || Address.empty() || !ValidPort(Port)) {
        return;
    }
    // Off only while the connect runs: its outcome switches the timer on again.
    if (socket_->Open(Address, Port)) {
        set_timer(false);
    }
}

// ---- Client socket events ----

void RemStation::OnLookup() {
    LinkEventFlags[kLinkLookup] = 1;
}

void RemStation::OnConnecting() {
    LinkEventFlags[kLinkConnecting] = 1;
}

void RemStation::OnConnected() {
    LinkEventFlags[kLinkConnected] = 1;
    LastReceiveTick = GetTickCount();
    set_timer(true);
}

void RemStation::OnRead() {
    LinkEventFlags[kLinkRead] = 1;
}

void RemStation::OnWrite() {
    LinkEventFlags[kLinkWrite] = 1;
}

void RemStation::OnDisconnected() {
    LinkEventFlags[kLinkDisconnected] = 1;
    ResetRequests();
    ReleaseRemoteChannels();
    drop_connections();
    set_timer(true);
    BoundPort = 0;
    DropPacket();
}

void RemStation::OnError(int& errorCode) {
    LinkEventFlags[kLinkError] = 1;
    ResetRequests();
    drop_connections();
    BoundPort = 0;
    DropPacket();
    errorCode = 0;
    socket_->Close();
    ReleaseRemoteChannels();
    // A connect that failed before it was connected still needs its retry.
    set_timer(true);
}

// ---- The send step ----

bool RemStation::build_frame(int board, int camera) {
    const FrameCopy& copy =
        host_.Live.Handoff.Chip(board).FrameCopies[static_cast<std::size_t>(camera)];
    CameraFrameRecord r;
    r.Camera = static_cast<std::int16_t>(camera);
    r.Board = static_cast<std::int16_t>(board);
    r.Alarm = host_.Live.Handoff.Chip(board).RemAlarmFlags[static_cast<std::size_t>(camera)];
    r.Jpeg = PeerWantsJpeg[board][camera] != 0 ? 1 : 0;
    r.Quality = PeerQuality[board][camera];
    const std::string& name = host_.Live.Tables.CamNames[static_cast<std::size_t>(camera)];
    r.Name = std::span(reinterpret_cast<const std::uint8_t*>(name.data()),
                       std::min<std::size_t>(name.size(), 32767));
    r.Header = copy.Header;
    std::vector<std::uint8_t> jpeg;
    if (r.Jpeg == 1) {
        const FrameFormat f = ParseFrameFormat(copy.Header);
        try {
            archive::EncodeFrame(jpeg, copy.Pixels, copy.Width, r.Quality, true, f.SubformatMarker,
                                 f.BitCount, copy.Height);
        } catch (const std::exception&) {
            return true;
        }
        r.Picture = jpeg;
    } else {
        r.Picture = copy.Pixels;
    }
    // The peer takes no packet above the limit: the frame waits for the next packet.
    const std::size_t open = out_open_ ? out_packet_.size() : kPacketHeaderSize;
    if (open + CameraFrameSize(r) > static_cast<std::size_t>(kMaxPacketLength)) {
        return false;
    }
    BeginPacket();
    AppendCameraFrame(out_packet_, r);
    set_length();
    LastSendTick = NowTick;
    return true;
}

void RemStation::append_record(const std::vector<std::uint8_t>& record) {
    BeginPacket();
    AppendToPacket(record);
    LastSendTick = NowTick;
}

void RemStation::SendTick() {
    if (!socket_->Active()) {
        return;
    }
    NowTick = GetTickCount();
    if (NowTick < LastSendTick) {
        LastSendTick = NowTick;
    }
    if (NowTick < LastReceiveTick) {
        LastReceiveTick = NowTick;
    }
    if (NowTick - LastReceiveTick > kSilenceLimit) {
        socket_->Close();
        drop_connections();
        ReleaseRemoteChannels();
        return;
    }
    if (!out_open_) {
        for (int b = 1; b <= kChipCount; ++b) {
            for (int c = 1; c <= kCameraCount; ++c) {
                if (PeerWantsFrame[b][c] != 0 &&
                    host_.Live.Handoff.Chip(b).FrameCopies[static_cast<std::size_t>(c)].Pending) {
                    if (build_frame(b, c)) {
                        PeerWantsFrame[b][c] = 0;
                    }
                }
            }
        }
        for (int b = 1; b <= kChipCount; ++b) {
            for (int c = 1; c <= kCameraCount; ++c) {
                if (Subscribe[b][c] != 0) {
                    SubscriptionRecord r;
                    r.Camera = static_cast<std::int16_t>(c);
                    r.Board = static_cast<std::int16_t>(b);
                    r.Wanted = 1;
                    r.Jpeg = SubscribeJpeg[b][c] != 0 ? 1 : 0;
                    r.Quality = SubscribeQuality[b][c];
                    append_record(EncodeSubscription(r));
                    Subscribe[b][c] = 0;
                }
            }
        }
        if (ArchRequestPending != 0) {
            ArchRequestRecord r;
            r.Position = ArchRequestPos;
            r.Percent = ArchRequestPercent;
            r.Mode = ArchRequestMode;
            r.Filters = host_.Viewer.RequestFilters();
            append_record(EncodeArchRequest(r));
            ArchRequestPending = 0;
        }
        if (AnswerPending != 0) {
            append_record(EncodeArchAnswer(AnswerStream));
            AnswerStream.clear();
            AnswerStream.shrink_to_fit();
            AnswerPending = 0;
        }
        if (MonSwitchPending != 0) {
            append_record(EncodeMonitorSwitch({MonSwitchCamera, MonSwitchMonitor}));
            MonSwitchPending = 0;
        }
        if (NowTick - LastSendTick > kKeepAliveAfter) {
            append_record(EncodeKeepAlive());
        }
    }
    if (!out_open_) {
        return;
    }
    const std::size_t left = out_packet_.size() - out_position_;
    const int sent = socket_->SendBuf(out_packet_.data() + out_position_, static_cast<int>(left));
    LinkEventFlags[kLinkWrite] = 1;
    if (sent < 0) {
        return;
    }
    if (static_cast<std::size_t>(sent) >= left) {
        DropPacket();
    } else {
        out_position_ += static_cast<std::size_t>(sent);
    }
}

// ---- Incoming records ----

void RemStation::ParsePacket(std::span<const std::uint8_t> packet) {
    station::ParsePacket(packet, *this);
}

void RemStation::OnSubscription(const SubscriptionRecord& r) {
    PeerWantsFrame[r.Board][r.Camera] = r.Wanted == 1 ? 1 : 0;
    PeerWantsJpeg[r.Board][r.Camera] = r.Jpeg == 1 ? 1 : 0;
    PeerQuality[r.Board][r.Camera] = r.Quality;
}

void RemStation::OnCameraFrame(const CameraFrameRecord& r) {
    std::vector<std::uint8_t> header(r.Header.begin(), r.Header.end());
    std::vector<std::uint8_t> rows;
    std::span<const std::uint8_t> picture = r.Picture;
    if (r.Jpeg == 1) {
        const std::optional<archive::Picture> decoded = archive::decode_jpeg(r.Picture);
        const FrameFormat f = ParseFrameFormat(r.Header);
        if (!decoded || decoded->width != f.Width || decoded->height != f.Height) {
            return;
        }
        to_bottom_up_24(*decoded, header, rows);
        picture = rows;
    }
    const std::string name(r.Name.begin(), r.Name.end());
    for (int s = 1; s <= kSlotCount; ++s) {
        ChanelWindow* w = host_.Live.Slots.Used(s);
        if (w == nullptr || w->CamNumber != r.Camera || w->ChNumber != r.Board ||
            !ValidRemote(w->RemNumber)) {
            continue;
        }
        const RemStation* station = host_.Links->Station(w->RemNumber);
        if (station == nullptr || !station->SameStation(*this)) {
            continue;
        }
        w->SetNewRecPNumOfCam(name);
        w->TakeRemoteFrame(header, picture, r.Alarm);
        w->RemFrameSeen = 1;
        w->RemFrameTick = GetTickCount();
    }
}

std::int64_t RemStation::received_position(const ArchRequestRecord& r) const {
    const archive::ArchiveContext& a = host_.Archive;
    switch (r.Mode) {
    case 1:
        return archive::ArchNextPos(a, r.Position);
    case -1:
        return archive::ArchPrevPos(a, r.Position);
    case 2:
        return archive::ArchLastPos(a, r.Position);
    case 3:
        return archive::ArchPercentPos(a, r.Position, r.Percent);
    case -2:
        return 0;
    default:
        return r.Position;
    }
}

void RemStation::OnArchRequest(const ArchRequestRecord& r) {
    ReceivedMode = r.Mode;
    ReceivedFilters = r.Filters;
    if (AnswerPending != 0) {
        return;
    }
    AnswerPending = 1;
    AnswerStream.clear();
    ReceivedPos = r.Position;
    try {
        ReceivedPos = received_position(r);
        if (host_.Archive.settings.cyclic) {
            archive::ArchAnswerCyclic(host_.Archive, ReceivedPos, ReceivedFilters, AnswerStream);
        } else {
            archive::ArchAnswerLinear(host_.Archive, ReceivedPos, ReceivedFilters, AnswerStream);
        }
    } catch (const std::exception&) {
        // Nothing read: the requester gets -1 for the position.
        AnswerStream.clear();
        AppendLe<std::int16_t>(AnswerStream, archive::kNothingRead);
        AppendLe<std::int64_t>(AnswerStream, ReceivedPos);
    }
}

void RemStation::OnArchAnswer(const ArchAnswerRecord& r) {
    const int shown = host_.Viewer.ViewStation();
    const RemStation* viewed = ValidRemote(shown) ? host_.Links->Station(shown) : nullptr;
    const bool fromShown = viewed != nullptr && viewed->SameStation(*this);
    if (r.Code != archive::kFound) {
        host_.Viewer.TakeArchiveAnswer(r, nullptr, fromShown);
        return;
    }
    const std::optional<archive::Picture> picture =
        archive::decode_stored_frame(r.Picture, r.Record.jpeg != 0);
    if (!picture) {
        ArchAnswerRecord failed;
        failed.Code = archive::kNothingRead;
        failed.Position = r.Position;
        host_.Viewer.TakeArchiveAnswer(failed, nullptr, fromShown);
        return;
    }
    host_.Viewer.TakeArchiveAnswer(r, &*picture, fromShown);
}

void RemStation::OnMonitorSwitch(const MonitorSwitchRecord& r) {
    if (host_.Live.Tables.MonManual[static_cast<std::size_t>(r.Monitor)]) {
        host_.Live.Board.SwitchMonitorMux(r.Monitor, r.Camera);
    }
}

} // namespace station
