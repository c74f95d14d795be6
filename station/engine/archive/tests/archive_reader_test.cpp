// The archive readers on hand-built archives: the numbering of positions in both layouts, the
// filters, the answer bodies, the position steps and damaged files.
#include "archive_fixture.h"

#include "archive/archive_search.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace archive::test {
namespace {

// One group of a hand-built archive; frames are numbered by their record's zone x.
struct HandGroup {
    int dir;
    int group;
    std::vector<int> in1;
    std::vector<int> in2;
    int in2_valid = 0;
    bool in1_file = true; // false: no ".in1" (a rotated group)
};

FrameRecord hand_record(int id, std::int64_t offset) {
    FrameRecord r;
    r.offset = offset;
    r.length = 4;
    r.jpeg = 0;
    r.quality = 50;
    r.time = 45000 + id;
    r.camera = 3;
    r.station = 0;
    r.alarm = 1;
    r.zone_x = id;
    r.zone_y = 1;
    r.zone_size = 2;
    r.bits_per_pixel = 8;
    return r;
}

class ReaderTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        set_dir(2, "D2");
        all.request.fill(true);
        all.alarm.fill(true);
        all.system.fill(true);
    }

    // Writes the archive: counts from the groups, current directory and groups as given.
    void build(int current_dir, std::map<int, int> current_group,
               const std::vector<HandGroup>& groups) {
        ArchIndex a;
        a.current_dir = current_dir;
        std::map<int, DirIndex> dirs;
        for (auto& [d, g] : current_group) {
            dirs[d].current_group = g;
        }
        for (const auto& hg : groups) {
            const Path dir = dir_path(hg.dir);
            std::vector<std::uint8_t> in1, in2, dat(4000, 0);
            auto put = [&](std::vector<std::uint8_t>& file, int id, std::int64_t offset) {
                const auto rec = serialize(hand_record(id, offset));
                file.insert(file.end(), rec.begin(), rec.end());
                const std::uint8_t bytes[4] = {std::uint8_t(id), std::uint8_t(id >> 8), 0xAA, 0x55};
                std::memcpy(&dat[std::size_t(offset)], bytes, 4);
            };
            for (std::size_t i = 0; i < hg.in2.size(); ++i) {
                put(in2, hg.in2[i], std::int64_t(i) * 4);
            }
            for (std::size_t i = 0; i < hg.in1.size(); ++i) {
                put(in1, hg.in1[i], 2000 + std::int64_t(i) * 4);
            }
            const std::int64_t valid = std::int64_t(hg.in1.size()) + hg.in2_valid;
            put_file(dir / group_file_name(hg.group, ".in0"),
                     serialize(GroupHeader{valid, 4000, 2000 + std::int64_t(hg.in1.size()) * 4,
                                           std::int64_t(hg.in1.size()), hg.in2_valid}));
            if (hg.in1_file) {
                put_file(dir / group_file_name(hg.group, ".in1"), in1);
            }
            if (!hg.in2.empty()) {
                put_file(dir / group_file_name(hg.group, ".in2"), in2);
            }
            put_file(dir / group_file_name(hg.group, ".dat"), dat);
            dirs[hg.dir].group_count[std::size_t(hg.group - 1)] = valid;
            a.dir_count[std::size_t(hg.dir - 1)] += valid;
            a.total += valid;
        }
        for (auto& [d, di] : dirs) {
            put_file(dir_path(d) / kDirIndexName, serialize(di));
        }
        put_file(program / kArchIndexName, serialize(a));
    }

    // The frame number at each position, read by the answer reader; -1 / -2 for those codes.
    std::vector<int> numbering(bool cyclic) {
        const std::int64_t total = parse_arch_index(file_bytes(program / kArchIndexName)).total;
        std::vector<int> out;
        for (std::int64_t p = 0; p < total; ++p) {
            std::vector<std::uint8_t> body;
            const auto r =
                cyclic ? ArchAnswerCyclic(ctx, p, all, body) : ArchAnswerLinear(ctx, p, all, body);
            if (r != kFound) {
                out.push_back(r);
                continue;
            }
            const auto rec = parse_frame_record(std::span(body).subspan(18, kFrameRecordSize));
            out.push_back(rec->zone_x);
            // The picture is the stored bytes of that frame.
            EXPECT_EQ(body.size(), 18 + kFrameRecordSize + 4 + 4);
            EXPECT_EQ(body[18 + 57 + 4], std::uint8_t(rec->zone_x));
            EXPECT_EQ(body[18 + 57 + 6], 0xAA);
        }
        return out;
    }

    ArchFilters all;
};

