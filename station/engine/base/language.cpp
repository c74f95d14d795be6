#include "language.h"

#include "base_state.h"

namespace station {

bool LanguageList::LoadFromFile(const std::filesystem::path& path) {
    const auto bytes = ReadWholeFile(path.string());
    if (!bytes) {
        return false;
    }
    SetText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    return true;
}

void LanguageList::SetText(std::string_view bytes) {
    lines_.clear();
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') {
            ++end;
        }
        lines_.emplace_back(bytes.substr(start, end - start));
        if (end < bytes.size() && bytes[end] == '\r') {
            ++end;
        }
        if (end < bytes.size() && bytes[end] == '\n') {
            ++end;
        }
        start = end;
    }
}

const std::string& LanguageList::operator[](int n) const {
    static const std::string empty;
    if (n < 0 || n >= Count()) {
        return empty;
    }
    return lines_[static_cast<std::size_t>(n)];
}

bool LoadLanguageFile(BaseState& base) {
    return base.LangList.LoadFromFile(ProgramFile(base, kLanguageFileName));
}

} // namespace station
