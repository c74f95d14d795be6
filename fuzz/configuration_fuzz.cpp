// The stored-configuration decoders and the schedule: the first byte picks the file, the rest
// is its content. What a decoder takes in must encode and decode back the same (a SigmaFactor
// text is rounded to two decimals once); the schedule, loaded from "cnf.pdt" with a local
// time from the next five bytes, must choose a configuration whose entry is valid.
#include "fuzz_target.h"

#include "configuration/channel_set.h"
#include "configuration/chanel_params.h"
#include "configuration/chanel_points.h"
#include "configuration/conf_main.h"
#include "configuration/conf_schedule.h"
#include "base/program_dir.h"
#include "settings/settings_files.h"

#include <cmath>

namespace {

// The program folder (a scratch folder) and the language texts (none).
station::BaseState base;

using Bytes = std::span<const std::uint8_t>;

void channel_set(Bytes b) {
    const station::ChannelSet set = station::DecodeChannelSet(b);
    if (station::DecodeChannelSet(station::EncodeChannelSet(set)) != set) {
        fuzz::fail("slot file does not read back");
    }
}

void conf_main(Bytes b) {
    station::CameraLevels kept{};
    for (auto& camera : kept) {
        camera.fill(20);
    }
    const station::ConfMain conf = station::DecodeConfMain(b, kept, base.LangList);
    if (station::DecodeConfMain(station::EncodeConfMain(conf), kept, base.LangList) != conf) {
        fuzz::fail("main file does not read back");
    }
}

void chanel_params(Bytes b) {
    const station::ChanelParams first = station::DecodeChanelParams(b);
    station::ChanelParams again = station::DecodeChanelParams(station::EncodeChanelParams(first));
    if (!(std::abs(again.SigmaFactor - first.SigmaFactor) <= 0.005 + 1e-9)) {
        fuzz::fail("SigmaFactor moves by more than its rounding");
    }
    const station::ChanelParams stable =
        station::DecodeChanelParams(station::EncodeChanelParams(again));
    again.SigmaFactor = first.SigmaFactor;
    if (again != first ||
        station::DecodeChanelParams(station::EncodeChanelParams(stable)) != stable) {
        fuzz::fail("window file does not read back");
    }
}

void chanel_points(Bytes b) {
    const station::ChanelPoints points = station::DecodeChanelPoints(b);
    if (station::DecodeChanelPoints(station::EncodeChanelPoints(points)) != points) {
        fuzz::fail("points file does not read back");
    }
}

void schedule(fuzz::InputReader& in) {
    station::LocalDateTime now;
    now.year = 2000 + in.byte() % 40;
    now.month = 1 + in.byte() % 12;
    now.day = 1 + in.byte() % 28;
    now.hour = in.byte() % 24;
    now.minute = in.byte() % 60;
    fuzz::write_file(fuzz::scratch_dir() / "cnf.pdt", in.rest());
    station::SettingsState settings;
    station::LoadConfTable(base, settings);
    const auto& table = settings.ConfSchedule;
    const int chosen = station::ScheduledConfig(table, now);
    if (chosen < 1 || chosen > station::kConfigurationCount) {
        fuzz::fail("scheduled configuration out of range");
    }
    // The chosen entry applies today with a time of day the pickers can show (no negative
    // distance); 1 may also be the choice of an empty schedule.
    const auto& entry = table[chosen - 1];
    const bool applies = station::ScheduleEntryApplies(entry, now);
    if ((chosen != 1 && !applies) ||
        (applies && (entry.Hour < 0 || entry.Hour > 23 || entry.Minute < 0 || entry.Minute > 59))) {
        fuzz::fail("the schedule chose an entry it must not");
    }
    const auto due = station::ScheduleCheck(table, 0, now);
    if (due && (!station::ScheduleEntryApplies(table[*due - 1], now) ||
                table[*due - 1].Hour != now.hour || table[*due - 1].Minute != now.minute)) {
        fuzz::fail("the check chose an entry that does not start now");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = [] {
        station::SetProgramDir(base, fuzz::scratch_dir().string());
        return true;
    }();
    (void)once;
    fuzz::InputReader in(data, size);
    switch (in.byte() % 5) {
    case 0:
        channel_set(in.rest());
        break;
    case 1:
        conf_main(in.rest());
        break;
    case 2:
        chanel_params(in.rest());
        break;
    case 3:
        chanel_points(in.rest());
        break;
    default:
        schedule(in);
        break;
    }
    return 0;
}
