// The station's settings files: the first byte picks the file, the rest is its content; the
// loader reads it from the program folder (a scratch folder here). A file that loads must
// save and load back to the same tables.
#include "fuzz_target.h"
#include "base/program_dir.h"
#include "settings/settings_files.h"

#include <tuple>

namespace {

// The program folder (a scratch folder) and the tables the loaders fill.
station::BaseState base;

struct Loader {
    const char* file;
    void (*load)();
};

void load_rights() {
    const station::RightsTable r = station::LoadRightsFile(base);
    if (station::SaveRightsFile(base, r) && station::LoadRightsFile(base) != r) {
        fuzz::fail("rights file does not read back");
    }
}

template <int Level> void load_password() {
    const std::string p = station::LoadPasswordFile(base, Level);
    if (station::SavePasswordFile(base, Level, p) && station::LoadPasswordFile(base, Level) != p) {
        fuzz::fail("password file does not read back");
    }
}

// Loads, saves and loads again: the tables `snapshot` copies must come back the same.
station::SettingsState settings;

template <typename Snapshot>
void round_trip(void (*load)(const station::BaseState&, station::SettingsState&),
                bool (*save)(const station::BaseState&, const station::SettingsState&),
                Snapshot snapshot) {
    load(base, settings);
    const auto before = snapshot();
    if (save(base, settings)) {
        load(base, settings);
        if (snapshot() != before) {
            fuzz::fail("a loaded settings file does not save and load back");
        }
    }
}

void load_net() {
    round_trip(station::LoadNetIni, station::SaveNetIni, [] {
        return std::tuple(settings.ServerPort, settings.RemPorts, settings.RemAddresses,
                          settings.NetReserved);
    });
}

void load_hrd() {
    round_trip(station::LoadHrdIni, station::SaveHrdIni, [] { return settings.HrdMap; });
}

void load_buf() {
    round_trip(station::LoadBufIni, station::SaveBufIni, [] {
        return std::tuple(settings.CyclicWrite, settings.BufReservedFlag, settings.BufDirs,
                          settings.BufMinFree, settings.UseCashe);
    });
}

void load_conf() {
    round_trip(station::LoadConfTable, station::SaveConfTable,
               [] { return settings.ConfSchedule; });
}

void load_stealth() {
    round_trip(station::LoadStealth, station::SaveStealth, [] { return settings.StealthAtStart; });
}

void load_autorun() {
    round_trip(station::LoadAutoRun, station::SaveAutoRun, [] { return settings.AutoStart; });
}

const Loader kLoaders[] = {
    {"netini.pdt", load_net},  {"hrdini.pdt", load_hrd},       {"bufini.pdt", load_buf},
    {"stl.pdt", load_stealth}, {"aur.pdt", load_autorun},      {"cnf.pdt", load_conf},
    {"net1.pdt", load_rights}, {"net2.pdt", load_password<1>}, {"net3.pdt", load_password<2>},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = [] {
        station::SetProgramDir(base, fuzz::scratch_dir().string());
        return true;
    }();
    (void)once;
    fuzz::InputReader in(data, size);
    const Loader& l = kLoaders[in.byte() % std::size(kLoaders)];
    fuzz::write_file(fuzz::scratch_dir() / l.file, in.rest());
    l.load();
    return 0;
}
