#include "main_form.h"

#include "lifecycle/main_menu.h"
#include "ui/common/qt_text.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

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

} // namespace

TMain_Kastrel_Form::TMain_Kastrel_Form(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Main_Kastrel_Form");
    QMenuBar* bar = menuBar();
    bar->setObjectName("AdjMenu");
    bar->setNativeMenuBar(false);
    add_entries(bar, station::MainMenuLayout());
}

void TMain_Kastrel_Form::SetCaptions(const station::LanguageList& lang) {
    setWindowTitle(station::QtText(station::StationCaption(lang)));
    set_captions(*this, lang, station::MainMenuLayout());
}

QAction* TMain_Kastrel_Form::MenuItem(std::string_view name) const {
    return findChild<QAction*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

QMenu* TMain_Kastrel_Form::Menu(std::string_view name) const {
    return findChild<QMenu*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}
