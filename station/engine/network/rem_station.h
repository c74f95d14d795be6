// The link to one remote station (`TRem`): its outgoing client connection, the packets it
// builds from what this station and the remote station asked for, and the records it takes
// from the packets of its bound incoming connection. All on the GUI thread.
#pragma once

#include "packet_format.h"
#include "socket_ports.h"
#include "viewer_port.h"
#include "base/limits.h"
#include "settings/settings_state.h"

#include "archive/archive_context.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace station {

struct LiveStation;
class RemStation;

// What a link reaches of the other links and of the listening socket.
class RemLinksView {
public:
    virtual ~RemLinksView() = default;
    // Station n (1..20), or null.
    virtual const RemStation* Station(int n) const = 0;
    // Closes every incoming connection from `address` whose remote port is `port`.
    virtual void DropRemConnections(Ipv4 address, std::int32_t port) = 0;
};

// The station the links belong to.
struct RemHost {
    const SettingsState& Settings; // ServerPort, RemPorts, RemAddresses
    const bool& NetworkOn;
    LiveStation& Live; // frame copies and alarm flags, camera names, monitors, windows
    const archive::ArchiveContext& Archive;
    ViewerPort& Viewer;
    // The other links and the listening socket (set by RemStations).
    RemLinksView* Links = nullptr;
};

// [board 1..4][camera 1..16]; index 0 unused.
template <typename T> using PerCamera = std::array<std::array<T, kCameraCount + 1>, kChipCount + 1>;

// The one-shot flags the network settings dialog shows and clears.
enum LinkEvent {
    kLinkLookup,
    kLinkConnecting,
    kLinkConnected,
    kLinkRead,
    kLinkWrite,
    kLinkError,
    kLinkDisconnected,
    kLinkEventCount
};

class RemStation : public ClientSocketEvents, private PacketSink {
public:
    using SocketFactory =
        std::function<std::unique_ptr<ClientSocketPort>(ClientSocketEvents& events)>;

    // Create: address empty, port 1018, the three ticks now, no requests; the client socket
    // (inactive) from `makeSocket`; the reconnect timer on.
    RemStation(int stationNumber, RemHost host, const SocketFactory& makeSocket);
    // Destroy: requests reset, the client socket closed, the windows of this station repainted,
    // its incoming connection closed.
    ~RemStation() override;
    RemStation(const RemStation&) = delete;
    RemStation& operator=(const RemStation&) = delete;

    // ---- Fields ----
    const std::int32_t StationNumber;
    std::int32_t BoundPort = 0;
    std::uint8_t MonSwitchPending = 0;
    std::int16_t MonSwitchCamera = 1;
    std::int16_t MonSwitchMonitor = 1;
    PerCamera<std::uint8_t> Subscribe{};
    PerCamera<std::uint8_t> SubscribeJpeg{};
    PerCamera<std::int16_t> SubscribeQuality{};
    std::uint8_t ArchRequestPending = 0;
    std::int16_t ArchRequestMode = 0;
    std::int16_t ReceivedMode = 0;
    std::int64_t ArchRequestPos = 0;
    std::int64_t ReceivedPos = 0;
    archive::ArchFilters ReceivedFilters;
    std::vector<std::uint8_t> AnswerStream;
    std::uint8_t AnswerPending = 0;
    double ArchRequestPercent = 0;
    PerCamera<std::uint8_t> PeerWantsFrame{};
    PerCamera<std::uint8_t> PeerWantsJpeg{};
    PerCamera<std::int16_t> PeerQuality{};
    std::uint32_t LastSendTick = 0;
    std::uint32_t NowTick = 0;
    std::uint32_t LastReceiveTick = 0;
    std::string Address;
    std::int32_t Port = kDefaultPort;
    std::array<std::uint8_t, kLinkEventCount> LinkEventFlags{};
    // The reconnect timer (1000 ms) runs; the program follows it after every call here.
    bool ReconnectTimerEnabled = true;
    std::function<void()> OnTimerChanged;

    ClientSocketPort& Socket() { return *socket_; }
    const ClientSocketPort& Socket() const { return *socket_; }

    // ---- Operations ----
    void ResetRequests();
    // The outgoing packet: opened with its header, records appended, dropped when sent.
    bool OutPacketOpen() const { return out_open_; }
    const std::vector<std::uint8_t>& OutPacket() const { return out_packet_; }
    std::size_t OutPosition() const { return out_position_; }
    void BeginPacket();
    void AppendToPacket(std::span<const std::uint8_t> bytes);
    void DropPacket();
    // Repaints the panels of the camera windows that show this station.
    void ReleaseRemoteChannels();
    // One complete packet from the bound incoming connection.
    void ParsePacket(std::span<const std::uint8_t> packet);
    // The main cycle's send step.
    void SendTick();
    // The reconnect timer's tick.
    void ReconnectTimerTimer();
    // This link is the remote station at `address` text and `port`: the address parses to the
    // same 32-bit value and the ports are equal.
    bool SameStation(const RemStation& other) const;

    // ---- Client socket events ----
    void OnLookup() override;
    void OnConnecting() override;
    void OnConnected() override;
    void OnRead() override;
    void OnWrite() override;
    void OnDisconnected() override;
    void OnError(int& errorCode) override;

private:
    // Records of an incoming packet.
    void OnSubscription(const SubscriptionRecord& r) override;
    void OnCameraFrame(const CameraFrameRecord& r) override;
    void OnArchRequest(const ArchRequestRecord& r) override;
    void OnArchAnswer(const ArchAnswerRecord& r) override;
    void OnMonitorSwitch(const MonitorSwitchRecord& r) override;

    void set_timer(bool on);
    void drop_connections();
    void append_record(const std::vector<std::uint8_t>& record);
    // Writes the packet's size into its length word.
    void set_length();
    // The type 2 record of a pending frame copy; false only when the packet has no room for it
    // (the request waits). A frame that cannot be encoded is skipped and spends the request.
    bool build_frame(int board, int camera);
    std::int64_t received_position(const ArchRequestRecord& r) const;

    RemHost host_;
    std::unique_ptr<ClientSocketPort> socket_;
    std::vector<std::uint8_t> out_packet_;
    std::size_t out_position_ = 0;
    bool out_open_ = false;
};

} // namespace station
