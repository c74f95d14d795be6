#include "platform/qt_dialog_host.h"

#include "platform/cp1251.h"

#include "win32/dialog_box.h"
#include "win32/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <map>
#include <vector>

namespace platform {
namespace {

using Kind = DialogControl::Kind;

QString text_of(const std::string& cp1251) {
    return QString::fromStdString(cp1251::to_utf8(cp1251));
}

// A static text's "&x" underlines x (no buddy here, so only the mark goes); "&&" is one "&".
QString label_text(const std::string& cp1251) {
    const QString text = text_of(cp1251);
    QString out;
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k] == '&' && k + 1 < text.size()) {
            ++k;
        }
        out += text[k];
    }
    return out;
}

std::string cp1251_of(const QString& text) {
    return cp1251::from_utf8(text.toStdString());
}

// Dialog units of a font: a quarter of its average character width, an eighth of its height.
struct DialogUnits {
    double x = 1.5, y = 1.625;
    int average = 6; // the average character width in pixels

    explicit DialogUnits(const QFont& font) {
        const QFontMetrics m(font);
        const int width =
            (m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) /
            2;
        if (width > 0 && m.height() > 0) {
            average = width;
            x = average / 4.0;
            y = m.height() / 8.0;
        }
    }
    int across(int units) const { return static_cast<int>(std::lround(units * x)); }
    int down(int units) const { return static_cast<int>(std::lround(units * y)); }
};

// List entries with tab characters drawn in columns at the list's tab stops (dialog units;
// none: every 32 units; one: every that many).
class TabStopDelegate : public QStyledItemDelegate {
public:
    TabStopDelegate(const DialogControl& list, DialogUnits units, QObject* parent)
        : QStyledItemDelegate(parent), list_(list), units_(units) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        const QString text = plain.text;
        plain.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, widget);
        painter->save();
        painter->setFont(option.font);
        painter->setPen(option.state & QStyle::State_Selected
                            ? option.palette.color(QPalette::HighlightedText)
                            : option.palette.color(QPalette::Text));
        const QFontMetricsF m(painter->font());
        const double left = option.rect.left() + 2;
        double x = 0;
        const QStringList parts = text.split('\t');
        for (int k = 0; k < parts.size(); ++k) {
            if (k > 0) {
                x = next_stop(x);
            }
            painter->drawText(
                QRect(left + x, option.rect.top(), option.rect.width(), option.rect.height()),
                Qt::AlignLeft | Qt::AlignVCenter, parts[k]);
            x += m.horizontalAdvance(parts[k]);
        }
        painter->restore();
    }

private:
    double next_stop(double x) const {
        const std::vector<int> stops = list_.tab_stops();
        if (stops.size() > 1) {
            for (int s : stops) {
                if (units_.across(s) > x) {
                    return units_.across(s);
                }
            }
        }
        const int every = std::max(1, units_.across(stops.size() == 1 ? stops[0] : 32));
        return (std::floor(x / every) + 1) * every;
    }

    const DialogControl& list_;
    DialogUnits units_;
};

class HostedDialog;
std::map<HWND, HostedDialog*>& hosted() {
    static auto* open = new std::map<HWND, HostedDialog*>;
    return *open;
}

class HostedDialog : public QDialog {
public:
    HostedDialog(Dialog& dialog, QWidget* parent)
        : QDialog(parent), dialog_(dialog),
          units_(QFont(text_of(dialog.font()), std::max(1, dialog.point_size()))) {
        setFont(QFont(text_of(dialog.font()), std::max(1, dialog.point_size())));
        setWindowModality(Qt::ApplicationModal);
        setFixedSize(units_.across(dialog.width()), units_.down(dialog.height()));
        for (const DialogControl* c : dialog.controls()) {
            if (QWidget* w = make(*c)) {
                // A combo box's template height includes its dropped-down list.
                const int height = c->kind() == Kind::combo_box ? w->sizeHint().height()
                                                                : units_.down(c->height());
                w->setGeometry(units_.across(c->x()), units_.down(c->y()),
                               units_.across(c->width()), height);
                widgets_.push_back({c, w});
            }
        }
        refresh();
        // Ends and changes that come from outside the dialog's own input.
        check_.setInterval(50);
        connect(&check_, &QTimer::timeout, this, [this] { after_action(); });
        check_.start();
        hosted()[dialog.hwnd()] = this;
    }
    ~HostedDialog() override { hosted().erase(dialog_.hwnd()); }

