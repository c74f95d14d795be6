#include "chanel_form.h"

#include "base/language.h"
#include "base/language_lines.h"
#include "ui/common/qt_text.h"

#include <vfw/drawdib.h>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace station {

namespace {

constexpr int kSideBarWidth = 19;

QColor pen_colour(AlarmPen pen) {
    switch (pen) {
    case kPenGreen:
        return QColor(0x00, 0xFF, 0x00);
    case kPenYellow:
        return QColor(0xFF, 0xFF, 0x00);
    case kPenRed:
        return QColor(0xFF, 0x00, 0x00);
    default:
        return QColor(0x00, 0x00, 0xFF);
    }
}

MouseButton button_of(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return MouseButton::Left;
    case Qt::RightButton:
        return MouseButton::Right;
    default:
        return MouseButton::Middle;
    }
}

} // namespace

// ---- Panel1 ----

ChanelPanel::ChanelPanel(QWidget* parent)
    : QWidget(parent), memory_dc_(CreateCompatibleDC(nullptr)) {
    setObjectName("Panel1");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ChanelPanel::~ChanelPanel() {
    picture_ = QImage();
    if (memory_dc_ != nullptr) {
        if (stock_bitmap_ != nullptr) {
            SelectObject(memory_dc_, stock_bitmap_);
        }
        DeleteDC(memory_dc_);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
}

bool ChanelPanel::Minimized() const {
    return window() != nullptr && window()->isMinimized();
}

void ChanelPanel::resizeEvent(QResizeEvent*) {
    if (memory_dc_ == nullptr) {
        return;
    }
    // A top-down bitmap of the new size with the old picture at its top left.
    const QSize s = size().expandedTo(QSize(1, 1));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = s.width();
    info.bmiHeader.biHeight = -s.height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP next = CreateDIBSection(memory_dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (next == nullptr) {
        return;
    }
    QImage image(static_cast<uchar*>(bits), s.width(), s.height(), s.width() * 4,
                 QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Window));
    if (!picture_.isNull()) {
        QPainter p(&image);
        p.drawImage(0, 0, picture_);
    }
    picture_ = image;
    const HGDIOBJ previous = SelectObject(memory_dc_, next);
    if (stock_bitmap_ == nullptr) {
        stock_bitmap_ = previous;
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
    bitmap_ = next;
}

void ChanelPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void ChanelPanel::DrawPicture(std::span<const std::uint8_t> header, const std::uint8_t* bits) {
    if (picture_.isNull() || header.size() < sizeof(BITMAPINFOHEADER)) {
        return;
    }
    // A header of our own alignment for the call; the colour table follows it.
    std::vector<std::uint8_t> copy(header.begin(), header.end());
    auto* info = reinterpret_cast<LPBITMAPINFOHEADER>(copy.data());
    HDRAWDIB dd = DrawDibOpen();
    DrawDibDraw(dd, memory_dc_, 0, 0, width(), height(), info, const_cast<std::uint8_t*>(bits), 0,
                0, info->biWidth, info->biHeight < 0 ? -info->biHeight : info->biHeight, 0);
    DrawDibClose(dd);
    update();
}

void ChanelPanel::DrawRect(AlarmPen pen, int l, int t, int r, int b) {
    QPainter p(&picture_);
    p.fillRect(QRect(QPoint(l, t), QPoint(r - 1, b - 1)), pen_colour(pen));
    update();
}

void ChanelPanel::DrawPolyline(AlarmPen pen, std::span<const PanelPoint> points) {
    QPainter p(&picture_);
    p.setPen(QPen(pen_colour(pen), 1));
    for (std::size_t i = 1; i < points.size(); ++i) {
        p.drawLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    }
    update();
}

void ChanelPanel::Repaint() {
    picture_.fill(palette().color(QPalette::Window));
    update();
}

void ChanelPanel::PopupMonitorMenu(int x, int y) {
    if (MonSelectMenu != nullptr) {
        MonSelectMenu->popup(QPoint(x, y));
    }
}

bool ChanelPanel::WriteButtonDown() const {
    return WriteBtn != nullptr && WriteBtn->isChecked();
}

void ChanelPanel::Minimize() {
    QWidget* top = window();
    if (top->isVisible()) {
        top->showMinimized();
    } else {
        // Hidden (stealth): the state only; showing the window is not ours to do.
        top->setWindowState(top->windowState() | Qt::WindowMinimized);
    }
}

void ChanelPanel::Restore() {
    QWidget* top = window();
    if (top->isVisible()) {
        top->showNormal();
    } else {
        top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
    }
}

void ChanelPanel::RefreshCaption() {
    if (window_ != nullptr) {
        window()->setWindowTitle(QtText(window_->Caption()));
    }
}

void ChanelPanel::mousePressEvent(QMouseEvent* e) {
    if (window_ == nullptr) {
        return;
    }
    const QPoint at = e->position().toPoint();
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    window_->PanelMouseDown(button_of(e->button()), (e->modifiers() & Qt::ShiftModifier) != 0,
                            at.x(), at.y(), origin.x(), origin.y());
}

void ChanelPanel::mouseMoveEvent(QMouseEvent* e) {
    if (window_ != nullptr) {
        const QPoint at = e->position().toPoint();
        window_->PanelMouseMove(at.x(), at.y());
    }
}

void ChanelPanel::mouseReleaseEvent(QMouseEvent* e) {
    if (window_ != nullptr) {
        window_->PanelMouseUp((e->modifiers() & Qt::ShiftModifier) != 0);
    }
}

// ---- TFormChanel ----

TFormChanel::TFormChanel(LiveStation& live, ChanelHooks hooks, QWidget* owner)
    : QWidget(owner, Qt::Window), live_(live), hooks_(std::move(hooks)),
      window_(std::make_unique<ChanelWindow>(live.Slots.NewChanelNumber, live.WindowContext())) {
    setObjectName("FormChanel");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    panel1_ = new ChanelPanel(this);
    panel2_ = new QWidget(this);
    panel2_->setObjectName("Panel2");
    panel2_->setFixedWidth(kSideBarWidth);
    row->addWidget(panel1_, 1);
    row->addWidget(panel2_);

    write_btn_ = new QToolButton(panel2_);
    write_btn_->setObjectName("WriteBtn");
    write_btn_->setCheckable(true); // latches down and up
    write_btn_->setToolTip(LangText(live_.Base.LangList, kLineManualRecording));
    find_btn_ = new QToolButton(panel2_);
    find_btn_->setObjectName("FindBtn");
    find_btn_->setToolTip(LangText(live_.Base.LangList, kLineSettings));
    QObject::connect(find_btn_, &QToolButton::clicked, this, [this] {
        if (hooks_.OpenAdjFound) {
            hooks_.OpenAdjFound(window_->ChanelNumber);
        }
    });

    mon_menu_ = new QMenu(this);
    mon_menu_->setObjectName("MonSelectMenu");
    for (int m = 1; m <= kMonitorCount; ++m) {
        QAction* item = mon_menu_->addAction(QString::number(m));
        item->setObjectName(QString("Mon%1").arg(m));
        QObject::connect(item, &QAction::triggered, this, [this, m] { window_->Mon1Click(m); });
    }
    panel1_->MonSelectMenu = mon_menu_;
    panel1_->WriteBtn = write_btn_;
    panel1_->SetWindow(window_.get());
    window_->SetPainter(panel1_);
    resize(320, 240);
}

TFormChanel::~TFormChanel() {
    if (hooks_.FreeAdjFound) {
        hooks_.FreeAdjFound();
    }
    window_->SetPainter(nullptr);
    const int slot = window_->ChanelNumber;
    if (ValidSlot(slot) &&
        live_.Slots.ChanelForms[static_cast<std::size_t>(slot)] == window_.get()) {
        live_.Slots.Release(slot);
    }
}

void TFormChanel::RefreshCaption() {
    panel1_->RefreshCaption();
}

void TFormChanel::SetNewRecPNumOfCam(std::string name) {
    window_->SetNewRecPNumOfCam(std::move(name));
    RefreshCaption();
}

void TFormChanel::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // FormShow belongs to the window becoming visible; a restore from minimised is the window
    // system's (spontaneous) show and keeps the caption a remote camera has set.
    if (!e->spontaneous()) {
        window_->FormShow();
    }
    RefreshCaption();
    layout_buttons();
}

void TFormChanel::closeEvent(QCloseEvent* e) {
    if (hooks_.QuerryStatus && !hooks_.QuerryStatus(1)) {
        e->ignore();
        return;
    }
    e->accept();
}

void TFormChanel::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layout_buttons();
}

void TFormChanel::layout_buttons() {
    const int side = panel2_->width() - 2;
    const int h = panel2_->height();
    find_btn_->setGeometry(1, h - side - 1, side, side);
    write_btn_->setGeometry(1, h - side - side - 1, side, side);
}

void TFormChanel::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1 && (e->modifiers() & Qt::AltModifier) != 0) {
        if (hooks_.ToggleMesForm) {
            hooks_.ToggleMesForm();
        }
        return;
    }
    QWidget::keyPressEvent(e);
}

void TFormChanel::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
        window_->FormActivate();
    }
    QWidget::changeEvent(e);
}

TFormChanel* AddChanelClick(LiveStation& live, const ChanelHooks& hooks, QWidget* owner) {
    TFormChanel* form = nullptr;
    const int slot = AddChanel(live.Slots, [&](int) {
        form = new TFormChanel(live, hooks, owner);
        return &form->Window();
    });
    if (slot == 0 || form == nullptr) {
        return nullptr;
    }
    form->show();
    form->FindBtn()->setEnabled(!hooks.QuerryStatus || hooks.QuerryStatus(14));
    form->WriteBtn()->setEnabled(!hooks.QuerryStatus || hooks.QuerryStatus(17));
    return form;
}

} // namespace station
