// The station-wide settings files of the program folder and the `SettingsState` they fill.
// Every loader first sets its tables to their defaults, then takes the values from the file in
// order; a missing file, a version too low for a field, or data that ends or breaks at a field
// leaves that field and all after it at their defaults. Savers write version 26 and replace
// the file in one piece; they answer false when the file could not be written (the old one is
// then kept).
#pragma once

#include "base/base_state.h"
#include "settings_state.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace station {

// ---- "netini.pdt": network -------------------------------------------------------------

void LoadNetIni(const BaseState& base, SettingsState& st);
bool SaveNetIni(const BaseState& base, const SettingsState& st);

// ---- "hrdini.pdt": board register map ----------------------------------------------------
// Entries outside their ranges take their defaults.
void LoadHrdIni(const BaseState& base, SettingsState& st);
bool SaveHrdIni(const BaseState& base, const SettingsState& st);

// ---- "bufini.pdt": archive directories and write mode ------------------------------------

// Default: directory 1 the program folder, others empty.
void LoadBufIni(const BaseState& base, SettingsState& st);
bool SaveBufIni(const BaseState& base, const SettingsState& st);

// ---- "stl.pdt" and "aur.pdt": stealth at start, autostart ---------------------------------
void LoadStealth(const BaseState& base, SettingsState& st);
bool SaveStealth(const BaseState& base, const SettingsState& st);
void LoadAutoRun(const BaseState& base, SettingsState& st);
bool SaveAutoRun(const BaseState& base, const SettingsState& st);

// ---- "cnf.pdt": names and schedules of the stored configurations -------------------------
void LoadConfTable(const BaseState& base, SettingsState& st);
bool SaveConfTable(const BaseState& base, const SettingsState& st);

// ---- "net1.pdt", "net2.pdt", "net3.pdt": rights and passwords (no version word) ----------
inline constexpr int kRightCount = 20;
using RightsTable = std::array<bool, kRightCount>;

// Rights 1..20 of the limited access level (entry n - 1 is right n); none when missing.
RightsTable LoadRightsFile(const BaseState& base);
bool SaveRightsFile(const BaseState& base, const RightsTable& rights);

// The password of access level 1 ("net2.pdt") or 2 ("net3.pdt"); empty when missing.
// Other levels have no file: empty, and nothing is written.
std::string LoadPasswordFile(const BaseState& base, int level);
bool SavePasswordFile(const BaseState& base, int level, std::string_view password);

} // namespace station