    void reject() override {
        dialog_.close();
        after_action();
    }

private:
    struct Shown {
        const DialogControl* control;
        QWidget* widget;
    };

    QWidget* make(const DialogControl& c) {
        const int id = c.id();
        switch (c.kind()) {
        case Kind::push_button:
        case Kind::default_button: {
            auto* b = new QPushButton(text_of(c.text()), this);
            b->setAutoDefault(false);
            b->setDefault(c.kind() == Kind::default_button);
            connect(b, &QPushButton::clicked, this,
                    [this, id] { act([&] { dialog_.click(id); }); });
            return b;
        }
        case Kind::check_box: {
            auto* b = new QCheckBox(text_of(c.text()), this);
            connect(b, &QCheckBox::clicked, this, [this, id] { act([&] { dialog_.click(id); }); });
            return b;
        }
        case Kind::radio_button: {
            auto* b = new QRadioButton(text_of(c.text()), this);
            b->setAutoExclusive(false);
            connect(b, &QRadioButton::clicked, this,
                    [this, id] { act([&] { dialog_.click(id); }); });
            return b;
        }
        case Kind::group_box:
            return new QGroupBox(text_of(c.text()), this);
        case Kind::static_text:
            return new QLabel(label_text(c.text()), this);
        case Kind::edit: {
            auto* e = new QLineEdit(this);
            e->setReadOnly((c.style() & 0x0800u) != 0);
            connect(e, &QLineEdit::textEdited, this, [this, id](const QString& text) {
                act([&] { dialog_.type(id, cp1251_of(text)); });
            });
            connect(e, &QLineEdit::editingFinished, this,
                    [this, id] { act([&] { dialog_.leave(id); }); });
            return e;
        }
        case Kind::list_box: {
            auto* l = new QListWidget(this);
            if (c.style() & 0x0080u) { // LBS_USETABSTOPS
                l->setItemDelegate(new TabStopDelegate(c, units_, l));
                l->setFont(column_font());
            }
            connect(l, &QListWidget::currentRowChanged, this, [this, id](int row) {
                if (!refreshing_ && row >= 0) {
                    act([&] { dialog_.select(id, row); });
                }
            });
            connect(l, &QListWidget::itemDoubleClicked, this, [this, id, l](QListWidgetItem* item) {
                const int row = l->row(item);
                act([&] { dialog_.double_click(id, row); });
            });
            return l;
        }
        case Kind::combo_box: {
            auto* b = new QComboBox(this);
            connect(b, &QComboBox::activated, this,
                    [this, id](int index) { act([&] { dialog_.select(id, index); }); });
            return b;
        }
        case Kind::scroll_bar: {
            auto* s = new QScrollBar(Qt::Horizontal, this);
            connect(s, &QScrollBar::actionTriggered, this, [this, id, s](int action) {
                const int code = scroll_code(action);
                if (code >= 0) {
                    const int thumb = s->sliderPosition();
                    act([&] { dialog_.scroll(id, code, thumb); });
                }
            });
            return s;
        }
        }
        return nullptr;
    }

    // Texts laid out in columns by counting characters (one tab per eight, stops every 32
    // units) line up when a character is a little wider than the average one, as capitals
    // and digits are. The template's face may be substituted here, so such lists use the
    // fixed-pitch face at 4.4 dialog units a character.
    QFont column_font() const {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        for (double points = 4; points < 48; points += 0.125) {
            fixed.setPointSizeF(points);
            if (QFontMetricsF(fixed).horizontalAdvance('0') >= 4.4 * units_.x) {
                break;
            }
        }
        return fixed;
    }

