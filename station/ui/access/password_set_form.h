// The passwords and rights dialog `TPasswordSet`: the rights grid `DG1` of the limited level
// and, per level, the new password, its confirmation and the change button with its notice.
// The behaviour is the engine's PasswordSetModel. A modeless settings dialog without Cancel:
// its end, however it comes, writes the rights.
#pragma once

#include "access/password_set_model.h"
#include "ui/common/digits_edit.h"
#include "ui/common/settings_dialog.h"

#include <QAbstractScrollArea>
#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace station {

// `DG1`: 2 columns, a fixed header row and the 20 rights in 18-pixel rows, a vertical scroll
// bar; no cell is ever selected.
class RightsGrid : public QAbstractScrollArea {
public:
    RightsGrid(PasswordSetModel& model, QWidget* parent);

    // The cell under a point of the viewport: (column, row), or (-1, -1).
    std::pair<int, int> CellAt(const QPoint& p) const;
    QRect CellRect(int column, int row) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void paint_cell(QPainter& p, int column, int row, const QRect& r) const;
    void update_scroll_range();

    PasswordSetModel& model_;
};

class TPasswordSet : public QDialog, public DestroyActions {
public:
    // How long the notice replaces a change button.
    static constexpr int kNoticeMs = 1001;

    explicit TPasswordSet(const BaseState& base, QWidget* parent = nullptr);
    ~TPasswordSet() override;

    PasswordSetModel& Model() { return model_; }
    RightsGrid* DG1() const { return grid_; }
    DigitsEdit* Edit(int i) const { return edits_[static_cast<std::size_t>(i - 1)]; }
    QPushButton* Button(int level) const { return buttons_[static_cast<std::size_t>(level - 1)]; }
    QLabel* Notice(int level) const { return notices_[static_cast<std::size_t>(level - 1)]; }
    QTimer* NoticeTimer(int level) const {
        return notice_timers_[static_cast<std::size_t>(level - 1)];
    }

    // Button1Click (level 1) and Button2Click (level 2).
    void ButtonClick(int level);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Escape closes the dialog as any other close does.
    void reject() override;
    void FormDestroy() override;

private:
    void edit_changed(int level);
    void notice_over(int level);

    PasswordSetModel model_;
    RightsGrid* grid_ = nullptr;
    std::array<DigitsEdit*, 4> edits_{};
    std::array<QPushButton*, 2> buttons_{};
    std::array<QLabel*, 2> notices_{};
    std::array<QTimer*, 2> notice_timers_{};
    std::array<QLabel*, 4> labels_{};
    std::array<QGroupBox*, 3> groups_{};
};

} // namespace station
