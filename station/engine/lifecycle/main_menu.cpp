#include "main_menu.h"

#include "base/language.h"
#include "base/language_lines.h"
#include "base/limits.h"

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
    for (int k = 1; k <= kChipCount; ++k) {
        menu.items.push_back(MenuEntry{
            prefix + std::to_string(k), MenuEntry::Kind::Item, -1, std::to_string(k), {}});
    }
    return menu;
}

std::vector<MenuEntry> build_layout() {
    MenuEntry settings = item("Adj_Par_Menu", kLineSettings);
    settings.items = {board_menu("SoerceMenu", kLineVideoSource, "SoerceMenuItem"),
                      board_menu("ResMenu", kLineImageFormat, "ResMenuItem"),
                      item("AdjADCMenu", kLineHardwareSettings),
                      item("PriorMenu", kLineCameraPriorities),
                      item("StealthMenu", kLineStealthMode),
                      item("N7", kLinePasswordsAndAccess),
                      item("MonControlMenu", kLineMonitorControl),
                      item("FormDiskWriteModeMenu", kLineDiskWriteMode),
                      item("AdjNetMenu", kLineNetworkSettings),
                      item("AdjHardMenu", kLineBoardModel),
                      item("AdjRepMenu", kLineWorkLogSettings),
                      separator("N3"),
                      item("N1", kLineConfigurations)};
    MenuEntry view = item("ViewMenu", kLineView);
    view.items = {item("AddChanel", kLineNewCameraWindow), separator("N2"),
                  item("ReviewMenu", kLineViewRecordings), item("ViewRepMenu", kLineViewWorkLog)};
    return {settings, view};
}

} // namespace

const std::vector<MenuEntry>& MainMenuLayout() {
    static const std::vector<MenuEntry> layout = build_layout();
    return layout;
}

std::string StationCaption(const LanguageList& lang) {
    return lang[kLineProgramName] + " " + "26" + "." + "15";
}

} // namespace station
