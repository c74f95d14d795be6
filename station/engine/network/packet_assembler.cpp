#include "packet_assembler.h"

#include "packet_bytes.h"
#include "packet_format.h"

#include <algorithm>

namespace station {

std::optional<SyncHit> FindPacketSync(std::span<const std::uint8_t> bytes, std::size_t from) {
    const std::size_t header = static_cast<std::size_t>(kPacketHeaderSize);
    for (std::size_t start = from; start + header <= bytes.size(); ++start) {
        const std::uint8_t* s = bytes.data() + start + 4;
        if (s[0] != 0xA5 || s[1] != 0xA5 || s[2] != 0xA5 || s[3] != 0xA5) {
            continue;
        }
        PacketReader in(bytes.subspan(start, header));
        SyncHit hit;
        hit.Start = start;
        hit.Length = in.Read<std::int32_t>();
        in.Read<std::uint32_t>();
        hit.Port = in.Read<std::int32_t>();
        if (hit.Length >= kMinPacketLength && hit.Length <= kMaxPacketLength) {
            return hit;
        }
    }
    return std::nullopt;
}

void PacketAssembler::Reset() {
    packet_.clear();
    packet_.shrink_to_fit();
    carry_.clear();
    remaining_ = 0;
}

void PacketAssembler::Feed(std::span<const std::uint8_t> chunk, const PacketFn& packet) {
    if (remaining_ > 0) {
        const std::size_t take = std::min(chunk.size(), static_cast<std::size_t>(remaining_));
        packet_.insert(packet_.end(), chunk.begin(), chunk.begin() + static_cast<long>(take));
        remaining_ -= static_cast<std::int32_t>(take);
        chunk = chunk.subspan(take);
        if (remaining_ > 0) {
            return;
        }
        const std::vector<std::uint8_t> done = std::move(packet_);
        packet_.clear();
        packet(done);
    }
    if (carry_.empty()) {
        scan(chunk, packet);
        return;
    }
    std::vector<std::uint8_t> joined = std::move(carry_);
    carry_.clear();
    joined.insert(joined.end(), chunk.begin(), chunk.end());
    scan(joined, packet);
}

void PacketAssembler::scan(std::span<const std::uint8_t> data, const PacketFn& packet) {
    std::size_t pos = 0;
    while (pos < data.size()) {
        const std::optional<SyncHit> hit = FindPacketSync(data, pos);
        if (!hit) {
            const std::size_t keep = std::min(kHeaderCarry, data.size() - pos);
            carry_.assign(data.end() - static_cast<long>(keep), data.end());
            return;
        }
        const std::size_t left = data.size() - hit->Start;
        const std::size_t length = static_cast<std::size_t>(hit->Length);
        if (left < length) {
            packet_.assign(data.begin() + static_cast<long>(hit->Start), data.end());
            remaining_ = static_cast<std::int32_t>(length - left);
            return;
        }
        packet(data.subspan(hit->Start, length));
        pos = hit->Start + length;
    }
}

} // namespace station
