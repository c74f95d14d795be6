// The archive's part of the station's state: the frame encoder's one core-properties record and
// its output room, grown to the largest frame seen. One `ArchiveState` is part of the station's
// state (`lifecycle/station_state.h`); the archive context reaches it by reference. Used on the
// GUI thread only, never by two encodings at once.
#pragma once

#include "ijl/ijl.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace archive {

struct ArchiveState {
    IJL_CORE_PROPERTIES JpegEncoderProps{};
    std::unique_ptr<std::uint8_t[]> JpegScratch;
    std::size_t JpegScratchSize = 0;
};

} // namespace archive
