#include "settings_files.h"

#include "base/program_dir.h"
#include "station_settings.h"

#include <optional>

namespace station {

std::int32_t ServerPort = kDefaultPort;
std::array<std::int32_t, kRemoteStationCount> RemPorts = [] {
    std::array<std::int32_t, kRemoteStationCount> ports{};
    ports.fill(kDefaultPort);
    return ports;
}();
std::array<std::string, kRemoteStationCount> RemAddresses;
std::int16_t NetReserved = 7;

HrdMapTable HrdMap = kHrdMapProvisional;

bool CyclicWrite = true;
bool BufReservedFlag = false;
std::array<std::string, kBufDirCount> BufDirs;
std::array<std::int32_t, kBufDirCount> BufMinFree = {10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
bool UseCashe = true;

bool StealthAtStart = false;
bool AutoStart = false;

std::array<ConfScheduleEntry, kConfigurationCount> ConfSchedule;

namespace {

constexpr const char* kNetIni = "netini.pdt";
constexpr const char* kHrdIni = "hrdini.pdt";
constexpr const char* kBufIni = "bufini.pdt";
constexpr const char* kStealthFile = "stl.pdt";
constexpr const char* kAutoRunFile = "aur.pdt";
constexpr const char* kConfTableFile = "cnf.pdt";
constexpr const char* kRightsFile = "net1.pdt";

// The file's content as a stream, or nothing when the file is missing or unreadable.
std::optional<SettingsStream> open_file(const char* name) {
    auto bytes = ReadProgramFile(name);
    if (!bytes) {
        return std::nullopt;
    }
    return SettingsStream(std::move(*bytes));
}

bool save_file(const char* name, const SettingsStream& s) {
    return ReplaceProgramFile(name, s.bytes());
}

SettingsStream versioned() {
    SettingsStream s;
    StreamWriteInt(s, kSettingsVersion);
    return s;
}

// A board-map entry: the file's value when it lies in 1..count, else the entry's default.
bool read_map_entry(SettingsStream& s, std::int32_t& field, std::int32_t count,
                    std::int32_t fallback) {
    std::int32_t value = 0;
    if (!StreamReadInt(s, value)) {
        return false;
    }
    field = (value >= 1 && value <= count) ? value : fallback;
    return true;
}

void load_flag(const char* name, bool& flag) {
    flag = false;
    auto s = open_file(name);
    std::int32_t version = 0;
    if (s && StreamReadInt(*s, version)) {
        StreamReadBool(*s, flag);
    }
}

bool save_flag(const char* name, bool flag) {
    auto s = versioned();
    StreamWriteBool(s, flag);
    return save_file(name, s);
}

const char* password_file(int level) {
    switch (level) {
    case 1:
        return "net2.pdt";
    case 2:
        return "net3.pdt";
    default:
        return nullptr;
    }
}

} // namespace

void LoadNetIni() {
    ServerPort = kDefaultPort;
    RemPorts.fill(kDefaultPort);
    RemAddresses.fill(std::string());
    NetReserved = 7;
    auto s = open_file(kNetIni);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version) || !StreamReadInt(*s, ServerPort) || version <= 3) {
        return;
    }
    for (int i = 0; i < kRemoteStationCount; ++i) {
        if (!StreamReadInt(*s, RemPorts[i]) || !StreamReadStr(*s, RemAddresses[i])) {
            return;
        }
    }
    if (version > 18) {
        StreamReadInt16(*s, NetReserved);
    }
}

bool SaveNetIni() {
    auto s = versioned();
    StreamWriteInt(s, ServerPort);
    for (int i = 0; i < kRemoteStationCount; ++i) {
        StreamWriteInt(s, RemPorts[i]);
        StreamWriteStr(s, RemAddresses[i]);
    }
    StreamWriteInt(s, NetReserved);
    return save_file(kNetIni, s);
}

void LoadHrdIni() {
    HrdMap = kHrdMapDefaults;
    auto s = open_file(kHrdIni);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version)) {
        return;
    }
    const HrdMapTable& d = kHrdMapDefaults;
    HrdMapTable& m = HrdMap;
    const struct {
        std::int32_t& field;
        std::int32_t count;
        std::int32_t fallback;
    } entries[] = {
        {m.CommAdr, kCommAddressCount, d.CommAdr}, {m.CommChanel, kBoardCount, d.CommChanel},
        {m.DacAdr, kDacAddressCount, d.DacAdr},    {m.DacChanel, kBoardCount, d.DacChanel},
        {m.SensAdr, kSensAddressCount, d.SensAdr}, {m.SensChanel, kBoardCount, d.SensChanel},
        {m.UprAdr, kUprAddressCount, d.UprAdr},    {m.UprChanel, kBoardCount, d.UprChanel}};
    for (const auto& e : entries) {
        if (!read_map_entry(*s, e.field, e.count, e.fallback)) {
            return;
        }
    }
}

