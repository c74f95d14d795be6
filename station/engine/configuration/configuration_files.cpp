#include "configuration_files.h"

#include "chanel_params_window.h"
#include "live/chanel_window.h"
#include "base/program_dir.h"

#include <optional>

namespace station {
namespace {

bool valid_conf(int n) {
    return n >= 1 && n <= kConfigurationCount;
}

bool valid_slot(int m) {
    return m >= 1 && m <= kSlotCount;
}

// The file's bytes when the numbers are valid and the file is there.
std::optional<std::vector<std::uint8_t>> read_file(const BaseState& base, bool valid,
                                                   const std::string& name) {
    if (!valid) {
        return std::nullopt;
    }
    return ReadProgramFile(base, name);
}

bool write_file(const BaseState& base, bool valid, const std::string& name,
                const std::vector<std::uint8_t>& bytes) {
    return valid && ReplaceProgramFile(base, name, bytes);
}

std::string pair_name(char kind, int n, int m) {
    return "p" + std::to_string(n) + kind + std::to_string(m) + ".pdt";
}

} // namespace

std::string ChannelSetFileName(int n) {
    return "nch" + std::to_string(n) + ".pdt";
}

std::string ConfMainFileName(int n) {
    return "per" + std::to_string(n) + ".pdt";
}

std::string ChanelParamsFileName(int n, int m) {
    return pair_name('c', n, m);
}

std::string ChanelPointsFileName(int n, int m) {
    return pair_name('t', n, m);
}

ChannelSet ReadChannelSetFile(const BaseState& base, int n) {
    const auto bytes = read_file(base, valid_conf(n), ChannelSetFileName(n));
    return bytes ? DecodeChannelSet(*bytes) : ChannelSet{};
}

bool WriteChannelSetFile(const BaseState& base, int n, const ChannelSet& set) {
    return write_file(base, valid_conf(n), ChannelSetFileName(n), EncodeChannelSet(set));
}

ConfMain ReadConfMainFile(const BaseState& base, int n, const CameraLevels& kept) {
    const auto bytes = read_file(base, valid_conf(n), ConfMainFileName(n));
    return bytes ? DecodeConfMain(*bytes, kept, base.LangList) : DefaultConfMain(base.LangList);
}

bool WriteConfMainFile(const BaseState& base, int n, const ConfMain& conf) {
    return write_file(base, valid_conf(n), ConfMainFileName(n), EncodeConfMain(conf));
}

ChanelParams ReadChanelParamsFile(const BaseState& base, int n, int m) {
    const auto bytes = read_file(base, valid_conf(n) && valid_slot(m), ChanelParamsFileName(n, m));
    return bytes ? DecodeChanelParams(*bytes) : ChanelParams{};
}

bool WriteChanelParamsFile(const BaseState& base, int n, int m, const ChanelParams& params) {
    return write_file(base, valid_conf(n) && valid_slot(m), ChanelParamsFileName(n, m),
                      EncodeChanelParams(params));
}

ChanelPoints ReadChanelPointsFile(const BaseState& base, int n, int m) {
    const auto bytes = read_file(base, valid_conf(n) && valid_slot(m), ChanelPointsFileName(n, m));
    return bytes ? DecodeChanelPoints(*bytes) : ChanelPoints{};
}

bool WriteChanelPointsFile(const BaseState& base, int n, int m, const ChanelPoints& points) {
    return write_file(base, valid_conf(n) && valid_slot(m), ChanelPointsFileName(n, m),
                      EncodeChanelPoints(points));
}

ChanelParams LoadChanelWindowFiles(const BaseState& base, int n, int m, ChanelWindow& window) {
    const ChanelParams params = ReadChanelParamsFile(base, n, m);
    ApplyChanelParams(params, window);
    if (params.PointCount > 0) {
        ApplyChanelPoints(ReadChanelPointsFile(base, n, m), window);
    }
    return params;
}

bool SaveChanelWindowFiles(const BaseState& base, int n, int m, const ChanelWindow& window,
                           const WindowPlace& place) {
    const ChanelParams params = CollectChanelParams(window, place);
    if (!WriteChanelParamsFile(base, n, m, params)) {
        return false;
    }
    return params.PointCount <= 0 || WriteChanelPointsFile(base, n, m, CollectChanelPoints(window));
}

} // namespace station
