// Byte layouts of the archive's files and records.
#include "archive/archive_context.h"
#include "archive/archive_files.h"
#include "archive/jpeg_picture.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

namespace archive {
namespace {

std::vector<std::uint8_t> le(std::uint64_t v, int n) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(std::uint8_t(v >> (8 * i)));
    }
    return out;
}

void add(std::vector<std::uint8_t>& out, std::uint64_t v, int n) {
    const auto b = le(v, n);
    out.insert(out.end(), b.begin(), b.end());
}

template <std::size_t N> std::vector<std::uint8_t> vec(const std::array<std::uint8_t, N>& a) {
    return {a.begin(), a.end()};
}

TEST(ArchiveFiles, ArchIndexLayout) {
    ArchIndex a;
    a.current_dir = 3;
    a.total = 0x0102030405;
    for (int d = 0; d < kDirCount; ++d) {
        a.dir_count[std::size_t(d)] = d == 2 ? 0x0102030405 : 0;
    }
    std::vector<std::uint8_t> want;
    add(want, 3, 8);
    add(want, 0x0102030405, 8);
    for (int d = 0; d < kDirCount; ++d) {
        add(want, d == 2 ? 0x0102030405 : 0, 8);
    }
    ASSERT_EQ(want.size(), 96u);
    EXPECT_EQ(vec(serialize(a)), want);
    const ArchIndex back = parse_arch_index(want);
    EXPECT_EQ(back.current_dir, 3);
    EXPECT_EQ(back.total, a.total);
    EXPECT_EQ(back.dir_count, a.dir_count);
}

TEST(ArchiveFiles, DirIndexLayout) {
    DirIndex di;
    di.current_group = 1000;
    di.group_count[0] = 7;
    di.group_count[999] = -1; // negative values survive the layout (and fail the check)
    const auto bytes = vec(serialize(di));
    ASSERT_EQ(bytes.size(), 8008u);
    EXPECT_EQ(std::vector(bytes.begin(), bytes.begin() + 16),
              (std::vector<std::uint8_t>{0xE8, 0x03, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::vector(bytes.end() - 8, bytes.end()), std::vector<std::uint8_t>(8, 0xFF));
    const DirIndex back = parse_dir_index(bytes);
    EXPECT_EQ(back.group_count, di.group_count);
    EXPECT_FALSE(valid_for_reading(back));
}

TEST(ArchiveFiles, GroupHeaderLayout) {
    const GroupHeader h{13, 999'999'999, 1234, 10, 3};
    std::vector<std::uint8_t> want;
    for (std::uint64_t v : {13ull, 999'999'999ull, 1234ull, 10ull, 3ull}) {
        add(want, v, 8);
    }
    EXPECT_EQ(vec(serialize(h)), want);
    const GroupHeader back = parse_group_header(want);
    EXPECT_EQ(back.valid, 13);
    EXPECT_EQ(back.high_water, 999'999'999);
    EXPECT_EQ(back.write_offset, 1234);
    EXPECT_EQ(back.in1_count, 10);
    EXPECT_EQ(back.in2_valid, 3);
    EXPECT_TRUE(valid_for_reading(back));
}

TEST(ArchiveFiles, FrameRecordLayout) {
    FrameRecord r;
    r.offset = 0x1122334455;
    r.length = 4321;
    r.jpeg = 1;
    r.quality = 80;
    r.time = 45000.5; // noon, 15 March 2023
    r.camera = 16;
    r.station = 20;
    r.alarm = 1;
    r.manual = 0;
    r.zone_x = 500;
    r.zone_y = -1;
    r.zone_size = 1000;
    r.bits_per_pixel = 16;
    r.marker = 2;
    std::vector<std::uint8_t> want;
    add(want, 0x1122334455, 8);
    add(want, 4321, 8);
    add(want, 1, 1);
    add(want, 80, 4);
    add(want, std::bit_cast<std::uint64_t>(45000.5), 8);
    add(want, 16, 4);
    add(want, 20, 4);
    add(want, 1, 1);
    add(want, 0, 1);
    add(want, 500, 4);
    add(want, 0xFFFFFFFF, 4);
    add(want, 1000, 4);
    add(want, 16, 2);
    add(want, 2, 2);
    add(want, 0, 2);
    ASSERT_EQ(want.size(), 57u);
    EXPECT_EQ(vec(serialize(r)), want);
    // The time field: 45000.5 is 0x40E5F91000000000.
    EXPECT_EQ(std::vector(want.begin() + 21, want.begin() + 29),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0x10, 0xF9, 0xE5, 0x40}));

    want[55] = 0xAB; // the trailing bytes are kept as read
    const auto back = parse_frame_record(want);
    ASSERT_TRUE(back);
    EXPECT_EQ(vec(serialize(*back)), want);
    EXPECT_EQ(back->zone_y, -1);
    EXPECT_FALSE(parse_frame_record(std::span(want).first(56)));
}

