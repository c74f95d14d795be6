#include "archive_writer.h"

#include "archive_encode.h"
#include "archive_locate.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace archive {
namespace {

constexpr std::int64_t kFreeMargin = 2'000'000;
// Internal result of a cyclic group step: the directory's writing goes on from group 1.
constexpr std::int32_t kLeftWrapped = -3;

template <std::size_t N>
std::span<const std::uint8_t> bytes_of(const std::array<std::uint8_t, N>& a) {
    return {a.data(), a.size()};
}

std::int64_t record_count(ArchiveIo& io, const Path& p) {
    const auto size = io.file_size(p);
    return size ? std::int64_t(*size / kFrameRecordSize) : 0;
}

struct GroupFiles {
    Path in0, in1, in2, dat;
    GroupFiles(const Path& dir, int g)
        : in0(dir / group_file_name(g, ".in0")), in1(dir / group_file_name(g, ".in1")),
          in2(dir / group_file_name(g, ".in2")), dat(dir / group_file_name(g, ".dat")) {}
};

class Writer {
public:
    Writer(ArchiveContext& ctx, const ArchFrame& frame) : ctx_(ctx), io_(*ctx.io) {
        const Path program = enter_program_folder(ctx);
        EncodeFrame(ctx.state, data_, frame.pixels, frame.width, frame.quality, frame.jpeg,
                    frame.marker, frame.bits_per_pixel, frame.height);
        record_.jpeg = frame.jpeg ? 1 : 0;
        record_.quality = frame.quality;
        record_.time = ctx.local_time ? ctx.local_time() : 0.0;
        record_.camera = frame.camera;
        record_.station = frame.station;
        record_.alarm = frame.alarm ? 1 : 0;
        record_.manual = frame.manual ? 1 : 0;
        record_.zone_x = frame.zone_x;
        record_.zone_y = frame.zone_y;
        record_.zone_size = frame.zone_size;
        record_.bits_per_pixel = std::int16_t(frame.bits_per_pixel);
        record_.marker = std::int16_t(frame.marker);
        index_path_ = program / kArchIndexName;
        arch_ = load_arch_index();
    }

    std::int32_t write_linear() {
        std::int32_t r = kNotWritten;
        for (std::int64_t d = arch_.current_dir; d <= kDirCount; ++d) {
            arch_.current_dir = d;
            r = dir_step(int(d), false, false, 0).result;
            if (r >= 0) {
                break;
            }
        }
        save_arch_index();
        return r;
    }

    std::int32_t write_cyclic() {
        // At most two passes over the directories, each from the current one round to the one
        // before it; the second starts where the first stopped.
        std::vector<int> order;
        for (int pass = 0, s = int(arch_.current_dir); pass < 2; ++pass) {
            for (int i = 0; i < kDirCount; ++i) {
                order.push_back((s - 1 + i) % kDirCount + 1);
            }
            s = order.back();
        }
        std::int32_t r = kNotWritten;
        for (std::size_t i = 0; i < order.size(); ++i) {
            const int d = order[i];
            if (d != arch_.current_dir) {
                arch_.current_dir = d;
                save_arch_index();
            }
            const int next = i + 1 < order.size() ? order[i + 1] : 0;
            const DirResult step = dir_step(d, true, i > 0, next);
            r = step.result;
            ViewShiftPositions(ctx_.viewer, step.dropped);
            if (r >= 0) {
                break;
            }
        }
        save_arch_index();
        return r;
    }

private:
    struct DirResult {
        std::int32_t result = kNotWritten;
        std::int64_t dropped = 0;
    };
    struct GroupResult {
        std::int32_t result = kNotWritten;
        std::int64_t valid = 0; // the group's valid frames afterwards
    };

    ArchIndex load_arch_index() {
        auto bytes = io_.read_file(index_path_);
        if (!bytes) {
            ArchIndex fresh;
            io_.write_file(index_path_, bytes_of(serialize(fresh)));
            return fresh;
        }
        ArchIndex a = parse_arch_index(*bytes);
        if (a.current_dir < 1 || a.current_dir > kDirCount) {
            a.current_dir = 1;
        }
        for (auto& c : a.dir_count) {
            c = std::clamp<std::int64_t>(c, 0, std::int64_t(kGroupCount) * kGroupDataLimit);
        }
        return a;
    }

