// The schedule of the stored configurations (ConfSchedule, "cnf.pdt"): which configuration
// start-up loads and which one the running station switches to at the minute of its start.
//
// An entry applies on a day when it is enabled, valid (ScheduleEntryValid) and its mode says
// so: 0 on its own date, 1 daily, 2 Monday to Friday, 3 Saturday and Sunday. An invalid entry
// never applies.
#pragma once

#include "base/local_clock.h"
#include "settings/settings_files.h"

#include <array>
#include <optional>

namespace station {

using ConfScheduleTable = std::array<ConfScheduleEntry, kConfigurationCount>;

// Hour 0..23, minute 0..59, mode 0..3 and a real date (the date counts in every mode).
bool ScheduleEntryValid(const ConfScheduleEntry& entry);

// 1 Sunday .. 7 Saturday.
int Weekday(int year, int month, int day);

bool ScheduleEntryApplies(const ConfScheduleEntry& entry, const LocalDateTime& day);

// The configuration whose start today lies last before or at `now` (counting back across
// midnight); ties go to the lower number; an entry that starts in the next minute is never
// chosen; with no entry applying today, 1.
int ScheduledConfig(const ConfScheduleTable& schedule, const LocalDateTime& now);

// The running schedule, called often (every 100 ms): the highest-numbered configuration
// applying today that starts in this minute, when it differs from `curConf`; nothing
// otherwise. Once it is loaded the check answers nothing for the rest of the minute; a
// configuration chosen by hand within that minute is replaced by the scheduled one again.
std::optional<int> ScheduleCheck(const ConfScheduleTable& schedule, int curConf,
                                 const LocalDateTime& now);

} // namespace station
