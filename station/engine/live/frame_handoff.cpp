#include "frame_handoff.h"

#include "chanel_window.h"

#include "base/message_boxes.h"

#include <win32/sysinfo.h>
#include <win32/dialogs.h>
#include <win32/synch.h>

#include <algorithm>
#include <cstring>

namespace station {

namespace {

constexpr int kRightFormat = 12;
constexpr int kRightSource = 13;

// Bytes of the ramp that fit the last stored row.
std::size_t ramp_bytes(const FrameFormat& f) {
    return static_cast<std::size_t>(std::min<std::int64_t>(kSentinelBytes, FrameRowBytes(f)));
}

std::size_t ramp_offset(const FrameFormat& f) {
    return static_cast<std::size_t>(static_cast<std::int64_t>(f.Height - 1) * FrameRowBytes(f));
}

} // namespace

LiveTables::LiveTables() {
    for (int k = 1; k <= kChipCount; ++k) {
        for (int c = 1; c <= kCameraCount; ++c) {
            AdcRange[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] = 20;
            AutoGain[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] = true;
        }
    }
    for (int c = 1; c <= kCameraCount; ++c) {
        CamPriority[static_cast<std::size_t>(c)] = c;
    }
}

FrameHandoff::FrameHandoff(CapturePort& capture, BoardPort& board, RemotePort& remotes,
                           MenuPort& menus, LiveTables& tables, ChanelSlots& slots,
                           LiveCounters& counters)
    : capture_(capture), board_(board), tables_(tables), slots_(slots), counters_(counters),
      remotes_(remotes), menus_(menus) {
    for (int k = 1; k <= kChipCount; ++k) {
        ResetChip(k);
    }
}

void FrameHandoff::ResetChip(int k) {
    ChipCapture& chip = Chip(k);
    chip.FrameTables.store(0, std::memory_order_release);
    chip.CurrentCamera = 1;
    chip.LastSwitchTick = GetTickCount();
    chip.BufferCamera.fill(0);
    chip.BufferSkipped.fill(false);
    chip.StartSkipCount = kStartSkipFrames;
    chip.ChipPresent = false;
    chip.ChipRunning.store(false);
    chip.StartPending.store(false);
}

void FrameHandoff::SetCaptureFormat(int k, std::span<const std::uint8_t> header) {
    if (!ValidChip(k)) {
        return;
    }
    ChipCapture& chip = Chip(k);
    chip.FormatHeader.assign(header.begin(), header.end());
    chip.Format = ParseFrameFormat(header);
}

void FrameHandoff::timers_changed() {
    if (OnTimersChanged) {
        OnTimersChanged();
    }
}

// ---- Capture start and callbacks ----

void FrameHandoff::StartCaptureTimerTimer(int k) {
    if (!ValidChip(k)) {
        return;
    }
    ChipCapture& chip = Chip(k);
    chip.StartCaptureTimerEnabled = false;
    timers_changed();
    if (!chip.DriverConnected) {
        return;
    }
    capture_.SetPreview(k, false);
    capture_.SetOverlay(k, false);
    chip.StartSkipCount = kStartSkipFrames;
    chip.FrameCursor = 0;
    chip.BufferSkipped.fill(false);
    if (board_.BoardControlOn()) {
        board_.TakeWatchdogSnapshot(k);
    }
    chip.StartPending.store(true, std::memory_order_release);
    capture_.SequenceNoFile(k);
}

int FrameHandoff::CaptureStreamCallback(int k, std::uintptr_t tableWord, std::uintptr_t buffer) {
    if (ProgramClosing.load(std::memory_order_acquire) || !ValidChip(k)) {
        return 0;
    }
    ChipCapture& chip = Chip(k);
    // The word is the table's address only in the driver's later answers: 0 keeps the table
    // known, and anything but the chip's mapped table is never taken (the known table is not
    // checked again).
    if (tableWord != 0 && tableWord != chip.FrameTables.load(std::memory_order_acquire) &&
        capture_.IsMappedFrameTable(k, tableWord, buffer)) {
        chip.FrameTables.store(tableWord, std::memory_order_release);
    }
    bool pending = true;
    if (chip.StartPending.compare_exchange_strong(pending, false, std::memory_order_acq_rel)) {
        chip.ChipRunning.store(true, std::memory_order_release);
    }
    Sleep(1);
    return 0;
}

int FrameHandoff::CaptureErrorCallback(int k, int id, std::string text) {
    if (id == 0) {
        return 1;
    }
    {
        std::lock_guard<std::mutex> lock(errors_lock_);
        errors_.emplace_back(k, std::move(text));
    }
    if (OnCaptureError) {
        OnCaptureError();
    }
    return 0;
}

void FrameHandoff::ShowCaptureErrors() {
    std::vector<std::pair<int, std::string>> pending;
    {
        std::lock_guard<std::mutex> lock(errors_lock_);
        pending.swap(errors_);
    }
    for (const auto& [k, text] : pending) {
        StationMessageBox(capture_.ErrorOwner(k), text.c_str(), "Error", MB_ICONWARNING);
    }
}

void FrameHandoff::ReadCaptureStatus(int k) {
    ChipCapture& chip = Chip(k);
    if (!chip.DriverConnected) {
        return;
    }
    CaptureStatusInfo status;
    if (capture_.GetStatus(k, status)) {
        chip.Status = status;
    }
}

// ---- The sentinel ramp ----

FrameDescriptor* FrameHandoff::table(int k) const {
    return reinterpret_cast<FrameDescriptor*>(Chip(k).FrameTables.load(std::memory_order_acquire));
}

std::uint8_t* FrameHandoff::buffer(int k, int i) const {
    FrameDescriptor* t = table(k);
    if (t == nullptr || i < 0 || i >= kFrameTableSize) {
        return nullptr;
    }
    return reinterpret_cast<std::uint8_t*>(t[i].BufferAddress);
}

std::size_t FrameHandoff::frame_bytes(int k) const {
    const FrameFormat& f = Chip(k).Format;
    if (!FrameFormatKnown(f)) {
        return 0;
    }
    return static_cast<std::size_t>(FrameRowBytes(f) * f.Height);
}

bool FrameHandoff::MarkFrameBuffer(int k, int i) {
    std::uint8_t* p = buffer(k, i);
    const FrameFormat& f = Chip(k).Format;
    if (p == nullptr || !FrameFormatKnown(f)) {
        return false;
    }
    std::uint8_t* ramp = p + ramp_offset(f);
    const std::size_t n = ramp_bytes(f);
    for (std::size_t b = 0; b < n; ++b) {
        ramp[b] = static_cast<std::uint8_t>(b);
    }
    return true;
}

bool FrameHandoff::FrameBufferUntouched(int k, int i) const {
    const std::uint8_t* p = buffer(k, i);
    const FrameFormat& f = Chip(k).Format;
    if (p == nullptr || !FrameFormatKnown(f)) {
        return false;
    }
    const std::uint8_t* ramp = p + ramp_offset(f);
    const std::size_t n = ramp_bytes(f);
    for (std::size_t b = 0; b < n; ++b) {
        if (ramp[b] != static_cast<std::uint8_t>(b)) {
            return false;
        }
    }
    return true;
}

// ---- The frame poll ----

bool FrameHandoff::camera_wanted(int k, int camera) const {
    for (int s = 1; s <= kSlotCount; ++s) {
        if (const ChanelWindow* w = slots_.Used(s)) {
            if (w->CamNumber == camera && w->ChNumber == k) {
                return true;
            }
        }
    }
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        if (remotes_.Exists(n) && remotes_.Subscribed(n, k, camera)) {
            return true;
        }
    }
    return false;
}