TEST(ArchiveFiles, ShortFilesReadZerosPastTheirEnd) {
    const std::vector<std::uint8_t> cut = {2, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0};
    const ArchIndex a = parse_arch_index(cut);
    EXPECT_EQ(a.current_dir, 2);
    EXPECT_EQ(a.total, 5);
    EXPECT_EQ(a.dir_count[0], 0);
    EXPECT_FALSE(valid_for_reading(a)); // total 5, directory counts 0
}

TEST(ArchiveFiles, ReaderChecks) {
    struct Case {
        const char* what;
        ArchIndex index;
        bool valid;
    };
    ArchIndex good;
    good.current_dir = 10;
    good.total = 5;
    good.dir_count[9] = 5;
    ArchIndex dir0 = good, dir11 = good, negative = good, mismatch = good;
    dir0.current_dir = 0;
    dir11.current_dir = 11;
    negative.dir_count[0] = -1;
    negative.dir_count[1] = 1;
    mismatch.total = 6;
    const Case cases[] = {{"good", good, true},
                          {"current 0", dir0, false},
                          {"current 11", dir11, false},
                          {"negative count", negative, false},
                          {"total not the sum", mismatch, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(valid_for_reading(c.index), c.valid) << c.what;
    }
    DirIndex di;
    EXPECT_TRUE(valid_for_reading(di));
    di.current_group = 0;
    EXPECT_FALSE(valid_for_reading(di));
    di.current_group = 1001;
    EXPECT_FALSE(valid_for_reading(di));
    EXPECT_FALSE(valid_for_reading(GroupHeader{3, 0, 0, 1, 1})); // 3 != 1 + 1
    EXPECT_FALSE(valid_for_reading(GroupHeader{0, 0, -1, 0, 0}));
    EXPECT_FALSE(valid_for_reading(GroupHeader{0, 0, kGroupDataLimit + 1, 0, 0}));
}

TEST(ArchiveFiles, GroupFileNamesHaveNoLeadingZeros) {
    EXPECT_EQ(group_file_name(5, ".in0"), "c5.in0");
    EXPECT_EQ(group_file_name(17, ".in1"), "c17.in1");
    EXPECT_EQ(group_file_name(1000, ".dat"), "c1000.dat");
}

TEST(ArchiveFiles, BmpFileImageLayout) {
    // A 24-bit 2 x 1 bitmap: rows padded to 4 bytes.
    const std::vector<std::uint8_t> row = {1, 2, 3, 4, 5, 6};
    std::vector<std::uint8_t> want = {'B', 'M'};
    add(want, 14 + 40 + 8, 4);
    add(want, 0, 4);
    add(want, 54, 4);
    add(want, 40, 4);
    add(want, 2, 4);
    add(want, 1, 4);
    add(want, 1, 2);
    add(want, 24, 2);
    add(want, 0, 4);
    add(want, 8, 4);
    for (int i = 0; i < 4; ++i) {
        add(want, 0, 4);
    }
    want.insert(want.end(), {1, 2, 3, 4, 5, 6, 0, 0});
    EXPECT_EQ(bmp_file_image(2, 1, 24, row), want);

    // 8 bits carry the grey palette of 256 entries and say so.
    const auto grey = bmp_file_image(4, 1, 8, std::vector<std::uint8_t>{0, 1, 2, 3});
    ASSERT_EQ(grey.size(), 14u + 40 + 1024 + 4);
    EXPECT_EQ(grey[10], 0x36);
    EXPECT_EQ(grey[11], 0x04); // pixel data at 1078
    EXPECT_EQ(grey[46], 0x00);
    EXPECT_EQ(grey[47], 0x01); // 256 colours used
    EXPECT_EQ(std::vector(grey.begin() + 54 + 4 * 200, grey.begin() + 54 + 4 * 201),
              (std::vector<std::uint8_t>{200, 200, 200, 0}));
}

TEST(ArchiveFiles, RecordTimeIsDaysSince30December1899) {
    const double now = host_local_time();
    EXPECT_GT(now, 46000.0); // after 9 December 2025
    EXPECT_LT(now, 80000.0);
    EXPECT_GE(now - std::floor(now), 0.0);
}

} // namespace
} // namespace archive
