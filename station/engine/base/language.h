// The language file "tolm.lng" of the program folder: the user texts, one per line, in CP1251,
// addressed by fixed line numbers (line 0 is the program name).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace station {

inline constexpr const char* kLanguageFileName = "tolm.lng";

class LanguageList {
public:
    // Reads the file; lines end with CR LF, LF or CR. False (and the list unchanged) when the
    // file is missing or unreadable.
    bool LoadFromFile(const std::filesystem::path& path);
    // Splits `bytes` into lines as LoadFromFile does.
    void SetText(std::string_view bytes);
    void Clear() { lines_.clear(); }

    // Text of line n; empty for a line the file does not have.
    const std::string& operator[](int n) const;
    int Count() const { return static_cast<int>(lines_.size()); }

private:
    std::vector<std::string> lines_;
};

struct BaseState;

// Loads the station's `LangList` from "tolm.lng" in the program folder.
bool LoadLanguageFile(BaseState& base);

} // namespace station
