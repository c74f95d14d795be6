// The work-log lines of the settings dialogs (category 2): language lines and texts joined by
// single blanks, a title or caption between straight double quotation marks. Titles and
// captions are CP1251, as the language file gives them.
#pragma once

#include "language.h"

#include <string>
#include <string_view>

namespace station {

struct BaseState;

inline constexpr int kDialogLogCategory = 2;

// Line 245, "title", line 246.
void LogDialogOpened(const BaseState& base, std::string_view title);
// Line 245, "title", line 247.
void LogDialogClosed(const BaseState& base, std::string_view title);
// Line 248, "title", line 249.
void LogDialogChanged(const BaseState& base, std::string_view title);
// Line 244, "caption": a button or another control was used.
void LogDialogButton(const BaseState& base, std::string_view caption);
// Line 241 alone: the changes were cancelled.
void LogDialogCancelled(const BaseState& base);

// The text of a line with a quoted piece: line `before`, "quoted", then line `after` when it
// is not negative.
std::string DialogLogText(const LanguageList& lang, int before, std::string_view quoted, int after);

} // namespace station
