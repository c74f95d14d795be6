// Writes the seed corpora: a few valid inputs per target, made with the system's own savers
// and serialisers where it has them. Usage: fuzz_seeds <corpus folder>
#include "archive/archive_writer.h"
#include "configuration/configuration_files.h"
#include "fuzz_target.h"
#include "memory_archive.h"
#include "network/packet_format.h"
#include "base/program_dir.h"
#include "registry_hive.h"
#include "resource_format.h"
#include "settings/settings_files.h"

#include <elf.h>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path g_root;

void put(const std::string& target, const std::string& name, const Bytes& bytes) {
    fs::create_directories(g_root / target);
    fuzz::write_file(g_root / target / name, bytes);
}

void put_text(const std::string& target, const std::string& name, std::string_view text) {
    put(target, name, Bytes(text.begin(), text.end()));
}

// ---- settings: the loader's number, then the file a saver wrote ----------------------------
// The program folder and the settings tables the seeds are written from.
station::BaseState base;
station::SettingsState settings;

void settings_seed(const char* name, int loader, const char* file,
                   const std::function<void()>& save) {
    save();
    const auto bytes = station::ReadProgramFile(base, file);
    if (!bytes) {
        fuzz::fail(std::string("no file ") + file);
    }
    Bytes b{std::uint8_t(loader)};
    b.insert(b.end(), bytes->begin(), bytes->end());
    put("settings", name, b);
}

void settings_seeds() {
    station::SetProgramDir(base, fuzz::scratch_dir().string());
    settings_seed("netini", 0, "netini.pdt", [] {
        settings.ServerPort = 2020;
        settings.RemPorts[0] = 1019;
        settings.RemAddresses[0] = "192.168.0.7";
        settings.RemAddresses[19] = "\xCF\xEE\xF1\xF2";
        station::SaveNetIni(base, settings);
    });
    settings_seed("hrdini", 1, "hrdini.pdt", [] {
        settings.HrdMap = station::kHrdMapProvisional;
        station::SaveHrdIni(base, settings);
    });
    settings_seed("bufini", 2, "bufini.pdt", [] {
        settings.BufDirs[0] = "C:\\arch";
        settings.BufDirs[3] = "D:\\arch2";
        settings.BufMinFree[3] = 25;
        settings.CyclicWrite = false;
        station::SaveBufIni(base, settings);
    });
    settings_seed("stl", 3, "stl.pdt", [] {
        settings.StealthAtStart = true;
        station::SaveStealth(base, settings);
    });
    settings_seed("aur", 4, "aur.pdt", [] {
        settings.AutoStart = true;
        station::SaveAutoRun(base, settings);
    });
    settings_seed("cnf", 5, "cnf.pdt", [] {
        settings.ConfSchedule[0] = {7, 30, true, "Day", 2, 3, 2024, 2};
        settings.ConfSchedule[98] = {22, 0, true, "\xCD\xEE\xF7\xFC", 1, 1, 2000, 0};
        station::SaveConfTable(base, settings);
    });
    settings_seed("net1", 6, "net1.pdt", [] {
        station::RightsTable r{};
        r[0] = r[7] = r[19] = true;
        station::SaveRightsFile(base, r);
    });
    settings_seed("net2", 7, "net2.pdt", [] { station::SavePasswordFile(base, 1, "secret"); });
    settings_seed("net3", 8, "net3.pdt", [] { station::SavePasswordFile(base, 2, ""); });
}

// ---- stored configurations: the file kind, then the file the encoder wrote ------------------
void configuration_seed(const char* name, std::uint8_t kind, const Bytes& prefix,
                        const std::vector<std::uint8_t>& file) {
    Bytes b{kind};
    b.insert(b.end(), prefix.begin(), prefix.end());
    b.insert(b.end(), file.begin(), file.end());
    put("configuration", name, b);
}

