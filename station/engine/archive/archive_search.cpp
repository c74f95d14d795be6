#include "archive_search.h"

#include "archive_locate.h"

#include <cmath>

namespace archive {
namespace {

std::int64_t hold(std::int64_t p, std::int64_t total) {
    if (p > total - 1) {
        p = total - 1;
    }
    return p < 0 ? 0 : p;
}

} // namespace

std::int64_t ArchNextPos(const ArchiveContext& ctx, std::int64_t position) {
    const auto a = read_arch_index(ctx);
    if (!a) {
        return position;
    }
    return position >= a->total ? hold(position, a->total) : hold(position + 1, a->total);
}

std::int64_t ArchPrevPos(const ArchiveContext& ctx, std::int64_t position) {
    const auto a = read_arch_index(ctx);
    if (!a) {
        return position;
    }
    return position <= 0 ? 0 : hold(position - 1, a->total);
}

std::int64_t ArchLastPos(const ArchiveContext& ctx, std::int64_t position) {
    const auto a = read_arch_index(ctx);
    if (!a) {
        return position;
    }
    return hold(a->total - 1, a->total);
}

std::int64_t ArchPercentPos(const ArchiveContext& ctx, std::int64_t position, double percent) {
    const auto a = read_arch_index(ctx);
    if (!a) {
        return position;
    }
    const double p = std::trunc(double(a->total - 1) * percent / 100.0);
    if (!(p > 0)) { // also NaN
        return 0;
    }
    return p >= double(a->total - 1) ? hold(a->total - 1, a->total)
                                     : hold(std::int64_t(p), a->total);
}

} // namespace archive
