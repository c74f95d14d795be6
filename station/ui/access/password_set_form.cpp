#include "password_set_form.h"

#include "base/language_lines.h"
#include "base/message_boxes.h"
#include "ui/common/qt_text.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace station {
namespace {

constexpr int kRowHeight = PasswordSetModel::kRowHeight;
constexpr int kVisibleRows = 13; // the header and 12 rights

int grid_width() {
    return PasswordSetModel::kColumnWidths[0] + PasswordSetModel::kColumnWidths[1];
}

int column_left(int column) {
    return column == 0 ? 0 : PasswordSetModel::kColumnWidths[0];
}

} // namespace

RightsGrid::RightsGrid(PasswordSetModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), model_(model) {
    setObjectName("DG1");
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    setFixedSize(grid_width() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
                 kVisibleRows * kRowHeight + 2 * frameWidth());
    update_scroll_range();
}

void RightsGrid::update_scroll_range() {
    const int shown = std::max(1, viewport()->height() / kRowHeight - 1);
    verticalScrollBar()->setRange(0, std::max(0, PasswordSetModel::kRows - 1 - shown));
    verticalScrollBar()->setPageStep(shown);
}

void RightsGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    update_scroll_range();
}

QRect RightsGrid::CellRect(int column, int row) const {
    const int y = row == 0 ? 0 : (row - verticalScrollBar()->value()) * kRowHeight;
    return QRect(column_left(column), y,
                 PasswordSetModel::kColumnWidths[static_cast<std::size_t>(column)], kRowHeight);
}

std::pair<int, int> RightsGrid::CellAt(const QPoint& pos) const {
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= grid_width()) {
        return {-1, -1};
    }
    const int column = pos.x() >= column_left(1) ? 1 : 0;
    const int line = pos.y() / kRowHeight;
    const int row = line == 0 ? 0 : line + verticalScrollBar()->value();
    if (row >= PasswordSetModel::kRows) {
        return {-1, -1};
    }
    return {column, row};
}

void RightsGrid::paint_cell(QPainter& p, int column, int row, const QRect& r) const {
    const QRect inner = r.adjusted(0, 0, -1, -1);
    const QRect text_rect = r.adjusted(4, 1, -2, 0);
    const QPalette& pal = palette();
    QColor text = Qt::black;
    if (row == 0) {
        p.fillRect(inner, pal.color(QPalette::Button));
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
    } else if (column == 0) {
        p.fillRect(inner, pal.color(QPalette::Button));
    } else {
        p.fillRect(inner, pal.color(QPalette::Base));
        text = model_.Granted(row) ? QColor(0, 128, 0) : QColor(255, 0, 0);
    }
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner);
    p.setPen(text);
    p.drawText(text_rect, Qt::AlignLeft | Qt::AlignTop, QtText(model_.CellText(column, row)));
    p.setFont(font());
}

void RightsGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    const int first = verticalScrollBar()->value() + 1;
    const int shown = viewport()->height() / kRowHeight;
    for (int row = first; row < PasswordSetModel::kRows && row < first + shown; ++row) {
        for (int c = 0; c < PasswordSetModel::kColumns; ++c) {
            paint_cell(p, c, row, CellRect(c, row));
        }
    }
    for (int c = 0; c < PasswordSetModel::kColumns; ++c) {
        paint_cell(p, c, 0, CellRect(c, 0));
    }
}

void RightsGrid::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    const auto [column, row] = CellAt(e->position().toPoint());
    model_.SelectCell(column, row);
}

void RightsGrid::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    model_.MouseUp();
    viewport()->update();
}

