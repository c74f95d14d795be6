#include "password_set_model.h"

#include "base/language_lines.h"
#include "settings/settings_files.h"

namespace station {
namespace {

// The language lines of the rights' names, right 1 first.
constexpr std::array<int, kRightCount> kRightNameLines{23, 24, 25, 26, 27, 28, 29, 30,  31,  32,
                                                       33, 34, 35, 36, 37, 44, 63, 271, 161, 162};

} // namespace

PasswordSetModel::PasswordSetModel(const BaseState& base) : base_(base) {}

std::string PasswordSetModel::Caption() const {
    return base_.LangList[kLinePasswordsCaption];
}

void PasswordSetModel::FormShow() {
    rights_ = LoadRightsFile(base_);
    pressed_row_ = 0;
    pressed_in_rights_ = false;
}

bool PasswordSetModel::Granted(int row) const {
    return row >= 1 && row <= kRightCount && rights_[static_cast<std::size_t>(row - 1)];
}

int PasswordSetModel::RightNameLine(int n) {
    return n >= 1 && n <= kRightCount ? kRightNameLines[static_cast<std::size_t>(n - 1)] : -1;
}

std::string PasswordSetModel::CellText(int column, int row) const {
    const LanguageList& lang = base_.LangList;
    if (row == 0) {
        return lang[column == 0 ? kLineRightColumn : kLineAccessColumn];
    }
    if (row < 1 || row > kRightCount) {
        return {};
    }
    if (column == 0) {
        return lang[RightNameLine(row)];
    }
    return lang[Granted(row) ? kLineRightGranted : kLineRightDenied];
}

void PasswordSetModel::SelectCell(int column, int row) {
    if (row < 1 || row > kRightCount) {
        return;
    }
    pressed_row_ = row;
    pressed_in_rights_ = column == kRightsColumn;
}

void PasswordSetModel::MouseUp() {
    if (pressed_in_rights_ && pressed_row_ >= 1 && pressed_row_ <= kRightCount) {
        bool& right = rights_[static_cast<std::size_t>(pressed_row_ - 1)];
        right = !right;
    }
    pressed_in_rights_ = false;
}

bool PasswordSetModel::StorePassword(int level, const std::string& password) {
    return SavePasswordFile(base_, level, password);
}

bool PasswordSetModel::FormDestroy() {
    return SaveRightsFile(base_, rights_);
}

} // namespace station
