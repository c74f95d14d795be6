#include "archive_fixture.h"

#include <cstdlib>
#include <fstream>
#include <set>

namespace archive::test {

std::vector<std::uint8_t> file_bytes(const Path& p) {
    auto b = host_io().read_file(p);
    return b ? *b : std::vector<std::uint8_t>{};
}

void put_file(const Path& p, std::span<const std::uint8_t> bytes) {
    std::filesystem::create_directories(p.parent_path());
    host_io().write_file(p, bytes);
}

std::map<std::string, std::vector<std::uint8_t>> snapshot(const Path& root) {
    std::map<std::string, std::vector<std::uint8_t>> out;
    if (!std::filesystem::exists(root)) {
        return out;
    }
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            out[std::filesystem::relative(e.path(), root).string()] = file_bytes(e.path());
        }
    }
    return out;
}

std::vector<std::uint8_t> id_pixels(int id, int w, int h) {
    std::vector<std::uint8_t> px(std::size_t(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i) {
        px[i] = std::uint8_t(id * 37 + i * 5 + (i / std::size_t(w)) * 11);
    }
    return px;
}

Picture id_picture(int id, int w, int h) {
    const auto px = id_pixels(id, w, h);
    Picture pic;
    pic.width = w;
    pic.height = h;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint8_t v = px[std::size_t(h - 1 - y) * w + x];
            pic.bgr.insert(pic.bgr.end(), {v, v, v});
        }
    }
    return pic;
}

bool CuttingIo::cut_now() {
    return changes++ == cut_at;
}

std::optional<std::vector<std::uint8_t>> CuttingIo::read_file(const Path& p) {
    return host_io().read_file(p);
}
std::optional<std::uint64_t> CuttingIo::file_size(const Path& p) {
    return host_io().file_size(p);
}
bool CuttingIo::read_at(const Path& p, std::uint64_t offset, std::span<std::uint8_t> out) {
    return host_io().read_at(p, offset, out);
}
bool CuttingIo::usable_directory(const Path& p) {
    return host_io().usable_directory(p);
}
void CuttingIo::write_file(const Path& p, std::span<const std::uint8_t> bytes) {
    if (cut_now()) {
        if (bytes.size() > 512) { // a torn multi-sector write: the first half is new
            host_io().write_at(p, 0, bytes.first(bytes.size() / 2), DataWrite::Buffered);
        }
        throw Cut{};
    }
    host_io().write_file(p, bytes);
}
void CuttingIo::write_at(const Path& p, std::uint64_t offset, std::span<const std::uint8_t> bytes,
                         DataWrite mode) {
    if (cut_now()) {
        host_io().write_at(p, offset, bytes.first(bytes.size() / 2), mode);
        throw Cut{};
    }
    host_io().write_at(p, offset, bytes, mode);
}
void CuttingIo::write_and_cut(const Path& p, std::uint64_t offset,
                              std::span<const std::uint8_t> bytes) {
    if (cut_now()) {
        host_io().write_at(p, offset, bytes.first(bytes.size() / 2), DataWrite::Buffered);
        throw Cut{};
    }
    host_io().write_and_cut(p, offset, bytes);
}
bool CuttingIo::remove_file(const Path& p) {
    if (cut_now()) {
        throw Cut{};
    }
    return host_io().remove_file(p);
}
void CuttingIo::rename_file(const Path& from, const Path& to) {
    if (cut_now()) {
        throw Cut{};
    }
    host_io().rename_file(from, to);
}
bool CuttingIo::create_directories(const Path& p) {
    if (cut_now()) {
        throw Cut{};
    }
    return host_io().create_directories(p);
}
bool CuttingIo::remove_empty_directory(const Path& p) {
    if (cut_now()) {
        throw Cut{};
    }
    return host_io().remove_empty_directory(p);
}

void ArchiveTest::SetUp() {
    program = tmp.path() / "Prog";
    std::filesystem::create_directories(program);
    ctx.program_dir = program.string();
    ctx.settings.dirs[0] = program.string();
    ctx.free_space = [this](const Path&) { return fixed_space; };
    ctx.local_time = [this] {
        clock += 1.0 / 86400.0;
        return clock;
    };
}

void ArchiveTest::set_dir(int d, const std::string& sub) {
    ctx.settings.dirs[std::size_t(d - 1)] = (tmp.path() / sub).string();
}

void ArchiveTest::use_filling_disk(std::int64_t cap) {
    ctx.free_space = [cap](const Path& dir) -> std::optional<DiskSpace> {
        std::int64_t used = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            if (e.path().extension() == ".dat") {
                used += std::int64_t(e.file_size());
            }
        }
        const std::int64_t free = std::max<std::int64_t>(0, 13'000'000 + (cap - used) * 1000);
        return DiskSpace{std::uint64_t(free), 100'000'000};
    };
}

ArchFrame ArchiveTest::frame(int id) const {
    ArchFrame f;
    f.pixels = pixels.at(id);
    f.width = sizes.at(id).first;
    f.height = sizes.at(id).second;
    f.bits_per_pixel = 8;
    f.jpeg = false;
    f.quality = 80;
    f.camera = 1 + id % 16;
    f.station = 0;
    f.alarm = true;
    f.zone_x = id;
    f.zone_y = 500;
    f.zone_size = 1000;
    return f;
}

std::int32_t ArchiveTest::write(int id) {
    pixels[id] = id_pixels(id, width, height);
    sizes[id] = {width, height};
    return ArchWriteFrame(ctx, frame(id));
}

