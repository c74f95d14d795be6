#include "diagnostics.h"

#include "base/language.h"
#include "base/language_lines.h"

#include <win32/sysinfo.h>

#include <cmath>
#include <cstdio>

namespace station {

std::string PeriodText(long double value) {
    char buf[64];
    if (value != 0 && std::fabs(static_cast<double>(value)) >= 10000.0) {
        // More integer digits than the precision: exponent form, four digits.
        std::snprintf(buf, sizeof buf, "%.3E", static_cast<double>(value));
        return buf;
    }
    // Rounded to four significant digits first, then two decimals.
    double v = static_cast<double>(value);
    if (v != 0) {
        const int digits = static_cast<int>(std::floor(std::log10(std::fabs(v)))) + 1;
        const double scale = std::pow(10.0, 4 - digits);
        v = std::round(v * scale) / scale;
    }
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

Diagnostics::Diagnostics(LiveCounters& counters, BoardPort* board, const LanguageList& lang)
    : counters_(counters), board_(board), lang_(lang) {
    set_counter_labels();
}

void Diagnostics::SetErrorWord(std::uint32_t error) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", error);
    error_label_ = buf;
}

const Diagnostics::Period& Diagnostics::PeriodOf(int k, int c) const {
    static const Period none{};
    if (!ValidChip(k) || !ValidCamera(c)) {
        return none;
    }
    return periods_[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
}

void Diagnostics::IntervalProcess(int c, int k) {
    if (!ValidChip(k) || !ValidCamera(c)) {
        return;
    }
    Period& p = periods_[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
    const std::uint32_t now = GetTickCount();
    if (p.First) {
        p.LastTick = now;
        p.First = false;
        return;
    }
    p.NowTick = now;
    p.Last = static_cast<long double>(static_cast<std::uint32_t>(p.NowTick - p.LastTick));
    p.Count += 1;
    p.Mean = (1 / p.Count) * ((p.Count - 1) * p.Mean + p.Last);
    p.LastTick = p.NowTick;
    set_counter_labels();
    notify();
}

void Diagnostics::set_counter_labels() {
    unk_label_ = lang_[kLineEmptyFrames] + " " + std::to_string(counters_.EmptyFrameCount);
    const std::uint64_t resets = board_ != nullptr ? board_->I2CCounters().BusResetCount : 0;
    sel_reset_label_ = lang_[kLineI2CBusResets] + " " + std::to_string(resets);
}

bool Diagnostics::AddRegsLine(std::string line) {
    if (StopBtnDown) {
        return false;
    }
    if (regs_memo_.size() > kRegsMemoLimit) {
        regs_memo_.pop_front();
    }
    regs_memo_.push_back(std::move(line));
    ++regs_added_;
    notify();
    return true;
}

std::string Diagnostics::PeriodCell(int col, int row) const {
    if (col < 0 || col > 2 * kChipCount || row < 0 || row > kCameraCount) {
        return {};
    }
    if (row == 0) {
        if (col == 0) {
            return {};
        }
        const int k = (col + 1) / 2;
        return lang_[col % 2 == 1 ? kLinePeriod : kLineMean] + " " + std::to_string(k);
    }
    if (col == 0) {
        return std::to_string(row);
    }
    const Period& p = PeriodOf((col + 1) / 2, row);
    return PeriodText(col % 2 == 1 ? p.Last : p.Mean);
}

std::string Diagnostics::ErrorCell(int col, int row) const {
    if (col < 0 || col > 10 || row < 0 || row > 4) {
        return {};
    }
    if (row == 0) {
        if (col == 0) {
            return lang_[kLineDevice];
        }
        if (col <= 8) {
            return std::to_string(col);
        }
        return lang_[col == 9 ? kLineReadBack : kLineTotal];
    }
    if (col == 0) {
        return lang_[kLineI2CErrors + row];
    }
    const I2CFigures f = board_ != nullptr ? board_->I2CCounters() : I2CFigures{};
    const auto kind = static_cast<std::size_t>(row - 1);
    if (col <= 9) {
        return std::to_string(f.ErrorCounts[kind][static_cast<std::size_t>(col - 1)]);
    }
    return std::to_string(f.FailTotals[kind]);
}

void Diagnostics::ResetBtnClick() {
    regs_memo_.clear();
    ++regs_clears_;
    if (board_ != nullptr) {
        board_->ClearI2CCounters();
    }
    counters_.EmptyFrameCount = 0;
    for (auto& chip : periods_) {
        for (Period& p : chip) {
            p = Period{};
        }
    }
    notify();
}

} // namespace station
