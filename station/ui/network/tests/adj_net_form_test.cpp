// The network settings dialog's form offscreen: the port edit's key filter and change rule as
// typed and pasted, the buttons and their order, the grid edited only while the network is
// off, a flag lighting its lamp for one tick, the file written when the form goes, and a
// screenshot with one link up (build/screenshots/adj_net_form.png).
#include "ui/network/adj_net_form.h"

#include "network_fixture.h"

#include "base/program_dir.h"
#include "ui/common/qt_text.h"

#include <platform/ui_recorder.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <memory>

namespace network_test {
namespace {

// The main form's listening socket as the dialog's buttons use it.
struct Listening : ServerSocketPort {
    bool Open(int) override { return active = true; }
    void Close() override { active = false; }
    bool Active() const override { return active; }
    int ActiveConnections() const override { return 0; }
    ServerConnectionPort& Connection(int) override { throw std::out_of_range("no connection"); }
    bool active = true;
};

void Key(QWidget* target, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

void DoubleClick(QWidget* target, const QPoint& at) {
    QMouseEvent e(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &e);
}

class AdjNetForm : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        SetProgramDir(base_, folder_.path().string());
        links.Create(1);
        links.Create(3);
        settings.ServerPort = 40000;
        form = std::make_unique<TAdjNetForm>(base_, settings, networkOn, links, listening);
        form->show();
    }
    std::size_t Beeps() const {
        std::size_t n = 0;
        for (const auto& call : ui_->calls()) {
            n += call.kind == platform::UiRecorder::Kind::MessageBeep;
        }
        return n;
    }

    tolm_test::TempDir folder_{"tolm-adjnet-form"};
    std::shared_ptr<platform::UiRecorder> ui_ = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink_{ui_};
    Listening listening;
    std::unique_ptr<TAdjNetForm> form;
};

TEST_F(AdjNetForm, PortEditAsTypedAndPasted) {
    QLineEdit* edit = form->ServerPortEdit();
    EXPECT_EQ(edit->text(), "40000") << "the show ran the edit rule";
    EXPECT_EQ(settings.ServerPort, 40000);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(Beeps(), 0u);
    EXPECT_TRUE(form->Timer1().isActive());

    form->Button1()->click();
    ASSERT_TRUE(edit->isEnabled());
    edit->setFocus();
    edit->clear();
    for (const char c : std::string("4x0000")) {
        Key(edit, c == 'x' ? Qt::Key_X : Qt::Key_0 + (c - '0'), QString(QChar(c)));
    }
    EXPECT_EQ(edit->text(), "4000");
    EXPECT_EQ(settings.ServerPort, 4000);
    EXPECT_EQ(Beeps(), 2u) << "the letter and the fifth digit";

    edit->selectAll();
    QApplication::clipboard()->setText("2a0b1");
    edit->paste();
    EXPECT_EQ(edit->text(), "201");
    EXPECT_EQ(settings.ServerPort, 201);
    EXPECT_EQ(Beeps(), 3u);

    edit->selectAll();
    Key(edit, Qt::Key_Backspace, "\b");
    EXPECT_EQ(edit->text(), "0");
    EXPECT_EQ(settings.ServerPort, 0);
    EXPECT_EQ(Beeps(), 4u);
}

TEST_F(AdjNetForm, ButtonsInOrderAndTheGridEditedOnlyWhileTheNetworkIsOff) {
    EXPECT_LT(form->Button1()->geometry().top(), form->Button2()->geometry().top());
    EXPECT_EQ(form->Button1()->text(), QtText(base_.LangList[127]));
    EXPECT_EQ(form->Button2()->text(), QtText(base_.LangList[128]));
    AdjNetGrid* grid = form->DG1();
    DoubleClick(grid->viewport(), grid->CellRect(1, 1).center());
    EXPECT_EQ(grid->Editor(), nullptr) << "edited while the network is on";

    form->Button1()->click();
    EXPECT_FALSE(networkOn);
    DoubleClick(grid->viewport(), grid->CellRect(0, 1).center());
    EXPECT_EQ(grid->Editor(), nullptr);
    DoubleClick(grid->viewport(), grid->CellRect(3, 1).center());
    ASSERT_NE(grid->Editor(), nullptr);
    EXPECT_EQ(grid->Editor()->text(), "1018");
    grid->Editor()->selectAll();
    grid->Editor()->insert("70000");
    EXPECT_EQ(links.Get(3)->Port, 1018) << "a port outside 1..65535 is no number";
    grid->Editor()->selectAll();
    grid->Editor()->insert("2002");
    EXPECT_EQ(links.Get(3)->Port, 2002);
    EXPECT_EQ(settings.RemPorts[2], 2002);
    grid->FinishEdit();

    form->Button2()->click();
    EXPECT_TRUE(networkOn);
    EXPECT_FALSE(form->ServerPortEdit()->isEnabled());
    DoubleClick(grid->viewport(), grid->CellRect(3, 2).center());
    EXPECT_EQ(grid->Editor(), nullptr);
}

TEST_F(AdjNetForm, AFlagLightsItsLampOnceAndTheFileIsWrittenWhenTheFormGoes) {
    links.SocketEventFlags[kSockRead] = 1;
    links.SocketEventFlags[kSockRead] = 1;
    form->Timer1Timer();
    EXPECT_TRUE(form->LampAt(0)->State().Lit) << "on line";
    EXPECT_TRUE(form->LampAt(4)->State().Lit);
    form->Timer1Timer();
    EXPECT_FALSE(form->LampAt(4)->State().Lit);

    form->close();
    form.reset();
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "netini.pdt"));
}

TEST_F(AdjNetForm, ScreenshotWithOneLinkUp) {
    RemStation& up = Linked(1, "127.0.0.1", 2002);
    (void)up;
    settings.RemAddresses[0] = "127.0.0.1";
    settings.RemPorts[0] = 2002;
    links.Get(3)->Address = settings.RemAddresses[2] = "10.0.0.5";
    links.Get(1)->LinkEventFlags[kLinkWrite] = 1;
    links.SocketEventFlags[kSockConnect] = 1;
    links.SocketEventFlags[kSockRead] = 1;
    server.Accept(0x7F000001, 40001);
    form->Timer1Timer();
    form->ShowConnections();
    EXPECT_TRUE(
        form->ServerConnectionsMemo()->toPlainText().startsWith(QtText(base_.LangList[136])));
    EXPECT_EQ(form->DG1()->CellRect(1, 10).top(), 160);
    QDir().mkpath(TOLM_SCREENSHOT_DIR);
    EXPECT_TRUE(form->grab().save(QString(TOLM_SCREENSHOT_DIR) + "/adj_net_form.png"));
}

} // namespace
} // namespace network_test
