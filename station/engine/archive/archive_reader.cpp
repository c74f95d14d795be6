#include "archive_reader.h"

#include "archive_locate.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace archive {
namespace {

struct DirView {
    Path dir;
    DirIndex index;
};

struct Found {
    FrameRecord record;
    std::array<std::uint8_t, kFrameRecordSize> raw{};
    double percent = 0;
    std::vector<std::uint8_t> data;
};

class Locator {
public:
    explicit Locator(const ArchiveContext& ctx) : ctx_(ctx), io_(*ctx.io) {}

    // Finds and reads the frame at `position`; `filters` decide between 0 and -2.
    std::int32_t read(std::int64_t position, bool cyclic, const ArchFilters& filters, Found& out) {
        const auto a = read_arch_index(ctx_);
        if (!a || a->total <= 0 || position < 0 || position >= a->total) {
            return kNothingRead;
        }
        const ArchIndex& arch = *a;
        std::int64_t old_part = 0;
        if (cyclic) {
            const int c = int(arch.current_dir);
            const auto cur = open_dir(c);
            if (!cur) {
                return kNothingRead;
            }
            const int g = int(cur->index.current_group);
            const auto h = header(cur->dir, g);
            if (!h) {
                return kNothingRead;
            }
            // A current group without ".in1" was rotated by a write cut before it could move
            // on: all of it is newer than the groups after it.
            const bool rotated = !io_.file_size(cur->dir / group_file_name(g, ".in1"));
            std::int64_t newer =
                rotated ? cur->index.group_count[std::size_t(g - 1)] : h->in1_count;
            for (int d = 1; d < c; ++d) {
                newer += arch.dir_count[std::size_t(d - 1)];
            }
            for (int k = 1; k < g; ++k) {
                newer += cur->index.group_count[std::size_t(k - 1)];
            }
            old_part = arch.total - newer;
        }
        out.percent = double(position) * 100.0 / double(arch.total);

        Path file;
        std::int64_t index = -1;
        if (position < old_part) {
            std::int64_t q = old_part - position;
            int d = kDirCount;
            while (d > 1 && q > arch.dir_count[std::size_t(d - 1)]) {
                q -= arch.dir_count[std::size_t(d - 1)];
                --d;
            }
            const auto dv = open_dir(d);
            if (!dv) {
                return kNothingRead;
            }
            int h = kGroupCount;
            while (h > 1 && q > dv->index.group_count[std::size_t(h - 1)]) {
                q -= dv->index.group_count[std::size_t(h - 1)];
                --h;
            }
            const auto hdr = header(dv->dir, h);
            file = dv->dir / group_file_name(h, ".in2");
            const std::int64_t n = records(file);
            if (!hdr || q < 1 || q > hdr->in2_valid || q > n) {
                return kNothingRead;
            }
            index = n - q;
        } else {
            std::int64_t r = position - old_part;
            int d = 1;
            while (d < kDirCount && r >= arch.dir_count[std::size_t(d - 1)]) {
                r -= arch.dir_count[std::size_t(d - 1)];
                ++d;
            }
            const auto dv = open_dir(d);
            if (!dv) {
                return kNothingRead;
            }
            int h = 1;
            while (h < kGroupCount && r >= dv->index.group_count[std::size_t(h - 1)]) {
                r -= dv->index.group_count[std::size_t(h - 1)];
                ++h;
            }
            const auto hdr = header(dv->dir, h);
            if (!hdr) {
                return kNothingRead;
            }
            const Path in1 = dv->dir / group_file_name(h, ".in1");
            if (!cyclic || (io_.file_size(in1) && hdr->in1_count > 0)) {
                file = in1;
                if (r >= std::min(hdr->in1_count, records(in1))) {
                    return kNothingRead;
                }
            } else {
                // A rotated group, not written since (no ".in1", or one with no records): its
                // frames are its ".in2" from the start.
                file = dv->dir / group_file_name(h, ".in2");
                const std::int64_t n = records(file);
                if (r >= n || r < n - std::max(hdr->in2_valid, hdr->in1_count)) {
                    return kNothingRead;
                }
            }
            index = r;
        }
        if (!io_.read_at(file, std::uint64_t(index) * kFrameRecordSize, out.raw)) {
            return kNothingRead;
        }
        out.record = *parse_frame_record(out.raw);
        if (!passes_filters(out.record, filters)) {
            return kFilteredOut;
        }
        const Path dat = file.parent_path() / (file.stem().string() + ".dat");
        const auto size = io_.file_size(dat);
        const FrameRecord& rec = out.record;
        if (!size || rec.offset < 0 || rec.length <= 0 || rec.length > ctx_.group_limit ||
            rec.offset > ctx_.group_limit || std::uint64_t(rec.offset + rec.length) > *size) {
            return kNothingRead;
        }
        out.data.resize(std::size_t(rec.length));
        if (!io_.read_at(dat, std::uint64_t(rec.offset), out.data)) {
            return kNothingRead;
        }
        return kFound;
    }

private:
    std::optional<DirView> open_dir(int d) {
        const std::string& name = ctx_.settings.dirs[std::size_t(d - 1)];
        if (name.empty()) {
            return std::nullopt;
        }
        DirView v;
        v.dir = host_dir(name);
        if (!io_.usable_directory(v.dir)) {
            return std::nullopt;
        }
        const auto bytes = io_.read_file(v.dir / kDirIndexName);
        if (!bytes || bytes->size() < kDirIndexSize) {
            return std::nullopt;
        }
        v.index = parse_dir_index(*bytes);
        if (!valid_for_reading(v.index)) {
            return std::nullopt;
        }
        return v;
    }

