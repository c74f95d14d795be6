// The station-wide settings files of the program folder and the shared tables they fill.
// Every loader first sets its tables to their defaults, then takes the values from the file in
// order; a missing file, a version too low for a field, or data that ends or breaks at a field
// leaves that field and all after it at their defaults. Savers write version 26 and replace
// the file in one piece; they answer false when the file could not be written (the old one is
// then kept).
#pragma once

#include "base/limits.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace station {

// ---- "netini.pdt": network -------------------------------------------------------------
inline constexpr std::int32_t kDefaultPort = 1018;

extern std::int32_t ServerPort;
// Entry n - 1 belongs to remote station n.
extern std::array<std::int32_t, kRemoteStationCount> RemPorts;
extern std::array<std::string, kRemoteStationCount> RemAddresses;
// The reserved value at the end of the file: only kept and written back (default 7).
extern std::int16_t NetReserved;

void LoadNetIni();
bool SaveNetIni();

// ---- "hrdini.pdt": board register map ----------------------------------------------------
// Address indexes are 1-based into board control's fixed I2C address lists (one multiplexer,
// one DAC, two sensor and two relay addresses); boards are 1..4.
struct HrdMapTable {
    std::int32_t CommAdr;
    std::int32_t CommChanel;
    std::int32_t DacAdr;
    std::int32_t DacChanel;
    std::int32_t SensAdr;
    std::int32_t SensChanel;
    std::int32_t UprAdr;
    std::int32_t UprChanel;
    bool operator==(const HrdMapTable&) const = default;
};
inline constexpr int kCommAddressCount = 1;
inline constexpr int kDacAddressCount = 1;
inline constexpr int kSensAddressCount = 2;
inline constexpr int kUprAddressCount = 2;
inline constexpr int kBoardCount = 4;
// The map of a missing file, and the provisional map of the first start-up stage.
inline constexpr HrdMapTable kHrdMapDefaults{1, 1, 1, 1, 1, 4, 1, 4};
inline constexpr HrdMapTable kHrdMapProvisional{1, 1, 1, 1, 1, 2, 1, 2};

extern HrdMapTable HrdMap;

// Entries outside their ranges take their defaults.
void LoadHrdIni();
bool SaveHrdIni();

// ---- "bufini.pdt": archive directories and write mode ------------------------------------
inline constexpr int kBufDirCount = 10;

extern bool CyclicWrite;
// The reserved flag after `CyclicWrite`: only kept and written back.
extern bool BufReservedFlag;
// Entry i - 1 is archive directory i. Default: directory 1 the program folder, others empty.
extern std::array<std::string, kBufDirCount> BufDirs;
extern std::array<std::int32_t, kBufDirCount> BufMinFree;
extern bool UseCashe;

void LoadBufIni();
bool SaveBufIni();

// ---- "stl.pdt" and "aur.pdt": stealth at start, autostart ---------------------------------
extern bool StealthAtStart;
extern bool AutoStart;

void LoadStealth();
bool SaveStealth();
void LoadAutoRun();
bool SaveAutoRun();

// ---- "cnf.pdt": names and schedules of the stored configurations -------------------------
struct ConfScheduleEntry {
    std::int16_t Hour = 0;
    std::int16_t Minute = 0;
    bool Enabled = false;
    std::string Name;
    std::int16_t Day = 1;
    std::int16_t Month = 1;
    std::int16_t Year = 2000;
    // 0 on the given date, 1 daily, 2 Monday to Friday, 3 Saturday and Sunday.
    std::int16_t Mode = 1;
    bool operator==(const ConfScheduleEntry&) const = default;
};

// Entry n - 1 is configuration n.
extern std::array<ConfScheduleEntry, kConfigurationCount> ConfSchedule;

void LoadConfTable();
bool SaveConfTable();

// ---- "net1.pdt", "net2.pdt", "net3.pdt": rights and passwords (no version word) ----------
inline constexpr int kRightCount = 20;
using RightsTable = std::array<bool, kRightCount>;

// Rights 1..20 of the limited access level (entry n - 1 is right n); none when missing.
RightsTable LoadRightsFile();
bool SaveRightsFile(const RightsTable& rights);

// The password of access level 1 ("net2.pdt") or 2 ("net3.pdt"); empty when missing.
// Other levels have no file: empty, and nothing is written.
std::string LoadPasswordFile(int level);
bool SavePasswordFile(int level, std::string_view password);

} // namespace station