    void save_arch_index() {
        arch_.total =
            std::accumulate(arch_.dir_count.begin(), arch_.dir_count.end(), std::int64_t(0));
        io_.write_file(index_path_, bytes_of(serialize(arch_)));
    }

    // `arrived`: the write came to this directory from another one. `next`: the directory the
    // cyclic write tries after this one, 0 for none.
    DirResult dir_step(int d, bool cyclic, bool arrived, int next) {
        DirResult out;
        const std::string& name = ctx_.settings.dirs[std::size_t(d - 1)];
        if (name.empty()) {
            return out;
        }
        const Path dir = host_dir(name);
        if (!io_.usable_directory(dir) && !io_.create_directories(dir)) {
            return out;
        }
        const Path dir_index_path = dir / kDirIndexName;
        DirIndex di;
        if (auto bytes = io_.read_file(dir_index_path)) {
            di = parse_dir_index(*bytes);
        } else {
            io_.write_file(dir_index_path, bytes_of(serialize(di)));
        }
        if (di.current_group < 1 || di.current_group > kGroupCount) {
            di.current_group = 1;
        }
        for (auto& c : di.group_count) {
            c = std::clamp<std::int64_t>(c, 0, kGroupDataLimit);
        }
        const std::int32_t min_free = ctx_.settings.min_free[std::size_t(d - 1)];
        int g = int(di.current_group);
        bool first = true;
        for (;;) {
            std::int64_t& count = di.group_count[std::size_t(g - 1)];
            const std::int64_t before = count;
            const GroupResult gr =
                cyclic ? cyclic_group(dir, g, min_free, first ? (arrived ? 2 : 1) : 0)
                       : linear_group(dir, g, min_free);
            first = false;
            count = gr.valid;
            if (cyclic) {
                out.dropped +=
                    std::max<std::int64_t>(0, before + (gr.result == kWritten ? 1 : 0) - gr.valid);
            }
            if (gr.result == kLeftWrapped) {
                // The write that left this directory was cut before it could record that
                // writing here goes on from group 1.
                g = 1;
                continue;
            }
            out.result = gr.result;
            if (gr.result == kGroupFull) {
                if (g >= kGroupCount) {
                    if (cyclic) {
                        g = wrap_to_first_group(dir);
                    }
                    out.result = kNotWritten;
                    break;
                }
                ++g;
                continue;
            }
            if (gr.result == kNotWritten && cyclic) {
                if (g < kGroupCount && io_.file_size(GroupFiles(dir, g + 1).in0)) {
                    ++g;
                    continue;
                }
                g = wrap_to_first_group(dir);
            }
            break;
        }
        di.current_group = g;
        arch_.dir_count[std::size_t(d - 1)] =
            std::accumulate(di.group_count.begin(), di.group_count.end(), std::int64_t(0));
        if (cyclic && out.result == kNotWritten && next != 0) {
            // Leaving the directory: the move to the next one is recorded first, so a cut
            // write never makes the next one go on here from group 1.
            arch_.current_dir = next;
            save_arch_index();
        }
        io_.write_file(dir_index_path, bytes_of(serialize(di)));
        return out;
    }

    // Writing in the directory goes on from group 1: its ".in1" is created now, so the next
    // write can tell the group where writing goes on from a group a cut write left rotated.
    int wrap_to_first_group(const Path& dir) {
        const GroupFiles f(dir, 1);
        if (!io_.file_size(f.in1)) {
            io_.write_at(f.in1, 0, {}, DataWrite::Buffered);
        }
        return 1;
    }

