// The stored-configurations dialog's form: the painted table, the press and release on its
// cells, the timed-load group, OK failing, a free from outside; screenshots of the table and
// of the group (build/screenshots/adj_conf_table.png, adj_conf_time_load.png).
#include "ui/configuration/adj_conf_form.h"

#include "base/language.h"
#include "base/language_lines.h"
#include "base/message_boxes.h"
#include "ui/common/qt_text.h"

#include <platform/ui_recorder.h>

#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimeEdit>
#include <gtest/gtest.h>

#include <filesystem>
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

class AdjConfForm : public ::testing::Test {
protected:
    LanguageList lang;
    void SetUp() override {
        ASSERT_TRUE(lang.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        schedule[0] = {8, 0, true, "Day", 1, 1, 2000, 1};
        schedule[1] = {20, 30, true, "Night", 1, 1, 2000, 1};
        schedule[2] = {7, 5, true, "Holiday", 5, 3, 2002, 0};
        schedule[3] = {9, 0, true, "Office", 1, 1, 2000, 2};
        schedule[4] = {10, 0, false, "Weekend", 1, 1, 2000, 3};
        schedule[5] = {25, 70, true, "Broken", 31, 2, 2001, 9};
        state.CurConf = 2;
        AdjConfModel::Actions actions;
        actions.Save = [this](int n) {
            saved.push_back(n);
            return true;
        };
        actions.Load = [this](int n) { loaded.push_back(n); };
        actions.SaveTable = [this] { return table_ok; };
        form = std::make_unique<TAdjConf>(lang, schedule, state, actions);
        form->show();
    }

    // A press and a release on cells of the table.
    void click(int press_column, int press_row, int release_column, int release_row) {
        QWidget* view = form->DG1()->viewport();
        mouse(view, QEvent::MouseButtonPress,
              form->DG1()->CellRect(press_column, press_row).center());
        mouse(view, QEvent::MouseButtonRelease,
              form->DG1()->CellRect(release_column, release_row).center());
    }

    ConfScheduleTable schedule{};
    ConfigurationState state;
    std::vector<int> saved;
    std::vector<int> loaded;
    bool table_ok = true;
    std::unique_ptr<TAdjConf> form;
};

TEST_F(AdjConfForm, TableActsOnPressAndReleaseOnOneCell) {
    auto recorder = std::make_shared<platform::UiRecorder>();
    const platform::ScopedUiSink sink(recorder);
    EXPECT_EQ(form->DG1()->CellAt(form->DG1()->CellRect(2, 3).center()), std::make_pair(2, 3));

    click(1, 3, 2, 3); // pressed on save, released on load
    click(2, 4, 2, 4);
    EXPECT_EQ(loaded, std::vector<int>{4});
    EXPECT_TRUE(recorder->boxes().empty());

    recorder->answer(IDCANCEL);
    click(1, 7, 1, 7);
    ASSERT_EQ(recorder->boxes().size(), 1u);
    EXPECT_EQ(recorder->boxes()[0].text, lang[kLineSaveQuestion] + " 7 ?");
    EXPECT_TRUE(saved.empty());
    recorder->answer(IDOK);
    click(1, 7, 1, 7);
    EXPECT_EQ(saved, std::vector<int>{7});
    EXPECT_EQ(OpenMessageBoxes(), 0);
}

TEST_F(AdjConfForm, ScreenshotsOfTheTableAndTheTimedLoadGroup) {
    save(*form, "adj_conf_table.png");
    click(4, 3, 4, 3);
    ASSERT_TRUE(form->TimeLoadBox()->isVisible());
    EXPECT_EQ(form->TimeLoadBox()->title(), QtText(form->Model().TimeLoadCaption()));
    EXPECT_EQ(form->findChild<QDateEdit*>("DTP2")->date(), QDate(2002, 3, 5));
    EXPECT_TRUE(form->findChild<QDateEdit*>("DTP2")->isEnabled());
    save(*form, "adj_conf_time_load.png");

    // A bad entry shows 1.1.2000, 0:00, daily; the date picker is off then.
    click(4, 6, 4, 6);
    EXPECT_EQ(form->findChild<QDateEdit*>("DTP2")->date(), QDate(2000, 1, 1));
    EXPECT_EQ(form->findChild<QTimeEdit*>("DTP1")->time(), QTime(0, 0));
    EXPECT_FALSE(form->findChild<QDateEdit*>("DTP2")->isEnabled());
    form->findChild<QTimeEdit*>("DTP1")->setTime(QTime(6, 45));
    form->findChild<QPushButton*>("SetBtn")->click();
    EXPECT_FALSE(form->TimeLoadBox()->isVisible());
    EXPECT_EQ(schedule[5].Hour, 6);
    EXPECT_EQ(schedule[5].Minute, 45);
    EXPECT_EQ(schedule[5].Mode, 1);
}

TEST_F(AdjConfForm, OKFailingSaysSoAndStaysOpen) {
    auto recorder = std::make_shared<platform::UiRecorder>();
    const platform::ScopedUiSink sink(recorder);
    table_ok = false;
    form->OKBtn()->click();
    ASSERT_EQ(recorder->boxes().size(), 1u);
    EXPECT_EQ(recorder->boxes()[0].text, lang[kLineConfTableNotSaved]);
    EXPECT_TRUE(form->isVisible());
    table_ok = true;
    form->OKBtn()->click();
    EXPECT_FALSE(form->isVisible());
}

// Freed from outside: no Cancel (the names keep their edits), the form goes later.
TEST_F(AdjConfForm, FreedFromOutsideKeepsTheEdits) {
    DialogRegistry registry;
    ConfScheduleTable table{};
    ConfigurationState st;
    TAdjConf* d = OpenSettingsDialog<TAdjConf>(registry, SettingsDialog::AdjConf, [&] {
        return new TAdjConf(lang, table, st, AdjConfModel::Actions{});
    });
    ASSERT_NE(d, nullptr);
    QPointer<TAdjConf> held(d);
    d->Model().SetEditText(5, "edited");
    registry.Free(SettingsDialog::AdjConf);
    drain_deletes();
    EXPECT_FALSE(held);
    EXPECT_EQ(table[4].Name, "edited");
}

} // namespace
} // namespace station
