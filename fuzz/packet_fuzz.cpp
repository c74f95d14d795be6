// The packet reader. Byte 0: even, the rest is the packet as received; odd, the rest are the
// records and the header is put in front with the right length. Every record handed on must
// encode back into a packet that reads as the same records.
#include "fuzz_target.h"
#include "network/packet_bytes.h"
#include "network/packet_format.h"

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Keeps each record handed on as its encoding.
struct Reencoder : station::PacketSink {
    std::vector<Bytes> records;

    void OnKeepAlive() override { records.push_back(station::EncodeKeepAlive()); }
    void OnSubscription(const station::SubscriptionRecord& r) override {
        records.push_back(station::EncodeSubscription(r));
    }
    void OnCameraFrame(const station::CameraFrameRecord& r) override {
        records.push_back(station::EncodeCameraFrame(r));
    }
    void OnArchRequest(const station::ArchRequestRecord& r) override {
        records.push_back(station::EncodeArchRequest(r));
    }
    void OnArchAnswer(const station::ArchAnswerRecord& r) override {
        // The body as the answer readers write it.
        Bytes body;
        station::AppendLe(body, r.Code);
        station::AppendLe(body, r.Position);
        if (r.Code == 0 || r.Code == -2) {
            station::AppendLe(body, r.Percent);
            const auto rec = archive::serialize(r.Record);
            body.insert(body.end(), rec.begin(), rec.end());
            if (r.Code == 0) {
                station::AppendLe(body, static_cast<std::int32_t>(r.Picture.size()));
                station::AppendBytes(body, r.Picture);
            }
        }
        records.push_back(station::EncodeArchAnswer(body));
    }
    void OnMonitorSwitch(const station::MonitorSwitchRecord& r) override {
        records.push_back(station::EncodeMonitorSwitch(r));
    }
};

Bytes packet_of(const std::vector<Bytes>& records) {
    Bytes p = station::PacketHeader(1018);
    for (const Bytes& r : records) {
        p.insert(p.end(), r.begin(), r.end());
    }
    const auto n = static_cast<std::uint32_t>(p.size());
    for (int i = 0; i < 4; ++i) {
        p[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
    }
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const bool framed = (in.byte() & 1) != 0;
    const auto rest = in.rest();
    Bytes packet;
    if (framed) {
        packet = packet_of({Bytes(rest.begin(), rest.end())});
    } else {
        packet.assign(rest.begin(), rest.end());
    }
    Reencoder first;
    const int used = station::ParsePacket(packet, first);
    if (used != static_cast<int>(first.records.size())) {
        fuzz::fail("the count of records differs from those handed on");
    }
    if (first.records.empty()) {
        return 0;
    }
    Reencoder second;
    station::ParsePacket(packet_of(first.records), second);
    if (second.records != first.records) {
        fuzz::fail("records handed on do not encode back to the same records");
    }
    return 0;
}
