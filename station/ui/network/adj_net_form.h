// The network settings dialog `TAdjNetForm`: this station's port edit, the disconnect and
// connect buttons, six lamps and the memo of incoming connections; the painted grid `DG1` of
// the twenty remote stations. The behaviour is the engine's AdjNetModel; this form paints and
// forwards input. A modeless settings dialog that stays on top.
#pragma once

#include "network/adj_net_model.h"
#include "ui/common/settings_dialog.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QTimer>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace station {

// A round lamp (c1..c6).
class NetLamp : public QWidget {
public:
    explicit NetLamp(QWidget* parent);
    void Set(AdjNetModel::Lamp lamp);
    AdjNetModel::Lamp State() const { return lamp_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    AdjNetModel::Lamp lamp_;
};

// `DG1`: 21 columns of 80 pixels, 11 rows of 16, the first row and column fixed; the station
// columns scroll sideways. Ports and addresses are edited in place (double click, F2, Enter)
// where the model lets them be selected.
class AdjNetGrid : public QAbstractScrollArea {
public:
    AdjNetGrid(AdjNetModel& model, QWidget* parent);

    QRect CellRect(int column, int row) const;
    std::pair<int, int> CellAt(const QPoint& p) const;
    std::pair<int, int> Selected() const { return selected_; }
    // Starts editing the selected cell, when it may be edited.
    void Edit();
    QLineEdit* Editor() const { return editor_; }
    void FinishEdit();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void paint_cell(QPainter& p, int column, int row, const QRect& r) const;
    void select(int column, int row);
    void update_scroll_range();

    AdjNetModel& model_;
    std::pair<int, int> selected_{-1, -1};
    QLineEdit* editor_ = nullptr;
    std::pair<int, int> editing_{-1, -1};
};

class TAdjNetForm : public QDialog, public DestroyActions {
public:
    // `toggleMesForm` shows or hides the diagnostics window (Alt+F1); may be empty.
    TAdjNetForm(const BaseState& base, SettingsState& settings, bool& networkOn, RemStations& links,
                ServerSocketPort& server, std::function<void()> toggleMesForm = {},
                QWidget* parent = nullptr);
    ~TAdjNetForm() override;

    AdjNetModel& Model() { return model_; }
    QLineEdit* ServerPortEdit() const { return port_edit_; }
    QPushButton* Button1() const { return button1_; }
    QPushButton* Button2() const { return button2_; }
    NetLamp* LampAt(int i) const { return lamps_[static_cast<std::size_t>(i)]; }
    AdjNetGrid* DG1() const { return grid_; }
    QPlainTextEdit* ServerConnectionsMemo() const { return memo_; }
    QTimer& Timer1() { return timer1_; }

    // The main form's 4 s connection timer: the memo lists the incoming connections.
    void ShowConnections();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* e) override;
    // The close box runs FormClose; Escape does nothing (the form has no Cancel).
    void closeEvent(QCloseEvent* e) override;
    void reject() override {}
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void FormDestroy() override;

private:
    void port_edited(const QString& text);
    void show_port_edit_state();

    AdjNetModel model_;
    std::function<void()> toggle_mes_form_;
    QLineEdit* port_edit_ = nullptr;
    QPushButton* button1_ = nullptr;
    QPushButton* button2_ = nullptr;
    std::array<NetLamp*, AdjNetModel::kLamps> lamps_{};
    QScrollArea* scroll_box_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    AdjNetGrid* grid_ = nullptr;
    QTimer timer1_;
};

} // namespace station
