// The four capture windows, one per capture driver index 0 to 3 (chip k uses index k - 1), and
// their callbacks. Start-up creates and connects them; the hand-off drives them through the
// CapturePort calls. The callbacks reach the hand-off the windows were created for.
#pragma once

#include "base/limits.h"
#include "live_ports.h"

#include <vfw/capture.h>

#include <array>
#include <cstdint>
#include <vector>

namespace station {

class FrameHandoff;

class CaptureWindows : public CapturePort {
public:
    CaptureWindows() = default;
    ~CaptureWindows() override;
    CaptureWindows(const CaptureWindows&) = delete;
    CaptureWindows& operator=(const CaptureWindows&) = delete;

    // Creates the four windows (empty title, child, visible, border; size 0; id 0); their
    // callbacks go to `handoff`.
    void Create(HWND parent, FrameHandoff& handoff);
    // Sets the three callbacks of chip k's window, connects driver index k - 1 and writes the
    // sequence set-up (66667 us per frame, 100 % drop for error, yield, 4 buffers, no audio, no
    // abort key or mouse, no time limit). True when the driver connected.
    bool Connect(int k);
    // Overlay off, stop, disconnect.
    void Disconnect(int k);
    HWND Window(int k) const { return windows_[static_cast<std::size_t>(k)]; }
    // The capture format of chip k as the window reports it (size query, then fetch); empty
    // when it reports none.
    std::vector<std::uint8_t> ReadVideoFormat(int k);

    bool GetStatus(int k, CaptureStatusInfo& status) override;
    void SetPreview(int k, bool on) override;
    void SetOverlay(int k, bool on) override;
    void SequenceNoFile(int k) override;
    void Stop(int k) override;
    void DlgVideoFormat(int k) override;
    void DlgVideoSource(int k) override;
    // Writable committed memory (VirtualQuery) whose descriptors list `buffer`.
    bool IsMappedFrameTable(int k, std::uintptr_t address, std::uintptr_t buffer) override;
    HWND ErrorOwner(int k) const override { return ValidChip(k) ? Window(k) : nullptr; }

private:
    FrameHandoff* handoff_ = nullptr;
    std::array<HWND, kChipCount + 1> windows_{};
};

} // namespace station
