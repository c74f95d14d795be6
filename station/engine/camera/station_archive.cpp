#include "station_archive.h"

namespace station {

namespace {
// Days from 30 December 1899 to 1 January 1970.
constexpr long long kDaysTo1970 = 25569;
} // namespace

double ArchiveTimeOf(const LocalDateTime& t) {
    const double seconds = t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
    return static_cast<double>(DaysFromCivil(t.year, t.month, t.day) + kDaysTo1970) +
           seconds / 86400.0;
}

StationArchive::StationArchive(const BaseState& base, const SettingsState& settings,
                               archive::ArchiveState& archive_state)
    : Fixed(archive_state), base_(base), settings_(settings) {
    Fixed.local_time = [&base] { return ArchiveTimeOf(LocalNow(base)); };
}

archive::ArchiveContext StationArchive::Context() const {
    archive::ArchiveContext ctx = Fixed;
    ctx.program_dir = base_.ProgramDir;
    for (std::size_t i = 0; i < ctx.settings.dirs.size(); ++i) {
        ctx.settings.dirs[i] = settings_.BufDirs[i];
        ctx.settings.min_free[i] = settings_.BufMinFree[i];
    }
    ctx.settings.cyclic = settings_.CyclicWrite;
    ctx.settings.use_cache = settings_.UseCashe;
    return ctx;
}

} // namespace station
