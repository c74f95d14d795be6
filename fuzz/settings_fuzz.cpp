// The station's settings files: the first byte picks the file, the rest is its content; the
// loader reads it from the program folder (a scratch folder here). A file that loads must
// save and load back to the same tables.
#include "fuzz_target.h"
#include "base/program_dir.h"
#include "settings/settings_files.h"

#include <tuple>

namespace {

using station::ProgramDir;

struct Loader {
    const char* file;
    void (*load)();
};

void load_rights() {
    const station::RightsTable r = station::LoadRightsFile();
    if (station::SaveRightsFile(r) && station::LoadRightsFile() != r) {
        fuzz::fail("rights file does not read back");
    }
}

template <int Level> void load_password() {
    const std::string p = station::LoadPasswordFile(Level);
    if (station::SavePasswordFile(Level, p) && station::LoadPasswordFile(Level) != p) {
        fuzz::fail("password file does not read back");
    }
}

// Loads, saves and loads again: the tables `snapshot` copies must come back the same.
template <typename Snapshot> void round_trip(void (*load)(), bool (*save)(), Snapshot snapshot) {
    load();
    const auto before = snapshot();
    if (save()) {
        load();
        if (snapshot() != before) {
            fuzz::fail("a loaded settings file does not save and load back");
        }
    }
}

void load_net() {
    round_trip(station::LoadNetIni, station::SaveNetIni, [] {
        return std::tuple(station::ServerPort, station::RemPorts, station::RemAddresses,
                          station::NetReserved);
    });
}

void load_hrd() {
    round_trip(station::LoadHrdIni, station::SaveHrdIni, [] { return station::HrdMap; });
}

void load_buf() {
    round_trip(station::LoadBufIni, station::SaveBufIni, [] {
        return std::tuple(station::CyclicWrite, station::BufReservedFlag, station::BufDirs,
                          station::BufMinFree, station::UseCashe);
    });
}

void load_conf() {
    round_trip(station::LoadConfTable, station::SaveConfTable,
               [] { return station::ConfSchedule; });
}

void load_stealth() {
    round_trip(station::LoadStealth, station::SaveStealth, [] { return station::StealthAtStart; });
}

void load_autorun() {
    round_trip(station::LoadAutoRun, station::SaveAutoRun, [] { return station::AutoStart; });
}

const Loader kLoaders[] = {
    {"netini.pdt", load_net},  {"hrdini.pdt", load_hrd},       {"bufini.pdt", load_buf},
    {"stl.pdt", load_stealth}, {"aur.pdt", load_autorun},      {"cnf.pdt", load_conf},
    {"net1.pdt", load_rights}, {"net2.pdt", load_password<1>}, {"net3.pdt", load_password<2>},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = [] {
        station::SetProgramDir(fuzz::scratch_dir().string());
        return true;
    }();
    (void)once;
    fuzz::InputReader in(data, size);
    const Loader& l = kLoaders[in.byte() % std::size(kLoaders)];
    fuzz::write_file(fuzz::scratch_dir() / l.file, in.rest());
    l.load();
    return 0;
}
