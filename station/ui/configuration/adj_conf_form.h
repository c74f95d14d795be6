// The stored-configurations dialog `TAdjConf`: the painted table `DG1` of the 99
// configurations, OK and Cancel, and the timed-load group `TimeLoadBox`. The behaviour is the
// engine's AdjConfModel; this form paints and forwards input. A modeless settings dialog.
#pragma once

#include "configuration/adj_conf_model.h"
#include "ui/common/settings_dialog.h"

#include <QAbstractScrollArea>
#include <QDialog>

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace station {

// `DG1`: 5 columns, a fixed header row and the 99 rows of 18 pixels, a vertical scroll bar.
// Only the name column can be selected and edited (double click, F2 or Enter).
class AdjConfGrid : public QAbstractScrollArea {
public:
    AdjConfGrid(AdjConfModel& model, QWidget* parent);

    // The cell under a point of the viewport: (column, row), or (-1, -1).
    std::pair<int, int> CellAt(const QPoint& p) const;
    QRect CellRect(int column, int row) const;
    // The released cell's action, for the form.
    std::function<void(AdjConfModel::Release)> Released;
    int SelectedRow() const { return selected_row_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void paint_cell(QPainter& p, int column, int row, const QRect& r) const;
    void select(int row);
    void edit(int row);
    void finish_edit();
    void update_scroll_range();

    AdjConfModel& model_;
    int selected_row_ = 0;
    QLineEdit* editor_ = nullptr;
    int editing_row_ = 0;
};

class TAdjConf : public QDialog, public DestroyActions {
public:
    TAdjConf(const LanguageList& lang, ConfScheduleTable& schedule, ConfigurationState& state,
             AdjConfModel::Actions actions, QWidget* parent = nullptr);
    ~TAdjConf() override;

    AdjConfModel& Model() { return model_; }
    AdjConfGrid* DG1() const { return grid_; }
    QGroupBox* TimeLoadBox() const { return time_load_box_; }
    QPushButton* OKBtn() const { return ok_btn_; }
    QPushButton* CancelBtn() const { return cancel_btn_; }

    // The loader's disable and enable around a load or a save.
    void SetControlsEnabled(bool on);

    // The release's action (what DG1MouseUp carries out).
    void Carry(AdjConfModel::Release release);
    // ShowTimeLoadBox and SetAllPar of the group.
    void ShowTimeLoadBox();
    void SetBtnClick();
    void OKBtnClick();
    void CancelBtnClick();

protected:
    void showEvent(QShowEvent* e) override;
    // Only OK and Cancel end the dialog; a close from outside runs neither.
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    AdjConfModel::TimeLoad group() const;
    void enable_group();

    AdjConfModel model_;
    AdjConfGrid* grid_ = nullptr;
    QPushButton* ok_btn_ = nullptr;
    QPushButton* cancel_btn_ = nullptr;
    QGroupBox* time_load_box_ = nullptr;
    QCheckBox* use_load_cb_ = nullptr;
    QGroupBox* time_gb_ = nullptr;
    QGroupBox* date_gb_ = nullptr;
    QTimeEdit* dtp1_ = nullptr;
    QDateEdit* dtp2_ = nullptr;
    QRadioButton* rb_[4] = {};
    QPushButton* set_btn_ = nullptr;
    bool ending_ = false;
};

} // namespace station
