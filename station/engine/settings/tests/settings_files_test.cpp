#include "settings/settings_files.h"

#include "base/tests/program_dir_fixture.h"

#include <functional>
#include <random>

namespace station {
namespace {

using test::Bytes;
using B = std::vector<std::uint8_t>;

class SettingsFiles : public test::ProgramDirTest {
protected:
    SettingsState st;
};

// Sample values unlike every default.
void set_sample_tables(SettingsState& st) {
    st.ServerPort = 2020;
    for (int i = 0; i < kRemoteStationCount; ++i) {
        st.RemPorts[i] = 3000 + i;
        st.RemAddresses[i] = "10.0.0." + std::to_string(i + 1);
    }
    st.NetReserved = -3;
    st.HrdMap = {1, 2, 1, 3, 2, 1, 2, 2};
    st.CyclicWrite = false;
    st.BufReservedFlag = true;
    for (int i = 0; i < kBufDirCount; ++i) {
        st.BufDirs[i] = "D:\\\xC0rchive" + std::to_string(i);
        st.BufMinFree[i] = 100 + i;
    }
    st.UseCashe = false;
    st.StealthAtStart = true;
    st.AutoStart = true;
    for (int i = 0; i < kConfigurationCount; ++i) {
        st.ConfSchedule[i] = {static_cast<std::int16_t>(i % 24),
                              static_cast<std::int16_t>(i % 60),
                              i % 2 == 0,
                              "conf " + std::to_string(i + 1),
                              static_cast<std::int16_t>(i % 28 + 1),
                              static_cast<std::int16_t>(i % 12 + 1),
                              static_cast<std::int16_t>(2001 + i),
                              static_cast<std::int16_t>(i % 4)};
    }
}

void load_station_files(const BaseState& base_, SettingsState& st) {
    LoadNetIni(base_, st);
    LoadHrdIni(base_, st);
    LoadBufIni(base_, st);
    LoadStealth(base_, st);
    LoadAutoRun(base_, st);
    LoadConfTable(base_, st);
}

bool save_station_files(const BaseState& base_, const SettingsState& st) {
    return SaveNetIni(base_, st) && SaveHrdIni(base_, st) && SaveBufIni(base_, st) &&
           SaveStealth(base_, st) && SaveAutoRun(base_, st) && SaveConfTable(base_, st);
}

Bytes golden_netini() {
    Bytes b;
    b.i32(26).i32(2020);
    for (int i = 0; i < kRemoteStationCount; ++i) {
        b.i32(3000 + i).str("10.0.0." + std::to_string(i + 1));
    }
    b.i32(-3);
    return b;
}

Bytes golden_bufini() {
    Bytes b;
    b.i32(26).byte(0).byte(1);
    for (int i = 0; i < kBufDirCount; ++i) {
        b.str("D:\\\xC0rchive" + std::to_string(i)).i32(100 + i);
    }
    b.byte(0);
    return b;
}

Bytes golden_cnf() {
    Bytes b;
    b.i32(26);
    for (int i = 0; i < kConfigurationCount; ++i) {
        b.i32(i % 24).i32(i % 60).byte(i % 2 == 0 ? 1 : 0).str("conf " + std::to_string(i + 1));
    }
    for (int i = 0; i < kConfigurationCount; ++i) {
        b.i32(i % 28 + 1).i32(i % 12 + 1).i32(2001 + i).i32(i % 4);
    }
    return b;
}

void expect_net_defaults_from(const SettingsState& st, int station) {
    for (int i = station - 1; i < kRemoteStationCount; ++i) {
        EXPECT_EQ(st.RemPorts[i], 1018) << "station " << i + 1;
        EXPECT_EQ(st.RemAddresses[i], "") << "station " << i + 1;
    }
}

TEST_F(SettingsFiles, SaversWriteGoldenBytes) {
    set_sample_tables(st);
    const RightsTable rights = {true,  false, false, true,  false, false, false,
                                false, false, false, false, false, false, false,
                                false, false, false, false, false, true};
    ASSERT_TRUE(save_station_files(base_, st) && SaveRightsFile(base_, rights) &&
                SavePasswordFile(base_, 1, "123") && SavePasswordFile(base_, 2, ""));
    EXPECT_EQ(read("netini.pdt"), golden_netini().get());
    EXPECT_EQ(read("hrdini.pdt"),
              Bytes().i32(26).i32(1).i32(2).i32(1).i32(3).i32(2).i32(1).i32(2).i32(2).get());
    EXPECT_EQ(read("bufini.pdt"), golden_bufini().get());
    EXPECT_EQ(read("stl.pdt"), (B{26, 0, 0, 0, 1}));
    EXPECT_EQ(read("aur.pdt"), (B{26, 0, 0, 0, 1}));
    EXPECT_EQ(read("cnf.pdt"), golden_cnf().get());
    EXPECT_EQ(read("net1.pdt"), (B{1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(read("net2.pdt"), Bytes().str("123").get());
    EXPECT_EQ(read("net3.pdt"), (B{0, 0, 0, 0}));
    EXPECT_FALSE(SavePasswordFile(base_, 3, "1"));
    EXPECT_FALSE(std::filesystem::exists(path("net4.pdt")));
    // Nothing is left behind but the files themselves.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) {
        ++files;
    }
    EXPECT_EQ(files, 9);
}

TEST_F(SettingsFiles, MissingFilesGiveDefaults) {
    set_sample_tables(st);
    load_station_files(base_, st);
    EXPECT_EQ(st.ServerPort, 1018);
    expect_net_defaults_from(st, 1);
    EXPECT_EQ(st.NetReserved, 7);
    EXPECT_EQ(st.HrdMap, kHrdMapDefaults);
    EXPECT_EQ(st.HrdMap, (HrdMapTable{1, 1, 1, 1, 1, 4, 1, 4}));
    EXPECT_TRUE(st.CyclicWrite);
    EXPECT_FALSE(st.BufReservedFlag);
    EXPECT_EQ(st.BufDirs[0], dir_.string());
    for (int i = 0; i < kBufDirCount; ++i) {
        EXPECT_EQ(st.BufMinFree[i], 10);
        if (i > 0) {
            EXPECT_EQ(st.BufDirs[i], "");
        }
    }
    EXPECT_TRUE(st.UseCashe);
    EXPECT_FALSE(st.StealthAtStart);
    EXPECT_FALSE(st.AutoStart);
    for (const auto& c : st.ConfSchedule) {
        EXPECT_EQ(c, (ConfScheduleEntry{0, 0, false, "", 1, 1, 2000, 1}));
    }
    EXPECT_EQ(LoadRightsFile(base_), RightsTable{});
    EXPECT_EQ(LoadPasswordFile(base_, 1), "");
    EXPECT_EQ(LoadPasswordFile(base_, 2), "");
}

TEST_F(SettingsFiles, RoundTripsEveryFile) {
    set_sample_tables(st);
    RightsTable rights{};
    rights[4] = rights[19] = true;
    ASSERT_TRUE(save_station_files(base_, st) && SaveRightsFile(base_, rights) &&
                SavePasswordFile(base_, 1, "30000") && SavePasswordFile(base_, 2, "7"));
    const auto ports = st.RemPorts;
    const auto addresses = st.RemAddresses;
    const auto dirs = st.BufDirs;
    const auto free = st.BufMinFree;
    const auto schedule = st.ConfSchedule;
    const auto map = st.HrdMap;
    load_station_files(base_, st);
    EXPECT_EQ(st.ServerPort, 2020);
    EXPECT_EQ(st.RemPorts, ports);
    EXPECT_EQ(st.RemAddresses, addresses);
    EXPECT_EQ(st.NetReserved, -3);
    EXPECT_EQ(st.HrdMap, map);
    EXPECT_FALSE(st.CyclicWrite);
    EXPECT_TRUE(st.BufReservedFlag);
    EXPECT_EQ(st.BufDirs, dirs);
    EXPECT_EQ(st.BufMinFree, free);
    EXPECT_FALSE(st.UseCashe);
    EXPECT_TRUE(st.StealthAtStart);
    EXPECT_TRUE(st.AutoStart);
    EXPECT_EQ(st.ConfSchedule, schedule);
    EXPECT_EQ(LoadRightsFile(base_), rights);
    EXPECT_EQ(LoadPasswordFile(base_, 1), "30000");
    EXPECT_EQ(LoadPasswordFile(base_, 2), "7");
}

TEST_F(SettingsFiles, VersionGatesKeepDefaultsOfLaterFields) {
    // netini version 3: only the server port.
    write("netini.pdt", Bytes().i32(3).i32(1500).i32(4000).str("1.2.3.4").i32(9));
    LoadNetIni(base_, st);
    EXPECT_EQ(st.ServerPort, 1500);
    expect_net_defaults_from(st, 1);
    EXPECT_EQ(st.NetReserved, 7);

    // netini version 18: the stations, but not the reserved value.
    Bytes v18;
    v18.i32(18).i32(1501);
    for (int i = 0; i < kRemoteStationCount; ++i) {
        v18.i32(5000 + i).str("h" + std::to_string(i));
    }
    v18.i32(9);
    write("netini.pdt", v18);
    LoadNetIni(base_, st);
    EXPECT_EQ(st.RemPorts[19], 5019);
    EXPECT_EQ(st.RemAddresses[19], "h19");
    EXPECT_EQ(st.NetReserved, 7);

    // bufini version 24: no cache flag, even with a byte 0 following.
    Bytes buf;
    buf.i32(24).byte(0).byte(0);
    for (int i = 0; i < kBufDirCount; ++i) {
        buf.str("d").i32(1);
    }
    buf.byte(0);
    write("bufini.pdt", buf);
    st.UseCashe = false;
    LoadBufIni(base_, st);
    EXPECT_FALSE(st.CyclicWrite);
    EXPECT_EQ(st.BufDirs[0], "d");
    EXPECT_TRUE(st.UseCashe);

    // cnf version 13: names and times, dates default to 1.1.2000 daily; 65537 reads as 1.
    Bytes cnf;
    cnf.i32(13);
    for (int i = 0; i < kConfigurationCount; ++i) {
        cnf.i32(65537).i32(30).byte(1).str("n");
    }
    for (int i = 0; i < kConfigurationCount; ++i) {
        cnf.i32(5).i32(6).i32(2010).i32(0);
    }
    write("cnf.pdt", cnf);
    LoadConfTable(base_, st);
    for (const auto& c : st.ConfSchedule) {
        EXPECT_EQ(c, (ConfScheduleEntry{1, 30, true, "n", 1, 1, 2000, 1}));
    }

    // hrdini, stl and aur do not test their version.
    write("hrdini.pdt", Bytes().i32(0).i32(1).i32(2).i32(1).i32(3).i32(2).i32(1).i32(2).i32(2));
    write("stl.pdt", B{0, 0, 0, 0, 1});
    write("aur.pdt", B{0xFF, 0xFF, 0xFF, 0xFF, 1});
    LoadHrdIni(base_, st);
    LoadStealth(base_, st);
    LoadAutoRun(base_, st);
    EXPECT_EQ(st.HrdMap, (HrdMapTable{1, 2, 1, 3, 2, 1, 2, 2}));
    EXPECT_TRUE(st.StealthAtStart);
    EXPECT_TRUE(st.AutoStart);
}

TEST_F(SettingsFiles, BoardMapEntriesOutOfRangeTakeTheirDefaults) {
    // Commutator address 2 of 1, board 0, DAC address 0, board 5, sensor address 3, board 4,
    // relay address 2 of 2, board -1.
    write("hrdini.pdt", Bytes().i32(26).i32(2).i32(0).i32(0).i32(5).i32(3).i32(4).i32(2).i32(-1));
    LoadHrdIni(base_, st);
    EXPECT_EQ(st.HrdMap, (HrdMapTable{1, 1, 1, 1, 1, 4, 2, 4}));
    write("hrdini.pdt", Bytes().i32(26).i32(1).i32(4).i32(1).i32(3).i32(2).i32(2).i32(1).i32(1));
    LoadHrdIni(base_, st);
    EXPECT_EQ(st.HrdMap, (HrdMapTable{1, 4, 1, 3, 2, 2, 1, 1}));
}

// A file cut or broken at some field keeps the values before it and takes the defaults from
// that field on.
TEST_F(SettingsFiles, BrokenDataTakesDefaultsFromTheFailingField) {
    B net = golden_netini().get();
    // Cut in the middle of station 5's address ("10.0.0.5": 8 characters).
    const std::size_t station5 = 8 + 4 * (4 + 4 + 8 * 4);
    write("netini.pdt", B(net.begin(), net.begin() + station5 + 4 + 4 + 3 * 4));
    LoadNetIni(base_, st);
    EXPECT_EQ(st.ServerPort, 2020);
    EXPECT_EQ(st.RemAddresses[3], "10.0.0.4");
    EXPECT_EQ(st.RemPorts[4], 3004);
    expect_net_defaults_from(st, 6);
    EXPECT_EQ(st.RemAddresses[4], "");
    EXPECT_EQ(st.NetReserved, 7);

    // A negative character count in station 2's address ends the data there.
    const std::size_t count2 = 8 + (4 + 4 + 8 * 4) + 4;
    net[count2 + 3] = 0x80;
    write("netini.pdt", net);
    LoadNetIni(base_, st);
    EXPECT_EQ(st.RemAddresses[0], "10.0.0.1");
    EXPECT_EQ(st.RemPorts[1], 3001);
    EXPECT_EQ(st.RemAddresses[1], "");
    expect_net_defaults_from(st, 3);
    EXPECT_EQ(st.NetReserved, 7);

    // Rights cut after five bytes: the rest denied.
    write("net1.pdt", B{1, 1, 1, 1, 1});
    RightsTable rights{};
    rights[0] = rights[1] = rights[2] = rights[3] = rights[4] = true;
    EXPECT_EQ(LoadRightsFile(base_), rights);

    // A password whose count runs past the end reads as empty.
    write("net2.pdt", B{9, 0, 0, 0, 0x31, 0, 0, 0});
    EXPECT_EQ(LoadPasswordFile(base_, 1), "");
}

// Every prefix of every file loads without a fault, into file values or defaults only.
TEST_F(SettingsFiles, EveryTruncationLoadsSafely) {
    set_sample_tables(st);
    ASSERT_TRUE(save_station_files(base_, st));
    const struct {
        const char* name;
        void (*load)(const BaseState&, SettingsState&);
        std::function<bool()> complete;
    } files[] = {
        {"netini.pdt", LoadNetIni, [this] { return st.NetReserved == -3; }},
        {"hrdini.pdt", LoadHrdIni, [this] { return st.HrdMap.UprChanel == 2; }},
        {"bufini.pdt", LoadBufIni, [this] { return !st.UseCashe; }},
        {"stl.pdt", LoadStealth, [this] { return st.StealthAtStart; }},
        {"aur.pdt", LoadAutoRun, [this] { return st.AutoStart; }},
        {"cnf.pdt", LoadConfTable, [this] { return st.ConfSchedule[98].Mode == 98 % 4; }},
    };
    for (const auto& f : files) {
        const B full = read(f.name);
        for (std::size_t n = 0; n < full.size(); ++n) {
            write(f.name, B(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
            f.load(base_, st);
            ASSERT_FALSE(f.complete()) << f.name << " cut at " << n;
        }
        write(f.name, full);
        f.load(base_, st);
        EXPECT_TRUE(f.complete()) << f.name;
    }
}

// Files with random bytes changed load without a fault; the board map stays in its ranges and
// no string grows past what the file holds.
TEST_F(SettingsFiles, CorruptFilesLoadSafely) {
    set_sample_tables(st);
    ASSERT_TRUE(save_station_files(base_, st));
    std::mt19937 rng(1234);
    for (const char* name : {"netini.pdt", "hrdini.pdt", "bufini.pdt", "cnf.pdt"}) {
        const B full = read(name);
        for (int round = 0; round < 200; ++round) {
            B bytes = full;
            const int changes = 1 + static_cast<int>(rng() % 8);
            for (int c = 0; c < changes; ++c) {
                bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
            }
            write(name, bytes);
            load_station_files(base_, st);
            EXPECT_TRUE(st.HrdMap.CommAdr == 1 && st.HrdMap.DacAdr == 1) << name;
            EXPECT_TRUE(st.HrdMap.SensAdr >= 1 && st.HrdMap.SensAdr <= 2) << name;
            EXPECT_TRUE(st.HrdMap.UprAdr >= 1 && st.HrdMap.UprAdr <= 2) << name;
            for (const std::int32_t board : {st.HrdMap.CommChanel, st.HrdMap.DacChanel,
                                             st.HrdMap.SensChanel, st.HrdMap.UprChanel}) {
                EXPECT_TRUE(board >= 1 && board <= 4) << name;
            }
            for (const auto& a : st.RemAddresses) {
                ASSERT_LE(a.size(), bytes.size() / 4) << name;
            }
            for (const auto& c : st.ConfSchedule) {
                ASSERT_LE(c.Name.size(), bytes.size() / 4) << name;
            }
        }
        write(name, full);
    }
}

TEST_F(SettingsFiles, UnreadableFileGivesDefaultsAndFailedSaveKeepsOldFile) {
    std::filesystem::create_directory(path("hrdini.pdt"));
    st.HrdMap = kHrdMapProvisional;
    LoadHrdIni(base_, st);
    EXPECT_EQ(st.HrdMap, kHrdMapDefaults);

    set_sample_tables(st);
    ASSERT_TRUE(SaveNetIni(base_, st));
    const B old = read("netini.pdt");
    // The temporary file cannot be made: the save fails and the old file stays whole.
    std::filesystem::create_directory(path("netini.pdt.tmp"));
    st.ServerPort = 1;
    EXPECT_FALSE(SaveNetIni(base_, st));
    EXPECT_EQ(read("netini.pdt"), old);
    std::filesystem::remove(path("netini.pdt.tmp"));
    EXPECT_TRUE(SaveNetIni(base_, st));
    EXPECT_NE(read("netini.pdt"), old);

    // A missing program folder: nothing is written, nothing breaks.
    SetProgramDir(base_, (dir_ / "gone").string());
    EXPECT_FALSE(SaveStealth(base_, st));
    LoadStealth(base_, st);
    EXPECT_FALSE(st.StealthAtStart);
}

TEST_F(SettingsFiles, FileNamesMatchCaseInsensitively) {
    write("STL.PDT", B{26, 0, 0, 0, 1});
    LoadStealth(base_, st);
    EXPECT_TRUE(st.StealthAtStart);
    st.StealthAtStart = false;
    ASSERT_TRUE(SaveStealth(base_, st));
    EXPECT_EQ(read("STL.PDT"), (B{26, 0, 0, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists(path("stl.pdt")));
}

} // namespace
} // namespace station
