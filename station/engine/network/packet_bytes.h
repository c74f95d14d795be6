// Little-endian fields of the packets: appending to a byte vector, and a reader over one
// packet that refuses to read past its end.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <vector>

namespace station {

template <typename T> void AppendLe(std::vector<std::uint8_t>& out, T value) {
    using U = std::make_unsigned_t<std::conditional_t<std::is_same_v<T, double>, std::int64_t, T>>;
    U u;
    if constexpr (std::is_same_v<T, double>) {
        u = std::bit_cast<std::uint64_t>(value);
    } else {
        u = static_cast<U>(value);
    }
    for (std::size_t i = 0; i < sizeof(U); ++i) {
        out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
}

inline void AppendBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Reads fields in order; a read that does not fit leaves the reader failed and answers 0.
class PacketReader {
public:
    explicit PacketReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    template <typename T> T Read() {
        using U =
            std::make_unsigned_t<std::conditional_t<std::is_same_v<T, double>, std::int64_t, T>>;
        if (!Fits(sizeof(U))) {
            failed_ = true;
            return T{};
        }
        U u = 0;
        for (std::size_t i = 0; i < sizeof(U); ++i) {
            u |= static_cast<U>(static_cast<U>(bytes_[pos_ + i]) << (8 * i));
        }
        pos_ += sizeof(U);
        if constexpr (std::is_same_v<T, double>) {
            return std::bit_cast<double>(u);
        } else {
            return static_cast<T>(u);
        }
    }
    // `count` bytes as a view; empty and failed when they do not fit or count < 0.
    std::span<const std::uint8_t> Take(std::int64_t count) {
        if (count < 0 || !Fits(static_cast<std::size_t>(count))) {
            failed_ = true;
            return {};
        }
        const auto view = bytes_.subspan(pos_, static_cast<std::size_t>(count));
        pos_ += static_cast<std::size_t>(count);
        return view;
    }

    bool Failed() const { return failed_; }
    std::size_t Position() const { return pos_; }
    std::size_t Left() const { return bytes_.size() - pos_; }

private:
    bool Fits(std::size_t n) const { return !failed_ && n <= bytes_.size() - pos_; }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace station
