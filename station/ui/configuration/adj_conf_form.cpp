#include "adj_conf_form.h"

#include "base/language.h"
#include "base/language_lines.h"
#include "base/message_boxes.h"
#include "ui/common/qt_text.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace station {
namespace {

constexpr int kRowHeight = AdjConfModel::kRowHeight;
constexpr int kVisibleRows = 16; // the header and 15 configurations

int grid_width() {
    int w = 0;
    for (const int c : AdjConfModel::kColumnWidths) {
        w += c;
    }
    return w;
}

int column_left(int column) {
    int x = 0;
    for (int c = 0; c < column; ++c) {
        x += AdjConfModel::kColumnWidths[static_cast<std::size_t>(c)];
    }
    return x;
}

// A filled circle in the cell.
void circle(QPainter& p, const QRect& r, const QColor& colour) {
    const int d = r.height() - 6;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRect(r.center().x() - d / 2, r.top() + 3, d, d));
}

} // namespace

AdjConfGrid::AdjConfGrid(AdjConfModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), model_(model) {
    setObjectName("DG1");
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(grid_width() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
                 kVisibleRows * kRowHeight + 2 * frameWidth());
    update_scroll_range();
}

void AdjConfGrid::update_scroll_range() {
    const int shown = std::max(1, viewport()->height() / kRowHeight - 1);
    verticalScrollBar()->setRange(0, std::max(0, AdjConfModel::kRows - 1 - shown));
    verticalScrollBar()->setPageStep(shown);
}

void AdjConfGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    update_scroll_range();
}

QRect AdjConfGrid::CellRect(int column, int row) const {
    const int y = row == 0 ? 0 : (row - verticalScrollBar()->value()) * kRowHeight;
    return QRect(column_left(column), y,
                 AdjConfModel::kColumnWidths[static_cast<std::size_t>(column)], kRowHeight);
}

std::pair<int, int> AdjConfGrid::CellAt(const QPoint& pos) const {
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= grid_width()) {
        return {-1, -1};
    }
    int column = 0;
    while (column + 1 < AdjConfModel::kColumns && pos.x() >= column_left(column + 1)) {
        ++column;
    }
    const int line = pos.y() / kRowHeight;
    const int row = line == 0 ? 0 : line + verticalScrollBar()->value();
    if (row >= AdjConfModel::kRows) {
        return {-1, -1};
    }
    return {column, row};
}

void AdjConfGrid::paint_cell(QPainter& p, int column, int row, const QRect& r) const {
    const QRect inner = r.adjusted(0, 0, -1, -1);
    const QPalette& pal = palette();
    const QRect text_rect = r.adjusted(4, 1, -2, 0);
    if (row == 0) {
        p.fillRect(inner, pal.color(QPalette::Button));
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(inner);
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        p.drawText(text_rect, Qt::AlignLeft | Qt::AlignTop, QtText(model_.CellText(column, 0)));
        p.setFont(font());
        return;
    }
    p.setPen(QColor(192, 192, 192));
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner);
    switch (column) {
    case 0:
        p.fillRect(inner, model_.IsCurrent(row) ? QColor(0, 128, 0) : pal.color(QPalette::Button));
        p.setPen(Qt::black);
        p.drawRect(inner);
        break;
    case AdjConfModel::kSaveColumn:
        circle(p, r, model_.SaveHeld(row) ? QColor(255, 0, 0) : QColor(128, 0, 0));
        return;
    case AdjConfModel::kLoadColumn:
        circle(p, r, model_.LoadHeld(row) ? QColor(0, 255, 0) : QColor(0, 128, 0));
        return;
    case AdjConfModel::kNameColumn:
        if (row == selected_row_) {
            p.fillRect(inner.adjusted(1, 1, 0, 0), pal.color(QPalette::Highlight));
            p.setPen(pal.color(QPalette::HighlightedText));
            p.drawText(text_rect, Qt::AlignLeft | Qt::AlignTop,
                       QtText(model_.CellText(column, row)));
            return;
        }
        break;
    default:
        break;
    }
    p.setPen(pal.color(QPalette::Text));
    p.drawText(text_rect, Qt::AlignLeft | Qt::AlignTop, QtText(model_.CellText(column, row)));
}

void AdjConfGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    const int first = verticalScrollBar()->value() + 1;
    const int shown = viewport()->height() / kRowHeight;
    for (int row = first; row < AdjConfModel::kRows && row < first + shown; ++row) {
        for (int c = 0; c < AdjConfModel::kColumns; ++c) {
            paint_cell(p, c, row, CellRect(c, row));
        }
    }
    for (int c = 0; c < AdjConfModel::kColumns; ++c) {
        paint_cell(p, c, 0, CellRect(c, 0));
    }
}

