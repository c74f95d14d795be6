// A camera window's stored settings and its live fields (ChanelWindow): what loading puts into
// a new window and what saving takes from it. The window's place on the screen belongs to its
// form, not to ChanelWindow: it is given to the collect and left in ChanelParams on applying.
#pragma once

#include "chanel_params.h"
#include "chanel_points.h"

namespace station {

class ChanelWindow;

// Every stored field except Place. The caption is not touched (the form builds it on showing).
void ApplyChanelParams(const ChanelParams& params, ChanelWindow& window);
ChanelParams CollectChanelParams(const ChanelWindow& window, const WindowPlace& place);

// All 10000 point pairs; PointCount is not touched.
void ApplyChanelPoints(const ChanelPoints& points, ChanelWindow& window);
ChanelPoints CollectChanelPoints(const ChanelWindow& window);

} // namespace station
