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

StationLifecycle::StationLifecycle(TMain_Kastrel_Form& form, StartupCapture& capture,
                                   StationBoard& board, StartupHooks later)
    : QObject(&form), form_(&form), main_form_(form) {
    StartupHooks& h = later;
    h.ShowMainForm = [this] {
        if (form_) {
            form_->show();
        }
    };
    h.HideMainForm = [this] {
        if (form_) {
            form_->hide();
        }
    };
    h.SetCaptions = [this] {
        if (form_) {
            main_form_.SetCaptions();
        }
    };
    h.Terminate = [] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    h.EnableConfigInitTimer = [this] {
        if (QTimer* t = Timer("ConfigInitTimer")) {
            t->start();
        }
    };
    // The capture starts and the main cycle run on the live engine's timers (given in `later`);
    // the sound timer is the form's own.
    h.EnableCycleTimers = [this, cycle = later.EnableCycleTimers] {
        QTimer* sound = Timer("SoundTimer");
        if (sound != nullptr && SoundTimerTimer) {
            sound->start();
        }
        if (cycle) {
            cycle();
        }
    };
    h.StopAllTimers = [this, stop = later.StopAllTimers] {
        stop_all_timers();
        if (stop) {
            stop();
        }
    };
    h.FreeForms = [this, dialogs = later.FreeForms] {
        if (dialogs) {
            dialogs(); // the open settings dialogs
        }
        free_forms();
    };
    startup_ = std::make_unique<StationStartup>(capture, board, std::move(h));

    // Every form of the station previews keys; the main form's close comes through here too.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { EndSession(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (created_) {
            close_station();
        }
    });
}

StationLifecycle::~StationLifecycle() {
    qApp->removeEventFilter(this);
    // Forms the shut-down did not free (it never ran, or the loop ended first).
    delete view_form_.data();
    delete mes_form_.data();
}

QTimer* StationLifecycle::make_timer(const QString& name, int interval_ms) {
    auto* t = new QTimer(form_);
    t->setObjectName(name);
    t->setInterval(interval_ms);
    return t;
}

QTimer* StationLifecycle::Timer(const char* name) const {
    if (!form_) {
        return nullptr;
    }
    return form_->findChild<QTimer*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

bool StationLifecycle::FormCreate() {
    // Each timer handler disables its timer first, as the handlers of the form do.
    QTimer* config = make_timer("ConfigInitTimer", 100);
    config->setSingleShot(true);
    connect(config, &QTimer::timeout, this, [this] { startup_->ConfigInitTimerTimer(); });
    connect(make_timer("SoundTimer", 100), &QTimer::timeout, this, [this] {
        if (SoundTimerTimer) {
            SoundTimerTimer();
        }
    });

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

void StationLifecycle::EndSession() {
    if (form_) {
        form_->close();
    }
}

void StationLifecycle::stop_all_timers() {
    if (!form_) {
        return;
    }
    for (QTimer* t : form_->findChildren<QTimer*>()) {
        t->stop();
    }
}

void StationLifecycle::free_forms() {
    if (view_form_) {
        view_form_->hide();
        view_form_->deleteLater();
    }
    if (mes_form_) {
        mes_form_->hide();
        mes_form_->deleteLater();
    }
}

void StationLifecycle::close_station() {
    if (startup_->Closed()) {
        return;
    }
    startup_->FormCloseQuery();
    startup_->FormClose();
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
            close_station();
            QCoreApplication::quit();
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
