// The archive readers: turn a frame position (0 = the oldest frame) into the stored frame, for
// the local recording viewer (decoded picture) or for a remote station (the body of an
// archive-answer record). One reader per layout; the caller picks the one of CyclicWrite.
// Stateless: every call reopens the index and group files. Counts and records are checked
// against the files they point into; anything that does not fit reads as nothing (-1).
#pragma once

#include "base/limits.h"
#include "archive_context.h"
#include "archive_files.h"
#include "jpeg_picture.h"

#include <array>
#include <cstdint>
#include <vector>

namespace archive {

// Results: 0 frame found and delivered, -2 record read but filtered out, -1 nothing read.
constexpr std::int32_t kFound = 0;
constexpr std::int32_t kFilteredOut = -2;
constexpr std::int32_t kNothingRead = -1;

// The viewer's filters: RequestFiltr and AlarmFiltr for cameras 1..16 (index 0..15),
// SystemFiltr for stations 0..20.
struct ArchFilters {
    std::array<bool, station::kCameraCount> request{};
    std::array<bool, station::kCameraCount> alarm{};
    std::array<bool, station::kRemoteStationCount + 1> system{};
};

// ((alarm and AlarmFiltr[camera]) or (manual and RequestFiltr[camera])) and SystemFiltr[station];
// a camera or station out of range never passes.
bool passes_filters(const FrameRecord& record, const ArchFilters& filters);

// Local readers. On 0 and -2, `record` gets the frame record and `percent` the position as
// percent of the archive; on 0, `image` gets the decoded frame as a 24-bit picture. Throw
// ArchiveError only when the program folder cannot be entered.
std::int32_t ArchReadCyclic(const ArchiveContext& ctx, std::int64_t position,
                            const ArchFilters& filters, Picture* image, FrameRecord* record,
                            double* percent);
std::int32_t ArchReadLinear(const ArchiveContext& ctx, std::int64_t position,
                            const ArchFilters& filters, Picture* image, FrameRecord* record,
                            double* percent);

// Answer readers: append to `answer` the body of the archive-answer record: int16 code, int64
// position; for 0 and -2 the f64 percent and the 57-byte record as stored; for 0 the int32
// length and the stored frame bytes.
std::int32_t ArchAnswerCyclic(const ArchiveContext& ctx, std::int64_t position,
                              const ArchFilters& filters, std::vector<std::uint8_t>& answer);
std::int32_t ArchAnswerLinear(const ArchiveContext& ctx, std::int64_t position,
                              const ArchFilters& filters, std::vector<std::uint8_t>& answer);

} // namespace archive