    std::optional<GroupHeader> header(const Path& dir, int g) {
        const auto bytes = io_.read_file(dir / group_file_name(g, ".in0"));
        if (!bytes || bytes->size() < kGroupHeaderSize) {
            return std::nullopt;
        }
        const GroupHeader h = parse_group_header(*bytes);
        if (!valid_for_reading(h)) {
            return std::nullopt;
        }
        return h;
    }

    std::int64_t records(const Path& p) {
        const auto size = io_.file_size(p);
        return size ? std::int64_t(*size / kFrameRecordSize) : 0;
    }

    const ArchiveContext& ctx_;
    ArchiveIo& io_;
};

std::int32_t read_local(const ArchiveContext& ctx, std::int64_t position, bool cyclic,
                        const ArchFilters& filters, Picture* image, FrameRecord* record,
                        double* percent) {
    Found found;
    std::int32_t r = Locator(ctx).read(position, cyclic, filters, found);
    if (r == kFound) {
        auto pic = decode_stored_frame(found.data, found.record.jpeg != 0);
        if (!pic) {
            return kNothingRead;
        }
        if (image) {
            *image = std::move(*pic);
        }
    }
    if (r != kNothingRead) {
        if (record) {
            *record = found.record;
        }
        if (percent) {
            *percent = found.percent;
        }
    }
    return r;
}

template <typename T> void append(std::vector<std::uint8_t>& out, T v) {
    using U = std::make_unsigned_t<T>;
    const U u = static_cast<U>(v);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
}

std::int32_t answer(const ArchiveContext& ctx, std::int64_t position, bool cyclic,
                    const ArchFilters& filters, std::vector<std::uint8_t>& out) {
    Found found;
    const std::int32_t r = Locator(ctx).read(position, cyclic, filters, found);
    append<std::int16_t>(out, std::int16_t(r));
    append<std::int64_t>(out, position);
    if (r == kNothingRead) {
        return r;
    }
    append<std::int64_t>(out, std::bit_cast<std::int64_t>(found.percent));
    out.insert(out.end(), found.raw.begin(), found.raw.end());
    if (r == kFound) {
        append<std::int32_t>(out, std::int32_t(found.data.size()));
        out.insert(out.end(), found.data.begin(), found.data.end());
    }
    return r;
}

} // namespace

bool passes_filters(const FrameRecord& rec, const ArchFilters& f) {
    if (rec.camera < 1 || rec.camera > 16 || rec.station < 0 || rec.station > 20) {
        return false;
    }
    const std::size_t cam = std::size_t(rec.camera - 1);
    const bool kind = (rec.alarm != 0 && f.alarm[cam]) || (rec.manual != 0 && f.request[cam]);
    return kind && f.system[std::size_t(rec.station)];
}

std::int32_t ArchReadCyclic(const ArchiveContext& ctx, std::int64_t position,
                            const ArchFilters& filters, Picture* image, FrameRecord* record,
                            double* percent) {
    return read_local(ctx, position, true, filters, image, record, percent);
}

std::int32_t ArchReadLinear(const ArchiveContext& ctx, std::int64_t position,
                            const ArchFilters& filters, Picture* image, FrameRecord* record,
                            double* percent) {
    return read_local(ctx, position, false, filters, image, record, percent);
}

std::int32_t ArchAnswerCyclic(const ArchiveContext& ctx, std::int64_t position,
                              const ArchFilters& filters, std::vector<std::uint8_t>& out) {
    return answer(ctx, position, true, filters, out);
}

std::int32_t ArchAnswerLinear(const ArchiveContext& ctx, std::int64_t position,
                              const ArchFilters& filters, std::vector<std::uint8_t>& out) {
    return answer(ctx, position, false, filters, out);
}

} // namespace archive
