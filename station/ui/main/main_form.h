// The station's main form. It holds the menu `AdjMenu` with every item of `MainMenuLayout`,
// each a QAction (or, with sub-items, a QMenu) named by its component name, and the lock button
// `PassBut`, which takes the picture of the hidden `PassBut0` (locked) or `PassBut1` (unlocked).
// A menu item's handler is connected through the form, which keeps which items have one: an
// item without a handler (its dialog is not there) stays disabled.
#pragma once

#include "base/language.h"

#include <QMainWindow>
#include <functional>
#include <map>
#include <string>
#include <string_view>

class QAction;
class QMenu;
class QToolButton;

class TMain_Kastrel_Form : public QMainWindow {
public:
    explicit TMain_Kastrel_Form(QWidget* parent = nullptr);

    // The form's caption and the menu captions from the language file.
    void SetCaptions(const station::LanguageList& lang);

    // The menu item or sub-menu of that component name, or nullptr.
    QAction* MenuItem(std::string_view name) const;
    QMenu* Menu(std::string_view name) const;

    // Connects the item's choice to `handler`; the item then has a handler.
    void ConnectItem(const std::string& name, std::function<void()> handler);
    // The item, or the sub-menu with an item, has a handler.
    bool HasHandler(std::string_view name) const;
    // Runs the item's handler as its choice would, whether the item is enabled or not (the
    // unattended run and the tests); false when it has none.
    bool Click(std::string_view name) const;

    QToolButton* PassBut() const { return pass_but_; }
    // The lock button's picture: that of PassBut1 (unlocked) or PassBut0 (locked).
    void SetPassButUnlocked(bool unlocked);
    bool PassButUnlocked() const { return pass_but_unlocked_; }

private:
    std::map<std::string, std::function<void()>, std::less<>> handlers_;
    QToolButton* pass_but_ = nullptr;
    QToolButton* pass_but0_ = nullptr;
    QToolButton* pass_but1_ = nullptr;
    bool pass_but_unlocked_ = false;
};
