// The stored-configurations dialog (TAdjConf) without widgets: the table of the 99
// configurations (save, load, name, timed load), the timed-load group and OK / Cancel.
//
// Save and load act on a mouse press and a release on the same save or load cell of one row
// (the timed-load cell likewise); selecting a cell, with the keyboard too, arms nothing.
// Names and timed loads change the schedule at once; Cancel puts back the tables as they were
// at show time, OK writes "cnf.pdt" and, when that fails, the dialog stays open.
#pragma once

#include "base/language.h"

#include "conf_schedule.h"
#include "configuration_state.h"

#include <array>
#include <functional>
#include <string>

namespace station {

class AdjConfModel {
public:
    static constexpr int kColumns = 5;
    static constexpr int kRows = kConfigurationCount + 1; // row 0 is the header
    static constexpr std::array<int, kColumns> kColumnWidths{23, 52, 54, 149, 227};
    static constexpr int kRowHeight = 18;
    static constexpr int kSaveColumn = 1;
    static constexpr int kLoadColumn = 2;
    static constexpr int kNameColumn = 3;
    static constexpr int kTimedLoadColumn = 4;

    // What the dialog's save and load run (SaveConfiguration, LoadConfiguration) and how it
    // writes the table ("cnf.pdt").
    struct Actions {
        std::function<bool(int n)> Save;
        std::function<void(int n)> Load;
        std::function<bool()> SaveTable;
    };

    AdjConfModel(const LanguageList& lang, ConfScheduleTable& schedule, ConfigurationState& state,
                 Actions actions);

    const LanguageList& Lang() const { return lang_; }

    // FormShow: the undo copy of the tables, the timed-load group hidden.
    void FormShow();
    std::string Caption() const;

    // The text of a cell (CP1251): the headers, the number, the name, the timed load.
    std::string CellText(int column, int row) const;
    // Row n's number is drawn on dark green.
    bool IsCurrent(int row) const { return row == state_.CurConf; }
    int CurConf() const { return state_.CurConf; }
    // The save or load circle of `row` is held down by the mouse.
    bool SaveHeld(int row) const { return held(kSaveColumn, row); }
    bool LoadHeld(int row) const { return held(kLoadColumn, row); }

    // Only the name column can be selected and edited.
    static bool Selectable(int column, int row) { return column == kNameColumn && row >= 1; }
    std::string EditText(int row) const;
    void SetEditText(int row, const std::string& text);

    // What a release asks of the form.
    enum class Release { None, ShowTimeLoad, AskSave, Load };
    void MouseDown(int column, int row);
    // Clears the press; answers what to do for Row().
    Release MouseUp(int column, int row);
    int Row() const { return row_; }

    // The save question of row n (text and the state it was asked in).
    std::string SaveQuestion(int n) const;
    // After the question: saves n when it was answered OK and the configuration current at
    // the question is still current. False when the save was tried and failed.
    bool SaveAnswered(int n, bool ok, int curConfAsked);
    // The dialog's own load of n (ConfLoading set around it).
    void LoadRow(int n);

    // The timed-load group of the remembered row (ShowTimeLoadBox): an entry that cannot be a
    // time of day or a date shows 1.1.2000, 0:00, daily.
    struct TimeLoad {
        bool Use = false;
        int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0;
        int Mode = 1;
        bool operator==(const TimeLoad&) const = default;
    };
    TimeLoad ShowTimeLoadBox();
    int Editing() const { return editing_; }
    std::string TimeLoadCaption() const;
    // The date picker is enabled with the timed load on and the given-date mode; the time
    // picker and the mode buttons with the timed load on.
    static bool DateEnabled(const TimeLoad& t) { return t.Use && t.Mode == 0; }
    static bool TimeEnabled(const TimeLoad& t) { return t.Use; }
    // SetAllPar: the group into the entry being edited (date and time stored in every mode).
    void SetAllPar(const TimeLoad& t);

    // OK: "cnf.pdt" written; false when that failed (the dialog stays open).
    bool OKBtnClick();
    // Cancel: the tables as they were at show time; nothing written.
    void CancelBtnClick();

private:
    const LanguageList& lang_;
    bool held(int column, int row) const {
        return mouse_down_ && pressed_column_ == column && pressed_row_ == row;
    }

    ConfScheduleTable& schedule_;
    ConfigurationState& state_;
    Actions actions_;
    ConfScheduleTable undo_{};
    int row_ = 1;
    int pressed_column_ = -1;
    int pressed_row_ = -1;
    bool mouse_down_ = false;
    int editing_ = 1;
};

} // namespace station
