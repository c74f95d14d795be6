#include "check_password_form.h"

#include "ui/common/qt_text.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <win32/sysinfo.h>

namespace station {
namespace {

constexpr int kFlashTickMs = 50;

void set_colour(QLabel* label, CheckPasswordModel::Colour colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour == CheckPasswordModel::Colour::Red
                                         ? QColor(255, 0, 0)
                                         : QColor(255, 255, 255));
    label->setPalette(p);
}

} // namespace

TCheckPassword::TCheckPassword(const LanguageList& lang, LoginPasswords passwords, Ended ended,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      model_(lang, std::move(passwords)), ended_(std::move(ended)) {
    setObjectName("CheckPassword");
    auto* column = new QVBoxLayout(this);
    label1_ = new QLabel(this);
    label1_->setObjectName("Label1");
    column->addWidget(label1_);
    label2_ = new QLabel(this);
    label2_->setObjectName("Label2");
    label2_->setAlignment(Qt::AlignCenter);
    QFont bold = label2_->font();
    bold.setBold(true);
    label2_->setFont(bold);
    label2_->setAutoFillBackground(false);
    column->addWidget(label2_);
    edit1_ = new DigitsEdit(this, true);
    edit1_->setObjectName("Edit1");
    column->addWidget(edit1_);
    ok_btn_ = new QPushButton("OK", this);
    ok_btn_->setObjectName("OKBtn");
    ok_btn_->setDefault(true);
    column->addWidget(ok_btn_, 0, Qt::AlignCenter);
    setMinimumWidth(220);
    connect(ok_btn_, &QPushButton::clicked, this, [this] { OKBtnClick(); });

    flash_timer_ = new QTimer(this);
    flash_timer_->setObjectName("FlashTimer");
    flash_timer_->setInterval(kFlashTickMs);
    connect(flash_timer_, &QTimer::timeout, this, [this] { FlashTimerTimer(); });
}

TCheckPassword::~TCheckPassword() {
    RunDestroyActions();
}

void TCheckPassword::showEvent(QShowEvent* e) {
    setWindowTitle(QtText(model_.Caption()));
    label1_->setText(QtText(model_.Prompt()));
    edit1_->clear();
    label1_->show();
    edit1_->show();
    ok_btn_->show();
    label2_->hide();
    if (QScreen* screen = this->screen()) {
        move(screen->geometry().center() - rect().center());
    }
    QDialog::showEvent(e);
    activateWindow();
    edit1_->setFocus();
}

void TCheckPassword::reject() {
    close();
}

void TCheckPassword::closeEvent(QCloseEvent* e) {
    // Any close ends the login; without an OK that matched, with 0.
    e->accept();
    RunDestroyActions();
}

void TCheckPassword::OKBtnClick() {
    if (model_.Flashing()) {
        return;
    }
    if (model_.Check(edit1_->Digits(), GetTickCount()) != 0) {
        release();
        return;
    }
    // The form keeps its size while the refusal replaces the entry.
    setFixedSize(size());
    label1_->hide();
    edit1_->hide();
    ok_btn_->hide();
    label2_->setText(QtText(model_.RefusalText()));
    set_colour(label2_, CheckPasswordModel::Colour::Red);
    label2_->show();
    setEnabled(false);
    flash_timer_->start();
}

void TCheckPassword::FlashTimerTimer() {
    const CheckPasswordModel::Flash flash = model_.FlashTick(GetTickCount());
    set_colour(label2_, flash.colour);
    if (!flash.done) {
        return;
    }
    flash_timer_->stop();
    setEnabled(true);
    release();
}

void TCheckPassword::release() {
    // The result goes out now (closeEvent); the form goes after the handler has returned.
    close();
}

void TCheckPassword::FormDestroy() {
    over_ = true;
    flash_timer_->stop();
    if (Ended ended = std::move(ended_)) {
        ended(model_.Flashing() ? 0 : model_.Result());
    }
}

} // namespace station
