// The main form's menu `AdjMenu`: its items by component name, in order, with the language
// line of each caption; and the station's caption, program name and version.
#pragma once

#include "base/language.h"

#include <string>
#include <vector>

namespace station {

struct MenuEntry {
    enum class Kind { Item, Separator };
    std::string name;
    Kind kind = Kind::Item;
    // Language line of the caption, or -1 for a fixed caption.
    int caption_line = -1;
    std::string fixed_caption;
    // A menu item with sub-items opens a sub-menu.
    std::vector<MenuEntry> items;
};

// `Adj_Par_Menu` (settings) and `ViewMenu` (view) with all their items; the four per-board
// items of `SoerceMenu` and `ResMenu` carry the fixed captions "1" to "4".
const std::vector<MenuEntry>& MainMenuLayout();

// The language line of the lock button's hint.
inline constexpr int kPassButHintLine = 49;

// Language line 0, a blank and the version "26.15": the main form's caption, also the caption
// of the station's message boxes (CP1251).
std::string StationCaption(const LanguageList& lang);

} // namespace station
