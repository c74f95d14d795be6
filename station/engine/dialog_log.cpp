#include "dialog_log.h"

#include "language.h"
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
    WriteReport(kDialogLogCategory, DialogLogText(245, title, 246));
}

void LogDialogClosed(std::string_view title) {
    WriteReport(kDialogLogCategory, DialogLogText(245, title, 247));
}

void LogDialogChanged(std::string_view title) {
    WriteReport(kDialogLogCategory, DialogLogText(248, title, 249));
}

void LogDialogButton(std::string_view caption) {
    WriteReport(kDialogLogCategory, DialogLogText(244, caption, -1));
}

void LogDialogCancelled() {
    WriteReport(kDialogLogCategory, LangList[241]);
}

} // namespace station
