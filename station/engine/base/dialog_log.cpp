#include "dialog_log.h"

#include "language.h"
#include "language_lines.h"
#include "work_log.h"

namespace station {

std::string DialogLogText(int before, std::string_view quoted, int after) {
    std::string text = LangList[before];
    text += " \"";
    text += quoted;
    text += '"';
    if (after >= 0) {
        text += ' ';
        text += LangList[after];
    }
    return text;
}

void LogDialogOpened(std::string_view title) {
    WriteReport(kDialogLogCategory, DialogLogText(kLineWindow, title, kLineOpened));
}

void LogDialogClosed(std::string_view title) {
    WriteReport(kDialogLogCategory, DialogLogText(kLineWindow, title, kLineClosed));
}

void LogDialogChanged(std::string_view title) {
    WriteReport(kDialogLogCategory, DialogLogText(kLineInWindow, title, kLineChangesMade));
}

void LogDialogButton(std::string_view caption) {
    WriteReport(kDialogLogCategory, DialogLogText(kLineControlUsed, caption, -1));
}

void LogDialogCancelled() {
    WriteReport(kDialogLogCategory, LangList[kLineChangesCancelled]);
}

} // namespace station
