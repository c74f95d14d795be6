#include "mes_form.h"

#include "base/language_lines.h"

#include "ui/common/qt_text.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace station {

namespace {

constexpr int kRefreshMs = 100;

QTableWidget* make_grid(QWidget* parent, const char* name, int cols, int rows) {
    auto* g = new QTableWidget(rows, cols, parent);
    g->setObjectName(name);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionMode(QAbstractItemView::NoSelection);
    g->verticalHeader()->setDefaultSectionSize(18);
    for (int c = 0; c < cols; ++c) {
        g->setColumnWidth(c, 60);
        for (int r = 0; r < rows; ++r) {
            g->setItem(r, c, new QTableWidgetItem);
        }
    }
    return g;
}

void set_cell(QTableWidget* g, int col, int row, const std::string& text) {
    QTableWidgetItem* item = g->item(row, col);
    const QString t = QtText(text);
    if (item != nullptr && item->text() != t) {
        item->setText(t);
    }
}

QColor state_colour(std::int32_t state, const QColor& window) {
    switch (state) {
    case kBufWithChip:
        return Qt::blue;
    case kBufReady:
        return QColor(0x00, 0xFF, 0x00);
    case kBufBad:
        return Qt::red;
    default:
        return window;
    }
}

} // namespace

BufferGrid::BufferGrid(const Diagnostics& mes, QWidget* parent) : QWidget(parent), mes_(mes) {
    setObjectName("BufDG");
    setMinimumSize(200, 80);
}

void BufferGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor window = palette().color(QPalette::Window);
    p.fillRect(rect(), window);
    const int colWidth = width() / 5 - 1;
    const int rowHeight = height() / 4;
    for (int row = 0; row < 4; ++row) {
        const int k = row + 1;
        const QRect chip(0, row * rowHeight, colWidth, rowHeight);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(chip.adjusted(4, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QtText(mes_.BufChipCell(row)));
        for (int col = 1; col <= 4; ++col) {
            const QRect cell((colWidth + 1) * col, row * rowHeight, colWidth, rowHeight);
            const auto b = static_cast<std::size_t>(col - 1);
            if (mes_.BufCursorMarks[static_cast<std::size_t>(k)][b] == 1) {
                p.fillRect(cell, Qt::black);
            }
            p.fillRect(cell.adjusted(4, 4, -4, -4),
                       state_colour(mes_.BufStates[static_cast<std::size_t>(k)][b], window));
        }
    }
}

TMesForm::TMesForm(LiveStation& live, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), live_(live),
      mes_(live.Counters, &live.Board, live.Base.LangList) {
    setObjectName("MesForm");
    auto* top = new QVBoxLayout(this);

    period_gb_ = new QGroupBox(this);
    period_gb_->setObjectName("PeriodGB");
    dg1_ = make_grid(period_gb_, "DG1", 9, 17);
    (new QVBoxLayout(period_gb_))->addWidget(dg1_);
    top->addWidget(period_gb_, 3);

    auto* middle = new QHBoxLayout;
    buffers_gb_ = new QGroupBox(this);
    buffers_gb_->setObjectName("BuffersGB");
    buf_dg_ = new BufferGrid(mes_, buffers_gb_);
    (new QVBoxLayout(buffers_gb_))->addWidget(buf_dg_);
    middle->addWidget(buffers_gb_, 1);
    auto* labels = new QVBoxLayout;
    label2_ = new QLabel(this);
    label2_->setObjectName("Label2");
    label1_ = new QLabel(QString::fromStdString(mes_.ErrorLabel()), this);
    label1_->setObjectName("Label1");
    unk_label_ = new QLabel(this);
    unk_label_->setObjectName("UnkLabel");
    sel_reset_label_ = new QLabel(this);
    sel_reset_label_->setObjectName("SelResetLabel");
    auto* errRow = new QHBoxLayout;
    errRow->addWidget(label2_);
    errRow->addWidget(label1_);
    labels->addLayout(errRow);
    labels->addWidget(unk_label_);
    labels->addWidget(sel_reset_label_);
    middle->addLayout(labels, 1);
    top->addLayout(middle, 1);

    err_gb_ = new QGroupBox(this);
    err_gb_->setObjectName("ErrGB");
    dg2_ = make_grid(err_gb_, "DG2", 11, 5);
    dg2_->setColumnWidth(0, 146);
    (new QVBoxLayout(err_gb_))->addWidget(dg2_);
    top->addWidget(err_gb_, 2);

    regs_gb_ = new QGroupBox(this);
    regs_gb_->setObjectName("RegsGB");
    regs_memo_ = new QPlainTextEdit(regs_gb_);
    regs_memo_->setObjectName("RegsMemo");
    regs_memo_->setReadOnly(true);
    regs_memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    regs_memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    regs_memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    regs_memo_->setMaximumBlockCount(static_cast<int>(kRegsMemoLimit) + 1);
    auto* regsLayout = new QVBoxLayout(regs_gb_);
    regsLayout->addWidget(regs_memo_);
    auto* buttons = new QHBoxLayout;
    stop_btn_ = new QPushButton(regs_gb_);
    stop_btn_->setObjectName("StopBtn");
    stop_btn_->setCheckable(true);
    memo_reset_btn_ = new QPushButton(regs_gb_);
    memo_reset_btn_->setObjectName("MemoResetBtn");
    reset_btn_ = new QPushButton(this);
    reset_btn_->setObjectName("ResetBtn");
    buttons->addWidget(stop_btn_);
    buttons->addWidget(memo_reset_btn_);
    buttons->addStretch(1);
    buttons->addWidget(reset_btn_);
    regsLayout->addLayout(buttons);
    top->addWidget(regs_gb_, 2);

    QObject::connect(stop_btn_, &QPushButton::toggled, this,
                     [this](bool down) { mes_.StopBtnDown = down; });
    QObject::connect(memo_reset_btn_, &QPushButton::clicked, this,
                     [this] { mes_.MemoResetBtnClick(); });
    QObject::connect(reset_btn_, &QPushButton::clicked, this, [this] { mes_.ResetBtnClick(); });
    mes_.Changed = [this] { schedule_refresh(); };
    live_.Handoff.SetMesForm(&mes_);
    resize(660, 900);
    Refresh();
}