TPasswordSet::TPasswordSet(const BaseState& base, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint),
      model_(base) {
    setObjectName("PasswordSet");
    auto* column = new QVBoxLayout(this);
    groups_[0] = new QGroupBox(this);
    groups_[0]->setObjectName("GroupBox1");
    auto* rights = new QVBoxLayout(groups_[0]);
    grid_ = new RightsGrid(model_, groups_[0]);
    rights->addWidget(grid_);
    column->addWidget(groups_[0]);

    auto* levels = new QHBoxLayout;
    for (int level = 1; level <= 2; ++level) {
        const auto l = static_cast<std::size_t>(level - 1);
        QGroupBox* group = groups_[l + 1] = new QGroupBox(this);
        group->setObjectName(QString("GroupBox%1").arg(level + 1));
        auto* form = new QVBoxLayout(group);
        for (int i = 0; i < 2; ++i) {
            const int n = 2 * (level - 1) + i + 1; // Label1/Edit1 .. Label4/Edit4
            const auto idx = static_cast<std::size_t>(n - 1);
            labels_[idx] = new QLabel(group);
            labels_[idx]->setObjectName(QString("Label%1").arg(n));
            edits_[idx] = new DigitsEdit(group, true);
            edits_[idx]->setObjectName(QString("Edit%1").arg(n));
            form->addWidget(labels_[idx]);
            form->addWidget(edits_[idx]);
            connect(edits_[idx], &QLineEdit::textChanged, this,
                    [this, level] { edit_changed(level); });
        }
        // The button and its notice share one place.
        auto* place = new QHBoxLayout;
        buttons_[l] = new QPushButton(group);
        buttons_[l]->setObjectName(QString("Button%1").arg(level));
        place->addWidget(buttons_[l]);
        notices_[l] = new QLabel(group);
        notices_[l]->setObjectName(QString("Label%1").arg(level + 4));
        notices_[l]->setAlignment(Qt::AlignCenter);
        notices_[l]->setMinimumHeight(buttons_[l]->sizeHint().height());
        notices_[l]->hide();
        place->addWidget(notices_[l]);
        form->addLayout(place);
        connect(buttons_[l], &QPushButton::clicked, this, [this, level] { ButtonClick(level); });
        notice_timers_[l] = new QTimer(this);
        notice_timers_[l]->setObjectName(QString("NoticeTimer%1").arg(level));
        notice_timers_[l]->setSingleShot(true);
        // At least the whole interval, not a coarse timer's early tick.
        notice_timers_[l]->setTimerType(Qt::PreciseTimer);
        notice_timers_[l]->setInterval(kNoticeMs);
        connect(notice_timers_[l], &QTimer::timeout, this, [this, level] { notice_over(level); });
        levels->addWidget(group);
    }
    column->addLayout(levels);
    column->setSizeConstraint(QLayout::SetFixedSize);
}

TPasswordSet::~TPasswordSet() {
    RunDestroyActions();
}

void TPasswordSet::showEvent(QShowEvent* e) {
    const LanguageList& lang = model_.Base().LangList;
    setWindowTitle(QtText(model_.Caption()));
    groups_[0]->setTitle(LangText(lang, kLineLimitedRights));
    groups_[1]->setTitle(LangText(lang, kLineFullAccess));
    groups_[2]->setTitle(LangText(lang, kLineLimitedAccess));
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        labels_[i]->setText(LangText(lang, i % 2 == 0 ? kLineNewPassword : kLineConfirmation));
    }
    for (std::size_t l = 0; l < 2; ++l) {
        buttons_[l]->setText(LangText(lang, kLineChangeButton));
        notices_[l]->setText(LangText(lang, kLineNewPasswordSet));
    }
    for (DigitsEdit* edit : edits_) {
        edit->clear();
    }
    for (QPushButton* button : buttons_) {
        button->setEnabled(false);
    }
    model_.FormShow();
    grid_->viewport()->update();
    if (QScreen* screen = this->screen()) {
        move(screen->geometry().center() - rect().center());
    }
    QDialog::showEvent(e);
}

void TPasswordSet::reject() {
    close();
}

void TPasswordSet::closeEvent(QCloseEvent* e) {
    e->accept();
}

void TPasswordSet::edit_changed(int level) {
    const auto first = static_cast<std::size_t>(2 * (level - 1));
    buttons_[static_cast<std::size_t>(level - 1)]->setEnabled(
        PasswordSetModel::ButtonEnabled(edits_[first]->Digits(), edits_[first + 1]->Digits()));
}

void TPasswordSet::ButtonClick(int level) {
    if (level < 1 || level > 2) {
        return;
    }
    const auto l = static_cast<std::size_t>(level - 1);
    const std::string password = edits_[2 * l]->Digits();
    if (!model_.StorePassword(level, password)) {
        const std::string caption = model_.Caption();
        const std::string text = model_.Base().LangList[kLinePasswordNotSaved];
        StationMessageBox(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
        return;
    }
    buttons_[l]->hide();
    notices_[l]->show();
    notice_timers_[l]->start();
}

void TPasswordSet::notice_over(int level) {
    const auto l = static_cast<std::size_t>(level - 1);
    buttons_[l]->show();
    notices_[l]->hide();
}

void TPasswordSet::FormDestroy() {
    for (QTimer* t : notice_timers_) {
        t->stop();
    }
    model_.FormDestroy();
}

} // namespace station