std::vector<int> ArchiveTest::read_all() {
    ArchFilters all;
    all.request.fill(true);
    all.alarm.fill(true);
    all.system.fill(true);
    std::vector<int> ids;
    const auto index = host_io().read_file(program / kArchIndexName);
    if (!index) {
        return ids;
    }
    const std::int64_t total = parse_arch_index(*index).total;
    for (std::int64_t p = 0; p < total; ++p) {
        Picture pic;
        FrameRecord rec;
        double percent = -1;
        const auto r = ctx.settings.cyclic ? ArchReadCyclic(ctx, p, all, &pic, &rec, &percent)
                                           : ArchReadLinear(ctx, p, all, &pic, &rec, &percent);
        if (r != kFound) {
            ids.push_back(-1);
            continue;
        }
        const auto size = sizes.find(rec.zone_x);
        if (size == sizes.end()) {
            ADD_FAILURE() << "frame " << rec.zone_x << " was never written";
            ids.push_back(-1);
            continue;
        }
        const Picture want = id_picture(rec.zone_x, size->second.first, size->second.second);
        EXPECT_EQ(pic.width, want.width);
        EXPECT_EQ(pic.height, want.height);
        EXPECT_EQ(pic.bgr, want.bgr) << "picture of frame " << rec.zone_x << " at " << p;
        EXPECT_DOUBLE_EQ(percent, double(p) * 100.0 / double(total));
        ids.push_back(rec.zone_x);
    }
    return ids;
}

void ArchiveTest::expect_invariants() {
    const auto index = host_io().read_file(program / kArchIndexName);
    ASSERT_TRUE(index);
    ASSERT_EQ(index->size(), kArchIndexSize);
    const ArchIndex a = parse_arch_index(*index);
    ASSERT_TRUE(valid_for_reading(a)) << "total is the sum of the directory counts";
    for (int d = 1; d <= kDirCount; ++d) {
        const std::string& name = ctx.settings.dirs[std::size_t(d - 1)];
        if (name.empty()) {
            EXPECT_EQ(a.dir_count[std::size_t(d - 1)], 0);
            continue;
        }
        const auto dbytes = host_io().read_file(dir_path(d) / kDirIndexName);
        if (!dbytes) {
            EXPECT_EQ(a.dir_count[std::size_t(d - 1)], 0) << "directory " << d;
            continue;
        }
        if (dbytes->size() < kDirIndexSize) {
            // Cut while being created: readers skip it, the next write there starts it anew.
            EXPECT_EQ(a.dir_count[std::size_t(d - 1)], 0) << "directory " << d;
            continue;
        }
        ASSERT_EQ(dbytes->size(), kDirIndexSize);
        const DirIndex di = parse_dir_index(*dbytes);
        ASSERT_TRUE(valid_for_reading(di));
        std::int64_t sum = 0;
        const Path dir = dir_path(d);
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            names.insert(e.path().filename().string());
        }
        for (int g = 1; g <= kGroupCount; ++g) {
            const std::int64_t count = di.group_count[std::size_t(g - 1)];
            sum += count;
            if (!names.count(group_file_name(g, ".in0"))) {
                EXPECT_EQ(count, 0) << "directory " << d << " group " << g;
                continue;
            }
            const auto hb = host_io().read_file(dir / group_file_name(g, ".in0"));
            ASSERT_TRUE(hb);
            const GroupHeader h = parse_group_header(*hb);
            EXPECT_TRUE(valid_for_reading(h)) << "valid = .in1 records + valid .in2 records";
            EXPECT_EQ(count, h.valid) << "directory " << d << " group " << g;
            const auto in1 = file_bytes(dir / group_file_name(g, ".in1"));
            const auto in2 = file_bytes(dir / group_file_name(g, ".in2"));
            if (allow_record_tails) {
                EXPECT_GE(std::int64_t(in1.size() / kFrameRecordSize), h.in1_count);
            } else {
                EXPECT_EQ(in1.size() % kFrameRecordSize, 0u);
                EXPECT_EQ(std::int64_t(in1.size() / kFrameRecordSize), h.in1_count);
            }
            EXPECT_LE(h.in2_valid, std::int64_t(in2.size() / kFrameRecordSize));
            EXPECT_LE(h.write_offset, ctx.group_limit);
            const auto dat_size = host_io().file_size(dir / group_file_name(g, ".dat"));
            // Records of one file in writing order, inside the data file and the limit.
            auto check = [&](const std::vector<std::uint8_t>& file, std::int64_t first,
                             std::int64_t n) {
                std::int64_t prev_end = -1;
                for (std::int64_t i = first; i < n; ++i) {
                    const auto rec = *parse_frame_record(std::span(file).subspan(
                        std::size_t(i) * kFrameRecordSize, kFrameRecordSize));
                    EXPECT_GE(rec.offset, prev_end < 0 ? 0 : prev_end);
                    prev_end = rec.offset + rec.length;
                    EXPECT_LE(prev_end, ctx.group_limit);
                    ASSERT_TRUE(dat_size);
                    EXPECT_LE(prev_end, std::int64_t(*dat_size));
                }
            };
            check(in1, 0, h.in1_count);
            const std::int64_t n2 = std::int64_t(in2.size() / kFrameRecordSize);
            check(in2, n2 - h.in2_valid, n2);
        }
        EXPECT_EQ(a.dir_count[std::size_t(d - 1)], sum) << "directory " << d;
    }
}

} // namespace archive::test