bool FrameHandoff::chip_has_consumer(int k) const {
    for (int s = 1; s <= kSlotCount; ++s) {
        if (const ChanelWindow* w = slots_.Used(s)) {
            if (w->RemNumber == 0 && w->ChNumber == k) {
                return true;
            }
        }
    }
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        if (!remotes_.Exists(n)) {
            continue;
        }
        for (int c = 1; c <= kCameraCount; ++c) {
            if (remotes_.Subscribed(n, k, c)) {
                return true;
            }
        }
    }
    return false;
}

void FrameHandoff::switch_camera(int k, int c) {
    ChipCapture& chip = Chip(k);
    if (chip_has_consumer(k)) {
        // At most one round: a camera nobody names (a damaged window field) ends it.
        int next = c;
        for (int step = 0; step < kCameraCount; ++step) {
            next = next % kCameraCount + 1;
            if (camera_wanted(k, next)) {
                break;
            }
        }
        chip.CurrentCamera = next;
    }
    const auto cur = static_cast<std::size_t>(chip.CurrentCamera);
    board_.WriteCameraLevel(tables_.AdcRange[static_cast<std::size_t>(k)][cur], k);
    board_.SwitchCaptureMux(k, chip.CurrentCamera, chip.CurrentCamera != c);
    if (board_.BoardControlOn()) {
        board_.SetSaturation(tables_.CamSat[cur], k);
        board_.SetHue(tables_.CamHue[cur], k);
    }
    chip.LastSwitchTick = GetTickCount();
}

