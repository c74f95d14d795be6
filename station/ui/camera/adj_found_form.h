// The per-camera settings dialog `TFormAdjFound`: four pages (detection, alarm and recording,
// network picture, camera picture and source) over the engine's AdjFoundModel. The form loads
// its controls from the model with their signals blocked, forwards every use of a control to
// the model and shows the model's controls again; the 100 ms timer makes the model ready and
// shows the point count. OK and Cancel release the form; freed from outside it runs only its
// destroy actions (the closing line).
#pragma once

#include "camera/adj_found_model.h"
#include "ui/common/settings_dialog.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <map>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;

namespace station {

class TFormAdjFound : public QDialog, public DestroyActions {
public:
    TFormAdjFound(AdjFoundModel::Ports ports, std::int32_t slot, QWidget* parent = nullptr);
    ~TFormAdjFound() override;

    AdjFoundModel& Model() { return *model_; }
    QTabWidget* Pages() const { return pages_; }
    QTimer& Timer1() { return timer1_; }

    // Timer1's handler: the model ready, the point count shown.
    void Timer1Timer();
    void OKBtnClick();
    void CancelBtnClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override; // Escape: Cancel
    bool eventFilter(QObject* watched, QEvent* event) override;
    void FormDestroy() override;

private:
    using Check = AdjFoundModel::Check;
    using Bar = AdjFoundModel::Bar;
    using Edit = AdjFoundModel::Edit;

    QWidget* detection_page();
    QWidget* alarm_page();
    QWidget* network_page();
    QWidget* picture_page();
    QCheckBox* check(Check c, const char* name, QWidget* parent);
    QScrollBar* bar(Bar b, const char* name, int min, int max, QWidget* parent);
    QLineEdit* number_edit(Edit e, const char* name, QWidget* parent);
    QLabel* label(const char* name, QWidget* parent);
    void set_texts();
    // Every control from the model's controls, signals blocked.
    void render();

    std::unique_ptr<AdjFoundModel> model_;
    QTimer timer1_;
    QTabWidget* pages_ = nullptr;
    QPushButton* ok_btn_ = nullptr;
    QPushButton* cancel_btn_ = nullptr;

    std::map<Check, QCheckBox*> checks_;
    std::map<Bar, QScrollBar*> bars_;
    std::map<Bar, QLabel*> bar_labels_;
    std::array<QLineEdit*, 6> edits_{};

    // Detection page.
    QGroupBox *points_gb_ = nullptr, *threshold_gb_ = nullptr, *object_size_gb_ = nullptr;
    QGroupBox *object_points_gb_ = nullptr, *frames_gb_ = nullptr, *show_gb_ = nullptr;
    QGroupBox *live_gb_ = nullptr, *input_gb_ = nullptr;
    QPushButton *b1_ = nullptr, *b2_ = nullptr;
    QLabel *label2_ = nullptr, *label3_ = nullptr, *label5_ = nullptr, *label10_ = nullptr;
    QLabel *label11_ = nullptr, *level_label_ = nullptr;
    QRadioButton *radio3_ = nullptr, *radio4_ = nullptr;
    // Alarm and recording page.
    QGroupBox *record_gb_ = nullptr, *sound_gb_ = nullptr, *output_gb_ = nullptr;
    QGroupBox *minimize_gb_ = nullptr, *monitor_gb_ = nullptr;
    QLabel *label9_ = nullptr, *label17_ = nullptr, *label6_ = nullptr;
    QRadioButton *radio1_ = nullptr, *radio2_ = nullptr;
    QLineEdit* edit1_ = nullptr;
    QLabel *label19_ = nullptr, *label20_ = nullptr, *label23_ = nullptr, *label24_ = nullptr;
    QLabel *min_label_ = nullptr, *min_label1_ = nullptr, *min_label2_ = nullptr;
    QListWidget* alarm_mon_number_cb_ = nullptr;
    // Network page.
    QGroupBox *picture_gb_ = nullptr, *rem_alarm_gb_ = nullptr;
    QLabel* label21_ = nullptr;
    // Picture and source page.
    std::map<Bar, QLabel*> picture_names_;
    QPushButton* default_btn_ = nullptr;
    QLabel *cam_select_l_ = nullptr, *rem_select_l_ = nullptr, *ch_select_l_ = nullptr;
    QComboBox *cam_select_cb_ = nullptr, *rem_select_cb_ = nullptr, *ch_select_cb_ = nullptr;
};

} // namespace station
