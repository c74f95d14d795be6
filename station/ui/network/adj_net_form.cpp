#include "ui/network/adj_net_form.h"

#include "ui/common/qt_text.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstdlib>

namespace station {
namespace {

constexpr int kColumnWidth = AdjNetModel::kColumnWidth;
constexpr int kRowHeight = AdjNetModel::kRowHeight;
constexpr int kVisibleStations = 7;

constexpr int kLineGroupThis = 124;
constexpr int kLineGroupRemote = 125;
constexpr int kLinePort = 126;
constexpr int kLineDisconnect = 127;
constexpr int kLineConnect = 128;
constexpr int kLineFirstLamp = 129;

QColor LampColour(AdjNetModel::Lamp lamp) {
    if (lamp.Red) {
        return lamp.Lit ? QColor(255, 0, 0) : QColor(128, 0, 0);
    }
    return lamp.Lit ? QColor(0, 255, 0) : QColor(0, 128, 0);
}

void PaintLamp(QPainter& p, const QRect& r, AdjNetModel::Lamp lamp) {
    const int d = std::min(r.width(), r.height()) - 4;
    p.setPen(Qt::black);
    p.setBrush(LampColour(lamp));
    p.drawEllipse(QRect(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
}

} // namespace

NetLamp::NetLamp(QWidget* parent) : QWidget(parent) {
    setFixedSize(16, 16);
}

void NetLamp::Set(AdjNetModel::Lamp lamp) {
    if (!(lamp == lamp_)) {
        lamp_ = lamp;
        update();
    }
}

void NetLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    PaintLamp(p, rect().adjusted(0, 0, -1, -1), lamp_);
}

AdjNetGrid::AdjNetGrid(AdjNetModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), model_(model) {
    setObjectName("DG1");
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize((kVisibleStations + 1) * kColumnWidth + 2 * frameWidth(),
                 AdjNetModel::kRows * kRowHeight + horizontalScrollBar()->sizeHint().height() +
                     2 * frameWidth());
    update_scroll_range();
}

void AdjNetGrid::update_scroll_range() {
    const int shown = std::max(1, viewport()->width() / kColumnWidth - 1);
    horizontalScrollBar()->setRange(0, std::max(0, AdjNetModel::kColumns - 1 - shown));
    horizontalScrollBar()->setPageStep(shown);
}

void AdjNetGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    update_scroll_range();
}

QRect AdjNetGrid::CellRect(int column, int row) const {
    const int x = column == 0 ? 0 : (column - horizontalScrollBar()->value()) * kColumnWidth;
    return QRect(x, row * kRowHeight, kColumnWidth, kRowHeight);
}

std::pair<int, int> AdjNetGrid::CellAt(const QPoint& pos) const {
    if (pos.x() < 0 || pos.y() < 0) {
        return {-1, -1};
    }
    const int line = pos.x() / kColumnWidth;
    const int column = line == 0 ? 0 : line + horizontalScrollBar()->value();
    const int row = pos.y() / kRowHeight;
    if (column >= AdjNetModel::kColumns || row >= AdjNetModel::kRows) {
        return {-1, -1};
    }
    return {column, row};
}

void AdjNetGrid::paint_cell(QPainter& p, int column, int row, const QRect& r) const {
    const QRect inner = r.adjusted(0, 0, -1, -1);
    const QPalette& pal = palette();
    const bool fixed = column == 0 || row == 0;
    QColor background = pal.color(QPalette::Base);
    if (fixed || ((row == AdjNetModel::kPortRow || row == AdjNetModel::kAddressRow) &&
                  model_.CellFixedColour(column, row))) {
        background = pal.color(QPalette::Button);
    }
    const bool selected =
        selected_ == std::make_pair(column, row) && model_.Selectable(column, row);
    p.fillRect(inner, selected ? pal.color(QPalette::Highlight) : background);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner);
    if (const std::optional<AdjNetModel::Lamp> lamp = model_.CellLamp(column, row)) {
        PaintLamp(p, inner.adjusted(1, 1, 0, 0), *lamp);
        return;
    }
    p.setPen(selected ? pal.color(QPalette::HighlightedText) : QColor(Qt::black));
    p.drawText(r.adjusted(4, 1, -2, 0), Qt::AlignLeft | Qt::AlignTop,
               QtText(model_.CellText(column, row)));
}

void AdjNetGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    const int first = horizontalScrollBar()->value() + 1;
    const int shown = viewport()->width() / kColumnWidth;
    for (int row = 0; row < AdjNetModel::kRows; ++row) {
        for (int column = first; column < AdjNetModel::kColumns && column < first + shown;
             ++column) {
            paint_cell(p, column, row, CellRect(column, row));
        }
        paint_cell(p, 0, row, CellRect(0, row));
    }
}