TMesForm::~TMesForm() {
    mes_.Changed = nullptr;
    if (live_.Handoff.MesForm() == &mes_) {
        live_.Handoff.SetMesForm(nullptr);
    }
}

void TMesForm::showEvent(QShowEvent* e) {
    setWindowTitle(LangText(live_.Base.LangList, kLineDiagnostics));
    reset_btn_->setText(LangText(live_.Base.LangList, kLineGeneralReset));
    label2_->setText(LangText(live_.Base.LangList, kLineFrameError));
    err_gb_->setTitle(LangText(live_.Base.LangList, kLineI2CErrors));
    regs_gb_->setTitle(LangText(live_.Base.LangList, kLineRegisterChanges));
    memo_reset_btn_->setText(LangText(live_.Base.LangList, kLineClear));
    stop_btn_->setText(LangText(live_.Base.LangList, kLineStop));
    period_gb_->setTitle(LangText(live_.Base.LangList, kLineFramePeriods));
    buffers_gb_->setTitle(LangText(live_.Base.LangList, kLineCaptureBuffers));
    mes_.Visible = true;
    QDialog::showEvent(e);
    Refresh();
}

void TMesForm::hideEvent(QHideEvent* e) {
    mes_.Visible = false;
    QDialog::hideEvent(e);
}

void TMesForm::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1 && (e->modifiers() & Qt::AltModifier) != 0) {
        hide();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TMesForm::schedule_refresh() {
    if (refresh_pending_ || !isVisible()) {
        return;
    }
    refresh_pending_ = true;
    QTimer::singleShot(kRefreshMs, this, [this] {
        refresh_pending_ = false;
        Refresh();
    });
}

void TMesForm::sync_memo() {
    if (mes_.RegsClears() != memo_clears_seen_) {
        memo_clears_seen_ = mes_.RegsClears();
        regs_memo_->clear();
        memo_added_seen_ = mes_.RegsLinesAdded() - mes_.RegsMemo().size();
    }
    const std::uint64_t fresh = mes_.RegsLinesAdded() - memo_added_seen_;
    const auto& lines = mes_.RegsMemo();
    const std::size_t from = fresh >= lines.size() ? 0 : lines.size() - fresh;
    for (std::size_t i = from; i < lines.size(); ++i) {
        regs_memo_->appendPlainText(QtText(lines[i]));
    }
    memo_added_seen_ = mes_.RegsLinesAdded();
}

void TMesForm::Refresh() {
    for (int col = 0; col < 9; ++col) {
        for (int row = 0; row < 17; ++row) {
            set_cell(dg1_, col, row, mes_.PeriodCell(col, row));
        }
    }
    for (int col = 0; col < 11; ++col) {
        for (int row = 0; row < 5; ++row) {
            set_cell(dg2_, col, row, mes_.ErrorCell(col, row));
        }
    }
    label1_->setText(QString::fromStdString(mes_.ErrorLabel()));
    unk_label_->setText(QtText(mes_.UnkLabel()));
    sel_reset_label_->setText(QtText(mes_.SelResetLabel()));
    sync_memo();
    buf_dg_->update();
}

} // namespace station
