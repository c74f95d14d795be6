// The per-camera settings dialog and the notice window offscreen: loading every page, the
// number edits and the key filter, the sound-file edit, Escape, an outside free and the
// window's destruction, the window showing its points; the camera window's minimise and
// restore while hidden. Screenshots of the four pages, the window with its points and the
// notice.
#include "ui/camera/adj_found_form.h"
#include "ui/common/info_form.h"
#include "ui/common/qt_text.h"
#include "ui/live/chanel_form.h"

#include "base/language.h"
#include "live/tests/live_fakes.h"
#include "manual_clock.h"
#include "temp_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <platform/ui_recorder.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace station;
using live_test::BitmapHeader;

void drain_deletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void save(QWidget& w, const char* name) {
    QDir().mkpath(TOLM_SCREENSHOT_DIR);
    EXPECT_TRUE(w.grab().save(QString(TOLM_SCREENSHOT_DIR) + "/" + name));
}

void type(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

template <class W> W* find(QWidget* root, const char* name) {
    W* w = root->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class AdjFoundForm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(base.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        base.ProgramDir = program.path().string();
        base.ReportFlags.fill(true);
        base.LocalClock = [] { return LocalDateTime{2026, 12, 10, 18, 0, 0, 0}; };
        hooks.OpenAdjFound = [this](int slot) { Open(slot); };
        hooks.FreeAdjFound = [this] { registry.Free(SettingsDialog::AdjFound); };
        window = AddChanelClick(live, hooks, &owner);
        ASSERT_NE(window, nullptr);
        window->resize(400, 300);
        QCoreApplication::processEvents();
        window->Window().CamNumber = 3;
        live.Tables.CamSat[3] = 40;
        live.Tables.CamHue[3] = 200;
    }
    void TearDown() override {
        registry.Free(kShutdownFrees);
        drain_deletes();
        for (QObject* child : owner.children()) {
            delete dynamic_cast<TFormChanel*>(child);
        }
        drain_deletes();
    }

    TFormAdjFound* Open(int slot) {
        registry.Free(SettingsDialog::AdjFound);
        AdjFoundModel::Ports ports{base,
                                   live.Slots,
                                   live.AdjFound,
                                   live.Tables,
                                   CameraPicture{bright.data(), contr.data(),
                                                 &live.Tables.CamSat[1], &live.Tables.CamHue[1]},
                                   chips,
                                   [] { return 1; },
                                   [](int) { return true; }};
        dialog = OpenSettingsDialog<TFormAdjFound>(registry, SettingsDialog::AdjFound, [&] {
            return new TFormAdjFound(std::move(ports), slot);
        });
        return dialog;
    }
    std::string Log() const {
        std::ifstream in(program.path() / "20261210.rpt", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A grey frame through the window (its overlays included).
    void Frame() {
        std::vector<std::uint8_t> grey(64 * 48, 120);
        window->Window().TakeLocalFrame(BitmapHeader(64, 48, 8), grey);
    }

    tolm_test::TempDir program{"tolm-adjfound"};
    live_test::FakeCapture capture;
    live_test::FakeBoard board;
    live_test::NoLivePorts ports;
    BaseState base;
    LiveStation live{capture, board, base, ports.Ports()};
    std::array<std::int32_t, kCameraCount> bright{};
    std::array<std::int32_t, kCameraCount> contr{};
    std::array<bool, kChipCount> chips{true, true, false, false};
    DialogRegistry registry;
    ChanelHooks hooks;
    QWidget owner;
    TFormChanel* window = nullptr;
    QPointer<TFormAdjFound> dialog;
    tolm_test::ScopedManualClock clock{10000};
    std::shared_ptr<platform::UiRecorder> recorder = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink{recorder};
};

TEST_F(AdjFoundForm, ShowsEveryPageLoadedFromTheWindow) {
    ChanelWindow& w = window->Window();
    w.Detection.Threshold = 44;
    w.Detection.SigmaMode = 0;
    w.UseOutput = 1;
    w.OutputPin = 6;
    w.UseSound = 1;
    w.UseSpeaker = 0;
    w.SoundFile = "alarm.wav";
    w.WriteOnAlarm = 1;
    w.WriteJpeg = 1;
    w.WriteQuality = 75;
    w.UseMinimize = 1;
    w.MinimizeTime = 60;
    w.AlarmMon = 1;
    w.AlarmMonNumber = {1, 0, 1, 0};
    w.NetJpeg = 1;
    w.ChNumber = 2;
    w.Detection.PointCount = 0;
    find<QToolButton>(window, "FindBtn")->click();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(live.AdjFound.OpenFor(1));
    EXPECT_EQ(find<QScrollBar>(dialog, "SB1")->value(), 44);
    EXPECT_EQ(find<QLabel>(dialog, "Label1")->text(), "17.3%");
    EXPECT_FALSE(find<QScrollBar>(dialog, "SB5")->isEnabled());
    EXPECT_TRUE(find<QCheckBox>(dialog, "UseOutputCB")->isChecked());
    EXPECT_EQ(find<QLineEdit>(dialog, "OutputPinEd")->text(), "6");
    EXPECT_TRUE(find<QLineEdit>(dialog, "Edit1")->isEnabled());
    EXPECT_EQ(find<QLineEdit>(dialog, "Edit1")->text(), "alarm.wav");
    EXPECT_EQ(find<QScrollBar>(dialog, "SatSB")->value(), 40);
    EXPECT_EQ(find<QComboBox>(dialog, "CamSelectCB")->currentIndex(), 2);
    EXPECT_EQ(find<QComboBox>(dialog, "CamSelectCB")->count(), 16);
    EXPECT_EQ(find<QComboBox>(dialog, "RemSelectCB")->count(), 21);
    EXPECT_EQ(find<QComboBox>(dialog, "ChSelectCB")->currentText(), "2");
    EXPECT_EQ(dialog->Pages()->tabText(0), LangText(base.LangList, 59));
    EXPECT_EQ(dialog->windowTitle(), LangText(base.LangList, 5));

    // The standard grid, shown on the window while the dialog is open.
    find<QPushButton>(dialog, "B1")->click();
    dialog->Timer1Timer();
    EXPECT_EQ(find<QLabel>(dialog, "Label11")->text(), "4000");
    Frame();
    const QImage& picture = window->Panel1()->Picture();
    const int px = PerMilleToPixel(window->Panel1()->width(), w.Detection.PointX[0]);
    const int py = PerMilleToPixel(window->Panel1()->height(), w.Detection.PointY[0]);
    EXPECT_EQ(QColor(picture.pixel(px, py)), QColor(0, 255, 0));
    save(*window, "camera_window_points.png");

    const char* names[] = {"adj_found_detection.png", "adj_found_alarm.png",
                           "adj_found_network.png", "adj_found_picture.png"};
    for (int page = 0; page < 4; ++page) {
        dialog->Pages()->setCurrentIndex(page);
        QCoreApplication::processEvents();
        save(*dialog, names[page]);
    }
    // The picture page hides the window's points.
    EXPECT_TRUE(live.AdjFound.ShowsPicturePage);
    dialog->Pages()->setCurrentIndex(0);
    EXPECT_FALSE(live.AdjFound.ShowsPicturePage);
}

TEST_F(AdjFoundForm, NumberEditsFilterKeysAndPastes) {
    window->Window().OutputPin = 3;
    window->Window().UseOutput = 1;
    window->Window().UseMinimize = 1;
    window->Window().MinimizeTime = 20;
    Open(1);
    dialog->Timer1Timer();
    QLineEdit* pin = find<QLineEdit>(dialog, "OutputPinEd");
    pin->selectAll();
    type(pin, Qt::Key_9, "9");
    EXPECT_EQ(pin->text(), "1");
    EXPECT_EQ(window->Window().OutputPin, 1);
    EXPECT_EQ(recorder->calls().size(), 2u);

    recorder->clear();
    type(pin, Qt::Key_A, "a");
    EXPECT_EQ(pin->text(), "1");
    EXPECT_EQ(recorder->calls().size(), 1u);

    // Pasted text that is no number is refused: the edit keeps its last text.
    recorder->clear();
    QLineEdit* minimize = find<QLineEdit>(dialog, "MinimizeTimeEd");
    minimize->selectAll();
    QGuiApplication::clipboard()->setText("3x");
    minimize->paste();
    EXPECT_EQ(minimize->text(), "20");
    EXPECT_EQ(window->Window().MinimizeTime, 20);
    EXPECT_EQ(recorder->calls().size(), 1u);
    // A pasted number goes through the rule.
    minimize->selectAll();
    QGuiApplication::clipboard()->setText("2");
    minimize->paste();
    EXPECT_EQ(minimize->text(), "5");
    EXPECT_EQ(window->Window().MinimizeTime, 5);
}

TEST_F(AdjFoundForm, SoundFileIsTakenOnEnter) {
    window->Window().UseSound = 1;
    window->Window().UseSpeaker = 0;
    Open(1);
    QLineEdit* edit1 = find<QLineEdit>(dialog, "Edit1");
    edit1->setFocus();
    edit1->selectAll();
    for (QChar ch : QString("siren.wav")) {
        type(edit1, 0, ch);
    }
    type(edit1, Qt::Key_Return);
    EXPECT_EQ(window->Window().SoundFile, "siren.wav");
}

TEST_F(AdjFoundForm, EscapeCancels) {
    window->Window().Detection.Threshold = 10;
    Open(1);
    dialog->Timer1Timer();
    find<QScrollBar>(dialog, "SB1")->setValue(200);
    EXPECT_EQ(window->Window().Detection.Threshold, 200);
    type(dialog, Qt::Key_Escape);
    EXPECT_EQ(window->Window().Detection.Threshold, 10);
    drain_deletes();
    EXPECT_FALSE(dialog);
    EXPECT_FALSE(live.AdjFound.Open);
    EXPECT_NE(Log().find(base.LangList[241]), std::string::npos);
}

TEST_F(AdjFoundForm, OutsideFreeAndTheWindowsDestructionRunNoCancel) {
    Open(1);
    dialog->Timer1Timer();
    find<QScrollBar>(dialog, "SB1")->setValue(200);
    registry.Free(kSystemStatusFrees);
    EXPECT_FALSE(live.AdjFound.Open);
    drain_deletes();
    EXPECT_FALSE(dialog);
    EXPECT_EQ(window->Window().Detection.Threshold, 200) << "changes stay";
    const std::string log = Log();
    EXPECT_EQ(log.find(base.LangList[248]), std::string::npos) << "no change line";
    EXPECT_NE(log.find(base.LangList[247]), std::string::npos) << "the closing line";

    // Reopened, then the window goes: the dialog goes with it.
    find<QToolButton>(window, "FindBtn")->click();
    ASSERT_TRUE(dialog);
    delete window;
    window = nullptr;
    drain_deletes();
    EXPECT_FALSE(dialog);
    EXPECT_FALSE(registry.IsOpen(SettingsDialog::AdjFound));
}

// Counts the user events it is given.
struct Probe : QObject {
    int events = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++events;
            return true;
        }
        return QObject::event(e);
    }
};
Probe& notice_probe() {
    static Probe probe;
    return probe;
}

TEST(ChanelPanel, AHiddenWindowIsMinimisedAndRestoredWithoutShowing) {
    live_test::FakeCapture capture;
    live_test::FakeBoard board;
    live_test::NoLivePorts ports;
    BaseState base;
    LiveStation live{capture, board, base, ports.Ports()};
    QWidget owner;
    TFormChanel* form = AddChanelClick(live, {}, &owner);
    ASSERT_NE(form, nullptr);
    form->hide(); // stealth
    form->Panel1()->Minimize();
    EXPECT_TRUE(form->Panel1()->Minimized());
    EXPECT_FALSE(form->isVisible());
    form->Panel1()->Restore();
    EXPECT_FALSE(form->Panel1()->Minimized());
    EXPECT_FALSE(form->isVisible());
    form->show();
    form->Panel1()->Minimize();
    EXPECT_TRUE(form->isMinimized());
    form->Panel1()->Restore();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
    delete form;
}

TEST(InfoNotice, OneNoticeAtATimeClosedByAClick) {
    InfoNotice notice;
    // Showing paints the notice alone: a pending timer (a scheduled load, the shut-down) does
    // not run inside the caller.
    bool pending_ran = false;
    QTimer::singleShot(0, [&] { pending_ran = true; });
    QCoreApplication::postEvent(&notice_probe(), new QEvent(QEvent::User));
    notice.ShowNotice("\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5", "Archive write failed");
    EXPECT_FALSE(pending_ran);
    EXPECT_EQ(notice_probe().events, 0);
    QPointer<TFormInfo> first = notice.FormInfo();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(first->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(first->size(), QSize(495, 97));
    EXPECT_EQ(first->palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(first->Text1()->text(), QString::fromUtf8("Внимание"));
    save(*first, "notice_window.png");

    notice.ShowNotice("\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5", "Archive write failed");
    EXPECT_EQ(notice.FormInfo(), first.data());
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        open += dynamic_cast<TFormInfo*>(w) != nullptr && w->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(open, 1);

    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(first->Text2(), &click);
    drain_deletes();
    EXPECT_FALSE(first);
    EXPECT_EQ(notice.FormInfo(), nullptr);
    notice.ShowNotice("a", "b");
    EXPECT_NE(notice.FormInfo(), nullptr);
}

} // namespace
