#include "main_menu.h"

#include "language.h"

namespace station {
namespace {

MenuEntry item(const char* name, int line) {
    return MenuEntry{name, MenuEntry::Kind::Item, line, {}, {}};
}

MenuEntry separator(const char* name) {
    return MenuEntry{name, MenuEntry::Kind::Separator, -1, {}, {}};
}

// A board sub-menu: items <prefix>1 .. <prefix>4 captioned with their board number.
MenuEntry board_menu(const char* name, int line, const std::string& prefix) {
    MenuEntry menu = item(name, line);
    for (int k = 1; k <= 4; ++k) {
        menu.items.push_back(MenuEntry{
            prefix + std::to_string(k), MenuEntry::Kind::Item, -1, std::to_string(k), {}});
    }
    return menu;
}

std::vector<MenuEntry> build_layout() {
    MenuEntry settings = item("Adj_Par_Menu", 5);
    settings.items = {board_menu("SoerceMenu", 54, "SoerceMenuItem"),
                      board_menu("ResMenu", 53, "ResMenuItem"),
                      item("AdjADCMenu", 271),
                      item("PriorMenu", 30),
                      item("StealthMenu", 6),
                      item("N7", 49),
                      item("MonControlMenu", 162),
                      item("FormDiskWriteModeMenu", 91),
                      item("AdjNetMenu", 27),
                      item("AdjHardMenu", 161),
                      item("AdjRepMenu", 213),
                      separator("N3"),
                      item("N1", 7)};
    MenuEntry view = item("ViewMenu", 50);
    view.items = {item("AddChanel", 51), separator("N2"), item("ReviewMenu", 24),
                  item("ViewRepMenu", 226)};
    return {settings, view};
}

} // namespace

const std::vector<MenuEntry>& MainMenuLayout() {
    static const std::vector<MenuEntry> layout = build_layout();
    return layout;
}

std::string StationCaption() {
    return LangList[0] + " " + "26" + "." + "15";
}

} // namespace station