void FrameHandoff::hand_back(int k, int i) {
    ChipCapture& chip = Chip(k);
    FrameDescriptor& d = table(k)[i];
    MarkFrameBuffer(k, i);
    chip.BufferCamera[static_cast<std::size_t>(i)] = 0;
    chip.BufferSkipped[static_cast<std::size_t>(i)] = false;
    d.Error = 0;
    // Last: the buffer belongs to the chip again.
    StoreReady(d, 0);
    const auto n = static_cast<std::int32_t>(
        std::min<std::uint32_t>(chip.Status.VideoAllocated, kFrameTableSize));
    chip.FrameCursor = chip.FrameCursor + 1 >= n ? 0 : chip.FrameCursor + 1;
}

void FrameHandoff::bad_frame(int k, int c) {
    ChipCapture& chip = Chip(k);
    auto& run = chip.BadFrameRun[static_cast<std::size_t>(c)];
    ++run;
    if (run > 3) {
        auto& level = tables_.AdcRange[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
        if (tables_.AutoGain[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)]) {
            board_.RecordLevelStep(k, c, -1);
            level = std::clamp(level - 1, 0, 63);
        }
        board_.WriteCameraLevel(level, k);
        run = 0;
    }
}

void FrameHandoff::dispatch(int k, int i, int c, bool switched) {
    ChipCapture& chip = Chip(k);
    const int a = chip.BufferCamera[static_cast<std::size_t>(i)];
    chip.BadFrameRun[static_cast<std::size_t>(c)] = 0;
    const FrameFormat& f = chip.Format;
    const std::size_t bytes = frame_bytes(k);
    std::uint8_t* pixels = buffer(k, i);
    if (bytes == 0 || pixels == nullptr) {
        return; // a format the station does not read: handed back unused
    }
    if ((f.Width == 384 && f.Height == 288) || (f.Width == 192 && f.Height == 144)) {
        board_.SetVerticalFilter(k);
    }
    board_.SetLumaNotch(k);
    if (!ValidCamera(a)) {
        return;
    }
    const auto ka = static_cast<std::size_t>(k);
    const auto aa = static_cast<std::size_t>(a);
    if (!switched) {
        if (++chip.AutoLevelCount > 3) {
            chip.AutoLevelCount = 0;
            if (tables_.AutoGain[ka][aa]) {
                board_.AutoLevelCamera(k, a, f, pixels);
            }
        }
    } else if (tables_.AutoGain[ka][aa]) {
        board_.AutoLevelCamera(k, a, f, pixels);
    }
    if (mes_ != nullptr) {
        mes_->BufCursorMarks[ka][static_cast<std::size_t>(i)] = 1;
        mes_->IntervalProcess(a, k);
    }
    if (chip.StartSkipCount >= 1) {
        --chip.StartSkipCount;
        return;
    }
    chip.RemAlarmFlags[aa] = 0;
    const std::span<const std::uint8_t> header(chip.FormatHeader);
    // Writable: recording burns its marks into the frame (later windows and the remote copy
    // carry them).
    const std::span<std::uint8_t> frame(pixels, bytes);
    for (int s = 1; s <= kSlotCount; ++s) {
        ChanelWindow* w = slots_.Used(s);
        if (w != nullptr && w->CamNumber == a && w->RemNumber == 0 && w->ChNumber == k) {
            w->TakeLocalFrame(header, frame);
        }
    }
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        if (!remotes_.Exists(n) || !remotes_.Subscribed(n, k, a)) {
            continue;
        }
        FrameCopy& copy = chip.FrameCopies[aa];
        if (!copy.Pending) {
            // The chip's own header, and the bytes the frame really has in its format.
            copy.Header = chip.FormatHeader;
            copy.Pixels.assign(frame.begin(), frame.end());
            copy.Width = static_cast<std::int16_t>(f.Width);
            copy.Height = static_cast<std::int16_t>(f.Height);
            copy.Pending = true;
        }
        break;
    }
}

