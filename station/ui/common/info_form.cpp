#include "info_form.h"

#include "qt_text.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace station {

namespace {
constexpr int kClientWidth = 489;
constexpr int kClientHeight = 91;
constexpr int kBorderWidth = 3;

QLabel* centred_label(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}
} // namespace

TFormInfo::TFormInfo(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("FormInfo");
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0x00));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setFixedSize(kClientWidth + 2 * kBorderWidth, kClientHeight + 2 * kBorderWidth);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kBorderWidth, kBorderWidth, kBorderWidth, kBorderWidth);
    column->setSpacing(0);
    text1_ = centred_label("Text1", this);
    QFont heading = text1_->font();
    heading.setBold(true);
    text1_->setFont(heading);
    text2_ = centred_label("Text2", this);
    column->addWidget(text1_);
    column->addWidget(text2_, 1);
    text1_->installEventFilter(this);
    text2_->installEventFilter(this);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TFormInfo::Text1Click() {
    close();
}

bool TFormInfo::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == text1_ || watched == text2_) && event->type() == QEvent::MouseButtonPress) {
        Text1Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

InfoNotice::~InfoNotice() {
    Free();
}

void InfoNotice::ShowNotice(const std::string& heading, const std::string& message) {
    if (!form_) {
        form_ = new TFormInfo();
    }
    form_->show();
    form_->Text1()->setText(QtText(heading));
    form_->Text2()->setText(QtText(message));
    // Painted now, alone: handling pending messages here could run a scheduled load or the
    // shut-down inside the caller's handler.
    form_->repaint();
}

void InfoNotice::Free() {
    delete form_.data();
}

} // namespace station
