// Cuts the byte stream of one incoming connection into packets: finds each header by its sync
// word, collects the packet's bytes over as many chunks as it takes and hands on each
// complete packet. Between packets it keeps at most the last 11 bytes of a chunk, where a
// header may have begun; bytes before a header are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace station {

// A packet header found in a byte range.
struct SyncHit {
    std::size_t Start = 0;   // offset of the length word
    std::int32_t Length = 0; // the packet's total length
    std::int32_t Port = 0;   // the sender's listening port
};

// The first header at or after `from` whose 12 bytes lie inside `bytes` and whose length is
// 14 .. 32 MiB; headers with other lengths are passed over.
std::optional<SyncHit> FindPacketSync(std::span<const std::uint8_t> bytes, std::size_t from = 0);

// Bytes an assembler keeps between packets: a header is 12 bytes.
inline constexpr std::size_t kHeaderCarry = 11;

class PacketAssembler {
public:
    using PacketFn = std::function<void(std::span<const std::uint8_t> packet)>;

    // Feeds one chunk; `packet` gets every packet it completes, in order.
    void Feed(std::span<const std::uint8_t> chunk, const PacketFn& packet);
    // Forgets the packet being collected and the carried bytes.
    void Reset();

    // Bytes still missing of the packet being collected; 0 between packets.
    std::int32_t PacketRemaining() const { return remaining_; }
    // Bytes held now (the packet being collected and the carried bytes).
    std::size_t HeldBytes() const { return packet_.size() + carry_.size(); }

private:
    // Between packets: finds headers in `data` and takes packets out of it.
    void scan(std::span<const std::uint8_t> data, const PacketFn& packet);

    std::vector<std::uint8_t> packet_;
    std::vector<std::uint8_t> carry_;
    std::int32_t remaining_ = 0;
};

} // namespace station