void AdjNetGrid::select(int column, int row) {
    // DG1SelectCell: other cells cannot be selected.
    if (!model_.Selectable(column, row)) {
        return;
    }
    selected_ = {column, row};
    const int value = horizontalScrollBar()->value();
    const int shown = horizontalScrollBar()->pageStep();
    if (column - 1 < value) {
        horizontalScrollBar()->setValue(column - 1);
    } else if (column > value + shown) {
        horizontalScrollBar()->setValue(column - shown);
    }
    viewport()->update();
}

void AdjNetGrid::Edit() {
    FinishEdit();
    const auto [column, row] = selected_;
    if (!model_.Selectable(column, row)) {
        return;
    }
    editing_ = selected_;
    editor_ = new QLineEdit(viewport());
    editor_->setObjectName("CellEditor");
    editor_->setFrame(false);
    editor_->setGeometry(CellRect(column, row).adjusted(1, 1, -1, -1));
    editor_->setText(QtText(model_.GetEditText(column, row)));
    // DG1SetEditText on every change, as it is typed.
    QObject::connect(editor_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.SetEditText(editing_.first, editing_.second, StationText(text));
    });
    QObject::connect(editor_, &QLineEdit::editingFinished, this, [this] { FinishEdit(); });
    editor_->show();
    editor_->setFocus();
}

void AdjNetGrid::FinishEdit() {
    if (editor_ == nullptr) {
        return;
    }
    QLineEdit* editor = std::exchange(editor_, nullptr);
    editor->hide();
    editor->deleteLater();
    setFocus();
    viewport()->update();
}

void AdjNetGrid::mousePressEvent(QMouseEvent* e) {
    FinishEdit();
    const auto [column, row] = CellAt(e->position().toPoint());
    select(column, row);
}

void AdjNetGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    const auto [column, row] = CellAt(e->position().toPoint());
    select(column, row);
    if (selected_ == std::make_pair(column, row)) {
        Edit();
    }
}

