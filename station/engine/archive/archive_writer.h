// The archive writer: encodes one frame and appends it to the frame archive, in the linear
// layout (until every directory is full) or the cyclic layout (overwriting the oldest frames);
// clears the archive. Stateless: the index files and group headers are the state.
//
// Order of the changes of one write, chosen so that a write cut at any point leaves an archive
// that the readers and the next write accept, with at worst the frame being written missing
// (and the frames this write was dropping anyway):
//  1. the frame is encoded in memory first; an encoding failure changes nothing;
//  2. cyclic only: the records the new frame will overwrite are dropped from the group header
//     before their data is touched (readers check every record against its group header, so a
//     dropped record is never served with overwritten bytes);
//  3. the frame's bytes go to the data file past every counted frame's bytes;
//  4. its record goes to the slot after the counted records (the record file is cut there, so
//     a leftover of an earlier cut write never shifts later records);
//  5. the group header counts the frame; then "csubdir.ind", then "cbufer.ind" are rewritten.
// Each write sets a group's count from its header, a directory's count from its group counts
// and the total from the directory counts, so counts that a cut write left behind are mended
// by the next write there.
// Cyclic layout: rotating a group first drops its older generation in the header, then
// deletes ".in2", renames ".in1" to ".in2" and rewrites the header; writing goes on only in a
// group that has a ".in1" (the group a directory wraps to gets an empty one at once), so a
// rotated current group tells the next write that the cut one was moving on. Leaving a
// directory records the next directory in "cbufer.ind" before its own "csubdir.ind" is
// rewritten, and moving to another directory is recorded before anything is written there.
#pragma once

#include "archive_context.h"
#include "archive_files.h"

#include <cstdint>
#include <span>

namespace archive {

// Results of every level: 0 written, -2 the group is full, -1 not written here.
constexpr std::int32_t kWritten = 0;
constexpr std::int32_t kGroupFull = -2;
constexpr std::int32_t kNotWritten = -1;

// One frame to record, with the camera window's recording fields.
struct ArchFrame {
    std::span<const std::uint8_t> pixels; // rows bottom-up, without gaps
    int width = 0;
    int height = 0;
    int bits_per_pixel = 0;
    int marker = 0; // SubformatMarker of 16-bit frames
    bool jpeg = true;
    int quality = 80;
    int camera = 1;
    int station = 0;
    bool alarm = false;
    bool manual = false;
    int zone_x = 500;
    int zone_y = 500;
    int zone_size = 1000;
};

// Writes the frame by the layout of ctx.settings.cyclic. Throws ArchiveError when the program
// folder cannot be entered, a file cannot be opened, written or renamed, or the frame cannot be
// encoded (nothing is written then).
std::int32_t ArchWriteFrame(ArchiveContext& ctx, const ArchFrame& frame);
std::int32_t ArchWriteLinear(ArchiveContext& ctx, const ArchFrame& frame);
std::int32_t ArchWriteCyclic(ArchiveContext& ctx, const ArchFrame& frame);

// Deletes the whole archive: "cbufer.ind", and in every archive directory "csubdir.ind" and
// the four files of each group, then the directory itself when it is empty; files that cannot be
// deleted are left. Then calls `after_clear` when given (the station resets its crash marker).
void ArchClear(ArchiveContext& ctx, const std::function<void()>& after_clear = {});

// Moves the viewer's positions back by `count` overwritten frames (never below 0), only while
// the viewer is visible and shows this station's archive.
void ViewShiftPositions(ViewPositions* viewer, std::int64_t count);

} // namespace archive
