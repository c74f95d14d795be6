// The station program: one instance per machine, the main form with its two-stage start-up,
// the recording viewer and the diagnostics window, then the message loop.
//
// For a run without an operator (the run script, the tests), the environment may ask for:
//   TOLM_MESSAGES=stderr   message boxes and beeps written to stderr, answered with the
//                          default button, instead of shown;
//   TOLM_CAMERAS=<k:c,...> camera windows opened once capture runs, window i showing camera
//                          c of chip k, laid out side by side;
//   TOLM_SCREENSHOT=<file> a PNG of the main form with its menus opened and its camera
//                          windows, 2.5 s after start (the windows of the stored
//                          configuration and of the list have shown live video by then);
//   TOLM_RUN_MS=<n>        the main form closed normally n ms after start (0: not at all).
#include "camera_windows_run.h"
#include "ui/live/chanel_form.h"
#include "form_snapshot.h"
#include "ui/main/main_form.h"
#include "lifecycle/startup.h"
#include "station_program.h"

#include "platform/qt_dialog_host.h"
#include "platform/qt_ui_sink.h"

#include <win32/errors.h>
#include <win32/synch.h>
#include <win32_owners/unique_handle.h>

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// The unattended-run requests of the environment.
void schedule_unattended_steps(station::StationProgram& program) {
    TMain_Kastrel_Form& form = program.Form();
    QPointer<TMain_Kastrel_Form> target(&form);
    if (const char* list = env("TOLM_CAMERAS")) {
        const auto wanted = station::ParseCameraList(list);
        // After the second stage has started capture (100 ms after the first).
        QTimer::singleShot(400, &form, [target, &program, wanted] {
            if (!target) {
                return;
            }
            // Below the form, clear of its settings menu (the screenshot shows it opened).
            const QMenu* menu = target->Menu("Adj_Par_Menu");
            const int room = menu != nullptr ? menu->sizeHint().height() : 0;
            const QPoint origin = target->frameGeometry().bottomLeft() + QPoint(0, room + 32);
            int i = 0;
            for (const auto& [chip, camera] : wanted) {
                if (station::TFormChanel* w = station::OpenCameraWindow(program, chip, camera)) {
                    w->move(origin + QPoint((i % 4) * (w->frameGeometry().width() + 8),
                                            (i / 4) * (w->frameGeometry().height() + 8)));
                    ++i;
                }
            }
        });
    }
    if (const char* file = env("TOLM_SCREENSHOT")) {
        const QString path = QString::fromLocal8Bit(file);
        // Once the camera windows (of the stored configuration or the list) show pictures.
        QTimer::singleShot(2500, &form, [target, path] {
            if (target) {
                station::MainFormSnapshot(*target).save(path, "PNG");
            }
        });
    }
    const char* ms = env("TOLM_RUN_MS");
    if (ms != nullptr && std::atoi(ms) > 0) {
        QTimer::singleShot(std::atoi(ms), &form, [target] {
            if (target) {
                target->close();
            }
        });
    }
}

} // namespace

int main(int argc, char** argv) {
    // A second instance ends at once, silently, before any form or the window system exists.
    const win32_owners::UniqueHandle instance(
        CreateEventA(nullptr, FALSE, FALSE, station::kSingleInstanceEventName));
    if (!instance || GetLastError() == ERROR_ALREADY_EXISTS) {
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::optional<platform::ScopedUiSink> sink;
    const char* messages = env("TOLM_MESSAGES");
    if (messages == nullptr || std::string(messages) != "stderr") {
        sink.emplace(std::make_shared<platform::QtUiSink>());
    }
    // The capture driver's settings dialogs.
    const platform::ScopedDialogHost dialogs(std::make_shared<platform::QtDialogHost>());

    auto program = std::make_unique<station::StationProgram>();
    if (program->Start()) {
        schedule_unattended_steps(*program);
    }
    const int status = QApplication::exec();
    program.reset();
    return status;
}
