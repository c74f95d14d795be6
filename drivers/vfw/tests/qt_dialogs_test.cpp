// The driver's five dialogs under the Qt dialog host on the virtual board, opened through a
// capture window and operated through their widgets; each one saved as a screenshot
// (build/screenshots/driver_*.png).
#include "board_fixture.h"

#include "platform/qt_dialog_host.h"

#include "win32/files.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace capdrv_test {
namespace {

// The dialog under a plain caption bar with its window title (offscreen windows have no
// frame of their own).
void save(QWidget& w, const char* name) {
    const QPixmap body = w.grab();
    const int bar = w.fontMetrics().height() + 8;
    QImage shot(body.width(), body.height() + bar, QImage::Format_RGB32);
    shot.fill(QColor(0x00, 0x00, 0x80));
    QPainter painter(&shot);
    painter.setPen(Qt::white);
    QFont bold = w.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(6, 0, body.width() - 12, bar), Qt::AlignLeft | Qt::AlignVCenter,
                     w.windowTitle());
    painter.drawPixmap(0, bar, body);
    painter.end();
    QDir().mkpath(TOLM_SCREENSHOT_DIR);
    EXPECT_TRUE(shot.save(QString(TOLM_SCREENSHOT_DIR) + "/" + name)) << name;
}

QAbstractButton* button(QWidget& dialog, const QString& text) {
    for (auto* b : dialog.findChildren<QAbstractButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// Clicks the button from the event loop, as the operator's click arrives: a dialog it opens
// runs its own loop while this step has returned.
void press(QWidget& dialog, const QString& text) {
    if (auto* b = button(dialog, text)) {
        QTimer::singleShot(0, b, [b] { b->click(); });
    }
}

// Acts in the modal dialogs as they come up: each step waits for a dialog with its caption on
// top, then runs once. Steps run from a timer, as an operator's input would arrive.
class Operator {
public:
    struct Step {
        QString caption;
        std::function<void(QDialog&)> act;
    };
    explicit Operator(std::vector<Step> steps) : steps_(std::move(steps)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    bool finished() const { return next_ == steps_.size(); }

private:
    void poll() {
        auto* top = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (finished() || top == nullptr || top->windowTitle() != steps_[next_].caption) {
            return;
        }
        const std::size_t at = next_++;
        steps_[at].act(*top);
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
};

class QtDialogs : public OnBoard {
protected:
    platform::ScopedDialogHost scope_{std::make_shared<platform::QtDialogHost>()};
};

TEST_F(QtDialogs, FiveDialogsBuiltFromTheirTemplatesAndOperatedThroughTheirWidgets) {
    set_user_value(0, "Help", 1);
    char directory[MAX_PATH] = {};
    GetSystemDirectoryA(directory, MAX_PATH);
    std::filesystem::copy_file(BT878_HELP_PATH, std::filesystem::path(directory) / "bt878.txt",
                               std::filesystem::copy_options::overwrite_existing);
    connect();

    int registers = 0;
    QString brightness_after_default;
    Operator source_run({
        {"Video Source Driver 1",
         [&](QDialog& d) {
             // Template 300 is 262 x 150 dialog units; the widgets follow the font's units.
             EXPECT_GT(d.width(), 262);
             EXPECT_GT(d.height(), 150);
             EXPECT_TRUE(d.isModal());
             auto edits = d.findChildren<QLineEdit*>();
             ASSERT_EQ(edits.size(), 4);
             auto* standards = d.findChild<QComboBox*>();
             ASSERT_NE(standards, nullptr);
             EXPECT_EQ(standards->currentText(), "PAL-B,D,G,H,I");
             std::vector<int> bars;
             for (auto* bar : d.findChildren<QScrollBar*>()) {
                 EXPECT_EQ(bar->maximum(), 255);
                 bars.push_back(bar->value());
             }
             EXPECT_EQ(bars, (std::vector<int>{128, 128, 128, 0}));
             save(d, "driver_video_source.png");
             button(d, "&Default")->click();
             brightness_after_default = edits[0]->text();
             press(d, "&Help");
         }},
        {"Board Driver 1",
         [&](QDialog& d) {
             auto lists = d.findChildren<QListWidget*>();
             ASSERT_EQ(lists.size(), 2);
             registers = lists[1]->count();
             lists[1]->setCurrentRow(10);
             save(d, "driver_board.png");
             press(d, "Help");
         }},
        {"Help",
         [&](QDialog& d) {
             save(d, "driver_help.png");
             press(d, "OK");
         }},
        {"Board Driver 1", [&](QDialog& d) { press(d, "OK"); }},
        {"Video Source Driver 1", [&](QDialog& d) { press(d, "Cancel"); }},
    });
    EXPECT_TRUE(capDlgVideoSource(window_));
    EXPECT_TRUE(source_run.finished());
    EXPECT_EQ(registers, 73);
    EXPECT_EQ(brightness_after_default, "128");

    Operator format_run({{"Video Format Driver 1", [&](QDialog& d) {
                              save(d, "driver_video_format.png");
                              press(d, "1/&2");
                              press(d, "OK");
                          }}});
    EXPECT_TRUE(capDlgVideoFormat(window_));
    EXPECT_TRUE(format_run.finished());
    BITMAPINFOHEADER format{};
    ASSERT_EQ(capGetVideoFormat(window_, &format, sizeof format), sizeof format);
    EXPECT_EQ(format.biWidth, 384);

    Operator settings_run({{"Settings Driver 0", [&](QDialog& d) {
                                save(d, "driver_settings.png");
                                press(d, "OK");
                            }}});
    EXPECT_TRUE(capDlgVideoDisplay(window_));
    EXPECT_TRUE(settings_run.finished());
}

} // namespace
} // namespace capdrv_test
