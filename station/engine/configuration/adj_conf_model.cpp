#include "adj_conf_model.h"

#include "base/language.h"
#include "base/language_lines.h"

namespace station {
namespace {

std::string number(int v) {
    return std::to_string(v);
}

// ConfLoading set for the duration of the dialog's own load.
class Loading {
public:
    explicit Loading(ConfigurationState& state) : state_(state) { state_.ConfLoading = true; }
    ~Loading() { state_.ConfLoading = false; }
    Loading(const Loading&) = delete;
    Loading& operator=(const Loading&) = delete;

private:
    ConfigurationState& state_;
};

bool armed_column(int column) {
    return column == AdjConfModel::kSaveColumn || column == AdjConfModel::kLoadColumn ||
           column == AdjConfModel::kTimedLoadColumn;
}

} // namespace

AdjConfModel::AdjConfModel(const LanguageList& lang, ConfScheduleTable& schedule,
                           ConfigurationState& state, Actions actions)
    : lang_(lang), schedule_(schedule), state_(state), actions_(std::move(actions)),
      undo_(schedule) {}

void AdjConfModel::FormShow() {
    undo_ = schedule_;
    mouse_down_ = false;
    pressed_column_ = pressed_row_ = -1;
}

std::string AdjConfModel::Caption() const {
    return lang_[kLineStoredConfigurations];
}

std::string AdjConfModel::CellText(int column, int row) const {
    if (row == 0) {
        switch (column) {
        case 0:
            return "N";
        case kSaveColumn:
            return lang_[kLineSaveColumn];
        case kLoadColumn:
            return lang_[kLineLoadColumn];
        case kNameColumn:
            return lang_[kLineNameColumn];
        default:
            return lang_[kLineTimedLoadColumn];
        }
    }
    if (row < 1 || row > kConfigurationCount) {
        return {};
    }
    const ConfScheduleEntry& e = schedule_[static_cast<std::size_t>(row - 1)];
    switch (column) {
    case 0:
        return number(row);
    case kNameColumn:
        return e.Name;
    case kTimedLoadColumn: {
        if (!e.Enabled) {
            return lang_[kLineTimedLoadOff];
        }
        std::string text;
        switch (e.Mode) {
        case 0:
            text = number(e.Day) + "." + number(e.Month) + "." + number(e.Year) + " " +
                   lang_[kLineDateTimeWord] + " ";
            break;
        case 1:
            text = lang_[kLineModeDaily] + " ";
            break;
        case 2:
            text = lang_[kLineModeWorkdays] + " ";
            break;
        case 3:
            text = lang_[kLineModeWeekend] + " ";
            break;
        default:
            break;
        }
        return text + number(e.Hour) + ":" + number(e.Minute);
    }
    default:
        return {};
    }
}

std::string AdjConfModel::EditText(int row) const {
    if (row < 1 || row > kConfigurationCount) {
        return {};
    }
    return schedule_[static_cast<std::size_t>(row - 1)].Name;
}

void AdjConfModel::SetEditText(int row, const std::string& text) {
    if (row >= 1 && row <= kConfigurationCount) {
        schedule_[static_cast<std::size_t>(row - 1)].Name = text;
    }
}

void AdjConfModel::MouseDown(int column, int row) {
    mouse_down_ = true;
    pressed_column_ = column;
    pressed_row_ = row;
}

AdjConfModel::Release AdjConfModel::MouseUp(int column, int row) {
    const bool same = mouse_down_ && column == pressed_column_ && row == pressed_row_;
    mouse_down_ = false;
    pressed_column_ = pressed_row_ = -1;
    if (!same || !armed_column(column) || row < 1 || row > kConfigurationCount) {
        return Release::None;
    }
    row_ = row;
    switch (column) {
    case kTimedLoadColumn:
        return Release::ShowTimeLoad;
    case kSaveColumn:
        return Release::AskSave;
    default:
        return Release::Load;
    }
}

std::string AdjConfModel::SaveQuestion(int n) const {
    return lang_[kLineSaveQuestion] + " " + number(n) + " ?";
}

bool AdjConfModel::SaveAnswered(int n, bool ok, int curConfAsked) {
    if (!ok || state_.CurConf != curConfAsked || !actions_.Save) {
        return true;
    }
    return actions_.Save(n);
}

void AdjConfModel::LoadRow(int n) {
    if (!actions_.Load) {
        return;
    }
    const Loading loading(state_);
    actions_.Load(n);
}

AdjConfModel::TimeLoad AdjConfModel::ShowTimeLoadBox() {
    editing_ = row_;
    const ConfScheduleEntry& e = schedule_[static_cast<std::size_t>(editing_ - 1)];
    TimeLoad t;
    t.Use = e.Enabled;
    if (ScheduleEntryValid(e)) {
        t.Year = e.Year;
        t.Month = e.Month;
        t.Day = e.Day;
        t.Hour = e.Hour;
        t.Minute = e.Minute;
        t.Mode = e.Mode;
    }
    return t;
}

std::string AdjConfModel::TimeLoadCaption() const {
    return lang_[kLineTimedLoadOf] + " " + number(editing_) + ": " + lang_[kLineTimedLoadTail];
}

void AdjConfModel::SetAllPar(const TimeLoad& t) {
    ConfScheduleEntry& e = schedule_[static_cast<std::size_t>(editing_ - 1)];
    e.Year = static_cast<std::int16_t>(t.Year);
    e.Month = static_cast<std::int16_t>(t.Month);
    e.Day = static_cast<std::int16_t>(t.Day);
    e.Hour = static_cast<std::int16_t>(t.Hour);
    e.Minute = static_cast<std::int16_t>(t.Minute);
    e.Mode = static_cast<std::int16_t>(t.Mode);
    e.Enabled = t.Use;
}

bool AdjConfModel::OKBtnClick() {
    return actions_.SaveTable && actions_.SaveTable();
}

void AdjConfModel::CancelBtnClick() {
    schedule_ = undo_;
}

} // namespace station
