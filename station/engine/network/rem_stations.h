// The twenty remote-station links (`RemStations`) and the listening socket's connections:
// which incoming connection belongs to which link, the reassembly of each bound connection's
// bytes into packets for its link, and the 4 s connection timer. The live engine reaches the
// links through `RemotePort`.
#pragma once

#include "packet_assembler.h"
#include "rem_station.h"
#include "socket_ports.h"
#include "live/live_ports.h"
#include "base/language.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace station {

// The listening socket's event flags, shown and cleared by the network settings dialog.
enum SocketEvent {
    kSockConnect,
    kSockDisconnect,
    kSockError,
    kSockRead,
    kSockWrite,
    kSockEventCount
};

// The live station, the archive context, the viewer and the listening socket must outlive it.
class RemStations : public RemotePort, public RemLinksView, public ServerSocketEvents {
public:
    // The links' `host.Links` is this object.
    RemStations(RemHost host, ServerSocketPort& server, RemStation::SocketFactory makeSocket);
    ~RemStations() override;
    RemStations(const RemStations&) = delete;
    RemStations& operator=(const RemStations&) = delete;

    // Start-up: the twenty links with RemAddresses and RemPorts.
    void CreateAll();
    // Creates link n (1..20) with its defaults; an existing one stays.
    RemStation& Create(int n);
    // Destroys link n.
    void Free(int n);
    void FreeAll();
    RemStation* Get(int n);

    // ---- RemotePort ----
    bool Exists(int n) const override;
    bool Subscribed(int n, int chip, int camera) const override;
    void RenewSubscription(int n, int chip, int camera, bool jpeg, std::int16_t quality) override;
    void SendTick(int n) override;
    void RequestMonitorSwitch(int n, std::int16_t camera, std::int16_t monitor) override;

    // ---- RemLinksView ----
    const RemStation* Station(int n) const override;
    void DropRemConnections(Ipv4 address, std::int32_t port) override;

    // ---- Binding ----
    // The first link (1..20) whose client socket is active, connected to `address`, and whose
    // BoundPort is `remotePort`; 0 when none.
    int FindRemByAddress(Ipv4 address, std::int32_t remotePort) const;
    // The first link whose client socket is active and connected to `address`, not bound yet
    // and whose Port is `headerPort` is bound to `remotePort`; otherwise nothing changes.
    void BindRemConnection(Ipv4 address, std::int32_t headerPort, std::int32_t remotePort);

    // ---- Listening socket events ----
    void OnClientConnect(ServerConnectionPort& connection) override;
    void OnClientDisconnect(ServerConnectionPort& connection) override;
    void OnClientRead(ServerConnectionPort& connection) override;
    void OnClientWrite(ServerConnectionPort& connection) override;
    void OnClientError(ServerConnectionPort& connection, int& errorCode) override;
    std::array<std::uint8_t, kSockEventCount> SocketEventFlags{};

    // The 4 s connection timer: closes at most one connection that no link claims once there
    // are more than the bound ones and one more.
    void ConnectTimerTimer();
    // The connections as the network settings dialog lists them: line 136 and the count, then
    // "i - address / port" for a bound connection, "i - address" otherwise.
    std::vector<std::string> ConnectionLines(const LanguageList& lang) const;

    // Bytes the reassembly holds for `connection` now.
    std::size_t HeldBytes(const ServerConnectionPort& connection) const;

private:
    RemHost host_;
    ServerSocketPort& server_;
    RemStation::SocketFactory make_socket_;
    std::array<std::unique_ptr<RemStation>, kRemoteStationCount + 1> stations_;
    std::map<const ServerConnectionPort*, PacketAssembler> assemblers_;
    // The connection whose bytes are being reassembled; its assembler is dropped only after.
    const ServerConnectionPort* reading_ = nullptr;
    bool reading_closed_ = false;
    std::vector<std::uint8_t> chunk_;
};

} // namespace station
