// Fakes of the client socket, the listening socket with its connections and the recording
// viewer, and helpers that build packets the way a peer would.
#pragma once

#include "network/packet_format.h"
#include "network/socket_ports.h"
#include "network/viewer_port.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace network_test {

using namespace station;
using Bytes = std::vector<std::uint8_t>;

// "0E 00 A5" -> bytes.
inline Bytes Hex(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

// A packet of `records` from a station listening on `port`.
inline Bytes BuildPacket(std::int32_t port, const std::vector<Bytes>& records) {
    Bytes p = PacketHeader(port);
    for (const Bytes& r : records) {
        p.insert(p.end(), r.begin(), r.end());
    }
    const auto n = static_cast<std::uint32_t>(p.size());
    for (int i = 0; i < 4; ++i) {
        p[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
    }
    return p;
}

// A client socket that connects, fails and accepts bytes when the test says so.
struct FakeClientSocket : ClientSocketPort {
    explicit FakeClientSocket(ClientSocketEvents& e) : events(e) {}

    ClientSocketEvents& events;
    bool active = false;
    bool connecting = false;
    bool openStarts = true;
    Ipv4 peer = 0x7F000001;
    std::vector<std::pair<std::string, int>> opens;
    int closes = 0;
    // What each SendBuf accepts in turn (-1 would block); empty: everything.
    std::deque<int> plan;
    Bytes sent;
    int sends = 0;
    // Where accepted bytes go besides `sent` (a peer's connection), when set.
    std::function<void(std::span<const std::uint8_t>)> wire;

    bool Open(const std::string& address, int port) override {
        opens.emplace_back(address, port);
        connecting = openStarts;
        return openStarts;
    }
    void Close() override {
        ++closes;
        const bool was = active || connecting;
        active = false;
        connecting = false;
        if (was) {
            events.OnDisconnected();
        }
    }
    bool Active() const override { return active; }
    int SendBuf(const std::uint8_t* data, int count) override {
        ++sends;
        int n = count;
        if (!plan.empty()) {
            n = plan.front();
            plan.pop_front();
            if (n > count) {
                n = count;
            }
        }
        if (n > 0) {
            sent.insert(sent.end(), data, data + n);
            if (wire) {
                wire(std::span(data, static_cast<std::size_t>(n)));
            }
        }
        return n;
    }
    Ipv4 RemoteAddress() const override { return active ? peer : 0; }

    // The connect went through.
    void Connected() {
        connecting = false;
        active = true;
        events.OnConnected();
    }
    // A socket error (the connect failed, or the connection broke).
    int Error(int code = 10061) {
        events.OnError(code);
        return code;
    }
};

struct FakeServer;

struct FakeConnection : ServerConnectionPort {
    FakeConnection(FakeServer& s, Ipv4 a, int p) : server(s), address(a), port(p) {}
    FakeServer& server;
    Ipv4 address;
    int port;
    Bytes inbox;
    bool failRead = false;
    bool closed = false;

    Ipv4 RemoteAddress() const override { return address; }
    int RemotePort() const override { return port; }
    int ReceiveLength() override { return static_cast<int>(inbox.size()); }
    int ReceiveBuf(std::uint8_t* data, int count) override {
        if (failRead) {
            return -1;
        }
        const int n = std::min(count, static_cast<int>(inbox.size()));
        std::copy(inbox.begin(), inbox.begin() + n, data);
        inbox.erase(inbox.begin(), inbox.begin() + n);
        return n;
    }
    void Close() override;
};

// The listening socket: connections in accept order; a closed one leaves the list at once and
// stays alive until the test ends.
struct FakeServer : ServerSocketPort {
    ServerSocketEvents* events = nullptr;
    std::vector<std::unique_ptr<FakeConnection>> list;
    std::vector<std::unique_ptr<FakeConnection>> gone;
    bool active = true;

    bool Open(int) override { return active = true; }
    void Close() override { active = false; }
    bool Active() const override { return active; }
    int ActiveConnections() const override { return static_cast<int>(list.size()); }
    ServerConnectionPort& Connection(int i) override { return *list[static_cast<std::size_t>(i)]; }

    FakeConnection& Accept(Ipv4 address, int port) {
        list.push_back(std::make_unique<FakeConnection>(*this, address, port));
        if (events != nullptr) {
            events->OnClientConnect(*list.back());
        }
        return *list.back();
    }
    // The peer sends `bytes`: one read event.
    void Receive(FakeConnection& c, std::span<const std::uint8_t> bytes) {
        c.inbox.assign(bytes.begin(), bytes.end());
        events->OnClientRead(c);
    }
    void Remove(FakeConnection& c) {
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (it->get() == &c) {
                gone.push_back(std::move(*it));
                list.erase(it);
                break;
            }
        }
        if (events != nullptr) {
            events->OnClientDisconnect(c);
        }
    }
    std::vector<int> Ports() const {
        std::vector<int> ports;
        for (const auto& c : list) {
            ports.push_back(c->port);
        }
        return ports;
    }
};

inline void FakeConnection::Close() {
    if (!closed) {
        closed = true;
        server.Remove(*this);
    }
}

// The viewer: which station it shows and the answers it got.
struct FakeViewer : ViewerPort {
    int viewStation = 0;
    archive::ArchFilters filters;
    struct Answer {
        std::int16_t code;
        std::int64_t position;
        bool fromShown;
        int pictureWidth;
    };
    std::vector<Answer> answers;

    int ViewStation() const override { return viewStation; }
    archive::ArchFilters RequestFilters() const override { return filters; }
    void TakeArchiveAnswer(const ArchAnswerRecord& a, const archive::Picture* picture,
                           bool fromShown) override {
        answers.push_back({a.Code, a.Position, fromShown, picture ? picture->width : -1});
    }
};

// Writes down every record a parsed packet hands on.
struct Recorder : PacketSink {
    std::vector<std::string> log;
    std::vector<CameraFrameRecord> frames;
    std::vector<ArchRequestRecord> requests;
    std::vector<ArchAnswerRecord> answers;

    void OnKeepAlive() override { log.push_back("keep"); }
    void OnSubscription(const SubscriptionRecord& r) override {
        log.push_back("sub " + std::to_string(r.Board) + "/" + std::to_string(r.Camera));
    }
    void OnCameraFrame(const CameraFrameRecord& r) override {
        log.push_back("frame " + std::to_string(r.Board) + "/" + std::to_string(r.Camera));
        frames.push_back(r);
    }
    void OnArchRequest(const ArchRequestRecord& r) override {
        log.push_back("req " + std::to_string(r.Mode));
        requests.push_back(r);
    }
    void OnArchAnswer(const ArchAnswerRecord& r) override {
        log.push_back("ans " + std::to_string(r.Code));
        answers.push_back(r);
    }
    void OnMonitorSwitch(const MonitorSwitchRecord& r) override {
        log.push_back("mon " + std::to_string(r.Monitor) + "/" + std::to_string(r.Camera));
    }
};

} // namespace network_test
