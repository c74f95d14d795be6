// The station's frame archive as the writer and the readers use it: the program folder and the
// archive settings of "bufini.pdt" are taken as they stand at each use, so a changed layout or
// directory list takes effect on the next frame. The file layer, the disk, the clock (the
// station's local clock) and the viewer's positions are kept here.
#pragma once

#include "archive/archive_context.h"
#include "base/base_state.h"
#include "settings/settings_state.h"

namespace station {

class StationArchive {
public:
    StationArchive(const BaseState& base, const SettingsState& settings,
                   archive::ArchiveState& archive_state);

    // What is not taken from the settings: file layer, disk, viewer, group limit, clock.
    archive::ArchiveContext Fixed;

    // The context for one use.
    archive::ArchiveContext Context() const;

private:
    const BaseState& base_;
    const SettingsState& settings_;
};

// The station's local date and time as days since 30 December 1899 with the time of day as the
// fraction, the archive's time stamps.
double ArchiveTimeOf(const LocalDateTime& t);

} // namespace station
