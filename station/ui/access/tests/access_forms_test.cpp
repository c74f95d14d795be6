// The login and the passwords dialogs' forms: the login's result, its refusal flashing by phase
// on the manual clock and freed meanwhile; the rights grid's press and release, the rights
// written at every end, the password buttons, their notice and a failed write; the edits'
// digits rule for typed and pasted text. Screenshots in build/screenshots: login.png,
// login_refused.png, password_set.png, password_set_notice.png.
#include "ui/access/check_password_form.h"
#include "ui/access/password_set_form.h"

#include "base/language_lines.h"
#include "base/program_dir.h"
#include "settings/settings_files.h"
#include "ui/common/qt_text.h"

#include "manual_clock.h"
#include "temp_dir.h"

#include <platform/ui_recorder.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace station {
namespace {

void drain_deletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void save(QWidget& w, const char* name) {
    QDir().mkpath(TOLM_SCREENSHOT_DIR);
    EXPECT_TRUE(w.grab().save(QString(TOLM_SCREENSHOT_DIR) + "/" + name));
}

void mouse(QWidget* target, QEvent::Type type, const QPoint& at) {
    QMouseEvent e(type, at, target->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(target, &e);
}

std::vector<std::uint8_t> read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class AccessForms : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(base.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        SetProgramDir(base, dir.string());
    }

    // A login dialog held in the registry as the station opens it; its results recorded.
    TCheckPassword* open_login(LoginPasswords passwords) {
        return OpenSettingsDialog<TCheckPassword>(registry, SettingsDialog::CheckPassword, [&] {
            return new TCheckPassword(base.LangList, std::move(passwords),
                                      [this](std::uint8_t r) { results.push_back(r); });
        });
    }

    std::shared_ptr<platform::UiRecorder> recorder = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink{recorder};
    tolm_test::TempDir temp{"tolm-access-forms"};
    std::filesystem::path dir = temp.path();
    BaseState base;
    DialogRegistry registry;
    std::vector<std::uint8_t> results;
};

TEST_F(AccessForms, LoginGrantsTheLevelOfTheEntry) {
    const struct {
        const char* level1;
        const char* level2;
        const char* typed;
        std::uint8_t result;
    } cases[] = {{"123", "45", "123", 1}, {"123", "45", "45", 2}, {"123", "", "", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        results.clear();
        QPointer<TCheckPassword> login = open_login({c.level1, c.level2});
        ASSERT_TRUE(login);
        EXPECT_EQ(login->windowTitle(), LangText(base.LangList, kLineLoginCaption));
        EXPECT_EQ(login->Label1()->text(), LangText(base.LangList, kLineEnterPassword));
        EXPECT_TRUE(login->Edit1()->hasFocus() || !login->isActiveWindow());
        login->Edit1()->setText(c.typed);
        if (std::string(c.typed) == "123") {
            save(*login, "login.png");
        }
        login->OKBtnClick();
        EXPECT_EQ(results, std::vector<std::uint8_t>{c.result});
        drain_deletes();
        EXPECT_FALSE(login);
        EXPECT_FALSE(registry.IsOpen(SettingsDialog::CheckPassword));
        EXPECT_EQ(results.size(), 1u);
    }
}

TEST_F(AccessForms, RefusalFlashesByPhaseThenEndsWithZero) {
    const tolm_test::ScopedManualClock clock(5000);
    QPointer<TCheckPassword> login = open_login({"123", "45"});
    login->Edit1()->setText("9");
    login->OKBtnClick();
    EXPECT_FALSE(login->isEnabled());
    EXPECT_TRUE(login->Label2()->isVisibleTo(login));
    EXPECT_FALSE(login->Edit1()->isVisibleTo(login));
    EXPECT_FALSE(login->OKBtn()->isVisibleTo(login));
    EXPECT_TRUE(login->FlashTimer()->isActive());
    EXPECT_EQ(login->Label2()->text(), LangText(base.LangList, kLineWrongPassword));
    save(*login, "login_refused.png");

    const QColor red(255, 0, 0);
    const QColor white(255, 255, 255);
    std::uint32_t t = 0;
    for (const auto& [at, colour] : std::vector<std::pair<std::uint32_t, QColor>>{{250, red},
                                                                                  {750, white},
                                                                                  {1250, red},
                                                                                  {1750, white},
                                                                                  {2250, red},
                                                                                  {2750, white},
                                                                                  {3250, red},
                                                                                  {3750, white},
                                                                                  {4000, white}}) {
        clock.advance(at - t);
        t = at;
        login->FlashTimerTimer();
        ASSERT_TRUE(login);
        EXPECT_EQ(login->Label2()->palette().color(QPalette::WindowText), colour) << at;
        EXPECT_TRUE(results.empty()) << at;
    }
    clock.advance(1);
    login->FlashTimerTimer();
    EXPECT_EQ(results, std::vector<std::uint8_t>{0});
    EXPECT_EQ(login->Label2()->palette().color(QPalette::WindowText), white);
    EXPECT_TRUE(login->isEnabled());
    EXPECT_FALSE(login->FlashTimer()->isActive());
    drain_deletes();
    EXPECT_FALSE(login);
}

TEST_F(AccessForms, LoginFreedOrClosedDuringTheFlashEndsOnceWithZero) {
    for (const bool by_registry : {true, false}) {
        SCOPED_TRACE(by_registry ? "freed by the registry" : "closed");
        results.clear();
        const tolm_test::ScopedManualClock clock(100);
        QPointer<TCheckPassword> login = open_login({"1", "2"});
        login->Edit1()->setText("3");
        login->OKBtnClick();
        clock.advance(600);
        login->FlashTimerTimer();
        if (by_registry) {
            registry.Free(SettingsDialog::CheckPassword);
        } else {
            login->close();
        }
        EXPECT_EQ(results, std::vector<std::uint8_t>{0});
        drain_deletes();
        EXPECT_FALSE(login);
        EXPECT_EQ(results.size(), 1u);
        EXPECT_FALSE(registry.IsOpen(SettingsDialog::CheckPassword));
    }
    // Closed before OK, or left with Escape: 0 as well, and the dialog goes.
    for (const bool escape : {false, true}) {
        results.clear();
        QPointer<TCheckPassword> login = open_login({"1", "2"});
        login->Edit1()->setText("1");
        if (escape) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(login->Edit1(), &esc);
        } else {
            login->close();
        }
        EXPECT_EQ(results, std::vector<std::uint8_t>{0});
        drain_deletes();
        EXPECT_FALSE(login);
        EXPECT_FALSE(registry.IsOpen(SettingsDialog::CheckPassword));
    }
}

TEST_F(AccessForms, EditsKeepDigitsTypedOrPasted) {
    TPasswordSet dialog(base);
    dialog.show();
    const struct {
        const char* in;
        const char* out;
        bool beep;
    } cases[] = {{"12a", "12", true},     {"30000", "30000", false}, {"30001", "3000", true},
                 {"1 2\t3", "123", true}, {"123456", "12345", true}, {"", "", false}};
    for (int e = 1; e <= 4; ++e) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "Edit" << e << " " << c.in);
            recorder->clear();
            dialog.Edit(e)->clear();
            dialog.Edit(e)->insert(QString::fromUtf8(c.in)); // a paste
            EXPECT_EQ(dialog.Edit(e)->text().toStdString(), c.out);
            EXPECT_EQ(!recorder->calls().empty(), c.beep);
        }
    }
    // A typed letter is dropped the same way.
    dialog.Edit(1)->clear();
    for (const char* key : {"4", "x", "2"}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
        QCoreApplication::sendEvent(dialog.Edit(1), &press);
    }
    EXPECT_EQ(dialog.Edit(1)->text(), "42");
    EXPECT_EQ(dialog.Edit(1)->displayText(), "##");
}

