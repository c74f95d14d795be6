// The installer program: one modal dialog; the program ends when it closes.
#include "platform/qt_ui_sink.h"
#include "setup_dialog.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::ScopedUiSink sink(std::make_shared<platform::QtUiSink>());
    setup::SetupDialog dialog;
    dialog.exec();
    return 0;
}
