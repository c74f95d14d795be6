// A stored configuration's main settings and the station's live tables: what loading puts in
// place and what saving takes from there. The live camera tables (LiveTables) take the
// monitor modes, camera names, priorities, levels, AutoGain, saturation, hue, the boards'
// settle times and notch filters; the work log takes its flags and days. The other values of
// ConfMain (main window place, PlayInterval, JpegQuality, the archive filters, brightness,
// contrast, PciFix) have no live table here; they stay in the ConfMain the caller keeps.
#pragma once

#include "conf_main.h"

namespace station {

struct LiveTables;

// The levels in force, as DecodeConfMain keeps them for pairs with AutoGain on.
CameraLevels LevelsOf(const LiveTables& tables);

void ApplyConfMain(const ConfMain& conf, LiveTables& tables, BaseState& base);
// Overwrites the values that live in the tables and the work log; the others keep theirs.
void CollectConfMain(const LiveTables& tables, const BaseState& base, ConfMain& conf);

} // namespace station