void configuration_seeds() {
    station::ChannelSet set;
    set.Present[0] = set.Present[5] = set.Present[31] = true;
    configuration_seed("nch", 0, {}, station::EncodeChannelSet(set));

    station::ConfMain conf = station::DefaultConfMain(base.LangList);
    conf.Cameras[0].Name = "\xCA\xE0\xEC\xE5\xF0\xE0 1";
    conf.Cameras[2].AutoGain[1] = false;
    conf.Cameras[2].Level[1] = 40;
    conf.Cameras[0].Priority = 2;
    conf.Cameras[1].Priority = 1;
    conf.SwitchDelay[3] = 120;
    conf.ReportDays = 14;
    conf.PciFix = true;
    configuration_seed("per", 1, {}, station::EncodeConfMain(conf));

    station::ChanelParams params;
    params.CamNumber = 5;
    params.PointCount = 4000;
    params.SigmaFactor = 4.5;
    params.RemNumber = 2;
    params.ChNumber = 3;
    params.AlarmMonNumber[1] = true;
    configuration_seed("pc", 2, {}, station::EncodeChanelParams(params));
    auto old = station::EncodeChanelParams(params);
    old[0] = 4; // an old window file: the fields after SigmaFactor are not read
    configuration_seed("pc-v4", 2, {}, old);

    station::ChanelPoints points;
    for (int k = 0; k < 4000; ++k) {
        points.X[k] = (k % 80) * 25 / 2 + 6;
        points.Y[k] = 20 * (k / 80 + 1) - 9;
    }
    configuration_seed("pt", 3, {}, station::EncodeChanelPoints(points));

    station::SetProgramDir(base, fuzz::scratch_dir().string());
    settings.ConfSchedule = {};
    settings.ConfSchedule[2] = {8, 0, true, "Day", 1, 1, 2000, 1};
    settings.ConfSchedule[6] = {20, 0, true, "Night", 1, 1, 2000, 3};
    settings.ConfSchedule[10] = {7, 5, true, "Once", 5, 3, 2002, 0};
    station::SaveConfTable(base, settings);
    const auto cnf = station::ReadProgramFile(base, "cnf.pdt");
    if (!cnf) {
        fuzz::fail("no file cnf.pdt");
    }
    // 2002-03-05 07:05: year 2002, month 3, day 5, hour 7, minute 5.
    configuration_seed("cnf", 4, {2, 2, 4, 7, 5}, *cnf);
}

// ---- archive: files the archive writer wrote ------------------------------------------------
// `cap` > 0: each directory's disk is full once its data files hold more than `cap` bytes.
void archive_seed(const char* name, bool cyclic, int frames, bool jpeg, std::int64_t group_limit,
                  std::int64_t cap = 0) {
    fuzz::MemoryArchiveIo io;
    archive::ArchiveContext ctx = fuzz::memory_context(io, cyclic);
    ctx.group_limit = group_limit;
    if (cap > 0) {
        ctx.free_space = [&io, cap](const archive::Path& dir) -> std::optional<archive::DiskSpace> {
            const std::string prefix = dir.lexically_normal().string() + "/";
            std::int64_t used = 0;
            for (const auto& [file, bytes] : io.files) {
                if (file.starts_with(prefix) && file.ends_with(".dat")) {
                    used += std::int64_t(bytes.size());
                }
            }
            const std::int64_t free = std::max<std::int64_t>(0, 13'000'000 + (cap - used) * 1000);
            return archive::DiskSpace{std::uint64_t(free), 100'000'000};
        };
    }
    const int w = 16;
    const int h = 8;
    for (int i = 0; i < frames; ++i) {
        Bytes pixels(std::size_t(w * h));
        for (std::size_t p = 0; p < pixels.size(); ++p) {
            pixels[p] = std::uint8_t(p * 3 + std::size_t(i) * 40);
        }
        archive::ArchFrame f;
        f.pixels = pixels;
        f.width = w;
        f.height = h;
        f.bits_per_pixel = 8;
        f.jpeg = jpeg;
        f.camera = 1 + i % 16;
        f.alarm = i % 2 == 0;
        f.manual = i % 3 == 0;
        if (archive::ArchWriteFrame(ctx, f) != archive::kWritten) {
            fuzz::fail(std::string("archive seed frame not written: ") + name);
        }
    }
    Bytes b{0};
    const Bytes packed = fuzz::pack_archive(io);
    b.insert(b.end(), packed.begin(), packed.end());
    put("archive", name, b);
}

void archive_seeds() {
    archive_seed("linear-jpeg", false, 3, true, archive::kGroupDataLimit);
    archive_seed("linear-bmp", false, 2, false, archive::kGroupDataLimit);
    // Small groups on small disks, so the cyclic layout goes round and overwrites the oldest.
    archive_seed("cyclic-overwritten", true, 16, false, 2600, 6000);
    archive_seed("cyclic-jpeg", true, 3, true, archive::kGroupDataLimit);
}

// ---- WAV ------------------------------------------------------------------------------------
void le(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) {
        b.push_back(std::uint8_t(v >> (8 * i)));
    }
}

void tag(Bytes& b, const char* t) {
    b.insert(b.end(), t, t + 4);
}

