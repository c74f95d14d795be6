#include "ui/main/main_form.h"

#include "base/language.h"
#include "ui/common/qt_text.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class MainForm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lang.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        form.SetCaptions(lang);
    }

    static QStringList names(const QWidget* w) {
        QStringList out;
        for (const QAction* a : w->actions()) {
            out << a->objectName();
        }
        return out;
    }

    station::LanguageList lang;
    TMain_Kastrel_Form form;
};

TEST_F(MainForm, MenusFollowTheLayout) {
    EXPECT_EQ(names(form.menuBar()), (QStringList{"Adj_Par_Menu", "ViewMenu"}));
    ASSERT_NE(form.Menu("Adj_Par_Menu"), nullptr);
    EXPECT_EQ(names(form.Menu("Adj_Par_Menu")),
              (QStringList{"SoerceMenu", "ResMenu", "AdjADCMenu", "PriorMenu", "StealthMenu", "N7",
                           "MonControlMenu", "FormDiskWriteModeMenu", "AdjNetMenu", "AdjHardMenu",
                           "AdjRepMenu", "N3", "N1"}));
    ASSERT_NE(form.Menu("ViewMenu"), nullptr);
    EXPECT_EQ(names(form.Menu("ViewMenu")),
              (QStringList{"AddChanel", "N2", "ReviewMenu", "ViewRepMenu"}));
    EXPECT_TRUE(form.MenuItem("N3")->isSeparator());
    EXPECT_TRUE(form.MenuItem("N2")->isSeparator());
    for (const char* board : {"SoerceMenu", "ResMenu"}) {
        ASSERT_NE(form.Menu(board), nullptr) << board;
        const QString prefix = QString(board).chopped(4) + "MenuItem";
        EXPECT_EQ(names(form.Menu(board)),
                  (QStringList{prefix + "1", prefix + "2", prefix + "3", prefix + "4"}));
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(form.MenuItem((prefix + QString::number(k)).toStdString())->text(),
                      QString::number(k));
        }
    }
}

TEST_F(MainForm, CaptionsComeFromTheLanguageFile) {
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Кастрель 26.15"));
    const struct {
        const char* name;
        int line;
    } captions[] = {
        {"Adj_Par_Menu", 5},
        {"StealthMenu", 6},
        {"N1", 7},
        {"N7", 49},
        {"ViewMenu", 50},
        {"AddChanel", 51},
        {"ResMenu", 53},
        {"SoerceMenu", 54},
        {"PriorMenu", 30},
        {"FormDiskWriteModeMenu", 91},
        {"ReviewMenu", 24},
        {"AdjNetMenu", 27},
        {"AdjADCMenu", 271},
        {"AdjHardMenu", 161},
        {"AdjRepMenu", 213},
        {"ViewRepMenu", 226},
        {"MonControlMenu", 162},
    };
    for (const auto& c : captions) {
        const QAction* a = form.MenuItem(c.name);
        ASSERT_NE(a, nullptr) << c.name;
        EXPECT_FALSE(a->text().isEmpty()) << c.name;
        EXPECT_EQ(a->text(), station::LangText(lang, c.line)) << c.name;
    }
    EXPECT_EQ(form.MenuItem("Adj_Par_Menu")->text(), QString::fromUtf8("Настройка"));
}

// The form with both menus opened below their titles, saved for a look.
TEST_F(MainForm, Screenshot) {
    form.resize(720, 360);
    form.show();
    QMenuBar* bar = form.menuBar();
    QMenu* settings = form.Menu("Adj_Par_Menu");
    QMenu* view = form.Menu("ViewMenu");
    QMenu* source = form.Menu("SoerceMenu");
    for (QMenu* m : {settings, view, source}) {
        m->ensurePolished();
        m->resize(m->sizeHint());
    }
    const QPixmap shot = form.grab();
    const QPoint settings_at =
        bar->mapTo(&form, bar->actionGeometry(settings->menuAction()).bottomLeft());
    const QPoint view_at = bar->mapTo(&form, bar->actionGeometry(view->menuAction()).bottomLeft());
    const QPoint source_at =
        settings_at +
        QPoint(settings->width(), settings->actionGeometry(source->menuAction()).top());
    // The view menu goes beside the settings menu and its sub-menu, so that none hides another.
    const QPoint view_pos(source_at.x() + source->width() + 16, view_at.y());
    const int width = std::max(shot.width(), view_pos.x() + view->width() + 8);
    const int height = std::max(shot.height(), settings_at.y() + settings->height() + 8);
    QPixmap canvas(width, height);
    canvas.fill(Qt::darkGray);
    {
        QPainter p(&canvas);
        p.drawPixmap(0, 0, shot);
        p.drawPixmap(settings_at, settings->grab());
        p.drawPixmap(source_at, source->grab());
        p.drawPixmap(view_pos, view->grab());
    }
    QDir().mkpath(TOLM_SCREENSHOT_DIR);
    const QString file = QString(TOLM_SCREENSHOT_DIR) + "/main_form.png";
    ASSERT_TRUE(canvas.save(file));
    EXPECT_GT(QPixmap(file).width(), 0);
}

} // namespace