    // Opens a group: creates its header when missing and brings the header's counts within
    // what the record files hold. A rotation that a cut write left after the rename is
    // finished. Returns true when the group is rotated (it has a header but no ".in1"); its
    // record files are then left as they are, else ".in1" (and ".in2" in the cyclic layout)
    // are created when missing.
    bool open_group(const GroupFiles& f, bool cyclic, GroupHeader& h, bool keep_rotated) {
        bool had_header = false;
        if (auto bytes = io_.read_file(f.in0)) {
            h = parse_group_header(*bytes);
            had_header = true;
        } else {
            h = GroupHeader{};
            io_.write_file(f.in0, bytes_of(serialize(h)));
        }
        const bool in1_exists = io_.file_size(f.in1).has_value();
        const bool rotated = cyclic && had_header && !in1_exists;
        if (rotated && h.in1_count > 0) {
            h.in2_valid = std::min(h.in1_count, record_count(io_, f.in2));
            h.in1_count = 0;
            h.write_offset = 0;
            h.valid = h.in2_valid;
            io_.write_file(f.in0, bytes_of(serialize(h)));
        }
        if (!(rotated && keep_rotated)) {
            if (!in1_exists) {
                io_.write_at(f.in1, 0, {}, DataWrite::Buffered);
            }
            if (cyclic && !io_.file_size(f.in2)) {
                io_.write_at(f.in2, 0, {}, DataWrite::Buffered);
            }
        }
        h.in1_count = std::clamp<std::int64_t>(h.in1_count, 0, record_count(io_, f.in1));
        h.in2_valid =
            cyclic ? std::clamp<std::int64_t>(h.in2_valid, 0, record_count(io_, f.in2)) : 0;
        h.valid = h.in1_count + h.in2_valid;
        h.write_offset = std::clamp<std::int64_t>(h.write_offset, 0, ctx_.group_limit);
        h.high_water = std::max<std::int64_t>(h.high_water, 0);
        return rotated;
    }

    bool space_left(const Path& dir, std::int32_t min_free) {
        const auto space = ctx_.free_space ? ctx_.free_space(dir) : std::nullopt;
        if (!space || space->total_bytes == 0) {
            return false; // a disk that reports nothing counts as full
        }
        const double p = std::trunc((double(space->free_bytes) - double(kFreeMargin)) /
                                    double(space->total_bytes) * 100.0);
        return p > double(min_free);
    }

    void append_frame(const GroupFiles& f, GroupHeader& h, bool cyclic) {
        const std::int64_t o = h.write_offset;
        const std::int64_t end = o + std::int64_t(data_.size());
        io_.write_at(f.dat, std::uint64_t(o), data_,
                     ctx_.settings.use_cache ? DataWrite::Buffered : DataWrite::WriteThrough);
        FrameRecord rec = record_;
        rec.offset = o;
        rec.length = std::int64_t(data_.size());
        io_.write_and_cut(f.in1, std::uint64_t(h.in1_count) * kFrameRecordSize,
                          bytes_of(serialize(rec)));
        h.high_water = cyclic ? std::max(h.high_water, end) : end;
        h.write_offset = end;
        h.in1_count += 1;
        h.valid += 1;
        io_.write_file(f.in0, bytes_of(serialize(h)));
    }

    GroupResult linear_group(const Path& dir, int g, std::int32_t min_free) {
        const GroupFiles f(dir, g);
        GroupHeader h;
        open_group(f, false, h, false);
        const std::int64_t end = h.write_offset + std::int64_t(data_.size());
        const bool full = end > ctx_.group_limit;
        if (full || (end > h.high_water && !space_left(dir, min_free))) {
            // Writing leaves the group: a record that a cut write left after the counted ones
            // goes now.
            io_.write_and_cut(f.in1, std::uint64_t(h.in1_count) * kFrameRecordSize, {});
            return {full ? kGroupFull : kNotWritten, h.valid};
        }
        append_frame(f, h, false);
        return {kWritten, h.valid};
    }

    void rotate(const GroupFiles& f, GroupHeader& h) {
        if (h.in2_valid > 0) {
            h.valid -= h.in2_valid;
            h.in2_valid = 0;
            io_.write_file(f.in0, bytes_of(serialize(h)));
        }
        io_.write_and_cut(f.in1, std::uint64_t(h.in1_count) * kFrameRecordSize, {});
        io_.remove_file(f.in2);
        io_.rename_file(f.in1, f.in2);
        h.in2_valid = h.in1_count;
        h.in1_count = 0;
        h.write_offset = 0;
        io_.write_file(f.in0, bytes_of(serialize(h)));
    }