TEST_F(ReaderTest, CyclicNeverWrappedReadsEverythingFromTheNewerPart) {
    build(1, {{1, 2}},
          {{1, 1, {}, {0, 1, 2}, 3, false}, // group 1 rotated: no .in1, read .in2 from the start
           {1, 2, {3, 4}, {}, 0}});
    EXPECT_EQ(numbering(true), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(ReaderTest, CyclicWrappedStartsAtTheOldestValidRecordOfTheCurrentGroup) {
    // Group 1 took two new frames; 3 of its 10 older records are still valid (records 7..9).
    build(
        1, {{1, 1}},
        {{1, 1, {20, 21}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 3}, {1, 2, {}, {10, 11, 12}, 3, false}});
    EXPECT_EQ(numbering(true), (std::vector<int>{7, 8, 9, 10, 11, 12, 20, 21}));
}

TEST_F(ReaderTest, CyclicTwoDirectories) {
    // Directory 1 is full and was left with group 1 current (with or without an empty .in1);
    // writing goes on in directory 2, whose older generation is still there.
    for (bool empty_in1 : {false, true}) {
        SCOPED_TRACE(empty_in1);
        build(2, {{1, 1}, {2, 1}},
              {{1, 1, {}, {10, 11, 12}, 3, empty_in1},
               {1, 2, {}, {13, 14}, 2, false},
               {2, 1, {15}, {0, 1, 2}, 2},
               {2, 2, {}, {3, 4, 5}, 3, false}});
        EXPECT_EQ(numbering(true), (std::vector<int>{1, 2, 3, 4, 5, 10, 11, 12, 13, 14, 15}));
    }
}

TEST_F(ReaderTest, LinearWalksDirectoriesThenGroups) {
    build(2, {{1, 2}, {2, 1}}, {{1, 1, {0, 1}, {}, 0}, {1, 2, {2}, {}, 0}, {2, 1, {3, 4}, {}, 0}});
    EXPECT_EQ(numbering(false), (std::vector<int>{0, 1, 2, 3, 4}));
    // The same directory without its settings entry reads as nothing.
    ctx.settings.dirs[1].clear();
    EXPECT_EQ(numbering(false), (std::vector<int>{0, 1, 2, -1, -1}));
}

TEST_F(ReaderTest, DamagedFilesReadAsNothing) {
    struct Case {
        const char* what;
        std::function<void(const Path& program)> damage;
        std::vector<int> want;
    };
    auto rewrite_record = [](const Path& program, std::int64_t offset, std::int64_t length) {
        auto rec = hand_record(1, offset);
        rec.length = length;
        const Path p = program / "c1.in1";
        auto bytes = file_bytes(p);
        const auto raw = serialize(rec);
        std::copy(raw.begin(), raw.end(), bytes.begin() + kFrameRecordSize);
        put_file(p, bytes);
    };
    const Case cases[] = {
        {"length past the data file",
         [&](const Path& program) { rewrite_record(program, 3990, 11); },
         {0, -1, 2}},
        {"huge length",
         [&](const Path& program) { rewrite_record(program, 0, 1'000'000'000'000'000); },
         {0, -1, 2}},
        {"negative offset",
         [&](const Path& program) { rewrite_record(program, -4, 4); },
         {0, -1, 2}},
        {"count past the records",
         [](const Path& program) {
             auto bytes = file_bytes(program / "c1.in1");
             bytes.resize(2 * kFrameRecordSize + 20); // a cut third record
             put_file(program / "c1.in1", bytes);
         },
         {0, 1, -1}},
        {"header missing",
         [](const Path& program) { std::filesystem::remove(program / "c1.in0"); },
         {-1, -1, -1}},
        {"header inconsistent",
         [](const Path& program) {
             put_file(program / "c1.in0", serialize(GroupHeader{5, 0, 0, 3, 0}));
         },
         {-1, -1, -1}},
        {"data file missing",
         [](const Path& program) { std::filesystem::remove(program / "c1.dat"); },
         {-1, -1, -1}},
        {"directory index short",
         [](const Path& program) {
             put_file(program / kDirIndexName, std::vector<std::uint8_t>(100, 0));
         },
         {-1, -1, -1}},
        {"directory index with group 0",
         [](const Path& program) {
             DirIndex di;
             di.current_group = 0;
             di.group_count[0] = 3;
             put_file(program / kDirIndexName, serialize(di));
         },
         {-1, -1, -1}},
        {"total not the sum",
         [](const Path& program) {
             auto a = parse_arch_index(file_bytes(program / kArchIndexName));
             a.total = 2;
             put_file(program / kArchIndexName, serialize(a));
         },
         {}},
        {"current directory 11",
         [](const Path& program) {
             auto a = parse_arch_index(file_bytes(program / kArchIndexName));
             a.current_dir = 11;
             put_file(program / kArchIndexName, serialize(a));
         },
         {}},
    };
    for (bool cyclic : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (cyclic ? " cyclic" : " linear"));
            build(1, {{1, 1}}, {{1, 1, {0, 1, 2}, {}, 0}});
            c.damage(program);
            std::vector<int> got;
            for (std::int64_t p = 0; p < 3; ++p) {
                std::vector<std::uint8_t> body;
                const auto r = cyclic ? ArchAnswerCyclic(ctx, p, all, body)
                                      : ArchAnswerLinear(ctx, p, all, body);
                got.push_back(
                    r == kFound ? parse_frame_record(std::span(body).subspan(18, 57))->zone_x : r);
            }
            EXPECT_EQ(got, (c.want.empty() ? std::vector<int>{-1, -1, -1} : c.want));
        }
    }
}

TEST_F(ReaderTest, Filters) {
    struct Case {
        const char* what;
        int camera, station;
        bool alarm, manual;
        int filter_camera; // 1..16, its request / alarm entries set as below
        bool request_on, alarm_on, system_on;
        bool pass;
    };
    const Case cases[] = {
        {"manual, request filter off", 3, 0, false, true, 3, false, true, true, false},
        {"manual, request filter on", 3, 0, false, true, 3, true, false, true, true},
        {"alarm, alarm filter on", 3, 0, true, false, 3, false, true, true, true},
        {"alarm, only the request filter", 3, 0, true, false, 3, true, false, true, false},
        {"neither kind", 3, 0, false, false, 3, true, true, true, false},
        {"remote station filtered out", 3, 4, true, true, 3, true, true, false, false},
        {"another camera's filter", 3, 0, true, true, 4, true, true, true, false},
        {"camera 0", 0, 0, true, true, 1, true, true, true, false},
        {"camera 17", 17, 0, true, true, 16, true, true, true, false},
        {"station 21", 3, 21, true, true, 3, true, true, true, false},
        {"station -1", 3, -1, true, true, 3, true, true, true, false},
    };
    for (const auto& c : cases) {
        FrameRecord r;
        r.camera = c.camera;
        r.station = c.station;
        r.alarm = c.alarm;
        r.manual = c.manual;
        ArchFilters f;
        f.request[std::size_t(c.filter_camera - 1)] = c.request_on;
        f.alarm[std::size_t(c.filter_camera - 1)] = c.alarm_on;
        const int station = c.station >= 0 && c.station <= 20 ? c.station : 0;
        f.system[std::size_t(station)] = c.system_on;
        EXPECT_EQ(passes_filters(r, f), c.pass) << c.what;
    }
}

TEST_F(ReaderTest, AnswerBodiesByteForByte) {
    build(1, {{1, 1}}, {{1, 1, {9}, {}, 0}});
    const auto record = serialize(hand_record(9, 2000));
    auto header = [](std::int16_t code, std::int64_t pos) {
        std::vector<std::uint8_t> b;
        for (int i = 0; i < 2; ++i) {
            b.push_back(std::uint8_t(std::uint16_t(code) >> (8 * i)));
        }
        for (int i = 0; i < 8; ++i) {
            b.push_back(std::uint8_t(std::uint64_t(pos) >> (8 * i)));
        }
        return b;
    };
    std::vector<std::uint8_t> want = header(0, 0);
    const auto pct = std::bit_cast<std::uint64_t>(0.0);
    for (int i = 0; i < 8; ++i) {
        want.push_back(std::uint8_t(pct >> (8 * i)));
    }
    want.insert(want.end(), record.begin(), record.end());
    want.insert(want.end(), {4, 0, 0, 0, 9, 0, 0xAA, 0x55});

    std::vector<std::uint8_t> body = {0xEE}; // the body is appended to what is there
    EXPECT_EQ(ArchAnswerLinear(ctx, 0, all, body), kFound);
    want.insert(want.begin(), 0xEE);
    EXPECT_EQ(body, want);

    // Filtered out: code -2, position, percent and the record, no picture.
    ArchFilters none;
    body.clear();
    EXPECT_EQ(ArchAnswerCyclic(ctx, 0, none, body), kFilteredOut);
    std::vector<std::uint8_t> want2 = header(-2, 0);
    want2.insert(want2.end(), want.begin() + 11, want.begin() + 11 + 8 + 57);
    EXPECT_EQ(body, want2);

    // Nothing read: code -1 and the position only, 10 bytes.
    body.clear();
    EXPECT_EQ(ArchAnswerLinear(ctx, 5, all, body), kNothingRead);
    EXPECT_EQ(body, header(-1, 5));
    body.clear();
    EXPECT_EQ(ArchAnswerCyclic(ctx, -1, all, body), kNothingRead);
    EXPECT_EQ(body, header(-1, -1));
}

TEST_F(ReaderTest, LocalReaderDeliversRecordPercentAndPicture) {
    ctx.settings.cyclic = false;
    width = 32;
    height = 16;
    for (int id = 0; id < 4; ++id) {
        ASSERT_EQ(write(id), kWritten);
    }
    Picture pic;
    FrameRecord rec;
    double percent = -1;
    ASSERT_EQ(ArchReadLinear(ctx, 2, all, &pic, &rec, &percent), kFound);
    EXPECT_EQ(rec.zone_x, 2);
    EXPECT_DOUBLE_EQ(percent, 50.0);
    EXPECT_EQ(pic.bgr, id_picture(2, 32, 16).bgr);

    // Filtered out: record and percent, picture untouched.
    ArchFilters no_alarm = all;
    no_alarm.alarm[std::size_t(rec.camera - 1)] = false;
    Picture untouched;
    ASSERT_EQ(ArchReadLinear(ctx, 2, no_alarm, &untouched, &rec, &percent), kFilteredOut);
    EXPECT_EQ(rec.zone_x, 2);
    EXPECT_EQ(untouched.width, 0);

    // A JPEG flag on bytes that are no JPEG: the answer still carries them, the viewer gets -1.
    auto in1 = file_bytes(program / "c1.in1");
    in1[2 * kFrameRecordSize + 16] = 1;
    put_file(program / "c1.in1", in1);
    EXPECT_EQ(ArchReadLinear(ctx, 2, all, &pic, &rec, &percent), kNothingRead);
    std::vector<std::uint8_t> body;
    EXPECT_EQ(ArchAnswerLinear(ctx, 2, all, body), kFound);
}

TEST_F(ReaderTest, EmptyArchiveAndPositionSteps) {
    ArchFilters f = all;
    Picture pic;
    FrameRecord rec;
    double percent;
    EXPECT_EQ(ArchReadCyclic(ctx, 0, f, &pic, &rec, &percent), kNothingRead);
    EXPECT_EQ(ArchNextPos(ctx, 41), 41); // no index: unchanged
    EXPECT_EQ(ArchPrevPos(ctx, 41), 41);
    EXPECT_EQ(ArchLastPos(ctx, 41), 41);
    EXPECT_EQ(ArchPercentPos(ctx, 41, 50), 41);

    put_file(program / kArchIndexName, serialize(ArchIndex{}));
    EXPECT_EQ(ArchReadLinear(ctx, 0, f, &pic, &rec, &percent), kNothingRead);
    EXPECT_EQ(ArchNextPos(ctx, 41), 0);
    EXPECT_EQ(ArchPrevPos(ctx, 41), 0);
    EXPECT_EQ(ArchLastPos(ctx, 41), 0);

    ArchIndex eleven;
    eleven.total = 11;
    eleven.dir_count[0] = 11;
    put_file(program / kArchIndexName, serialize(eleven));
    struct Case {
        std::int64_t (*step)(const ArchiveContext&, std::int64_t);
        std::int64_t from, want;
    };
    for (const Case c :
         {Case{ArchNextPos, 3, 4}, Case{ArchNextPos, 10, 10}, Case{ArchNextPos, -7, 0},
          Case{ArchNextPos, INT64_MAX, 10}, Case{ArchPrevPos, 3, 2}, Case{ArchPrevPos, 0, 0},
          Case{ArchPrevPos, 50, 10}, Case{ArchPrevPos, INT64_MIN, 0}, Case{ArchLastPos, 0, 10}}) {
        EXPECT_EQ(c.step(ctx, c.from), c.want) << c.from;
    }
    for (const auto& [percent, want] : std::vector<std::pair<double, std::int64_t>>{
             {50, 5}, {100, 10}, {-3, 0}, {250, 10}, {99.99, 9}, {std::nan(""), 0}}) {
        EXPECT_EQ(ArchPercentPos(ctx, 3, percent), want) << percent;
    }
}

} // namespace
} // namespace archive::test