void FrameHandoff::VideoProcess() {
    for (int k = 1; k <= kChipCount; ++k) {
        if (ProgramClosing.load(std::memory_order_acquire)) {
            return;
        }
        ChipCapture& chip = Chip(k);
        FrameDescriptor* t = table(k);
        if (t == nullptr) {
            continue;
        }
        ReadCaptureStatus(k);
        if (!chip.Status.CapturingNow || !chip.ChipRunning.load(std::memory_order_acquire)) {
            continue;
        }
        const int n =
            static_cast<int>(std::min<std::uint32_t>(chip.Status.VideoAllocated, kFrameTableSize));
        std::uint32_t now = GetTickCount();
        if (now < chip.LastSwitchTick) {
            chip.LastSwitchTick = now;
        }
        if (!ValidCamera(chip.CurrentCamera)) {
            chip.CurrentCamera = 1;
        }
        const auto ka = static_cast<std::size_t>(k);
        const std::int32_t delay = tables_.SwitchDelay[ka];

        // 1. The newest filled frame captured after the switch delay.
        int winner = -1;
        std::int32_t winnerAge = 0;
        for (int i = 0; i < n; ++i) {
            FrameDescriptor& d = t[i];
            const auto si = static_cast<std::size_t>(i);
            if (LoadReady(d) == 0 || d.Error != 0 || chip.BufferCamera[si] != 0 ||
                chip.BufferSkipped[si]) {
                continue;
            }
            if (FrameBufferUntouched(k, i)) {
                d.Error = 1;
                CountLive(counters_.EmptyFrameCount);
                continue;
            }
            const auto age = static_cast<std::int32_t>(d.CaptureTime - chip.LastSwitchTick);
            if (age > delay && (winner < 0 || age > winnerAge)) {
                winner = i;
                winnerAge = age;
            }
        }

        // 2. The winner belongs to the camera the chip served; only then the chip moves on.
        const int c = chip.CurrentCamera;
        if (winner >= 0) {
            chip.BufferCamera[static_cast<std::size_t>(winner)] = c;
            switch_camera(k, c);
        }
        const bool switched = chip.CurrentCamera != c;

        // 3. Every other ready frame is passed over.
        for (int i = 0; i < n; ++i) {
            FrameDescriptor& d = t[i];
            const auto si = static_cast<std::size_t>(i);
            if (LoadReady(d) != 0 && d.Error == 0 && chip.BufferCamera[si] == 0) {
                d.CaptureTime = 0;
                chip.BufferSkipped[si] = true;
            }
        }

        if (n == 0) {
            continue;
        }
        if (chip.FrameCursor < 0 || chip.FrameCursor >= n) {
            chip.FrameCursor = 0;
        }
        const int i = chip.FrameCursor;
        FrameDescriptor& d = t[i];

        // 4. The buffer states for the diagnostics window.
        if (mes_ != nullptr) {
            for (int b = 0; b < n; ++b) {
                const bool ready = LoadReady(t[b]) != 0;
                mes_->BufStates[ka][static_cast<std::size_t>(b)] =
                    ready ? (t[b].Error != 0 ? kBufBad : kBufReady) : kBufWithChip;
                mes_->BufCursorMarks[ka][static_cast<std::size_t>(b)] = 0;
            }
            if (LoadReady(d) != 0 && d.Error != 0) {
                mes_->InvalidateBufGrid();
            }
        }

        // 5. The frame at the cursor goes to its consumers and back to the chip.
        if (LoadReady(d) == 0) {
            continue;
        }
        if (mes_ != nullptr) {
            mes_->SetErrorWord(d.Error);
        }
        if (d.Error != 0) {
            hand_back(k, i);
            bad_frame(k, c);
            continue;
        }
        if (chip.BufferCamera[static_cast<std::size_t>(i)] != 0) {
            dispatch(k, i, c, switched);
        }
        hand_back(k, i);
    }
}