    // `first`: 0 for a later group of the directory step; for the group "csubdir.ind" names as
    // the one where writing goes on, 1 when the write starts in this directory, 2 when it came
    // from another one. Writing goes on only in a group that has a ".in1": a rotated current
    // group in the starting directory was left by a write cut before it could move on to the
    // next group (it counts as full); in a directory the write comes to, by a write cut
    // before it could record the move to group 1.
    GroupResult cyclic_group(const Path& dir, int g, std::int32_t min_free, int first) {
        const GroupFiles f(dir, g);
        GroupHeader h;
        if (open_group(f, true, h, first != 0) && first != 0) {
            return {first == 1 ? kGroupFull : kLeftWrapped, h.valid};
        }
        const std::int64_t end = h.write_offset + std::int64_t(data_.size());
        if (end > ctx_.group_limit) {
            rotate(f, h);
            return {kGroupFull, h.valid};
        }
        if (end > h.high_water && !space_left(dir, min_free)) {
            rotate(f, h);
            return {kNotWritten, h.valid};
        }
        // Drop the older generation's records whose bytes the new frame overwrites, before
        // they are overwritten.
        const std::int64_t n2 = record_count(io_, f.in2);
        std::int64_t dropped = 0;
        while (h.in2_valid > 0) {
            std::array<std::uint8_t, kFrameRecordSize> raw{};
            const std::int64_t index = n2 - h.in2_valid;
            if (!io_.read_at(f.in2, std::uint64_t(index) * kFrameRecordSize, raw)) {
                break;
            }
            const auto rec = parse_frame_record(raw);
            if (!rec || rec->offset >= end) {
                break;
            }
            h.in2_valid -= 1;
            h.valid -= 1;
            ++dropped;
        }
        if (dropped > 0) {
            io_.write_file(f.in0, bytes_of(serialize(h)));
        }
        append_frame(f, h, true);
        return {kWritten, h.valid};
    }

    ArchiveContext& ctx_;
    ArchiveIo& io_;
    std::vector<std::uint8_t> data_;
    FrameRecord record_;
    Path index_path_;
    ArchIndex arch_;
};

} // namespace

std::int32_t ArchWriteFrame(ArchiveContext& ctx, const ArchFrame& frame) {
    return ctx.settings.cyclic ? ArchWriteCyclic(ctx, frame) : ArchWriteLinear(ctx, frame);
}

std::int32_t ArchWriteLinear(ArchiveContext& ctx, const ArchFrame& frame) {
    return Writer(ctx, frame).write_linear();
}

std::int32_t ArchWriteCyclic(ArchiveContext& ctx, const ArchFrame& frame) {
    return Writer(ctx, frame).write_cyclic();
}

void ArchClear(ArchiveContext& ctx, const std::function<void()>& after_clear) {
    ArchiveIo& io = *ctx.io;
    const Path program = enter_program_folder(ctx);
    auto remove = [&io](const Path& p) {
        try {
            io.remove_file(p);
        } catch (const ArchiveError&) {
            // A file that cannot be deleted is left; the rest is still cleared.
        }
    };
    remove(program / kArchIndexName);
    for (const std::string& name : ctx.settings.dirs) {
        if (name.empty()) {
            continue;
        }
        const Path dir = host_dir(name);
        if (!io.usable_directory(dir)) {
            continue;
        }
        remove(dir / kDirIndexName);
        for (int g = 1; g <= kGroupCount; ++g) {
            const GroupFiles f(dir, g);
            for (const Path* p : {&f.in0, &f.in1, &f.in2, &f.dat}) {
                remove(*p);
            }
        }
        // The program folder is where the clearing runs and is never removed itself.
        std::error_code ec;
        if (!std::filesystem::equivalent(dir, program, ec)) {
            io.remove_empty_directory(dir);
        }
    }
    if (after_clear) {
        after_clear();
    }
}

void ViewShiftPositions(ViewPositions* viewer, std::int64_t count) {
    if (!viewer || !viewer->visible || viewer->view_station != 0 || count <= 0) {
        return;
    }
    for (std::int64_t* p : {&viewer->cur_position, &viewer->search_low_pos,
                            &viewer->search_high_pos, &viewer->search_prev_pos}) {
        *p = std::max<std::int64_t>(*p - count, 0);
    }
}

} // namespace archive
