#include "archive_files.h"

#include <bit>
#include <cstring>
#include <limits>
#include <type_traits>

namespace archive {
namespace {

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);
static_assert(kArchIndexSize == 8 + 8 + 8 * kDirCount);
static_assert(kDirIndexSize == 8 + 8 * kGroupCount);
static_assert(kGroupHeaderSize == 5 * 8);
static_assert(kFrameRecordSize == 8 + 8 + 1 + 4 + 8 + 4 + 4 + 1 + 1 + 4 + 4 + 4 + 2 + 2 + 2);

template <typename T> void put(std::uint8_t* out, std::size_t& at, T value) {
    using U = std::make_unsigned_t<T>;
    const U u = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
    at += sizeof(T);
}

void put_double(std::uint8_t* out, std::size_t& at, double value) {
    put<std::int64_t>(out, at, std::bit_cast<std::int64_t>(value));
}

// Reads little-endian fields from a byte range; bytes past its end read as zero.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    template <typename T> T get() {
        using U = std::make_unsigned_t<T>;
        U u = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            const std::size_t at = pos_ + i;
            const U b = at < bytes_.size() ? bytes_[at] : 0;
            u = static_cast<U>(u | (b << (8 * i)));
        }
        pos_ += sizeof(T);
        return static_cast<T>(u);
    }
    double get_double() { return std::bit_cast<double>(get<std::int64_t>()); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

} // namespace

std::array<std::uint8_t, kArchIndexSize> serialize(const ArchIndex& v) {
    std::array<std::uint8_t, kArchIndexSize> out{};
    std::size_t at = 0;
    put(out.data(), at, v.current_dir);
    put(out.data(), at, v.total);
    for (auto c : v.dir_count) {
        put(out.data(), at, c);
    }
    return out;
}

std::array<std::uint8_t, kDirIndexSize> serialize(const DirIndex& v) {
    std::array<std::uint8_t, kDirIndexSize> out{};
    std::size_t at = 0;
    put(out.data(), at, v.current_group);
    for (auto c : v.group_count) {
        put(out.data(), at, c);
    }
    return out;
}

std::array<std::uint8_t, kGroupHeaderSize> serialize(const GroupHeader& v) {
    std::array<std::uint8_t, kGroupHeaderSize> out{};
    std::size_t at = 0;
    put(out.data(), at, v.valid);
    put(out.data(), at, v.high_water);
    put(out.data(), at, v.write_offset);
    put(out.data(), at, v.in1_count);
    put(out.data(), at, v.in2_valid);
    return out;
}

std::array<std::uint8_t, kFrameRecordSize> serialize(const FrameRecord& v) {
    std::array<std::uint8_t, kFrameRecordSize> out{};
    std::size_t at = 0;
    std::uint8_t* p = out.data();
    put(p, at, v.offset);
    put(p, at, v.length);
    put(p, at, v.jpeg);
    put(p, at, v.quality);
    put_double(p, at, v.time);
    put(p, at, v.camera);
    put(p, at, v.station);
    put(p, at, v.alarm);
    put(p, at, v.manual);
    put(p, at, v.zone_x);
    put(p, at, v.zone_y);
    put(p, at, v.zone_size);
    put(p, at, v.bits_per_pixel);
    put(p, at, v.marker);
    put(p, at, v.tail[0]);
    put(p, at, v.tail[1]);
    return out;
}

ArchIndex parse_arch_index(std::span<const std::uint8_t> bytes) {
    Reader r(bytes);
    ArchIndex v;
    v.current_dir = r.get<std::int64_t>();
    v.total = r.get<std::int64_t>();
    for (auto& c : v.dir_count) {
        c = r.get<std::int64_t>();
    }
    return v;
}

DirIndex parse_dir_index(std::span<const std::uint8_t> bytes) {
    Reader r(bytes);
    DirIndex v;
    v.current_group = r.get<std::int64_t>();
    for (auto& c : v.group_count) {
        c = r.get<std::int64_t>();
    }
    return v;
}

GroupHeader parse_group_header(std::span<const std::uint8_t> bytes) {
    Reader r(bytes);
    GroupHeader v;
    v.valid = r.get<std::int64_t>();
    v.high_water = r.get<std::int64_t>();
    v.write_offset = r.get<std::int64_t>();
    v.in1_count = r.get<std::int64_t>();
    v.in2_valid = r.get<std::int64_t>();
    return v;
}

std::optional<FrameRecord> parse_frame_record(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kFrameRecordSize) {
        return std::nullopt;
    }
    Reader r(bytes);
    FrameRecord v;
    v.offset = r.get<std::int64_t>();
    v.length = r.get<std::int64_t>();
    v.jpeg = r.get<std::uint8_t>();
    v.quality = r.get<std::int32_t>();
    v.time = r.get_double();
    v.camera = r.get<std::int32_t>();
    v.station = r.get<std::int32_t>();
    v.alarm = r.get<std::uint8_t>();
    v.manual = r.get<std::uint8_t>();
    v.zone_x = r.get<std::int32_t>();
    v.zone_y = r.get<std::int32_t>();
    v.zone_size = r.get<std::int32_t>();
    v.bits_per_pixel = r.get<std::int16_t>();
    v.marker = r.get<std::int16_t>();
    v.tail[0] = r.get<std::uint8_t>();
    v.tail[1] = r.get<std::uint8_t>();
    return v;
}

bool valid_for_reading(const ArchIndex& v) {
    if (v.current_dir < 1 || v.current_dir > kDirCount || v.total < 0) {
        return false;
    }
    std::int64_t sum = 0;
    for (auto c : v.dir_count) {
        // Each count is at most what 1000 full groups of 1-byte frames could hold, so the sum
        // cannot overflow.
        if (c < 0 || c > std::int64_t(kGroupCount) * kGroupDataLimit) {
            return false;
        }
        sum += c;
    }
    return sum == v.total;
}

bool valid_for_reading(const DirIndex& v) {
    if (v.current_group < 1 || v.current_group > kGroupCount) {
        return false;
    }
    for (auto c : v.group_count) {
        if (c < 0 || c > kGroupDataLimit) {
            return false;
        }
    }
    return true;
}

bool valid_for_reading(const GroupHeader& v) {
    return v.valid >= 0 && v.in1_count >= 0 && v.in2_valid >= 0 && v.in1_count <= kGroupDataLimit &&
           v.in2_valid <= kGroupDataLimit && v.valid == v.in1_count + v.in2_valid &&
           v.write_offset >= 0 && v.write_offset <= kGroupDataLimit && v.high_water >= 0;
}

std::string group_file_name(int group, const char* ext) {
    return "c" + std::to_string(group) + ext;
}

} // namespace archive
