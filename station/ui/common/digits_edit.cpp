#include "digits_edit.h"

#include "base/digits_entry.h"

#include <QProxyStyle>

#include <win32/dialogs.h>

namespace station {
namespace {

// Shows every character of a password as "#".
class HashPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter) {
            return '#';
        }
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

} // namespace

DigitsEdit::DigitsEdit(QWidget* parent, bool password) : QLineEdit(parent) {
    if (password) {
        auto* style = new HashPasswordStyle;
        style->setParent(this);
        setStyle(style);
        setEchoMode(QLineEdit::Password);
    }
    connect(this, &QLineEdit::textChanged, this, [this] { filter(); });
}

void DigitsEdit::filter() {
    const DigitsEntry entry = FilterDigits(text().toStdString());
    if (!entry.beep) {
        return;
    }
    MessageBeep(0xFFFFFFFFu);
    // The edit's change signal runs again with the filtered text, which passes unchanged.
    setText(QString::fromStdString(entry.text));
    setCursorPosition(static_cast<int>(text().size()));
}

} // namespace station
