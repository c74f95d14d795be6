// Position steps of the archive: next, previous, last and a percentage of the archive, each
// held within 0 .. total - 1 (0 for an empty archive). When "cbufer.ind" is missing or does not
// hold a usable total, the given position comes back unchanged. Throw ArchiveError only when
// the program folder cannot be entered.
#pragma once

#include "archive_context.h"

#include <cstdint>

namespace archive {

std::int64_t ArchNextPos(const ArchiveContext& ctx, std::int64_t position);
std::int64_t ArchPrevPos(const ArchiveContext& ctx, std::int64_t position);
std::int64_t ArchLastPos(const ArchiveContext& ctx, std::int64_t position);
std::int64_t ArchPercentPos(const ArchiveContext& ctx, std::int64_t position, double percent);

} // namespace archive
