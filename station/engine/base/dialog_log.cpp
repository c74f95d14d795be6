#include "dialog_log.h"

#include "base_state.h"
#include "language_lines.h"
#include "work_log.h"

namespace station {

std::string DialogLogText(const LanguageList& lang, int before, std::string_view quoted,
                          int after) {
    std::string text = lang[before];
    text += " \"";
    text += quoted;
    text += '"';
    if (after >= 0) {
        text += ' ';
        text += lang[after];
    }
    return text;
}

void LogDialogOpened(const BaseState& base, std::string_view title) {
    WriteReport(base, kDialogLogCategory,
                DialogLogText(base.LangList, kLineWindow, title, kLineOpened));
}

void LogDialogClosed(const BaseState& base, std::string_view title) {
    WriteReport(base, kDialogLogCategory,
                DialogLogText(base.LangList, kLineWindow, title, kLineClosed));
}

void LogDialogChanged(const BaseState& base, std::string_view title) {
    WriteReport(base, kDialogLogCategory,
                DialogLogText(base.LangList, kLineInWindow, title, kLineChangesMade));
}

void LogDialogButton(const BaseState& base, std::string_view caption) {
    WriteReport(base, kDialogLogCategory,
                DialogLogText(base.LangList, kLineControlUsed, caption, -1));
}

void LogDialogCancelled(const BaseState& base) {
    WriteReport(base, kDialogLogCategory, base.LangList[kLineChangesCancelled]);
}

} // namespace station
