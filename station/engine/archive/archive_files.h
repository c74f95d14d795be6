// The frame archive's files and records: "cbufer.ind" in the program folder, "csubdir.ind" in
// each archive directory, and per file group g the data file "c<g>.dat", the group header
// "c<g>.in0" and the frame-record files "c<g>.in1" (this generation) and "c<g>.in2" (the
// previous one, cyclic layout). Little-endian, packed; serialised field by field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace archive {

constexpr int kDirCount = 10;
constexpr int kGroupCount = 1000;
// A group's data file never passes this size: offset + length <= kGroupDataLimit.
constexpr std::int64_t kGroupDataLimit = 1'000'000'000;

constexpr std::size_t kArchIndexSize = 96;
constexpr std::size_t kDirIndexSize = 8008;
constexpr std::size_t kGroupHeaderSize = 40;
constexpr std::size_t kFrameRecordSize = 57;

inline constexpr char kArchIndexName[] = "cbufer.ind";
inline constexpr char kDirIndexName[] = "csubdir.ind";

// "cbufer.ind": where writing goes on and how many frames each directory holds.
struct ArchIndex {
    std::int64_t current_dir = 1; // 1..10
    std::int64_t total = 0;
    std::array<std::int64_t, kDirCount> dir_count{}; // directory 1..10 at index 0..9
};

// "csubdir.ind": where writing in the directory goes on and how many frames each group holds.
struct DirIndex {
    std::int64_t current_group = 1;                      // 1..1000
    std::array<std::int64_t, kGroupCount> group_count{}; // group 1..1000 at index 0..999
};

// "c<g>.in0".
struct GroupHeader {
    std::int64_t valid = 0;        // valid frames of the group
    std::int64_t high_water = 0;   // largest end offset ever written into the data file
    std::int64_t write_offset = 0; // where the next frame goes
    std::int64_t in1_count = 0;    // records in ".in1"
    std::int64_t in2_valid = 0;    // valid records at the end of ".in2"
};

// One record of ".in1" / ".in2".
struct FrameRecord {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::uint8_t jpeg = 0; // 1 JPEG, 0 BMP
    std::int32_t quality = 0;
    double time = 0;          // local time, days since 30 December 1899
    std::int32_t camera = 0;  // 1..16
    std::int32_t station = 0; // 0 this station, 1..20 remote
    std::uint8_t alarm = 0;
    std::uint8_t manual = 0;
    std::int32_t zone_x = 0;
    std::int32_t zone_y = 0;
    std::int32_t zone_size = 0;
    std::int16_t bits_per_pixel = 0;
    std::int16_t marker = 0;
    std::array<std::uint8_t, 2> tail{}; // written as zero, kept as read
};

using Bytes = std::vector<std::uint8_t>;

std::array<std::uint8_t, kArchIndexSize> serialize(const ArchIndex& v);
std::array<std::uint8_t, kDirIndexSize> serialize(const DirIndex& v);
std::array<std::uint8_t, kGroupHeaderSize> serialize(const GroupHeader& v);
std::array<std::uint8_t, kFrameRecordSize> serialize(const FrameRecord& v);

// Parsers take the file's bytes as they are: a file shorter than its record gives zeros for the
// missing fields (a cut write), longer files are read up to the record's size. Values are not
// range-checked here; see the checks below.
ArchIndex parse_arch_index(std::span<const std::uint8_t> bytes);
DirIndex parse_dir_index(std::span<const std::uint8_t> bytes);
GroupHeader parse_group_header(std::span<const std::uint8_t> bytes);
// Exactly kFrameRecordSize bytes, else nullopt.
std::optional<FrameRecord> parse_frame_record(std::span<const std::uint8_t> bytes);

// Checks for readers: every value in range and the counts consistent within the file.
bool valid_for_reading(const ArchIndex& v);
bool valid_for_reading(const DirIndex& v);
bool valid_for_reading(const GroupHeader& v);

// "c<group><ext>", group in decimal without leading zeros: group_file_name(17, ".in1") is
// "c17.in1".
std::string group_file_name(int group, const char* ext);

} // namespace archive
