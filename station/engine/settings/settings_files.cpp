#include "settings_files.h"

#include "base/base_state.h"
#include "base/program_dir.h"
#include "station_settings.h"

#include <optional>

namespace station {

namespace {

constexpr const char* kNetIni = "netini.pdt";
constexpr const char* kHrdIni = "hrdini.pdt";
constexpr const char* kBufIni = "bufini.pdt";
constexpr const char* kStealthFile = "stl.pdt";
constexpr const char* kAutoRunFile = "aur.pdt";
constexpr const char* kConfTableFile = "cnf.pdt";
constexpr const char* kRightsFile = "net1.pdt";

// The file's content as a stream, or nothing when the file is missing or unreadable.
std::optional<SettingsStream> open_file(const BaseState& base, const char* name) {
    auto bytes = ReadProgramFile(base, name);
    if (!bytes) {
        return std::nullopt;
    }
    return SettingsStream(std::move(*bytes));
}

bool save_file(const BaseState& base, const char* name, const SettingsStream& s) {
    return ReplaceProgramFile(base, name, s.bytes());
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

void load_flag(const BaseState& base, const char* name, bool& flag) {
    flag = false;
    auto s = open_file(base, name);
    std::int32_t version = 0;
    if (s && StreamReadInt(*s, version)) {
        StreamReadBool(*s, flag);
    }
}

bool save_flag(const BaseState& base, const char* name, bool flag) {
    auto s = versioned();
    StreamWriteBool(s, flag);
    return save_file(base, name, s);
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

void LoadNetIni(const BaseState& base, SettingsState& st) {
    st.ServerPort = kDefaultPort;
    st.RemPorts.fill(kDefaultPort);
    st.RemAddresses.fill(std::string());
    st.NetReserved = 7;
    auto s = open_file(base, kNetIni);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version) || !StreamReadInt(*s, st.ServerPort) || version <= 3) {
        return;
    }
    for (int i = 0; i < kRemoteStationCount; ++i) {
        if (!StreamReadInt(*s, st.RemPorts[i]) || !StreamReadStr(*s, st.RemAddresses[i])) {
            return;
        }
    }
    if (version > 18) {
        StreamReadInt16(*s, st.NetReserved);
    }
}

bool SaveNetIni(const BaseState& base, const SettingsState& st) {
    auto s = versioned();
    StreamWriteInt(s, st.ServerPort);
    for (int i = 0; i < kRemoteStationCount; ++i) {
        StreamWriteInt(s, st.RemPorts[i]);
        StreamWriteStr(s, st.RemAddresses[i]);
    }
    StreamWriteInt(s, st.NetReserved);
    return save_file(base, kNetIni, s);
}

void LoadHrdIni(const BaseState& base, SettingsState& st) {
    st.HrdMap = kHrdMapDefaults;
    auto s = open_file(base, kHrdIni);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version)) {
        return;
    }
    const HrdMapTable& d = kHrdMapDefaults;
    HrdMapTable& m = st.HrdMap;
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

bool SaveHrdIni(const BaseState& base, const SettingsState& st) {
    auto s = versioned();
    for (const std::int32_t v :
         {st.HrdMap.CommAdr, st.HrdMap.CommChanel, st.HrdMap.DacAdr, st.HrdMap.DacChanel,
          st.HrdMap.SensAdr, st.HrdMap.SensChanel, st.HrdMap.UprAdr, st.HrdMap.UprChanel}) {
        StreamWriteInt(s, v);
    }
    return save_file(base, kHrdIni, s);
}

void LoadBufIni(const BaseState& base, SettingsState& st) {
    st.CyclicWrite = true;
    st.BufReservedFlag = false;
    st.BufDirs.fill(std::string());
    st.BufDirs[0] = base.ProgramDir;
    st.BufMinFree.fill(10);
    st.UseCashe = true;
    auto s = open_file(base, kBufIni);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version) || !StreamReadBool(*s, st.CyclicWrite) ||
        !StreamReadBool(*s, st.BufReservedFlag)) {
        return;
    }
    for (int i = 0; i < kBufDirCount; ++i) {
        if (!StreamReadStr(*s, st.BufDirs[i]) || !StreamReadInt(*s, st.BufMinFree[i])) {
            return;
        }
    }
    if (version > 24) {
        StreamReadBool(*s, st.UseCashe);
    }
}

