// The station-wide values every area uses: the language texts, the program folder, the local
// clock's source and the work log's switches. One `BaseState` is part of the station's state
// (`lifecycle/station_state.h`); the functions of this area take it by reference.
#pragma once

#include "language.h"
#include "local_clock.h"
#include "program_dir.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace station {

struct BaseState {
    // The language texts ("tolm.lng").
    LanguageList LangList;
    // The program folder, without a trailing separator (`SetProgramDir` replaces it).
    std::string ProgramDir = ProgramFileFolder();
    // The source of `LocalNow`; empty: the real local time (a test fixes the date and time).
    std::function<LocalDateTime()> LocalClock;
    // The work log: entry 0 the log is on; entry n - 1 (n = 2..6) lines of category n are
    // written. Categories: 2 operator actions, 3 alarm events, 4 network, 5 hardware, 6 other.
    std::array<bool, 6> ReportFlags{};
    // Days a log file is kept.
    std::int32_t ReportDays = 7;
};

} // namespace station
