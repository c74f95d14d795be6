// Station texts (CP1251) as Qt strings.
#pragma once

#include "base/language.h"

#include <QString>
#include <string>
#include <string_view>

namespace station {

QString QtText(std::string_view cp1251);
// A Qt string as a station text (CP1251).
std::string StationText(const QString& text);
// Language line n as a Qt string.
QString LangText(const LanguageList& lang, int line);

} // namespace station
