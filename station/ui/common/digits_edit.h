// The edit of every password and number field: whatever reaches it, typed or pasted, keeps
// only digits, at most 5 of them and a value of at most 30000 (`FilterDigits`); anything
// dropped beeps. A password edit shows "#" for every character.
#pragma once

#include <QLineEdit>

namespace station {

class DigitsEdit : public QLineEdit {
public:
    explicit DigitsEdit(QWidget* parent = nullptr, bool password = false);

    // The text as the station keeps it (digits only).
    std::string Digits() const { return text().toStdString(); }

private:
    void filter();
};

} // namespace station
