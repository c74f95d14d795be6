// The passwords and rights dialog (TPasswordSet) without widgets: the rights grid of the
// limited level and the two passwords. The rights are read at show time and written to
// "net1.pdt" whenever the dialog ends, however it ends (it has no Cancel). A password is
// written by its button; a write that fails leaves the button and reports the error.
#pragma once

#include "access_state.h"
#include "base/base_state.h"

#include <array>
#include <cstdint>
#include <string>

namespace station {

class PasswordSetModel {
public:
    static constexpr int kColumns = 2;
    static constexpr int kRows = kRightCount + 1; // row 0 is the header
    static constexpr std::array<int, kColumns> kColumnWidths{409, 82};
    static constexpr int kRowHeight = 18;
    static constexpr int kRightsColumn = 1;

    explicit PasswordSetModel(const BaseState& base);

    const BaseState& Base() const { return base_; }
    std::string Caption() const;

    // FormShow: the rights from "net1.pdt" (none when it is missing), no press pending.
    void FormShow();
    const RightsTable& Rights() const { return rights_; }
    bool Granted(int row) const;

    // The text of a grid cell (CP1251): the header, a right's name, granted or denied.
    std::string CellText(int column, int row) const;
    // The language line of right n's name.
    static int RightNameLine(int n);

    // DG1SelectCell: no cell is ever selected; a press on a right's row is remembered, and
    // armed when it is in the rights column.
    void SelectCell(int column, int row);
    // DG1MouseUp: an armed press toggles its right; the press is cleared either way.
    void MouseUp();

    // A level's button is enabled exactly when its two edits hold the same text.
    static bool ButtonEnabled(const std::string& entry, const std::string& confirmation) {
        return entry == confirmation;
    }
    // Writes the password of level 1 ("net2.pdt") or 2 ("net3.pdt"); false when it could not
    // be written.
    bool StorePassword(int level, const std::string& password);

    // The dialog's end: "net1.pdt" written with the rights as they are; false when that failed.
    bool FormDestroy();

private:
    const BaseState& base_;
    RightsTable rights_{};
    int pressed_row_ = 0;
    bool pressed_in_rights_ = false;
};

} // namespace station
