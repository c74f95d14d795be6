// The live engine's part of start-up and shut-down: the capture windows created, connected and
// their formats read (first stage), the present chips started (second stage), and the drivers
// stopped and disconnected at the close.
#pragma once

#include "capture_windows.h"
#include "live_station.h"

#include <functional>

namespace station {

// ReadCaptureFormat (chip k): the chip's format as its capture window reports it; with board
// control on, `readColourFormat` (decoder register 0xD4) runs as well.
void ReadCaptureFormat(LiveStation& live, CaptureWindows& windows, int k,
                       const std::function<void(int k)>& readColourFormat = {});

// First stage: creates the four windows under `parent`, connects each chip (a failed
// connection only leaves the chip out) and reads the format of every connected chip. The
// hand-off's dialogs re-read formats through the same call.
void ConnectCaptureChips(LiveStation& live, CaptureWindows& windows, HWND parent);

// Second stage: ChipPresent := DriverConnected for every chip. True when any chip is present.
bool TakePresentChips(LiveStation& live);
// Second stage, last step: the capture start of every present chip.
void StartPresentChips(LiveStation& live);

// Close: capture stopped (both flags cleared) and every connected driver disconnected.
void DisconnectCaptureChips(LiveStation& live, CaptureWindows& windows);

} // namespace station