void FrameHandoff::FreeFrameCopies() {
    for (int k = 1; k <= kChipCount; ++k) {
        for (FrameCopy& copy : Chip(k).FrameCopies) {
            if (copy.Pending) {
                copy = FrameCopy{};
            }
        }
    }
}

// ---- Format and source dialogs ----

void FrameHandoff::stop_for_dialog(int k, DialogTimer which) {
    if (!ValidChip(k) || !Chip(k).DriverConnected) {
        return;
    }
    if (which == DialogTimer::Format) {
        menus_.EnableResMenu(false);
        menus_.EnableResItem(k, false);
    } else {
        menus_.EnableSoerceMenu(false);
        menus_.EnableSoerceItem(k, false);
    }
    ChipCapture& chip = Chip(k);
    chip.ChipRunning.store(false);
    chip.StartPending.store(false);
    capture_.Stop(k);
    chip.DialogTimerActive = which;
    timers_changed();
}

void FrameHandoff::ResMenuItemClick(int k) {
    stop_for_dialog(k, DialogTimer::Format);
}

void FrameHandoff::SoerceMenuItemClick(int k) {
    stop_for_dialog(k, DialogTimer::Source);
}

void FrameHandoff::DialogTimerTimer(int k) {
    if (!ValidChip(k)) {
        return;
    }
    ChipCapture& chip = Chip(k);
    const DialogTimer which = chip.DialogTimerActive;
    if (which == DialogTimer::None) {
        return;
    }
    ReadCaptureStatus(k);
    if (chip.Status.CapturingNow) {
        return;
    }
    chip.DialogTimerActive = DialogTimer::None;
    timers_changed();
    ++driver_dialogs_;
    chip.DialogOpen = which;
    if (which == DialogTimer::Format) {
        capture_.DlgVideoFormat(k);
    } else {
        capture_.DlgVideoSource(k);
    }
    chip.DialogOpen = DialogTimer::None;
    if (which == DialogTimer::Format) {
        const bool on = menus_.QuerryStatus(kRightFormat);
        menus_.EnableResMenu(on);
        menus_.EnableResItem(k, on);
    } else {
        const bool on = menus_.QuerryStatus(kRightSource);
        menus_.EnableSoerceMenu(on);
        menus_.EnableSoerceItem(k, on);
    }
    --driver_dialogs_;
    if (ReadCaptureFormat) {
        ReadCaptureFormat(k);
    }
    chip.StartCaptureTimerEnabled = true;
    timers_changed();
}

} // namespace station
