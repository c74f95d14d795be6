// The work-log lines of the settings dialogs (category 2): language lines and texts joined by
// single blanks, a title or caption between straight double quotation marks. Titles and
// captions are CP1251, as the language file gives them.
#pragma once

#include <string>
#include <string_view>

namespace station {

inline constexpr int kDialogLogCategory = 2;

// Line 245, "title", line 246.
void LogDialogOpened(std::string_view title);
// Line 245, "title", line 247.
void LogDialogClosed(std::string_view title);
// Line 248, "title", line 249.
void LogDialogChanged(std::string_view title);
// Line 244, "caption": a button or another control was used.
void LogDialogButton(std::string_view caption);
// Line 241 alone: the changes were cancelled.
void LogDialogCancelled();

// The text of a line with a quoted piece: line `before`, "quoted", then line `after` when it
// is not negative.
std::string DialogLogText(int before, std::string_view quoted, int after);

} // namespace station
