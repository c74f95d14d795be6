// The camera windows of a form, and camera windows opened without an operator for the
// unattended run and the tests: each goes through the main form's "AddChanel" item and is then
// pointed at one camera of one chip, as the camera settings dialog would do.
#pragma once

#include <QWidget>
#include <string_view>
#include <utility>
#include <vector>

namespace station {

class ChanelSlots;
class StationProgram;
class TFormChanel;

// The camera windows `owner` owns (not those freed and waiting for their deletion). (TFormChanel
// has no meta-object of its own, so a search of the children by that type would answer every
// widget.)
std::vector<TFormChanel*> CameraWindowsOf(const QWidget& owner);

// Frees every camera window of `owner`: each slot's entries are cleared at once, the window
// is hidden and deleted later.
void FreeCameraWindows(QWidget& owner, ChanelSlots& slots);

// A new camera window showing camera `camera` (1..16) of chip `chip` (1..4); null when no slot
// is free or the numbers are out of range.
TFormChanel* OpenCameraWindow(StationProgram& program, int chip, int camera);

// "chip:camera,chip:camera,..." as (chip, camera) pairs; a malformed or out-of-range entry is
// left out.
std::vector<std::pair<int, int>> ParseCameraList(std::string_view text);

} // namespace station