bool SaveHrdIni() {
    auto s = versioned();
    for (const std::int32_t v :
         {HrdMap.CommAdr, HrdMap.CommChanel, HrdMap.DacAdr, HrdMap.DacChanel, HrdMap.SensAdr,
          HrdMap.SensChanel, HrdMap.UprAdr, HrdMap.UprChanel}) {
        StreamWriteInt(s, v);
    }
    return save_file(kHrdIni, s);
}

void LoadBufIni() {
    CyclicWrite = true;
    BufReservedFlag = false;
    BufDirs.fill(std::string());
    BufDirs[0] = ProgramDir();
    BufMinFree.fill(10);
    UseCashe = true;
    auto s = open_file(kBufIni);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version) || !StreamReadBool(*s, CyclicWrite) ||
        !StreamReadBool(*s, BufReservedFlag)) {
        return;
    }
    for (int i = 0; i < kBufDirCount; ++i) {
        if (!StreamReadStr(*s, BufDirs[i]) || !StreamReadInt(*s, BufMinFree[i])) {
            return;
        }
    }
    if (version > 24) {
        StreamReadBool(*s, UseCashe);
    }
}

bool SaveBufIni() {
    auto s = versioned();
    StreamWriteBool(s, CyclicWrite);
    StreamWriteBool(s, BufReservedFlag);
    for (int i = 0; i < kBufDirCount; ++i) {
        StreamWriteStr(s, BufDirs[i]);
        StreamWriteInt(s, BufMinFree[i]);
    }
    StreamWriteBool(s, UseCashe);
    return save_file(kBufIni, s);
}

void LoadStealth() {
    load_flag(kStealthFile, StealthAtStart);
}
bool SaveStealth() {
    return save_flag(kStealthFile, StealthAtStart);
}
void LoadAutoRun() {
    load_flag(kAutoRunFile, AutoStart);
}
bool SaveAutoRun() {
    return save_flag(kAutoRunFile, AutoStart);
}

void LoadConfTable() {
    ConfSchedule.fill(ConfScheduleEntry{});
    auto s = open_file(kConfTableFile);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version)) {
        return;
    }
    for (auto& c : ConfSchedule) {
        if (!StreamReadInt16(*s, c.Hour) || !StreamReadInt16(*s, c.Minute) ||
            !StreamReadBool(*s, c.Enabled) || !StreamReadStr(*s, c.Name)) {
            return;
        }
    }
    if (version <= 13) {
        return;
    }
    for (auto& c : ConfSchedule) {
        if (!StreamReadInt16(*s, c.Day) || !StreamReadInt16(*s, c.Month) ||
            !StreamReadInt16(*s, c.Year) || !StreamReadInt16(*s, c.Mode)) {
            return;
        }
    }
}

bool SaveConfTable() {
    auto s = versioned();
    for (const auto& c : ConfSchedule) {
        StreamWriteInt(s, c.Hour);
        StreamWriteInt(s, c.Minute);
        StreamWriteBool(s, c.Enabled);
        StreamWriteStr(s, c.Name);
    }
    for (const auto& c : ConfSchedule) {
        StreamWriteInt(s, c.Day);
        StreamWriteInt(s, c.Month);
        StreamWriteInt(s, c.Year);
        StreamWriteInt(s, c.Mode);
    }
    return save_file(kConfTableFile, s);
}

RightsTable LoadRightsFile() {
    RightsTable rights{};
    if (auto s = open_file(kRightsFile)) {
        for (bool& right : rights) {
            if (!StreamReadBool(*s, right)) {
                break;
            }
        }
    }
    return rights;
}

bool SaveRightsFile(const RightsTable& rights) {
    SettingsStream s;
    for (const bool right : rights) {
        StreamWriteBool(s, right);
    }
    return save_file(kRightsFile, s);
}

std::string LoadPasswordFile(int level) {
    std::string password;
    const char* name = password_file(level);
    if (!name) {
        return password;
    }
    if (auto s = open_file(name)) {
        StreamReadStr(*s, password);
    }
    return password;
}

bool SavePasswordFile(int level, std::string_view password) {
    const char* name = password_file(level);
    if (!name) {
        return false;
    }
    SettingsStream s;
    StreamWriteStr(s, password);
    return save_file(name, s);
}

} // namespace station