void AdjNetGrid::keyPressEvent(QKeyEvent* e) {
    auto [column, row] = selected_;
    switch (e->key()) {
    case Qt::Key_Left:
        select(column - 1, row);
        return;
    case Qt::Key_Right:
        select(column + 1, row);
        return;
    case Qt::Key_Up:
        select(column, row - 1);
        return;
    case Qt::Key_Down:
        select(column, row + 1);
        return;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Edit();
        return;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

TAdjNetForm::TAdjNetForm(const BaseState& base, SettingsState& settings, bool& networkOn,
                         RemStations& links, ServerSocketPort& server,
                         std::function<void()> toggleMesForm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      model_(base, settings, networkOn, links, server), toggle_mes_form_(std::move(toggleMesForm)) {
    setObjectName("AdjNetForm");
    setWindowTitle(QtText(model_.Caption()));
    auto text = [this](int line) { return QtText(model_.Line(line)); };
    auto* column = new QVBoxLayout(this);

    auto* group1 = new QGroupBox(text(kLineGroupThis), this);
    group1->setObjectName("GroupBox1");
    auto* g1 = new QHBoxLayout(group1);
    auto* controls = new QGridLayout;
    auto* label1 = new QLabel(text(kLinePort), group1);
    label1->setObjectName("Label1");
    port_edit_ = new QLineEdit(group1);
    port_edit_->setObjectName("ServerPortEdit");
    port_edit_->setFixedWidth(70);
    port_edit_->installEventFilter(this);
    QObject::connect(port_edit_, &QLineEdit::textEdited, this,
                     [this](const QString& t) { port_edited(t); });
    controls->addWidget(label1, 0, 0);
    controls->addWidget(port_edit_, 0, 1);
    button1_ = new QPushButton(text(kLineDisconnect), group1);
    button1_->setObjectName("Button1");
    button2_ = new QPushButton(text(kLineConnect), group1);
    button2_->setObjectName("Button2");
    controls->addWidget(button1_, 1, 0, 1, 2);
    controls->addWidget(button2_, 2, 0, 1, 2);
    QObject::connect(button1_, &QPushButton::clicked, this, [this] {
        model_.Button1Click();
        show_port_edit_state();
        grid_->FinishEdit();
        grid_->viewport()->update();
    });
    QObject::connect(button2_, &QPushButton::clicked, this, [this] {
        model_.Button2Click();
        show_port_edit_state();
        grid_->FinishEdit();
        grid_->viewport()->update();
    });
    for (int i = 0; i < AdjNetModel::kLamps; ++i) {
        auto* lamp = new NetLamp(group1);
        lamp->setObjectName(QString("c%1").arg(i + 1));
        lamp->Set({false, i == AdjNetModel::kErrorLamp});
        auto* caption = new QLabel(text(kLineFirstLamp + i), group1);
        caption->setObjectName(QString("Label%1").arg(i + 2));
        controls->addWidget(lamp, 3 + i, 0, Qt::AlignRight);
        controls->addWidget(caption, 3 + i, 1);
        lamps_[static_cast<std::size_t>(i)] = lamp;
    }
    controls->setRowStretch(3 + AdjNetModel::kLamps, 1);
    g1->addLayout(controls);
    scroll_box_ = new QScrollArea(group1);
    scroll_box_->setObjectName("ScrollBox1");
    scroll_box_->setMinimumSize(360, 170);
    memo_ = new QPlainTextEdit;
    memo_->setObjectName("ServerConnectionsMemo");
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_box_->setWidget(memo_);
    g1->addWidget(scroll_box_, 1);
    column->addWidget(group1);

    auto* group2 = new QGroupBox(text(kLineGroupRemote), this);
    group2->setObjectName("GroupBox2");
    auto* g2 = new QVBoxLayout(group2);
    grid_ = new AdjNetGrid(model_, group2);
    g2->addWidget(grid_);
    column->addWidget(group2);
    column->setSizeConstraint(QLayout::SetFixedSize);

    timer1_.setInterval(AdjNetModel::kTimerMs);
    QObject::connect(&timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

TAdjNetForm::~TAdjNetForm() {
    RunDestroyActions();
}

void TAdjNetForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (e->spontaneous()) {
        return;
    }
    model_.FormShow();
    // Set without the edit rule: textEdited does not fire for it.
    port_edit_->setText(QString::fromStdString(model_.PortEditText()));
    show_port_edit_state();
    timer1_.start();
}

void TAdjNetForm::show_port_edit_state() {
    const bool on = model_.PortEditEnabled();
    port_edit_->setEnabled(on);
    QPalette pal = port_edit_->palette();
    pal.setColor(QPalette::Base, palette().color(on ? QPalette::Base : QPalette::Button));
    pal.setColor(QPalette::Disabled, QPalette::Base, palette().color(QPalette::Button));
    port_edit_->setPalette(pal);
}

bool TAdjNetForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == port_edit_ && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Backspace) {
            return false;
        }
        const QString typed = key->text();
        // Keys without a character (arrows, Delete, Tab) are not key presses here.
        if (typed.size() == 1 && typed[0].unicode() != '\t' && typed[0].unicode() != 0x1B) {
            const ushort code = typed[0].unicode();
            const char c = code < 0x80 ? static_cast<char>(code) : '\x7F';
            if (!model_.ServerPortEditKeyPress(c)) {
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TAdjNetForm::port_edited(const QString& text) {
    const std::string shown = model_.ServerPortEditChange(StationText(text));
    if (QString::fromStdString(shown) != text) {
        port_edit_->setText(QString::fromStdString(shown));
        port_edit_->setCursorPosition(static_cast<int>(shown.size()));
    }
}

void TAdjNetForm::Timer1Timer() {
    model_.Timer1Timer();
    for (int i = 0; i < AdjNetModel::kLamps; ++i) {
        lamps_[static_cast<std::size_t>(i)]->Set(model_.Lamps()[static_cast<std::size_t>(i)]);
    }
    grid_->viewport()->update();
}

void TAdjNetForm::ShowConnections() {
    QStringList lines;
    for (const std::string& line : model_.ConnectionLines()) {
        lines << QtText(line);
    }
    memo_->setPlainText(lines.join('\n'));
    // (lines + 1) x twice the font's height, at least the box's client height.
    const int per_line = std::abs(2 * QFontMetrics(memo_->font()).height());
    const int height =
        std::max(static_cast<int>(lines.size() + 1) * per_line, scroll_box_->viewport()->height());
    memo_->setFixedSize(scroll_box_->viewport()->width(), height);
}

void TAdjNetForm::closeEvent(QCloseEvent* e) {
    model_.FormClose();
    timer1_.stop();
    e->accept();
}

void TAdjNetForm::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1 && (e->modifiers() & Qt::AltModifier) != 0) {
        if (toggle_mes_form_) {
            toggle_mes_form_();
        }
        return;
    }
    QDialog::keyPressEvent(e);
}

void TAdjNetForm::FormDestroy() {
    timer1_.stop();
    model_.FormDestroy();
}

} // namespace station
