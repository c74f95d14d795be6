// What the archive's writer and readers are given by the station: the archive settings from
// "bufini.pdt", the program folder, the file layer, the disk's free space, the local clock and
// the recording viewer's positions. The archive keeps no state of its own between calls.
#pragma once

#include "archive_files.h"
#include "archive_io.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace archive {

struct ArchiveSettings {
    std::array<std::string, 10> dirs{};                                            // BufDirs[1..10]
    std::array<std::int32_t, 10> min_free{10, 10, 10, 10, 10, 10, 10, 10, 10, 10}; // BufMinFree
    bool cyclic = true;                                                            // CyclicWrite
    bool use_cache = true;                                                         // UseCashe
};

// The recording viewer's positions that the cyclic writer shifts when it overwrites frames.
struct ViewPositions {
    bool visible = false;
    std::int32_t view_station = 0; // 0 = the viewer shows this station's archive
    std::int64_t cur_position = 0;
    std::int64_t search_low_pos = 0;
    std::int64_t search_high_pos = 0;
    std::int64_t search_prev_pos = 0;
};

// Local date and time: days since 30 December 1899, the time of day as the fraction.
using LocalTimeFn = std::function<double()>;
double host_local_time();

struct ArchiveContext {
    // ProgramDir, as the station knows it; "cbufer.ind" lives there.
    std::string program_dir;
    ArchiveSettings settings;
    ArchiveIo* io = &host_io();
    FreeSpaceFn free_space = host_free_space;
    LocalTimeFn local_time = host_local_time;
    // The viewer form's positions, or null while there is no viewer.
    ViewPositions* viewer = nullptr;
    // Size a group's data file never passes; tests use small groups.
    std::int64_t group_limit = kGroupDataLimit;
};

// An archive directory or the program folder as a path for the file layer: Windows separators
// become '/'; the file calls match existing names case-insensitively.
Path host_dir(const std::string& dir);

} // namespace archive
