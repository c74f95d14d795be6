// The files of stored configuration N (1..99) in the program folder: "nch<N>.pdt" (used
// slots), "per<N>.pdt" (main settings), and per used slot M (1..32) "p<N>c<M>.pdt" (window
// settings) and "p<N>t<M>.pdt" (detection points); numbers in decimal without leading zeros.
// Readers never fail: a missing or unreadable file gives the defaults of its kind. Writers
// replace the file in one piece and answer false when it could not be written (the old file
// is then kept) or the numbers are out of range.
#pragma once

#include "channel_set.h"
#include "chanel_params.h"
#include "chanel_points.h"
#include "conf_main.h"
#include "base/base_state.h"
#include "settings/settings_files.h"

#include <string>

namespace station {

class ChanelWindow;

std::string ChannelSetFileName(int n);
std::string ConfMainFileName(int n);
std::string ChanelParamsFileName(int n, int m);
std::string ChanelPointsFileName(int n, int m);

ChannelSet ReadChannelSetFile(const BaseState& base, int n);
bool WriteChannelSetFile(const BaseState& base, int n, const ChannelSet& set);

// A missing file gives DefaultConfMain() (in the station's language); a present one keeps `kept`
// for pairs with AutoGain on.
ConfMain ReadConfMainFile(const BaseState& base, int n, const CameraLevels& kept);
bool WriteConfMainFile(const BaseState& base, int n, const ConfMain& conf);

ChanelParams ReadChanelParamsFile(const BaseState& base, int n, int m);
bool WriteChanelParamsFile(const BaseState& base, int n, int m, const ChanelParams& params);
ChanelPoints ReadChanelPointsFile(const BaseState& base, int n, int m);
bool WriteChanelPointsFile(const BaseState& base, int n, int m, const ChanelPoints& points);

// The window of slot m from configuration n: its settings file, then, only when its PointCount
// is above 0, its points file. Answers the settings read (their Place is for the window's form).
ChanelParams LoadChanelWindowFiles(const BaseState& base, int n, int m, ChanelWindow& window);
// The window's settings file, then, only when its PointCount is above 0, its points file (an
// older points file of a window without points is left as it is).
bool SaveChanelWindowFiles(const BaseState& base, int n, int m, const ChanelWindow& window,
                           const WindowPlace& place);

} // namespace station
