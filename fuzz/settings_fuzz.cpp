// The station's settings files: the first byte picks the file, the rest is its content; the
// loader reads it from the program folder (a scratch folder here). A file that loads must
// save and load back to the same tables.
#include "fuzz_target.h"
#include "program_dir.h"
#include "settings_files.h"

#include <cstdio>

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

void load_net() {
    station::LoadNetIni();
    const auto ports = station::RemPorts;
    const auto addresses = station::RemAddresses;
    const auto server = station::ServerPort;
    if (station::SaveNetIni()) {
        station::LoadNetIni();
        if (station::RemPorts != ports || station::RemAddresses != addresses ||
            station::ServerPort != server) {
            fuzz::fail("netini.pdt does not read back");
        }
    }
}

void load_hrd() {
    station::LoadHrdIni();
    const auto map = station::HrdMap;
    if (station::SaveHrdIni()) {
        station::LoadHrdIni();
        if (!(station::HrdMap == map)) {
            fuzz::fail("hrdini.pdt does not read back");
        }
    }
}

void load_buf() {
    station::LoadBufIni();
    const auto dirs = station::BufDirs;
    const auto free = station::BufMinFree;
    const bool cyclic = station::CyclicWrite;
    if (station::SaveBufIni()) {
        station::LoadBufIni();
        if (station::BufDirs != dirs || station::BufMinFree != free ||
            station::CyclicWrite != cyclic) {
            fuzz::fail("bufini.pdt does not read back");
        }
    }
}

void load_conf() {
    station::LoadConfTable();
    const auto table = station::ConfSchedule;
    if (station::SaveConfTable()) {
        station::LoadConfTable();
        if (station::ConfSchedule != table) {
            fuzz::fail("cnf.pdt does not read back");
        }
    }
}

void load_flags() {
    station::LoadStealth();
    station::LoadAutoRun();
}

const Loader kLoaders[] = {
    {"netini.pdt", load_net},  {"hrdini.pdt", load_hrd},       {"bufini.pdt", load_buf},
    {"stl.pdt", load_flags},   {"aur.pdt", load_flags},        {"cnf.pdt", load_conf},
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
