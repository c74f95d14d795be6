#include "startup_form.h"

#include "ui/main/main_form.h"
#include "ui/viewer/view_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QSessionManager>
#include <QTimer>
#include <QToolTip>

#include "win32/dialog_box.h"

namespace station {
namespace {

// The station's hints appear after 2000 ms.
class HintPauseStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay) {
            return 2000;
        }
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

} // namespace

StationLifecycle::StationLifecycle(TMain_Kastrel_Form& form, StationState& state,
                                   StartupCapture& capture, StationBoard& board)
    : StationLifecycle(form, state, capture, board,
                       LifecyclePorts{no_timers_, no_live_, no_network_, no_configuration_}) {}

StationLifecycle::StationLifecycle(TMain_Kastrel_Form& form, StationState& state,
                                   StartupCapture& capture, StationBoard& board,
                                   LifecyclePorts later)
    : QObject(&form), form_(&form), main_form_(form), state_(state), live_timers_(later.LiveTimers),
      live_(later.Live) {
    // Each timer handler disables its timer first, as the handlers of the form do.
    config_init_timer_.setObjectName("ConfigInitTimer");
    config_init_timer_.setInterval(100);
    config_init_timer_.setSingleShot(true);
    connect(&config_init_timer_, &QTimer::timeout, this,
            [this] { startup_->ConfigInitTimerTimer(); });
    sound_timer_.setObjectName("SoundTimer");
    sound_timer_.setInterval(100);
    connect(&sound_timer_, &QTimer::timeout, this, [this] {
        if (SoundTimerTimer) {
            SoundTimerTimer();
        }
    });
    startup_ = std::make_unique<StationStartup>(
        state, capture, board,
        StartupPorts{*this, *this, later.Live, later.Network, later.Configuration, stealth_});

    // Every form of the station previews keys; the main form's close comes through here too.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { EndSession(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (created_) {
            close_station(false);
        }
    });
}

StationLifecycle::~StationLifecycle() {
    qApp->removeEventFilter(this);
    // Forms the shut-down did not free (it never ran, or the loop ended first).
    delete view_form_.data();
    delete mes_form_.data();
}

void StationLifecycle::ShowMainForm() {
    if (form_) {
        form_->show();
    }
}

void StationLifecycle::HideMainForm() {
    if (form_) {
        form_->hide();
    }
}

void StationLifecycle::SetCaptions() {
    if (form_) {
        main_form_.SetCaptions(state_.Base.LangList);
    }
}

void StationLifecycle::Terminate() {
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void StationLifecycle::EnableConfigInitTimer() {
    config_init_timer_.start();
}

void StationLifecycle::EnableStartCaptureTimer(int k) {
    live_timers_.EnableStartCaptureTimer(k);
}

void StationLifecycle::EnableCycleTimers() {
    if (SoundTimerTimer) {
        sound_timer_.start();
    }
    live_timers_.EnableCycleTimers();
}

bool StationLifecycle::FormCreate() {
    // Tool-tip hints in the station's hint colour, after the station's hint pause.
    if (dynamic_cast<HintPauseStyle*>(QApplication::style()) == nullptr) {
        QApplication::setStyle(new HintPauseStyle);
    }
    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, QColor(0x00, 0xFF, 0xFF));
    QToolTip::setPalette(hints);

    created_ = startup_->FormCreate();
    return created_;
}

void StationLifecycle::CreateForms(const std::function<QWidget*()>& mes_form) {
    view_form_ = new TViewForm();
    view_form_->setAttribute(Qt::WA_DeleteOnClose, false);
    if (mes_form) {
        mes_form_ = mes_form();
    }
}

void StationLifecycle::LeaveStealth() {
    stealth_.LeaveStealth();
    state_.StealthActive = false;
}

void StationLifecycle::EndSession() {
    if (form_) {
        form_->close();
    }
}

void StationLifecycle::StopAllTimers() {
    config_init_timer_.stop();
    sound_timer_.stop();
    // Timers other forms keep on the main form stop as well.
    if (form_) {
        for (QTimer* t : form_->findChildren<QTimer*>()) {
            t->stop();
        }
    }
    live_timers_.StopAllTimers();
}

void StationLifecycle::FreeForms() {
    if (FreeDialogs) {
        FreeDialogs();
    }
    if (view_form_) {
        view_form_->hide();
        view_form_->deleteLater();
    }
    if (mes_form_) {
        mes_form_->hide();
        mes_form_->deleteLater();
    }
}

void StationLifecycle::close_station(bool then_quit) {
    quit_pending_ = quit_pending_ || then_quit;
    if (!startup_->Closed() && live_.DriverDialogOpen()) {
        if (!close_pending_) {
            close_pending_ = true;
            SendMessageA(HWND_BROADCAST, WM_ENDSESSION, TRUE, 0);
        }
        QTimer::singleShot(10, this, [this] { close_station(false); });
        return;
    }
    close_pending_ = false;
    if (!startup_->Closed()) {
        startup_->FormCloseQuery();
        startup_->FormClose();
    }
    if (quit_pending_) {
        quit_pending_ = false;
        QCoreApplication::quit();
    }
}

void StationLifecycle::toggle_mes_form() {
    if (!mes_form_) {
        return;
    }
    mes_form_->setVisible(!mes_form_->isVisible());
}

bool StationLifecycle::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_.data() && event->type() == QEvent::Close) {
        if (created_ && !startup_->Closed()) {
            close_station(true);
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && (key->modifiers() & Qt::AltModifier) != 0) {
            toggle_mes_form();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace station
