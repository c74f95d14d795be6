#include "main_cycle.h"

#include "base/local_clock.h"

#include <win32/sysinfo.h>

#include <algorithm>
#include <cstdio>

namespace station {

namespace {

constexpr int kRightFormat = 12;

std::string hex(std::int32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, static_cast<unsigned>(v));
    return buf;
}

} // namespace

std::string RegChangeLine(int k, std::int32_t address, std::int32_t old, std::int32_t now,
                          const std::string& time) {
    return "Chip " + std::to_string(k) + " Reg " + hex(address, 2) + " Value=" + hex(old, 2) +
           "-->" + hex(now, 2) + " Time " + time;
}

std::string RiscChangeLine(int k, std::int32_t address, std::int32_t old, std::int32_t now,
                           const std::string& time) {
    return "Chip " + std::to_string(k) + " RISC " + hex(address, 8) + " Value=" + hex(old, 8) +
           "-->" + hex(now, 8) + " Time " + time;
}

std::string ShortDateTimeNow(const BaseState& base) {
    const LocalDateTime t = LocalNow(base);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %d:%02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
    return buf;
}

MainCycle::MainCycle(FrameHandoff& handoff, CapturePort& capture, BoardPort& board,
                     RemotePort& remotes, MenuPort& menus, ChanelSlots& slots, LiveTables& tables,
                     const BaseState& base)
    : handoff_(handoff), capture_(capture), board_(board), slots_(slots), tables_(tables),
      remotes_(remotes), menus_(menus), base_(base) {}

void MainCycle::StartPeriods() {
    RestartTick = GetTickCount();
    RiscCheckTick = RestartTick;
}

void MainCycle::set_main_timer(bool on) {
    MainCycleTimerEnabled = on;
    if (OnTimersChanged) {
        OnTimersChanged();
    }
}

void MainCycle::set_restart_timer(bool on) {
    RestartTimerEnabled = on;
    if (OnTimersChanged) {
        OnTimersChanged();
    }
}

void MainCycle::MainCycleTimerTimer() {
    set_main_timer(false);
    CheckDecoderRegs();
    CheckRiscProgram();
    ten_minute_restart();
    handoff_.VideoProcess();
    ChooseMonitorCameras();
    board_.UpdateRelayOutputs();
    board_.ReadSensorInputs();
    windows_step();
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        if (remotes_.Exists(n)) {
            remotes_.SendTick(n);
        }
    }
    handoff_.FreeFrameCopies();
    set_main_timer(true);
}

void MainCycle::ten_minute_restart() {
    const bool on = board_.BoardControlOn();
    if (on) {
        for (int k = 1; k <= kChipCount; ++k) {
            const ChipCapture& chip = handoff_.Chip(k);
            if (chip.ChipPresent && !chip.ChipRunning.load(std::memory_order_acquire)) {
                return;
            }
        }
    }
    const std::uint32_t now = GetTickCount();
    if (now < RestartTick) {
        RestartTick = now;
    }
    if (now - RestartTick <= kRestartPeriodMs) {
        return;
    }
    RestartTick = now;
    for (int k = 1; k <= kChipCount; ++k) {
        ChipCapture& chip = handoff_.Chip(k);
        if (!chip.ChipPresent || !on) {
            continue;
        }
        menus_.EnableResMenu(false);
        menus_.EnableResItem(k, false);
        chip.ChipRunning.store(false);
        chip.StartPending.store(false);
        capture_.Stop(k);
    }
    const Diagnostics* mes = handoff_.MesForm();
    if (mes != nullptr && mes->Visible) {
        board_.Tone(3000, 50);
    }
    set_restart_timer(true);
}

bool MainCycle::restart_chip(int k) const {
    const ChipCapture& chip = handoff_.Chip(k);
    return board_.BoardControlOn() && chip.ChipPresent && chip.DriverConnected;
}

void MainCycle::RestartTimerTimer() {
    if (handoff_.ProgramClosing.load(std::memory_order_acquire)) {
        return;
    }
    for (int k = 1; k <= kChipCount; ++k) {
        if (!restart_chip(k)) {
            continue;
        }
        handoff_.ReadCaptureStatus(k);
        if (handoff_.Chip(k).Status.CapturingNow) {
            return;
        }
    }
    set_restart_timer(false);
    const bool allowed = menus_.QuerryStatus(kRightFormat);
    menus_.EnableResMenu(allowed);
    bool started = false;
    for (int k = 1; k <= kChipCount; ++k) {
        if (!restart_chip(k)) {
            continue;
        }
        board_.ResetFormat(k);
        menus_.EnableResItem(k, allowed);
        handoff_.Chip(k).StartCaptureTimerEnabled = true;
        started = true;
    }
    if (started && handoff_.OnTimersChanged) {
        handoff_.OnTimersChanged();
    }
}