    static int scroll_code(int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return SB_LINELEFT;
        case QAbstractSlider::SliderSingleStepAdd:
            return SB_LINERIGHT;
        case QAbstractSlider::SliderPageStepSub:
            return SB_PAGELEFT;
        case QAbstractSlider::SliderPageStepAdd:
            return SB_PAGERIGHT;
        case QAbstractSlider::SliderMove:
            return SB_THUMBTRACK;
        default:
            return -1;
        }
    }

    // Hands an operator action to the dialog, then shows its outcome. The action may run a
    // nested dialog, with events: this dialog may be gone after it.
    template <typename F> void act(F action) {
        if (refreshing_) {
            return;
        }
        QPointer<HostedDialog> self(this);
        action();
        if (self) {
            // The slider applies its own move after its signal: show the dialog's afterwards.
            QTimer::singleShot(0, this, [this] { after_action(); });
            after_action();
        }
    }

    void after_action() {
        if (dialog_.ended()) {
            check_.stop();
            done(static_cast<int>(dialog_.result()));
            return;
        }
        refresh();
    }

    // Shows the controls as the dialog procedure left them.
    void refresh() {
        refreshing_ = true;
        const QString caption = text_of(dialog_.caption());
        if (windowTitle() != caption) {
            setWindowTitle(caption);
        }
        for (const Shown& s : widgets_) {
            show_control(*s.control, s.widget);
        }
        refreshing_ = false;
    }

    static void show_items(const DialogControl& c, QListWidget* l) {
        const auto items = c.items();
        bool same = l->count() == static_cast<int>(items.size());
        for (int k = 0; same && k < l->count(); ++k) {
            same = l->item(k)->text() == text_of(items[static_cast<std::size_t>(k)].text);
        }
        if (!same) {
            l->clear();
            for (const auto& item : items) {
                l->addItem(text_of(item.text));
            }
        }
        if (l->currentRow() != c.selection()) {
            l->setCurrentRow(c.selection());
        }
    }

    static void show_items(const DialogControl& c, QComboBox* b) {
        const auto items = c.items();
        bool same = b->count() == static_cast<int>(items.size());
        for (int k = 0; same && k < b->count(); ++k) {
            same = b->itemText(k) == text_of(items[static_cast<std::size_t>(k)].text);
        }
        if (!same) {
            b->clear();
            for (const auto& item : items) {
                b->addItem(text_of(item.text));
            }
        }
        if (b->currentIndex() != c.selection()) {
            b->setCurrentIndex(c.selection());
        }
    }

    static void show_control(const DialogControl& c, QWidget* w) {
        if (w->isEnabled() != c.enabled()) {
            w->setEnabled(c.enabled());
        }
        if (w->isHidden() == c.visible()) {
            w->setHidden(!c.visible());
        }
        const QString text = text_of(c.text());
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text() != text) {
                b->setText(text);
            }
            if (b->isCheckable() && b->isChecked() != c.checked()) {
                b->setChecked(c.checked());
            }
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            if (e->text() != text) {
                e->setText(text);
            }
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->text() != label_text(c.text())) {
                l->setText(label_text(c.text()));
            }
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            if (g->title() != text) {
                g->setTitle(text);
            }
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            show_items(c, list);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            show_items(c, combo);
        } else if (auto* s = qobject_cast<QScrollBar*>(w)) {
            s->setRange(c.scroll_min(), c.scroll_max());
            s->setPageStep(std::max(1, (c.scroll_max() - c.scroll_min()) / 10 + 1));
            if (s->value() != c.scroll_pos()) {
                s->setValue(c.scroll_pos());
            }
        }
    }

    Dialog& dialog_;
    DialogUnits units_;
    std::vector<Shown> widgets_;
    QTimer check_;
    bool refreshing_ = false;
};

} // namespace

void QtDialogHost::run(Dialog& dialog, HWND owner) {
    if (qApp == nullptr || QThread::currentThread() != qApp->thread()) {
        return; // ends with IDCANCEL
    }
    QWidget* parent = widget_of(owner);
    if (parent == nullptr) {
        parent = QApplication::activeWindow();
    }
    HostedDialog shown(dialog, parent);
    if (!dialog.ended()) {
        shown.exec();
    }
}

QDialog* QtDialogHost::widget_of(HWND dialog) {
    const auto it = hosted().find(dialog);
    return it == hosted().end() ? nullptr : it->second;
}

} // namespace platform
