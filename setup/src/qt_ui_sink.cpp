#include "qt_ui_sink.h"

#include "platform/cp1251.h"
#include "win32/dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace setup {
namespace {

QString text_of(std::string_view cp1251) {
    return QString::fromStdString(platform::cp1251::to_utf8(cp1251));
}

} // namespace

int QtUiSink::message_box(HWND, std::string_view text, std::string_view caption, UINT type) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(text_of(caption));
    box.setText(text_of(text));
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((type & MB_DEFMASK) == MB_DEFBUTTON2 ? QMessageBox::No
                                                                  : QMessageBox::Yes);
        break;
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    }
}

void QtUiSink::message_beep(UINT) {
    QApplication::beep();
}

void QtUiSink::beep(DWORD, DWORD) {
    QApplication::beep();
}

} // namespace setup