void AdjConfGrid::select(int row) {
    if (row < 1 || row >= AdjConfModel::kRows) {
        return;
    }
    selected_row_ = row;
    const int value = verticalScrollBar()->value();
    const int shown = verticalScrollBar()->pageStep();
    if (row - 1 < value) {
        verticalScrollBar()->setValue(row - 1);
    } else if (row > value + shown) {
        verticalScrollBar()->setValue(row - shown);
    }
    viewport()->update();
}

void AdjConfGrid::edit(int row) {
    finish_edit();
    select(row);
    editing_row_ = row;
    editor_ = new QLineEdit(viewport());
    editor_->setObjectName("NameEditor");
    editor_->setFrame(false);
    editor_->setGeometry(CellRect(AdjConfModel::kNameColumn, row).adjusted(1, 1, -1, -1));
    editor_->setText(QtText(model_.EditText(row)));
    // The name is stored as it is typed.
    QObject::connect(editor_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.SetEditText(editing_row_, StationText(text));
    });
    QObject::connect(editor_, &QLineEdit::editingFinished, this, [this] { finish_edit(); });
    editor_->show();
    editor_->setFocus();
}

void AdjConfGrid::finish_edit() {
    if (editor_ == nullptr) {
        return;
    }
    QLineEdit* editor = std::exchange(editor_, nullptr);
    editor->hide();
    editor->deleteLater();
    setFocus();
    viewport()->update();
}

void AdjConfGrid::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    finish_edit();
    const auto [column, row] = CellAt(e->position().toPoint());
    if (AdjConfModel::Selectable(column, row)) {
        select(row);
    }
    model_.MouseDown(column, row);
    viewport()->update();
}

void AdjConfGrid::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    const auto [column, row] = CellAt(e->position().toPoint());
    const AdjConfModel::Release release = model_.MouseUp(column, row);
    viewport()->update();
    if (release != AdjConfModel::Release::None && Released) {
        Released(release);
    }
}

void AdjConfGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    const auto [column, row] = CellAt(e->position().toPoint());
    if (AdjConfModel::Selectable(column, row)) {
        edit(row);
    }
}

void AdjConfGrid::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Up:
        select(std::max(1, selected_row_ - 1));
        return;
    case Qt::Key_Down:
        select(std::min(AdjConfModel::kRows - 1, std::max(1, selected_row_ + 1)));
        return;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (selected_row_ >= 1) {
            edit(selected_row_);
            return;
        }
        break;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