TEST_F(AccessForms, RightsGridTogglesOnlyInTheRightsColumn) {
    RightsTable rights{};
    rights[1] = true;
    ASSERT_TRUE(SaveRightsFile(base, rights));
    auto* dialog = OpenSettingsDialog<TPasswordSet>(registry, SettingsDialog::PasswordSet,
                                                    [&] { return new TPasswordSet(base); });
    QPointer<TPasswordSet> held(dialog);
    EXPECT_EQ(dialog->Model().Rights(), rights);
    EXPECT_FALSE(dialog->Button(1)->isEnabled());
    QWidget* viewport = dialog->DG1()->viewport();
    const auto click = [&](int column, int row) {
        const QPoint at = dialog->DG1()->CellRect(column, row).center();
        mouse(viewport, QEvent::MouseButtonPress, at);
        mouse(viewport, QEvent::MouseButtonRelease, at);
    };
    click(1, 3);
    click(0, 2);
    click(1, 0);
    click(0, 0);
    click(1, 2);
    RightsTable expected{};
    expected[2] = true;
    EXPECT_EQ(dialog->Model().Rights(), expected);
    save(*dialog, "password_set.png");

    // Freed from outside (a lock, a load): the ticked rights are written all the same.
    registry.Free(SettingsDialog::PasswordSet);
    drain_deletes();
    EXPECT_FALSE(held);
    EXPECT_EQ(LoadRightsFile(base), expected);

    // Left with Escape without a change: written again as read, and the dialog goes.
    std::filesystem::remove(dir / "net1.pdt");
    held = OpenSettingsDialog<TPasswordSet>(registry, SettingsDialog::PasswordSet,
                                            [&] { return new TPasswordSet(base); });
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(held->Edit(1), &esc);
    drain_deletes();
    EXPECT_FALSE(held);
    EXPECT_FALSE(registry.IsOpen(SettingsDialog::PasswordSet));
    EXPECT_EQ(read(dir / "net1.pdt"), std::vector<std::uint8_t>(20, 0));
}

