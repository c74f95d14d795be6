// The diagnostics window `TMesForm`: frame periods (`DG1`), buffer states (`BufDG`), the error
// word of the last frame (`Label1`), I2C failures (`DG2`), the counter labels, the change list
// `RegsMemo` with `StopBtn` and `MemoResetBtn`, and the general reset `ResetBtn`. A stay-on-top
// dialog; its figures are the engine's Diagnostics, which it registers with the hand-off while
// it exists.
#pragma once

#include "live/diagnostics.h"
#include "live/live_station.h"

#include <QDialog>
#include <cstdint>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QGroupBox;

namespace station {

// `BufDG`: 5 columns x 4 rows, the chip number and buffers 1 to 4 of each chip.
class BufferGrid : public QWidget {
public:
    BufferGrid(const Diagnostics& mes, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const Diagnostics& mes_;
};

class TMesForm : public QDialog {
public:
    TMesForm(LiveStation& live, QWidget* parent = nullptr); // FormCreate
    ~TMesForm() override;                                   // FormDestroy

    Diagnostics& Figures() { return mes_; }
    // Redraws grids, labels and the memo from the figures now.
    void Refresh();

    QTableWidget* DG1() const { return dg1_; }
    QTableWidget* DG2() const { return dg2_; }
    QWidget* BufDG() const { return buf_dg_; }
    QLabel* Label1() const { return label1_; }
    QLabel* UnkLabel() const { return unk_label_; }
    QLabel* SelResetLabel() const { return sel_reset_label_; }
    QPlainTextEdit* RegsMemo() const { return regs_memo_; }
    QPushButton* StopBtn() const { return stop_btn_; }
    QPushButton* ResetBtn() const { return reset_btn_; }
    QPushButton* MemoResetBtn() const { return memo_reset_btn_; }

protected:
    void showEvent(QShowEvent* e) override; // FormShow
    void hideEvent(QHideEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void schedule_refresh();
    void sync_memo();

    LiveStation& live_;
    Diagnostics mes_;
    QGroupBox* period_gb_ = nullptr;
    QGroupBox* buffers_gb_ = nullptr;
    QGroupBox* err_gb_ = nullptr;
    QGroupBox* regs_gb_ = nullptr;
    QTableWidget* dg1_ = nullptr;
    QTableWidget* dg2_ = nullptr;
    BufferGrid* buf_dg_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* unk_label_ = nullptr;
    QLabel* sel_reset_label_ = nullptr;
    QPlainTextEdit* regs_memo_ = nullptr;
    QPushButton* stop_btn_ = nullptr;
    QPushButton* memo_reset_btn_ = nullptr;
    QPushButton* reset_btn_ = nullptr;
    bool refresh_pending_ = false;
    std::uint64_t memo_added_seen_ = 0;
    std::uint64_t memo_clears_seen_ = 0;
};

} // namespace station
