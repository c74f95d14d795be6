// The station's main form. It holds the menu `AdjMenu` with every item of `MainMenuLayout`,
// each a QAction (or, with sub-items, a QMenu) named by its component name.
#pragma once

#include "base/language.h"

#include <QMainWindow>
#include <string_view>

class QAction;
class QMenu;

class TMain_Kastrel_Form : public QMainWindow {
public:
    explicit TMain_Kastrel_Form(QWidget* parent = nullptr);

    // The form's caption and the menu captions from the language file.
    void SetCaptions(const station::LanguageList& lang);

    // The menu item or sub-menu of that component name, or nullptr.
    QAction* MenuItem(std::string_view name) const;
    QMenu* Menu(std::string_view name) const;
};