bool SaveBufIni(const BaseState& base, const SettingsState& st) {
    auto s = versioned();
    StreamWriteBool(s, st.CyclicWrite);
    StreamWriteBool(s, st.BufReservedFlag);
    for (int i = 0; i < kBufDirCount; ++i) {
        StreamWriteStr(s, st.BufDirs[i]);
        StreamWriteInt(s, st.BufMinFree[i]);
    }
    StreamWriteBool(s, st.UseCashe);
    return save_file(base, kBufIni, s);
}

void LoadStealth(const BaseState& base, SettingsState& st) {
    load_flag(base, kStealthFile, st.StealthAtStart);
}
bool SaveStealth(const BaseState& base, const SettingsState& st) {
    return save_flag(base, kStealthFile, st.StealthAtStart);
}
void LoadAutoRun(const BaseState& base, SettingsState& st) {
    load_flag(base, kAutoRunFile, st.AutoStart);
}
bool SaveAutoRun(const BaseState& base, const SettingsState& st) {
    return save_flag(base, kAutoRunFile, st.AutoStart);
}

void LoadConfTable(const BaseState& base, SettingsState& st) {
    st.ConfSchedule.fill(ConfScheduleEntry{});
    auto s = open_file(base, kConfTableFile);
    std::int32_t version = 0;
    if (!s || !StreamReadInt(*s, version)) {
        return;
    }
    for (auto& c : st.ConfSchedule) {
        if (!StreamReadInt16(*s, c.Hour) || !StreamReadInt16(*s, c.Minute) ||
            !StreamReadBool(*s, c.Enabled) || !StreamReadStr(*s, c.Name)) {
            return;
        }
    }
    if (version <= 13) {
        return;
    }
    for (auto& c : st.ConfSchedule) {
        if (!StreamReadInt16(*s, c.Day) || !StreamReadInt16(*s, c.Month) ||
            !StreamReadInt16(*s, c.Year) || !StreamReadInt16(*s, c.Mode)) {
            return;
        }
    }
}

bool SaveConfTable(const BaseState& base, const SettingsState& st) {
    auto s = versioned();
    for (const auto& c : st.ConfSchedule) {
        StreamWriteInt(s, c.Hour);
        StreamWriteInt(s, c.Minute);
        StreamWriteBool(s, c.Enabled);
        StreamWriteStr(s, c.Name);
    }
    for (const auto& c : st.ConfSchedule) {
        StreamWriteInt(s, c.Day);
        StreamWriteInt(s, c.Month);
        StreamWriteInt(s, c.Year);
        StreamWriteInt(s, c.Mode);
    }
    return save_file(base, kConfTableFile, s);
}

RightsTable LoadRightsFile(const BaseState& base) {
    RightsTable rights{};
    if (auto s = open_file(base, kRightsFile)) {
        for (bool& right : rights) {
            if (!StreamReadBool(*s, right)) {
                break;
            }
        }
    }
    return rights;
}

bool SaveRightsFile(const BaseState& base, const RightsTable& rights) {
    SettingsStream s;
    for (const bool right : rights) {
        StreamWriteBool(s, right);
    }
    return save_file(base, kRightsFile, s);
}

std::string LoadPasswordFile(const BaseState& base, int level) {
    std::string password;
    const char* name = password_file(level);
    if (!name) {
        return password;
    }
    if (auto s = open_file(base, name)) {
        StreamReadStr(*s, password);
    }
    return password;
}

bool SavePasswordFile(const BaseState& base, int level, std::string_view password) {
    const char* name = password_file(level);
    if (!name) {
        return false;
    }
    SettingsStream s;
    StreamWriteStr(s, password);
    return save_file(base, name, s);
}

} // namespace station
