// The archive writer: files of a new archive, round trips across groups, directories and a
// cyclic wrap, the group limit, the free-space rule, write modes, clearing.
#include "archive_fixture.h"

#include "archive/archive_encode.h"
#include "archive/archive_search.h"

#include <algorithm>
#include <numeric>

namespace archive::test {
namespace {

template <std::size_t N> std::vector<std::uint8_t> vec(const std::array<std::uint8_t, N>& a) {
    return {a.begin(), a.end()};
}

bool strictly_increasing(const std::vector<int>& ids) {
    return std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<int>()) == ids.end();
}

class WriterLayouts : public ArchiveTest, public ::testing::WithParamInterface<bool> {};

TEST_P(WriterLayouts, FirstFrameCreatesEveryFileWithCountOne) {
    ctx.settings.cyclic = GetParam();
    ASSERT_EQ(write(7), kWritten);
    const auto bmp = bmp_file_image(width, height, 8, pixels.at(7));
    const std::int64_t len = std::int64_t(bmp.size());

    ArchIndex a;
    a.current_dir = 1;
    a.total = 1;
    a.dir_count[0] = 1;
    EXPECT_EQ(file_bytes(program / "cbufer.ind"), vec(serialize(a)));
    DirIndex di;
    di.group_count[0] = 1;
    EXPECT_EQ(file_bytes(program / "csubdir.ind"), vec(serialize(di)));
    EXPECT_EQ(file_bytes(program / "c1.in0"), vec(serialize(GroupHeader{1, len, len, 1, 0})));
    FrameRecord r;
    r.offset = 0;
    r.length = len;
    r.jpeg = 0;
    r.quality = 80;
    r.time = 45000.25 + 1.0 / 86400.0;
    r.camera = 8;
    r.station = 0;
    r.alarm = 1;
    r.manual = 0;
    r.zone_x = 7;
    r.zone_y = 500;
    r.zone_size = 1000;
    r.bits_per_pixel = 8;
    r.marker = 0;
    EXPECT_EQ(file_bytes(program / "c1.in1"), vec(serialize(r)));
    EXPECT_EQ(file_bytes(program / "c1.dat"), bmp);
    EXPECT_EQ(host_io().file_size(program / "c1.in2").has_value(), GetParam());
    EXPECT_EQ(read_all(), std::vector<int>{7});
}

TEST_P(WriterLayouts, FrameFillingTheGroupToExactlyTheLimitStaysInIt) {
    // Real limit, sparse data file: the group's write offset stands just before 1,000,000,000.
    ctx.settings.cyclic = GetParam();
    pixels[1] = id_pixels(1, width, height);
    sizes[1] = {width, height};
    std::vector<std::uint8_t> encoded;
    EncodeFrame(state, encoded, pixels[1], width, 80, false, 0, 8, height);
    const std::int64_t len = std::int64_t(encoded.size());
    struct Case {
        std::int64_t offset;
        int group; // where the frame goes
    };
    for (const Case c : {Case{kGroupDataLimit - len, 1}, Case{kGroupDataLimit - len + 1, 2}}) {
        SCOPED_TRACE(c.offset);
        ArchClear(ctx);
        put_file(program / "c1.in0", serialize(GroupHeader{0, 0, c.offset, 0, 0}));
        put_file(program / "c1.in1", std::vector<std::uint8_t>{});
        ASSERT_EQ(ArchWriteFrame(ctx, frame(1)), kWritten);
        const auto rec = parse_frame_record(file_bytes(program / group_file_name(c.group, ".in1")));
        ASSERT_TRUE(rec);
        EXPECT_EQ(rec->offset, c.group == 1 ? c.offset : 0);
        EXPECT_EQ(rec->length, len);
        EXPECT_EQ(*host_io().file_size(program / group_file_name(c.group, ".dat")),
                  std::uint64_t(rec->offset + len));
        EXPECT_EQ(read_all(), std::vector<int>{1});
        expect_invariants();
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterLayouts, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "cyclic" : "linear"; });

TEST_F(ArchiveTest, LinearRoundTripAcrossGroupsAndDirectories) {
    ctx.settings.cyclic = false;
    set_dir(2, "Disk2/Archive/Deep"); // created with its parents
    ctx.group_limit = 3 * 1206;       // three 16 x 8 frames per group
    use_filling_disk(10 * 1206);      // directories full after ten frames
    std::vector<int> written;
    for (int id = 0; id < 25; ++id) {
        const auto r = write(id);
        if (r == kWritten) {
            written.push_back(id);
        }
        EXPECT_EQ(r, id < 22 ? kWritten : kNotWritten) << id;
    }
    EXPECT_EQ(read_all(), written);
    expect_invariants();
    const ArchIndex a = parse_arch_index(file_bytes(program / "cbufer.ind"));
    EXPECT_EQ(a.current_dir, 10); // the last directory tried
    EXPECT_EQ(a.dir_count[0], 11);
    EXPECT_EQ(a.dir_count[1], 11);
    const DirIndex d2 = parse_dir_index(file_bytes(dir_path(2) / "csubdir.ind"));
    EXPECT_EQ(d2.current_group, 4);
    EXPECT_EQ(d2.group_count[3], 2);
}

TEST_F(ArchiveTest, CyclicWrapKeepsTheNewestFramesInOrder) {
    ctx.settings.cyclic = true;
    set_dir(2, "Disk2");
    ctx.group_limit = 3 * 1206;
    use_filling_disk(7 * 1206);
    for (int id = 0; id < 60; ++id) {
        ASSERT_EQ(write(id), kWritten) << id;
        expect_invariants();
        const auto ids = read_all();
        ASSERT_FALSE(ids.empty());
        EXPECT_TRUE(strictly_increasing(ids)) << id;
        EXPECT_EQ(ids.back(), id);
        if (id > 30) {
            // Position 0 is the oldest valid frame; far fewer than all are kept.
            EXPECT_GT(ids.front(), 0);
            EXPECT_LT(ids.size(), 30u);
            EXPECT_GE(ids.size(), 12u);
        }
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

TEST_F(ArchiveTest, CyclicGroupFullMovesOnAndKeepsTheGenerationReadable) {
    ctx.settings.cyclic = true;
    ctx.group_limit = 3 * 1206;
    for (int id = 0; id < 4; ++id) {
        ASSERT_EQ(write(id), kWritten);
    }
    // The fourth frame filled group 1: its records are now c1.in2, and there is no c1.in1.
    EXPECT_FALSE(host_io().file_size(program / "c1.in1"));
    EXPECT_EQ(file_bytes(program / "c1.in2").size(), 3 * kFrameRecordSize);
    EXPECT_EQ(parse_group_header(file_bytes(program / "c1.in0")).in2_valid, 3);
    EXPECT_EQ(parse_dir_index(file_bytes(program / "csubdir.ind")).current_group, 2);
    EXPECT_EQ(read_all(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(ArchiveTest, CyclicFullDiskWithoutNextGroupGoesToTheNextDirectory) {
    ctx.settings.cyclic = true;
    set_dir(2, "Disk2");
    ctx.group_limit = 100 * 1206;
    use_filling_disk(2 * 1206);
    std::vector<std::int32_t> results;
    for (int id = 0; id < 4; ++id) {
        results.push_back(write(id));
    }
    EXPECT_EQ(results, (std::vector<std::int32_t>{0, 0, 0, 0}));
    // Directory 1 took three frames, then its group was rotated, its current group set to 1
    // and the fourth frame went to directory 2 in the same pass.
    EXPECT_EQ(parse_dir_index(file_bytes(program / "csubdir.ind")).current_group, 1);
    EXPECT_EQ(parse_arch_index(file_bytes(program / "cbufer.ind")).current_dir, 2);
    EXPECT_EQ(read_all(), (std::vector<int>{0, 1, 2, 3}));
    expect_invariants();
}

TEST_F(ArchiveTest, FreeSpaceRule) {
    struct Case {
        const char* what;
        std::optional<DiskSpace> space;
        std::int32_t min_free;
        std::int32_t want;
    };
    const Case cases[] = {
        {"no answer from the disk", std::nullopt, 10, kNotWritten},
        {"disk of 0 bytes", DiskSpace{0, 0}, 10, kNotWritten},
        {"less than the margin", DiskSpace{1'000'000, 100'000'000}, 0, kNotWritten},
        {"exactly the minimum", DiskSpace{12'000'000, 100'000'000}, 10, kNotWritten},
        {"just under one more percent", DiskSpace{12'999'999, 100'000'000}, 10, kNotWritten},
        {"one percent above", DiskSpace{13'000'000, 100'000'000}, 10, kWritten},
        {"minimum 0, nothing left", DiskSpace{2'000'000, 100'000'000}, 0, kNotWritten},
    };
    ctx.settings.cyclic = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ArchClear(ctx);
        fixed_space = c.space;
        ctx.settings.min_free[0] = c.min_free;
        EXPECT_EQ(write(1), c.want);
    }
}

TEST_F(ArchiveTest, FreeSpaceIsAskedOnlyWhenTheDataFileGrows) {
    ctx.settings.cyclic = true;
    ctx.group_limit = 3 * 1206;
    for (int id = 0; id < 8; ++id) {
        ASSERT_EQ(write(id), kWritten);
    }
    fixed_space = DiskSpace{0, 100'000'000}; // full from now on
    int asked = 0;
    ctx.free_space = [&](const Path&) {
        ++asked;
        return fixed_space;
    };
    // Group 3 still grows: refused there, rotated; group 1 (written before) takes the frame
    // at offset 0 without asking.
    EXPECT_EQ(write(8), kWritten);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(write(9), kWritten);
    EXPECT_EQ(asked, 1);
    const auto ids = read_all();
    EXPECT_TRUE(strictly_increasing(ids));
    EXPECT_EQ(ids.back(), 9);
    expect_invariants();
}

TEST_F(ArchiveTest, BothWriteModesGiveTheSameFiles) {
    auto run = [this](bool use_cache) {
        TempDir root;
        ArchiveContext c = ctx;
        const Path prog = root.path() / "Prog";
        std::filesystem::create_directories(prog);
        c.program_dir = prog.string();
        c.settings.dirs[0] = prog.string();
        c.settings.dirs[1] = (root.path() / "D2").string();
        c.settings.cyclic = true;
        c.settings.use_cache = use_cache;
        c.group_limit = 3 * 1206;
        double t = 45000;
        c.local_time = [&t] { return t += 0.001; };
        use_filling_disk(5 * 1206);
        c.free_space = ctx.free_space;
        for (int id = 0; id < 30; ++id) {
            pixels[id] = id_pixels(id, width, height);
            sizes[id] = {width, height};
            EXPECT_EQ(ArchWriteFrame(c, frame(id)), kWritten);
        }
        return snapshot(root.path());
    };
    const auto cached = run(true);
    const auto direct = run(false);
    EXPECT_GT(cached.size(), 20u);
    EXPECT_TRUE(cached == direct);
}

TEST_F(ArchiveTest, ClearLeavesNothingBehind) {
    ctx.settings.cyclic = true;
    set_dir(2, "Disk2/Arch");
    ctx.group_limit = 2 * 1206;
    use_filling_disk(4 * 1206);
    put_file(program / "tolm.lng", std::vector<std::uint8_t>{1, 2, 3});
    for (int id = 0; id < 20; ++id) {
        ASSERT_EQ(write(id), kWritten);
    }
    ASSERT_TRUE(std::filesystem::exists(dir_path(2) / "csubdir.ind"));
    bool cleared = false;
    ArchClear(ctx, [&] { cleared = true; });
    EXPECT_TRUE(cleared);
    const auto left = snapshot(program);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.begin()->first, "tolm.lng");
    EXPECT_FALSE(std::filesystem::exists(dir_path(2))); // emptied and removed
    EXPECT_TRUE(std::filesystem::exists(program));
    EXPECT_TRUE(read_all().empty());
    EXPECT_EQ(ArchLastPos(ctx, 17), 17); // no index: the position stays
}

TEST_F(ArchiveTest, NoDirectoriesNothingWritten) {
    ctx.settings.dirs = {};
    for (bool cyclic : {false, true}) {
        ctx.settings.cyclic = cyclic;
        EXPECT_EQ(write(1), kNotWritten);
    }
    const auto files = snapshot(program);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "cbufer.ind");
    EXPECT_EQ(parse_arch_index(files.begin()->second).total, 0);
}

TEST_F(ArchiveTest, OutOfRangeIndexValuesCountAsOne) {
    for (bool cyclic : {false, true}) {
        SCOPED_TRACE(cyclic);
        ArchClear(ctx);
        ctx.settings.cyclic = cyclic;
        ArchIndex a;
        a.current_dir = 42;
        a.total = -3;
        a.dir_count[4] = -3;
        put_file(program / "cbufer.ind", serialize(a));
        DirIndex di;
        di.current_group = 0;
        put_file(program / "csubdir.ind", serialize(di));
        ASSERT_EQ(write(5), kWritten);
        const ArchIndex after = parse_arch_index(file_bytes(program / "cbufer.ind"));
        EXPECT_EQ(after.current_dir, 1);
        EXPECT_EQ(after.total, 1);
        EXPECT_EQ(parse_dir_index(file_bytes(program / "csubdir.ind")).current_group, 1);
        EXPECT_EQ(read_all(), std::vector<int>{5});
        expect_invariants();
    }
}

TEST_F(ArchiveTest, FramesThatCannotBeEncodedRaiseAndWriteNothing) {
    struct Case {
        const char* what;
        int bpp, marker, w, h;
        std::size_t bytes;
    };
    const Case cases[] = {
        {"12 bits", 12, 0, 16, 8, 16 * 8 * 2},
        {"16 bits, marker 3", 16, 3, 16, 8, 16 * 8 * 2},
        {"4:1:1 width not a multiple of 8", 16, 2, 12, 8, 12 * 8 * 2},
        {"pixels shorter than the frame", 24, 0, 16, 8, 16 * 8 * 3 - 1},
        {"no pixels", 8, 0, 0, 8, 0},
    };
    for (const auto& c : cases) {
        for (bool jpeg : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (jpeg ? " jpeg" : " bmp"));
            const std::vector<std::uint8_t> px(c.bytes, 0x80);
            ArchFrame f;
            f.pixels = px;
            f.width = c.w;
            f.height = c.h;
            f.bits_per_pixel = c.bpp;
            f.marker = c.marker;
            f.jpeg = jpeg;
            EXPECT_THROW(ArchWriteFrame(ctx, f), ArchiveError);
            EXPECT_TRUE(snapshot(program).empty());
        }
    }
}

TEST_F(ArchiveTest, UnusableProgramFolderRaises) {
    ctx.program_dir = (tmp.path() / "missing").string();
    pixels[1] = id_pixels(1, width, height);
    sizes[1] = {width, height};
    EXPECT_THROW(ArchWriteFrame(ctx, frame(1)), ArchiveError);
    EXPECT_THROW(ArchClear(ctx), ArchiveError);
    EXPECT_THROW(ArchNextPos(ctx, 0), ArchiveError);
}

TEST(ViewShift, OnlyAVisibleViewerOfTheLocalArchiveMoves) {
    struct Case {
        bool visible;
        int station;
        std::int64_t count;
        std::int64_t want_cur, want_low;
    };
    const Case cases[] = {
        {true, 0, 3, 7, 0}, // low 2 held at 0
        {true, 0, 0, 10, 2},  {true, 0, -4, 10, 2},
        {false, 0, 3, 10, 2}, {true, 4, 3, 10, 2}, // showing remote station 4's archive
    };
    for (const auto& c : cases) {
        ViewPositions v{c.visible, c.station, 10, 2, 12, 11};
        ViewShiftPositions(&v, c.count);
        EXPECT_EQ(v.cur_position, c.want_cur);
        EXPECT_EQ(v.search_low_pos, c.want_low);
    }
    ViewShiftPositions(nullptr, 5); // no viewer: nothing happens
}

TEST_F(ArchiveTest, CyclicWriterShiftsTheViewerByTheFramesItDrops) {
    ctx.settings.cyclic = true;
    ctx.group_limit = 3 * 1206;
    use_filling_disk(6 * 1206);
    ViewPositions view{true, 0, 1000, 1000, 1000, 1000};
    ctx.viewer = &view;
    std::int64_t expected = 1000;
    std::int64_t last_total = 0;
    for (int id = 0; id < 30; ++id) {
        ASSERT_EQ(write(id), kWritten);
        const std::int64_t total = parse_arch_index(file_bytes(program / "cbufer.ind")).total;
        expected -= last_total + 1 - total; // frames dropped by this write
        last_total = total;
        EXPECT_EQ(view.cur_position, expected) << id;
    }
    EXPECT_LT(expected, 1000);
}

} // namespace
} // namespace archive::test
