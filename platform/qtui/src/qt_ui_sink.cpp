#include "platform/qt_ui_sink.h"

#include "platform/cp1251.h"

#include "win32/dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {
namespace {

QString text_of(std::string_view cp1251) {
    return QString::fromStdString(cp1251::to_utf8(cp1251));
}

QMessageBox::Icon icon_of(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct Button {
    int id;
    QMessageBox::StandardButton qt;
};

std::vector<Button> buttons_of(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{IDOK, QMessageBox::Ok}, {IDCANCEL, QMessageBox::Cancel}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, QMessageBox::Abort},
                {IDRETRY, QMessageBox::Retry},
                {IDIGNORE, QMessageBox::Ignore}};
    case MB_YESNOCANCEL:
        return {
            {IDYES, QMessageBox::Yes}, {IDNO, QMessageBox::No}, {IDCANCEL, QMessageBox::Cancel}};
    case MB_YESNO:
        return {{IDYES, QMessageBox::Yes}, {IDNO, QMessageBox::No}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, QMessageBox::Retry}, {IDCANCEL, QMessageBox::Cancel}};
    default:
        return {{IDOK, QMessageBox::Ok}};
    }
}

} // namespace

int QtUiSink::message_box(HWND, std::string_view text, std::string_view caption, UINT type) {
    QMessageBox box(icon_of(type), text_of(caption), text_of(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    const std::vector<Button> buttons = buttons_of(type);
    for (const Button& b : buttons) {
        box.addButton(b.qt);
    }
    const int fallback = platform::default_button(type);
    for (const Button& b : buttons) {
        if (b.id == fallback) {
            box.setDefaultButton(b.qt);
        }
    }
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Button& b : buttons) {
        if (b.qt == pressed) {
            return b.id;
        }
    }
    // Closed without a button: Cancel where the box has one, else its default.
    for (const Button& b : buttons) {
        if (b.id == IDCANCEL) {
            return IDCANCEL;
        }
    }
    return fallback;
}

void QtUiSink::message_beep(UINT) {
    QApplication::beep();
}

void QtUiSink::beep(DWORD, DWORD) {
    QApplication::beep();
}

} // namespace platform
