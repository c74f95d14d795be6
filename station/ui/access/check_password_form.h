// The login dialog `TCheckPassword`: prompt, the password edit `Edit1` and `OKBtn`; a wrong
// entry shows the refusal `Label2` flashing for 4 s with the form disabled, driven by
// `FlashTimer` (no wait inside a handler). The dialog reports its result once when it ends
// (OK, the end of the refusal, or freed from outside: 0 then) and frees itself.
#pragma once

#include "access/check_password_model.h"
#include "ui/common/digits_edit.h"
#include "ui/common/settings_dialog.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace station {

class TCheckPassword : public QDialog, public DestroyActions {
public:
    using Ended = std::function<void(std::uint8_t result)>;

    TCheckPassword(const LanguageList& lang, LoginPasswords passwords, Ended ended,
                   QWidget* parent = nullptr);
    ~TCheckPassword() override;

    CheckPasswordModel& Model() { return model_; }
    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    DigitsEdit* Edit1() const { return edit1_; }
    QPushButton* OKBtn() const { return ok_btn_; }
    QTimer* FlashTimer() const { return flash_timer_; }
    // The dialog has reported its result; it only waits for its deletion.
    bool Over() const { return over_; }

    // OK (also Enter): a match ends the dialog with its level; a wrong entry starts the flash.
    void OKBtnClick();
    // A tick of the flash on the system tick count; its end enables the form and ends the
    // dialog with 0.
    void FlashTimerTimer();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Escape closes the dialog as any other close does.
    void reject() override;
    void FormDestroy() override;

private:
    void release();

    CheckPasswordModel model_;
    Ended ended_;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    DigitsEdit* edit1_ = nullptr;
    QPushButton* ok_btn_ = nullptr;
    QTimer* flash_timer_ = nullptr;
    bool over_ = false;
};

} // namespace station