void MainCycle::ChooseMonitorCameras() {
    // Only a window that is given local frames clears its wait; any other would hold the
    // choice back for good.
    for (int s = 1; s <= kSlotCount; ++s) {
        const ChanelWindow* w = slots_.Used(s);
        if (w == nullptr || w->MonWait == 0 || w->RemNumber != 0 || !ValidChip(w->ChNumber)) {
            continue;
        }
        const ChipCapture& chip = handoff_.Chip(w->ChNumber);
        if (chip.ChipPresent && chip.ChipRunning.load(std::memory_order_acquire)) {
            return;
        }
    }
    for (int m = 1; m <= kMonitorCount; ++m) {
        if (!tables_.MonByFind[static_cast<std::size_t>(m)]) {
            continue;
        }
        int camera = 0;
        std::int32_t best = 0;
        for (int s = 1; s <= kSlotCount; ++s) {
            const ChanelWindow* w = slots_.Used(s);
            if (w == nullptr || w->AlarmMonNumber[static_cast<std::size_t>(m - 1)] == 0 ||
                w->MonRequest == 0 || !ValidCamera(w->CamNumber)) {
                continue;
            }
            const std::int32_t priority =
                tables_.CamPriority[static_cast<std::size_t>(w->CamNumber)];
            if (camera == 0 || priority < best) {
                camera = w->CamNumber;
                best = priority;
            }
        }
        if (camera != 0) {
            board_.SwitchMonitorMux(m, camera);
        }
    }
    for (int s = 1; s <= kSlotCount; ++s) {
        if (ChanelWindow* w = slots_.Used(s)) {
            w->MonWait = 1;
            w->MonRequest = 0;
        }
    }
}

void MainCycle::windows_step() {
    for (int s = 1; s <= kSlotCount; ++s) {
        ChanelWindow* w = slots_.Used(s);
        if (w == nullptr) {
            continue;
        }
        const std::uint32_t now = GetTickCount();
        if (now < w->LastFrameTick) {
            w->LastFrameTick = now;
        }
        if (now - w->LastFrameTick > kWindowRepaintMs) {
            if (ChanelPainter* p = w->Painter()) {
                p->Repaint();
            }
            w->LastFrameTick = now;
        }
        if (w->RemNumber > 0) {
            if (w->RemFrameSeen != 0 || GetTickCount() != w->RemFrameTick) {
                if (ValidRemote(w->RemNumber) && remotes_.Exists(w->RemNumber)) {
                    remotes_.RenewSubscription(w->RemNumber, w->ChNumber, w->CamNumber,
                                               w->NetJpeg != 0,
                                               static_cast<std::int16_t>(w->NetQuality));
                }
                w->RemFrameSeen = 0;
            }
        }
    }
}

void MainCycle::compare(bool risc) {
    const int size = risc ? kCompareRiscSize : kCompareRegsSize;
    for (int k = 1; k <= kChipCount; ++k) {
        if (!board_.BoardControlOn() || !handoff_.Chip(k).ChipPresent) {
            continue;
        }
        handoff_.ReadCaptureStatus(k);
        if (!handoff_.Chip(k).Status.CapturingNow) {
            continue;
        }
        std::fill_n(addresses_.begin(), size, 0);
        std::fill_n(old_.begin(), size, 0);
        std::fill_n(new_.begin(), size, 0);
        int n = risc ? board_.CompareRisc(addresses_.data(), old_.data(), new_.data(), k)
                     : board_.CompareRegs(addresses_.data(), old_.data(), new_.data(), k);
        // The library's count is used only as far as its arrays go.
        n = std::clamp(n, 0, size);
        Diagnostics* mes = handoff_.MesForm();
        if (n == 0 || mes == nullptr) {
            continue;
        }
        const std::string time = ShortDateTimeNow(base_);
        for (int j = 0; j < n; ++j) {
            const auto sj = static_cast<std::size_t>(j);
            mes->AddRegsLine(risc ? RiscChangeLine(k, addresses_[sj], old_[sj], new_[sj], time)
                                  : RegChangeLine(k, addresses_[sj], old_[sj], new_[sj], time));
        }
        if (mes->Visible) {
            board_.Tone(2000, 50);
        }
    }
}

void MainCycle::CheckDecoderRegs() {
    compare(false);
}

void MainCycle::CheckRiscProgram() {
    const std::uint32_t now = GetTickCount();
    if (now < RiscCheckTick) {
        RiscCheckTick = now;
    }
    if (now - RiscCheckTick <= kRiscCheckPeriodMs) {
        return;
    }
    RiscCheckTick = now;
    compare(true);
}

} // namespace station
