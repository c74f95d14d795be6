// The diagnostics window's behaviour (the widget TMesForm shows it): the frame periods per
// camera and chip, the buffer states the hand-off writes, the error word of the last frame,
// the I2C and empty-frame counters, and the list of register and DMA-program changes the
// watchdog adds. The counters live outside the window (they are kept whether or not it
// exists); the window only shows them and clears them on a general reset.
#pragma once

#include "base/language.h"
#include "base/limits.h"
#include "live_ports.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace station {

inline constexpr std::uint64_t kLiveCounterLimit = 1000000;

// Adds one, stopping at 1,000,000.
inline void CountLive(std::uint64_t& counter) {
    if (counter < kLiveCounterLimit) {
        ++counter;
    }
}

// Counters kept at all times.
struct LiveCounters {
    std::uint64_t EmptyFrameCount = 0;
};

// Buffer states shown in the buffer grid.
enum BufState : std::int32_t {
    kBufNotInUse = 0,
    kBufWithChip = 1,
    kBufReady = 2,
    kBufBad = 3,
};

inline constexpr std::size_t kRegsMemoLimit = 8000;

class Diagnostics {
public:
    // FormCreate: buffer states and markers 0, every measurement to start again.
    // `lang`: the station's language texts of the labels.
    Diagnostics(LiveCounters& counters, BoardPort* board, const LanguageList& lang);

    // ---- Written by the hand-off ([chip 1..4][buffer 0..19]) ----
    std::array<std::array<std::int32_t, 20>, kChipCount + 1> BufStates{};
    std::array<std::array<std::int32_t, 20>, kChipCount + 1> BufCursorMarks{};
    // The error word of the last frame at the cursor ("0000" until the first frame).
    void SetErrorWord(std::uint32_t error);
    const std::string& ErrorLabel() const { return error_label_; }
    // The buffer grid must be redrawn.
    void InvalidateBufGrid() {
        ++buf_grid_invalidations_;
        notify();
    }
    int BufGridInvalidations() const { return buf_grid_invalidations_; }

    // One frame of camera c (1..16) on chip k (1..4): the period since its previous frame.
    void IntervalProcess(int c, int k);

    // ---- Period statistics, [chip][camera] ----
    struct Period {
        bool First = true;
        std::uint32_t LastTick = 0;
        std::uint32_t NowTick = 0;
        long double Last = 0;
        long double Mean = 0;
        long double Count = 0;
    };
    const Period& PeriodOf(int k, int c) const;

    // ---- The change list of the watchdog ----
    bool StopBtnDown = false;
    bool Visible = false;
    // Adds a line unless StopBtn is down, first deleting the oldest while more than 8000 are
    // held. False when StopBtn kept it out.
    bool AddRegsLine(std::string line);
    const std::deque<std::string>& RegsMemo() const { return regs_memo_; }
    // Lines added since creation, and clears of the memo, so a view can follow incrementally.
    std::uint64_t RegsLinesAdded() const { return regs_added_; }
    std::uint64_t RegsClears() const { return regs_clears_; }
    void MemoResetBtnClick() {
        regs_memo_.clear();
        ++regs_clears_;
        notify();
    }

    // ---- Texts of the grids and labels (CP1251) ----
    // DG1, 9 columns x 17 rows.
    std::string PeriodCell(int col, int row) const;
    // BufDG column 0: the chip number of the row; the state and marker of buffers 1..4.
    std::string BufChipCell(int row) const { return std::to_string(row + 1); }
    // DG2, 11 columns x 5 rows.
    std::string ErrorCell(int col, int row) const;
    // UnkLabel and SelResetLabel as last set (from the counters at the last frame).
    const std::string& UnkLabel() const { return unk_label_; }
    const std::string& SelResetLabel() const { return sel_reset_label_; }

    // ResetBtn: the memo, every I2C counter, the empty-frame count and the periods to 0.
    void ResetBtnClick();

    // Called after every change a shown window must redraw.
    std::function<void()> Changed;

private:
    void notify() {
        if (Changed) {
            Changed();
        }
    }
    void set_counter_labels();

    LiveCounters& counters_;
    BoardPort* board_;
    const LanguageList& lang_;
    std::array<std::array<Period, kCameraCount + 1>, kChipCount + 1> periods_{};
    std::deque<std::string> regs_memo_;
    std::string error_label_ = "0000";
    std::string unk_label_;
    std::string sel_reset_label_;
    int buf_grid_invalidations_ = 0;
    std::uint64_t regs_added_ = 0;
    std::uint64_t regs_clears_ = 0;
};

// Fixed-point text with two decimals (precision of four digits): 40 -> "40.00".
std::string PeriodText(long double value);

} // namespace station
