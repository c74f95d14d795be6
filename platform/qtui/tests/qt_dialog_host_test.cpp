// The Qt dialog host with the dialog manager's test templates (platform/win32/tests/fixtures/
// test_dialogs.dlg): widgets placed from the template, input reaching the dialog procedure,
// nested dialogs and the end of the session arriving from a timer, other threads.
#include "platform/qt_dialog_host.h"

#include "win32/dialog_box.h"
#include "win32/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

struct Seen {
    std::vector<std::pair<int, int>> commands; // id, notification
    std::vector<int> scrolls;                  // positions after each move
    INT_PTR nested = 0;
};
Seen* seen = nullptr;

INT_PTR CALLBACK inner_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    if ((msg == WM_COMMAND && LOWORD(wparam) == IDOK) || (msg == WM_ENDSESSION && wparam)) {
        EndDialog(dlg, msg == WM_COMMAND ? IDOK : IDCANCEL);
    }
    return FALSE;
}

INT_PTR CALLBACK outer_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_INITDIALOG:
        SetScrollRange(GetDlgItem(dlg, 130), SB_CTL, 0, 255, FALSE);
        SetScrollPos(GetDlgItem(dlg, 130), SB_CTL, 100, FALSE);
        for (const char* text : {"one", "two"}) {
            SendDlgItemMessageA(dlg, 150, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            SendDlgItemMessageA(dlg, 160, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
        ShowWindow(GetDlgItem(dlg, 180), SW_SHOW);
        return TRUE;
    case WM_COMMAND:
        seen->commands.emplace_back(LOWORD(wparam), HIWORD(wparam));
        if (LOWORD(wparam) == 180) {
            seen->nested = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), dlg, inner_proc, 0);
        } else if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wparam));
        }
        return TRUE;
    case WM_HSCROLL: {
        HWND bar = reinterpret_cast<HWND>(lparam);
        const int step = LOWORD(wparam) == SB_LINERIGHT ? 10 : 0;
        SetScrollPos(bar, SB_CTL, GetScrollPos(bar, SB_CTL) + step, TRUE);
        seen->scrolls.push_back(GetScrollPos(bar, SB_CTL));
        return TRUE;
    }
    case WM_ENDSESSION:
        if (wparam) {
            EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

QAbstractButton* button(QWidget& dialog, const QString& text) {
    for (auto* b : dialog.findChildren<QAbstractButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

// Runs `step` from the event loop once the modal dialog on top has the caption `caption`.
void when_shown(const QString& caption, std::function<void(QDialog&)> step) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, caption, step] {
        auto* top = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (top != nullptr && top->windowTitle() == caption) {
            timer->deleteLater();
            timer->stop();
            step(*top);
        }
    });
    timer->start();
}

class QtDialogHostTest : public ::testing::Test {
protected:
    QtDialogHostTest() { seen = &log; }
    ~QtDialogHostTest() override { seen = nullptr; }
    INT_PTR run() {
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(100), nullptr, outer_proc, 0);
    }

    Seen log;
    platform::ScopedDialogHost scope{std::make_shared<platform::QtDialogHost>()};
};

TEST_F(QtDialogHostTest, WidgetsFollowTheTemplateAndInputReachesTheProcedure) {
    when_shown("Test Dialog %d", [&](QDialog& d) {
        EXPECT_EQ(d.windowModality(), Qt::ApplicationModal);
        // 200 x 140 units; the OK button at 5, 120 and 40 x 14 of them.
        auto* ok = qobject_cast<QPushButton*>(button(d, "OK"));
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_NEAR(double(ok->x()) / d.width(), 5.0 / 200, 0.01);
        EXPECT_NEAR(double(ok->y()) / d.height(), 120.0 / 140, 0.01);
        EXPECT_NEAR(double(ok->width()) / d.width(), 40.0 / 200, 0.01);
        auto* combo = d.findChild<QComboBox*>();
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->height(), combo->sizeHint().height()) << "one line, not the drop-down";
        EXPECT_EQ(combo->count(), 2);
        EXPECT_FALSE(button(d, "&Nested")->isHidden()) << "shown by WM_INITDIALOG";

        button(d, "Box")->click();
        EXPECT_TRUE(qobject_cast<QCheckBox*>(button(d, "Box"))->isChecked());
        d.findChild<QListWidget*>()->setCurrentRow(1);
        emit combo->activated(1);
        auto* bar = d.findChild<QScrollBar*>();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->value(), 100);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QTimer::singleShot(0, &d, [&d, bar] {
            EXPECT_EQ(bar->value(), 110) << "the procedure's move, not the bar's own";
            button(d, "OK")->click();
        });
    });
    EXPECT_EQ(run(), IDOK);
    const std::vector<std::pair<int, int>> commands = {
        {120, BN_CLICKED}, {150, LBN_SELCHANGE}, {160, CBN_SELCHANGE}, {1, BN_CLICKED}};
    EXPECT_EQ(log.commands, commands);
    EXPECT_EQ(log.scrolls, std::vector<int>{110});
}

TEST_F(QtDialogHostTest, NestedDialogsEndTogetherAtTheEndOfTheSession) {
    QDialog* outer = nullptr;
    when_shown("Test Dialog %d", [&](QDialog& d) {
        outer = &d;
        QTimer::singleShot(0, &d, [&d] { button(d, "&Nested")->click(); });
        when_shown("Inner", [&](QDialog& inner) {
            EXPECT_EQ(inner.parentWidget(), outer) << "owned by the dialog that opened it";
            QTimer::singleShot(0, [] { SendMessageA(HWND_BROADCAST, WM_ENDSESSION, TRUE, 0); });
        });
    });
    EXPECT_EQ(run(), IDCANCEL);
    EXPECT_EQ(log.nested, IDCANCEL);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtDialogHostTest, OffTheApplicationsThreadADialogEndsAtOnce) {
    INT_PTR result = 0;
    std::thread([&] { result = run(); }).join();
    EXPECT_EQ(result, IDCANCEL);
}

} // namespace
