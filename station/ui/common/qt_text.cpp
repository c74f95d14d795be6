#include "qt_text.h"

#include "base/codepage.h"
#include "base/language.h"

namespace station {

QString QtText(std::string_view cp1251) {
    return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

std::string StationText(const QString& text) {
    return Utf8ToCp1251(text.toStdString());
}

QString LangText(const LanguageList& lang, int line) {
    return QtText(lang[line]);
}

} // namespace station
