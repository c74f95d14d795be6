#include "main_form.h"

#include "lifecycle/main_menu.h"
#include "ui/common/qt_text.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolButton>

namespace {

using station::MenuEntry;

void add_entries(QWidget* parent, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        const QString name = QString::fromStdString(e.name);
        if (e.kind == MenuEntry::Kind::Separator) {
            QAction* sep = new QAction(parent);
            sep->setSeparator(true);
            sep->setObjectName(name);
            parent->addAction(sep);
        } else if (!e.items.empty()) {
            QMenu* menu = new QMenu(parent);
            menu->setObjectName(name);
            menu->menuAction()->setObjectName(name);
            add_entries(menu, e.items);
            parent->addAction(menu->menuAction());
        } else {
            QAction* action = new QAction(parent);
            action->setObjectName(name);
            parent->addAction(action);
        }
    }
}

void set_captions(const TMain_Kastrel_Form& form, const station::LanguageList& lang,
                  const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::Kind::Separator) {
            continue;
        }
        if (QAction* action = form.MenuItem(e.name)) {
            action->setText(e.caption_line >= 0 ? station::LangText(lang, e.caption_line)
                                                : QString::fromStdString(e.fixed_caption));
        }
        set_captions(form, lang, e.items);
    }
}

// A padlock: body and shackle, the shackle open to the right when unlocked.
QIcon padlock(bool unlocked) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = unlocked ? QColor(0, 128, 0) : QColor(192, 0, 0);
    p.setPen(QPen(QColor(64, 64, 64), 2.5));
    p.setBrush(Qt::NoBrush);
    const QRectF shackle = unlocked ? QRectF(11, 1.5, 10, 14) : QRectF(7, 2.5, 10, 14);
    p.drawArc(shackle, 0, 180 * 16);
    p.drawLine(QPointF(shackle.left(), shackle.center().y()), QPointF(shackle.left(), 12));
    if (!unlocked) {
        p.drawLine(QPointF(shackle.right(), shackle.center().y()), QPointF(shackle.right(), 12));
    }
    p.setPen(QPen(QColor(32, 32, 32), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4.5, 11.5, 15, 11), 2, 2);
    p.setBrush(QColor(32, 32, 32));
    p.drawEllipse(QRectF(10.5, 14.5, 3, 3));
    return QIcon(pixmap);
}

QToolButton* lock_button(QWidget* parent, const char* name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIconSize(QSize(24, 24));
    return button;
}

} // namespace

TMain_Kastrel_Form::TMain_Kastrel_Form(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Main_Kastrel_Form");
    QMenuBar* bar = menuBar();
    bar->setObjectName("AdjMenu");
    bar->setNativeMenuBar(false);
    add_entries(bar, station::MainMenuLayout());

    pass_but0_ = lock_button(this, "PassBut0");
    pass_but0_->setIcon(padlock(false));
    pass_but0_->hide();
    pass_but1_ = lock_button(this, "PassBut1");
    pass_but1_->setIcon(padlock(true));
    pass_but1_->hide();
    pass_but_ = lock_button(bar, "PassBut");
    bar->setCornerWidget(pass_but_, Qt::TopRightCorner);
    SetPassButUnlocked(false);
}

void TMain_Kastrel_Form::SetPassButUnlocked(bool unlocked) {
    pass_but_unlocked_ = unlocked;
    pass_but_->setIcon((unlocked ? pass_but1_ : pass_but0_)->icon());
}

void TMain_Kastrel_Form::ConnectItem(const std::string& name, std::function<void()> handler) {
    QAction* action = MenuItem(name);
    if (action == nullptr || !handler) {
        return;
    }
    handlers_[name] = handler;
    QObject::connect(action, &QAction::triggered, this, [this, name] { Click(name); });
}

bool TMain_Kastrel_Form::HasHandler(std::string_view name) const {
    if (handlers_.count(name) != 0) {
        return true;
    }
    if (const QMenu* menu = Menu(name)) {
        for (const QAction* item : menu->actions()) {
            if (handlers_.count(item->objectName().toStdString()) != 0) {
                return true;
            }
        }
    }
    return false;
}

bool TMain_Kastrel_Form::Click(std::string_view name) const {
    const auto it = handlers_.find(name);
    if (it == handlers_.end()) {
        return false;
    }
    // A copy: the handler may replace itself or take the form down.
    const std::function<void()> handler = it->second;
    handler();
    return true;
}

void TMain_Kastrel_Form::SetCaptions(const station::LanguageList& lang) {
    setWindowTitle(station::QtText(station::StationCaption(lang)));
    pass_but_->setToolTip(station::LangText(lang, station::kPassButHintLine));
    set_captions(*this, lang, station::MainMenuLayout());
}

QAction* TMain_Kastrel_Form::MenuItem(std::string_view name) const {
    return findChild<QAction*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

QMenu* TMain_Kastrel_Form::Menu(std::string_view name) const {
    return findChild<QMenu*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}
