// Shared pieces of the configuration tests: sample values unlike every default, and the file
// layouts written out by hand (with the offsets of named fields, for cutting and patching).
#pragma once

#include "configuration/chanel_params.h"
#include "configuration/conf_main.h"
#include "program_dir_fixture.h"

#include <map>
#include <string>

namespace station::test {

// Bytes with the offsets of the fields marked while writing.
struct LayoutBytes {
    Bytes bytes;
    std::map<std::string, std::size_t> at;

    LayoutBytes& mark(const std::string& field) {
        at[field] = bytes.get().size();
        return *this;
    }
    std::vector<std::uint8_t> cut(const std::string& field, std::size_t extra) const;
    std::vector<std::uint8_t> patched(const std::string& field, std::size_t extra,
                                      std::int32_t value) const;
};

// Every field differs from its default; the SigmaFactor is 4.5.
ChanelParams SampleParams();
// Every field differs from its default; AutoGain is off on boards 1 and 3, on for 2 and 4.
ConfMain SampleMain();

// The levels of `c`, as loading keeps them for pairs with AutoGain on.
CameraLevels ConfLevels(const ConfMain& c);

// "p<N>c<M>" as the layout describes it, with `sigma` as the SigmaFactor text. Marked: each
// gated group by its first field name, "LiveVideo", "CamNumber", "PointCount", "SoundFile",
// "SigmaFactor".
LayoutBytes WindowFile(const ChanelParams& p, const std::string& sigma, std::int32_t version = 26);
// "per<N>" as the layout describes it. Marked: "camera<c>" (c = 1..16), "SystemFiltr",
// "NotchOff", "ReportFlags", "ReportDays", "picture", "SwitchDelay", "PciFix".
LayoutBytes MainFile(const ConfMain& c, std::int32_t version = 26);

} // namespace station::test