TAdjConf::TAdjConf(const LanguageList& lang, ConfScheduleTable& schedule, ConfigurationState& state,
                   AdjConfModel::Actions actions, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      model_(lang, schedule, state, std::move(actions)) {
    setObjectName("AdjConf");
    auto* column = new QVBoxLayout(this);
    grid_ = new AdjConfGrid(model_, this);
    grid_->Released = [this](AdjConfModel::Release r) { Carry(r); };
    column->addWidget(grid_);

    time_load_box_ = new QGroupBox(this);
    time_load_box_->setObjectName("TimeLoadBox");
    auto* group = new QVBoxLayout(time_load_box_);
    use_load_cb_ = new QCheckBox(LangText(model_.Lang(), kLineUseTimedLoad), time_load_box_);
    use_load_cb_->setObjectName("UseLoadCB");
    group->addWidget(use_load_cb_);
    auto* pickers = new QHBoxLayout;
    time_gb_ = new QGroupBox(LangText(model_.Lang(), kLineTimeGroup), time_load_box_);
    time_gb_->setObjectName("TimeGB");
    auto* time_row = new QVBoxLayout(time_gb_);
    dtp1_ = new QTimeEdit(time_gb_);
    dtp1_->setObjectName("DTP1");
    dtp1_->setDisplayFormat("H:mm");
    time_row->addWidget(dtp1_);
    time_row->addStretch();
    pickers->addWidget(time_gb_);
    date_gb_ = new QGroupBox(LangText(model_.Lang(), kLineDateGroup), time_load_box_);
    date_gb_->setObjectName("DateGB");
    auto* date_col = new QVBoxLayout(date_gb_);
    dtp2_ = new QDateEdit(date_gb_);
    dtp2_->setObjectName("DTP2");
    dtp2_->setDisplayFormat("d.M.yyyy");
    dtp2_->setCalendarPopup(true);
    date_col->addWidget(dtp2_);
    const int lines[4] = {kLineOnDate, kLineEveryDay, kLineMondayToFriday, kLineSaturdaySunday};
    for (int i = 0; i < 4; ++i) {
        rb_[i] = new QRadioButton(LangText(model_.Lang(), lines[i]), date_gb_);
        rb_[i]->setObjectName(QString("RB%1").arg(i + 1));
        date_col->addWidget(rb_[i]);
        connect(rb_[i], &QRadioButton::toggled, this, [this] { enable_group(); });
    }
    pickers->addWidget(date_gb_, 1);
    group->addLayout(pickers);
    set_btn_ = new QPushButton(LangText(model_.Lang(), kLineSetButton), time_load_box_);
    set_btn_->setObjectName("SetBtn");
    group->addWidget(set_btn_, 0, Qt::AlignRight);
    connect(use_load_cb_, &QCheckBox::toggled, this, [this] { enable_group(); });
    connect(set_btn_, &QPushButton::clicked, this, [this] { SetBtnClick(); });
    time_load_box_->hide();
    column->addWidget(time_load_box_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_btn_ = new QPushButton("OK", this);
    ok_btn_->setObjectName("OKBtn");
    ok_btn_->setDefault(true);
    cancel_btn_ = new QPushButton("Cancel", this);
    cancel_btn_->setObjectName("CancelBtn");
    buttons->addWidget(ok_btn_);
    buttons->addWidget(cancel_btn_);
    column->addLayout(buttons);
    connect(ok_btn_, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(cancel_btn_, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    column->setSizeConstraint(QLayout::SetFixedSize);
}

TAdjConf::~TAdjConf() {
    RunDestroyActions();
}

void TAdjConf::showEvent(QShowEvent* e) {
    time_load_box_->hide();
    setWindowTitle(QtText(model_.Caption()));
    model_.FormShow();
    if (QScreen* screen = this->screen()) {
        move(screen->geometry().center() - rect().center());
    }
    QDialog::showEvent(e);
}

void TAdjConf::closeEvent(QCloseEvent* e) {
    e->accept();
}

void TAdjConf::reject() {
    CancelBtnClick();
}

void TAdjConf::SetControlsEnabled(bool on) {
    setEnabled(on);
}

void TAdjConf::Carry(AdjConfModel::Release release) {
    const int n = model_.Row();
    QPointer<TAdjConf> self(this);
    switch (release) {
    case AdjConfModel::Release::ShowTimeLoad:
        time_load_box_->show();
        ShowTimeLoadBox();
        break;
    case AdjConfModel::Release::AskSave: {
        const std::string caption = model_.Caption();
        const int cur_conf = model_.CurConf();
        const std::string question = model_.SaveQuestion(n);
        const int answer = StationMessageBox(nullptr, question.c_str(), caption.c_str(),
                                             MB_OKCANCEL | MB_ICONWARNING);
        // The dialog may have been freed while the question was open.
        if (!self) {
            return;
        }
        if (!model_.SaveAnswered(n, answer == IDOK, cur_conf)) {
            const std::string text =
                model_.Lang()[kLineConfigurationNotSaved] + " " + std::to_string(n);
            StationMessageBox(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
        }
        break;
    }
    case AdjConfModel::Release::Load:
        model_.LoadRow(n);
        if (self) {
            raise();
            activateWindow();
        }
        break;
    case AdjConfModel::Release::None:
        break;
    }
    if (self) {
        grid_->viewport()->update();
    }
}

void TAdjConf::ShowTimeLoadBox() {
    const AdjConfModel::TimeLoad t = model_.ShowTimeLoadBox();
    time_load_box_->setTitle(QtText(model_.TimeLoadCaption()));
    use_load_cb_->setChecked(t.Use);
    dtp2_->setDate(QDate(t.Year, t.Month, t.Day));
    dtp1_->setTime(QTime(t.Hour, t.Minute, 0));
    rb_[std::clamp(t.Mode, 0, 3)]->setChecked(true);
    enable_group();
}

AdjConfModel::TimeLoad TAdjConf::group() const {
    AdjConfModel::TimeLoad t;
    t.Use = use_load_cb_->isChecked();
    const QDate d = dtp2_->date();
    t.Year = d.year();
    t.Month = d.month();
    t.Day = d.day();
    const QTime time = dtp1_->time();
    t.Hour = time.hour();
    t.Minute = time.minute();
    t.Mode = 1;
    for (int i = 0; i < 4; ++i) {
        if (rb_[i]->isChecked()) {
            t.Mode = i;
        }
    }
    return t;
}

void TAdjConf::enable_group() {
    const AdjConfModel::TimeLoad t = group();
    dtp2_->setEnabled(AdjConfModel::DateEnabled(t));
    dtp1_->setEnabled(AdjConfModel::TimeEnabled(t));
    for (QRadioButton* rb : rb_) {
        rb->setEnabled(AdjConfModel::TimeEnabled(t));
    }
}

void TAdjConf::SetBtnClick() {
    model_.SetAllPar(group());
    grid_->viewport()->update();
    time_load_box_->hide();
}

void TAdjConf::OKBtnClick() {
    if (!model_.OKBtnClick()) {
        const std::string text = model_.Lang()[kLineConfTableNotSaved];
        StationMessageBox(nullptr, text.c_str(), model_.Caption().c_str(), MB_OK | MB_ICONWARNING);
        return;
    }
    close();
}

void TAdjConf::CancelBtnClick() {
    model_.CancelBtnClick();
    close();
}

} // namespace station
