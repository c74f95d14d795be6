// Every language line the code names exists: documented in lng-lines.md (its text and use) and
// non-empty in the shipped tolm.lng of the program folder.
#include "base/language.h"
#include "base/language_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace station {
namespace {

struct DocumentedLine {
    std::string text;
    std::string use;
};

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The rows "| line | text | used for |" of lng-lines.md.
std::map<int, DocumentedLine> ReadLineTable(const std::filesystem::path& path) {
    std::map<int, DocumentedLine> rows;
    std::ifstream in(path);
    std::string row;
    while (std::getline(in, row)) {
        std::vector<std::string> cells;
        std::stringstream cells_in(row);
        std::string cell;
        while (std::getline(cells_in, cell, '|')) {
            cells.push_back(Trim(cell));
        }
        // "| 5 | text | use |" splits into "", "5", "text", "use".
        if (cells.size() != 4 || cells[1].empty() ||
            cells[1].find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        rows[std::stoi(cells[1])] = DocumentedLine{cells[2], cells[3]};
    }
    return rows;
}

TEST(LanguageLines, EveryNamedLineIsDocumentedAndShipped) {
    const auto documented = ReadLineTable(TOLM_LNG_LINES);
    ASSERT_GT(documented.size(), 100u) << "line table of " << TOLM_LNG_LINES << " not read";
    LanguageList shipped;
    ASSERT_TRUE(shipped.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / kLanguageFileName));
    for (const int line : kNamedLines) {
        const auto row = documented.find(line);
        ASSERT_NE(row, documented.end()) << "line " << line << " missing from lng-lines.md";
        EXPECT_FALSE(row->second.text.empty()) << "line " << line;
        EXPECT_FALSE(row->second.use.empty()) << "line " << line;
        EXPECT_FALSE(shipped[line].empty()) << "line " << line << " empty in tolm.lng";
    }
}

} // namespace
} // namespace station