Bytes wav(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
          std::uint32_t data_bytes, bool list_chunk, std::uint32_t claimed_data) {
    Bytes b;
    tag(b, "RIFF");
    le(b, 0, 4);
    tag(b, "WAVE");
    if (list_chunk) {
        tag(b, "LIST");
        le(b, 5, 4);
        b.insert(b.end(), {'I', 'N', 'F', 'O', 'x', 0});
    }
    const std::uint16_t align = std::uint16_t(channels * bits / 8);
    tag(b, "fmt ");
    le(b, format == 0xFFFE ? 40 : 16, 4);
    le(b, format, 2);
    le(b, channels, 2);
    le(b, rate, 4);
    le(b, rate * align, 4);
    le(b, align, 2);
    le(b, bits, 2);
    if (format == 0xFFFE) {
        le(b, 22, 2);
        le(b, bits, 2);
        le(b, 3, 4);
        le(b, 1, 4); // sub-format GUID starts with the PCM tag
        b.insert(b.end(), 12, 0);
    }
    tag(b, "data");
    le(b, claimed_data, 4);
    for (std::uint32_t i = 0; i < data_bytes; ++i) {
        b.push_back(std::uint8_t(i * 7));
    }
    const std::uint32_t riff = std::uint32_t(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

void wav_seeds() {
    put("wav", "pcm16-mono", wav(1, 1, 8000, 16, 32, false, 32));
    put("wav", "pcm8-stereo-list", wav(1, 2, 22050, 8, 20, true, 20));
    put("wav", "float-cut-data", wav(3, 2, 44100, 32, 16, false, 4000));
    put("wav", "extensible", wav(0xFFFE, 2, 48000, 16, 24, false, 24));
}

// ---- registry hive ----------------------------------------------------------------------------
void registry_seeds() {
    using platform::registry::KeyNode;
    KeyNode root;
    put("registry_hive", "empty", platform::registry::serialize(root, 1));
    KeyNode& sys = root.add_subkey("SYSTEM");
    KeyNode& svc = sys.add_subkey("CurrentControlSet").add_subkey("Services");
    KeyNode& drv = svc.add_subkey("tarvo");
    drv.values.push_back({"Start", 4, {3, 0, 0, 0}});
    drv.values.push_back({"ImagePath", 1, {'t', 'a', 'r', 'v', 'o', '.', 's', 'y', 's', 0}});
    drv.values.push_back({"", 3, {1, 2, 3}});
    root.add_subkey("Software").values.push_back({"Multi", 7, {'a', 0, 'b', 0, 0}});
    put("registry_hive", "services", platform::registry::serialize(root, 42));
}

// ---- resource blocks ------------------------------------------------------------------------
Bytes elf_with_section(const Bytes& block) {
    const char names[] = "\0.tolm_rsrc\0.shstrtab\0";
    Elf64_Ehdr eh{};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_DYN;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_ehsize = sizeof(Elf64_Ehdr);
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = 3;
    eh.e_shstrndx = 2;
    const std::size_t block_at = sizeof(Elf64_Ehdr);
    const std::size_t names_at = block_at + block.size();
    eh.e_shoff = (names_at + sizeof names + 7) & ~std::size_t(7);
    Elf64_Shdr sh[3]{};
    sh[1].sh_name = 1;
    sh[1].sh_type = SHT_PROGBITS;
    sh[1].sh_offset = block_at;
    sh[1].sh_size = block.size();
    sh[2].sh_name = 12;
    sh[2].sh_type = SHT_STRTAB;
    sh[2].sh_offset = names_at;
    sh[2].sh_size = sizeof names;
    Bytes out(eh.e_shoff + sizeof sh);
    std::memcpy(out.data(), &eh, sizeof eh);
    std::memcpy(out.data() + block_at, block.data(), block.size());
    std::memcpy(out.data() + names_at, names, sizeof names);
    std::memcpy(out.data() + eh.e_shoff, sh, sizeof sh);
    return out;
}

void resource_seeds() {
    namespace res = platform::resources;
    res::Block block;
    block.fixed_info = std::array<std::uint32_t, 13>{0xFEEF04BD, 0x10000, 0x10002, 0x30004};
    block.translations = {{0x0419, 1251}, {0x0409, 1200}};
    block.version_texts = {{{0x0419, 1251}, u"FileDescription", u"Capture driver"},
                           {{0x0419, 1251}, u"ProductName", u""}};
    block.strings = {{1, u"Tarvo.hlp"}, {7, u"\u041a\u0430\u043c\u0435\u0440\u0430 7"}, {9, u""}};
    Bytes full{0};
    const Bytes bytes = res::serialise(block);
    full.insert(full.end(), bytes.begin(), bytes.end());
    put("resource_block", "block", full);
    Bytes strings_only{0};
    const Bytes s = res::serialise(res::Block{std::nullopt, {}, {}, {{3, u"program string"}}});
    strings_only.insert(strings_only.end(), s.begin(), s.end());
    put("resource_block", "strings", strings_only);
    Bytes module{1};
    const Bytes elf = elf_with_section(bytes);
    module.insert(module.end(), elf.begin(), elf.end());
    put("resource_block", "module", module);
}

// ---- texts ----------------------------------------------------------------------------------
void text_seeds() {
    put_text("language", "crlf", "Tolm\r\n\xCA\xE0\xEC\xE5\xF0\xE0\r\n\r\nExit\r\n");
    put_text("language", "mixed", "one\ntwo\rthree\r\n\rlast");
    put_text("profile", "sections",
             "; comment\n[Drivers]\nmsvideo = tarvovfw0.dll\nwave=\"quoted\"\n\n"
             "[ Other ]\n  count = -12x \nempty=\n[Drivers]\nlate=1\n");
    put_text("profile", "crlf", "[boot]\r\nshell=explorer.exe\r\n[x]\r\nn='7'\r\n");
    put_text("machine_config", "two-boards",
             "; two boards\n[Machine]\nbridge = 0\nbridge_dword50 = 0x10\npll_lock_ms = 5\n"
             "crosspoint_busy_ms = 2\n\n[board1]\nchips = 0x036E, 0x036F\nrevision = 0x12\n"
             "relay_address = 0x72   ; alternative\nsensor_address = 0x75\nrelay_bus = 2\n\n"
             "[camera1.3]\nconnected = 0\n[camera2.16]\nlines = 525\n"
             "object = 1000, 5000, 100, 200, 150, 150, 800, 200\nobject = 0, 10, 1, 2, 3, 4\n\n"
             "[board2]\nchips = 0x0350\n\n[faults]\ni2c_nack = 3, 2\nerror_bits = 1, 0x4000\n");
    put_text("machine_config", "faults",
             "[machine]\nboards = 1\n[board1]\nchips = 0x036E\n[faults]\ni2c_hang = 1\n");
}

} // namespace

// ---- packet and reassembly: packets the link writes --------------------------------------
Bytes packet_of(const std::vector<Bytes>& records) {
    Bytes p = station::PacketHeader(1018);
    for (const Bytes& r : records) {
        p.insert(p.end(), r.begin(), r.end());
    }
    const auto n = static_cast<std::uint32_t>(p.size());
    for (int i = 0; i < 4; ++i) {
        p[std::size_t(i)] = std::uint8_t(n >> (8 * i));
    }
    return p;
}

void network_seeds() {
    // A camera frame of 8-bit 16 x 8 pixels full of sync bytes.
    Bytes header(40, 0);
    header[0] = 40;
    header[4] = 16;
    header[8] = 8;
    header[12] = 1;
    header[14] = 8;
    const Bytes pixels(16 * 8, 0xA5);
    const Bytes name = {'C', 'a', 'm'};
    station::CameraFrameRecord frame;
    frame.Camera = 2;
    frame.Name = name;
    frame.Header = header;
    frame.Picture = pixels;
    station::ArchRequestRecord request;
    request.Mode = 3;
    request.Percent = 50;
    request.Filters.request.fill(true);
    Bytes answer = {0xFF, 0xFF, 7, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<Bytes> all = {
        station::EncodeSubscription({3, 1, 1, 1, 75}), station::EncodeCameraFrame(frame),
        station::EncodeArchRequest(request),           station::EncodeArchAnswer(answer),
        station::EncodeMonitorSwitch({5, 2}),          station::EncodeKeepAlive()};
    const Bytes packet = packet_of(all);
    Bytes raw = {0};
    raw.insert(raw.end(), packet.begin(), packet.end());
    put("packet", "every_record", raw);
    Bytes framed = {1};
    for (const Bytes& r : all) {
        framed.insert(framed.end(), r.begin(), r.end());
    }
    put("packet", "records_framed", framed);
    put("packet", "keep_alive",
        Bytes{0x00, 0x0E, 0, 0, 0, 0xA5, 0xA5, 0xA5, 0xA5, 0xFA, 3, 0, 0, 0, 0});

    Bytes stream = {7, 0xA5, 0xA5, 0x01};
    for (int i = 0; i < 3; ++i) {
        stream.insert(stream.end(), packet.begin(), packet.end());
        stream.insert(stream.end(), {0x00, 0xA5, 0xA5, 0xA5});
    }
    put("reassembly", "three_packets_with_junk", stream);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
        return 2;
    }
    g_root = argv[1];
    settings_seeds();
    archive_seeds();
    wav_seeds();
    registry_seeds();
    resource_seeds();
    text_seeds();
    configuration_seeds();
    network_seeds();
    return 0;
}
