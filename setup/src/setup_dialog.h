// The installer's dialog (template 102): status line, Install, Remove and Exit buttons, the
// first-slot and device-count lists and the remove-devices check box, driving SetupDialogModel.
#pragma once

#include "setup_dialog_model.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace setup {

class SetupDialog : public QDialog {
public:
    explicit SetupDialog(QWidget* parent = nullptr);

    SetupDialogModel& model() { return model_; }
    // Shows the model's state in the controls.
    void refresh();

    QLabel* status_line() const { return status_; }
    QPushButton* install_button() const { return install_; }
    QPushButton* remove_button() const { return remove_; }
    QPushButton* exit_button() const { return exit_; }
    QComboBox* first_slot_list() const { return first_; }
    QComboBox* device_count_list() const { return count_; }
    QCheckBox* remove_devices_box() const { return check_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    SetupDialogModel model_;
    QLabel* status_ = nullptr;
    QPushButton* install_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* exit_ = nullptr;
    QComboBox* first_ = nullptr;
    QComboBox* count_ = nullptr;
    QCheckBox* check_ = nullptr;
    bool started_ = false;
};

// A CP1251 text as a QString.
QString from_cp1251(const std::string& text);

} // namespace setup
