// The reassembly of a connection's bytes. Byte 0 seeds the chunk sizes, the rest is the
// stream. Fed in chunks it must give the same packets as fed whole, each a whole packet by its
// header, and hold at most 11 bytes between packets.
#include "fuzz_target.h"
#include "network/packet_assembler.h"
#include "network/packet_format.h"

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> feed(station::PacketAssembler& a, std::span<const std::uint8_t> stream,
                        std::uint32_t seed) {
    std::vector<Bytes> packets;
    const auto keep = [&](std::span<const std::uint8_t> p) {
        const auto hit = station::FindPacketSync(p);
        if (!hit || hit->Start != 0 || static_cast<std::size_t>(hit->Length) != p.size()) {
            fuzz::fail("a packet handed on is not one whole packet");
        }
        packets.emplace_back(p.begin(), p.end());
    };
    std::size_t at = 0;
    while (at < stream.size()) {
        std::size_t n = stream.size() - at;
        if (seed != 0) {
            seed = seed * 1103515245u + 12345u;
            n = std::min<std::size_t>(n, 1 + (seed >> 16) % 64);
        }
        a.Feed(stream.subspan(at, n), keep);
        at += n;
        if (a.PacketRemaining() == 0 && a.HeldBytes() > station::kHeaderCarry) {
            fuzz::fail("more than 11 bytes held between packets");
        }
    }
    return packets;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::uint32_t seed = in.byte() + 1u;
    const auto stream = in.rest();
    station::PacketAssembler whole;
    station::PacketAssembler split;
    if (feed(whole, stream, 0) != feed(split, stream, seed)) {
        fuzz::fail("chunked reassembly differs from the whole stream");
    }
    if (whole.PacketRemaining() != split.PacketRemaining()) {
        fuzz::fail("chunked reassembly waits for a different packet");
    }
    return 0;
}
