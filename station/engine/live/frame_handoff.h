// The capture hand-off: per chip, the capture start, the capture layer's callbacks, and the
// 1 ms poll of the chip's frame-descriptor table (VideoProcess) that picks the newest usable
// frame, switches the chip to the next camera somebody needs, gives the frame to the camera
// windows of its camera and copies it once for the remote stations, then hands the buffer
// back. Also the format and source dialogs of the capture driver.
#pragma once

#include "chanel_slots.h"
#include "diagnostics.h"
#include "frame_descriptor.h"
#include "base/frame_pixels.h"
#include "base/limits.h"
#include "live_ports.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace station {

inline constexpr std::int32_t kStartSkipFrames = 8;

// The one pending copy of a camera's frame for the subscribed remote stations.
struct FrameCopy {
    bool Pending = false;
    std::vector<std::uint8_t> Header;
    std::vector<std::uint8_t> Pixels;
    std::int16_t Width = 0;
    std::int16_t Height = 0;
};

// Timers the main form runs for the hand-off.
enum class DialogTimer { None, Format, Source };

struct ChipCapture {
    // Shared with the capture layer's thread.
    std::atomic<std::uintptr_t> FrameTables{0};
    std::atomic<bool> StartPending{false};
    std::atomic<bool> ChipRunning{false};

    // GUI thread only.
    bool DriverConnected = false;
    bool ChipPresent = false;
    CaptureStatusInfo Status;
    std::vector<std::uint8_t> FormatHeader; // the chip's capture format, as fetched
    FrameFormat Format;
    std::int32_t FrameCursor = 0;
    std::int32_t StartSkipCount = kStartSkipFrames;
    std::int32_t CurrentCamera = 1;
    std::uint32_t LastSwitchTick = 0;
    std::array<std::int32_t, kFrameTableSize> BufferCamera{};
    // Ready frames the station passed over; they are never chosen and go back at the cursor.
    std::array<bool, kFrameTableSize> BufferSkipped{};
    std::array<std::int32_t, kCameraCount + 1> BadFrameRun{};
    std::int32_t AutoLevelCount = 0;
    std::array<FrameCopy, kCameraCount + 1> FrameCopies{};
    std::array<std::int16_t, kCameraCount + 1> RemAlarmFlags{};
    bool StartCaptureTimerEnabled = false;
    DialogTimer DialogTimerActive = DialogTimer::None;
    // The driver's format or source dialog on the screen.
    DialogTimer DialogOpen = DialogTimer::None;
};

class FrameHandoff {
public:
    FrameHandoff(CapturePort& capture, BoardPort& board, RemotePort& remotes, MenuPort& menus,
                 LiveTables& tables, ChanelSlots& slots, LiveCounters& counters);

    // The diagnostics window while it exists (null after its FormDestroy).
    void SetMesForm(Diagnostics* mes) { mes_ = mes; }
    Diagnostics* MesForm() const { return mes_; }

    // Chip k, 1..4.
    ChipCapture& Chip(int k) { return chips_[static_cast<std::size_t>(k)]; }
    const ChipCapture& Chip(int k) const { return chips_[static_cast<std::size_t>(k)]; }

    // Set by the close query: stops the poll, the stream callback and the capture restart.
    std::atomic<bool> ProgramClosing{false};

    // FormCreate's per-chip reset: no table, camera 1, switch tick now, no buffer assigned,
    // 8 frames to drop.
    void ResetChip(int k);
    // The chip's capture format as the capture window reported it (ReadCaptureFormat).
    void SetCaptureFormat(int k, std::span<const std::uint8_t> header);

    // ---- Capture start and the capture layer's callbacks ----
    void StartCaptureTimerTimer(int k);
    // The video-stream callback for a buffer of chip k's window; `tableWord` is the header's
    // fourth reserved word, `buffer` the header's buffer address. Any thread.
    int CaptureStreamCallback(int k, std::uintptr_t tableWord, std::uintptr_t buffer);
    // The error callback: id 0 answers 1; otherwise the driver's text is queued for a message
    // box on the GUI thread and 0 answered. Any thread.
    int CaptureErrorCallback(int k, int id, std::string text);
    // GUI thread: shows every queued driver error ("Error", warning icon).
    void ShowCaptureErrors();
    // Called (on the calling thread) when an error was queued, so the GUI can be woken.
    std::function<void()> OnCaptureError;
    // WM_CAP_GET_STATUS into the chip's status when its driver is connected.
    void ReadCaptureStatus(int k);

    // ---- The frame poll ----
    void VideoProcess();

    // ---- Format and source dialogs ----
    void ResMenuItemClick(int k);
    void SoerceMenuItemClick(int k);
    // The 100 ms dialog timer of chip k.
    void DialogTimerTimer(int k);
    // A driver dialog is open: DialogTimerTimer is inside its modal call, where events run.
    bool DriverDialogOpen() const { return driver_dialogs_ > 0; }
    // ReadCaptureFormat of chip k (start-up owns it); called after a dialog.
    std::function<void(int k)> ReadCaptureFormat;
    // Called whenever a timer of the hand-off was enabled or disabled.
    std::function<void()> OnTimersChanged;

    // ---- The sentinel ramp ----
    // Writes the ramp 0..63 into descriptor i's buffer; false when there is nothing to write.
    bool MarkFrameBuffer(int k, int i);
    // The ramp is intact: the chip wrote nothing. False without a table.
    bool FrameBufferUntouched(int k, int i) const;

    // Frees every pending remote copy (the main cycle, after the send step).
    void FreeFrameCopies();

private:
    int driver_dialogs_ = 0;

    FrameDescriptor* table(int k) const;
    std::uint8_t* buffer(int k, int i) const;
    std::size_t frame_bytes(int k) const;
    bool chip_has_consumer(int k) const;
    bool camera_wanted(int k, int camera) const;
    void switch_camera(int k, int c);
    void dispatch(int k, int i, int c, bool switched);
    void hand_back(int k, int i);
    void bad_frame(int k, int c);
    void timers_changed();
    // The menu clicks: the menus off, capture stopped, the dialog timer on.
    void stop_for_dialog(int k, DialogTimer which);

    CapturePort& capture_;
    BoardPort& board_;
    LiveTables& tables_;
    ChanelSlots& slots_;
    LiveCounters& counters_;
    RemotePort& remotes_;
    MenuPort& menus_;
    Diagnostics* mes_ = nullptr;
    std::array<ChipCapture, kChipCount + 1> chips_;

    std::mutex errors_lock_;
    std::vector<std::pair<int, std::string>> errors_; // (chip, text)
};

// Bytes of the sentinel ramp.
inline constexpr int kSentinelBytes = 64;

} // namespace station
