#include "live_startup.h"

namespace station {

void ReadCaptureFormat(LiveStation& live, CaptureWindows& windows, int k,
                       const std::function<void(int k)>& readColourFormat) {
    if (!ValidChip(k)) {
        return;
    }
    live.Handoff.SetCaptureFormat(k, windows.ReadVideoFormat(k));
    if (live.Board.BoardControlOn() && readColourFormat) {
        readColourFormat(k);
    }
}

void ConnectCaptureChips(LiveStation& live, CaptureWindows& windows, HWND parent) {
    windows.Create(parent, live.Handoff);
    for (int k = 1; k <= kChipCount; ++k) {
        live.Handoff.Chip(k).DriverConnected = windows.Connect(k);
    }
    for (int k = 1; k <= kChipCount; ++k) {
        if (live.Handoff.Chip(k).DriverConnected) {
            ReadCaptureFormat(live, windows, k);
        }
    }
    live.Handoff.ReadCaptureFormat = [&live, &windows](int k) {
        ReadCaptureFormat(live, windows, k);
    };
}

bool TakePresentChips(LiveStation& live) {
    bool any = false;
    for (int k = 1; k <= kChipCount; ++k) {
        ChipCapture& chip = live.Handoff.Chip(k);
        chip.ChipPresent = chip.DriverConnected;
        any = any || chip.ChipPresent;
    }
    return any;
}

void StartPresentChips(LiveStation& live) {
    for (int k = 1; k <= kChipCount; ++k) {
        ChipCapture& chip = live.Handoff.Chip(k);
        if (chip.ChipPresent) {
            chip.StartCaptureTimerEnabled = true;
        }
    }
    if (live.Handoff.OnTimersChanged) {
        live.Handoff.OnTimersChanged();
    }
}

void DisconnectCaptureChips(LiveStation& live, CaptureWindows& windows) {
    for (int k = 1; k <= kChipCount; ++k) {
        ChipCapture& chip = live.Handoff.Chip(k);
        if (!chip.DriverConnected) {
            continue;
        }
        chip.ChipRunning.store(false);
        chip.StartPending.store(false);
        windows.Disconnect(k);
        chip.DriverConnected = false;
    }
}

} // namespace station