TEST_F(AccessForms, PasswordButtonsStoreAndShowTheNotice) {
    auto* dialog = OpenSettingsDialog<TPasswordSet>(registry, SettingsDialog::PasswordSet,
                                                    [&] { return new TPasswordSet(base); });
    QPointer<TPasswordSet> held(dialog);
    // Different texts keep the button off; equal ones (empty too) enable it.
    dialog->Edit(1)->setText("123");
    EXPECT_FALSE(dialog->Button(1)->isEnabled());
    dialog->Edit(2)->setText("123");
    EXPECT_TRUE(dialog->Button(1)->isEnabled());
    EXPECT_TRUE(dialog->Button(2)->isEnabled() == false);
    dialog->Edit(3)->setText("7");
    dialog->Edit(3)->clear();
    EXPECT_TRUE(dialog->Button(2)->isEnabled());

    QElapsedTimer waited;
    waited.start();
    dialog->Button(1)->click();
    EXPECT_EQ(LoadPasswordFile(base, 1), "123");
    EXPECT_FALSE(dialog->Button(1)->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->Notice(1)->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->NoticeTimer(1)->isActive());
    EXPECT_EQ(dialog->NoticeTimer(1)->interval(), 1001);
    EXPECT_TRUE(dialog->NoticeTimer(1)->isSingleShot());
    EXPECT_EQ(dialog->NoticeTimer(1)->timerType(), Qt::PreciseTimer);
    save(*dialog, "password_set_notice.png");
    // The notice goes after about a second, events running meanwhile.
    while (dialog->NoticeTimer(1)->isActive() && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_GE(waited.elapsed(), 1000);
    EXPECT_TRUE(dialog->Button(1)->isVisibleTo(dialog));
    EXPECT_FALSE(dialog->Notice(1)->isVisibleTo(dialog));

    // An empty level-2 password is stored as an empty string.
    dialog->Button(2)->click();
    EXPECT_EQ(read(dir / "net3.pdt"), std::vector<std::uint8_t>(4, 0));

    // A file that cannot be written: an error, no notice, the button stays.
    std::filesystem::remove(dir / "net2.pdt");
    std::filesystem::create_directory(dir / "net2.pdt");
    recorder->clear();
    dialog->Button(1)->click();
    ASSERT_EQ(recorder->boxes().size(), 1u);
    EXPECT_EQ(recorder->boxes()[0].text, base.LangList[kLinePasswordNotSaved]);
    EXPECT_TRUE(dialog->Button(1)->isVisibleTo(dialog));
    EXPECT_FALSE(dialog->Notice(1)->isVisibleTo(dialog));

    // Freed while a notice runs: clean.
    dialog->Button(2)->click();
    EXPECT_TRUE(dialog->NoticeTimer(2)->isActive());
    registry.Free(SettingsDialog::PasswordSet);
    drain_deletes();
    EXPECT_FALSE(held);
    QCoreApplication::processEvents();
}

} // namespace
} // namespace station
