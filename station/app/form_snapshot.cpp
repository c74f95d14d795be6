#include "form_snapshot.h"

#include "camera_windows_run.h"
#include "ui/live/chanel_form.h"
#include "ui/main/main_form.h"

#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace station {

namespace {

constexpr int kCaptionHeight = 18;

// The main form's shown camera windows with their places relative to the form's client area
// (each with its caption strip above it).
struct PlacedWindow {
    QPixmap picture;
    QString caption;
    QPoint at;
    QRect panel; // within the window's picture
};

std::vector<PlacedWindow> camera_windows(TMain_Kastrel_Form& form) {
    std::vector<PlacedWindow> out;
    for (TFormChanel* w : CameraWindowsOf(form)) {
        if (w->isVisible()) {
            out.push_back({w->grab(), w->windowTitle(),
                           w->geometry().topLeft() - form.geometry().topLeft(),
                           w->Panel1()->geometry()});
        }
    }
    return out;
}

} // namespace

QPixmap MainFormSnapshot(TMain_Kastrel_Form& form, std::vector<SnapshotWindow>* placed) {
    const QPixmap shot = form.grab();
    QMenuBar* bar = form.menuBar();
    QMenu* settings = form.Menu("Adj_Par_Menu");
    QMenu* view = form.Menu("ViewMenu");
    const std::vector<PlacedWindow> windows = camera_windows(form);
    if ((bar == nullptr || settings == nullptr || view == nullptr) && windows.empty()) {
        return shot;
    }
    QPoint settings_at;
    QPoint view_at;
    int width = shot.width();
    int height = shot.height();
    const bool menus = bar != nullptr && settings != nullptr && view != nullptr;
    if (menus) {
        for (QMenu* m : {settings, view}) {
            m->ensurePolished();
            m->resize(m->sizeHint());
        }
        settings_at = bar->mapTo(&form, bar->actionGeometry(settings->menuAction()).bottomLeft());
        // The view menu to the right of the settings menu, so that neither hides the other.
        view_at = QPoint(settings_at.x() + settings->width() + 16, settings_at.y());
        width = std::max(width, view_at.x() + view->width() + 8);
        height = std::max(
            {height, settings_at.y() + settings->height() + 8, view_at.y() + view->height() + 8});
    }
    // Camera windows keep their places; one left of or above the form moves the whole picture.
    QPoint shift(0, 0);
    for (const PlacedWindow& w : windows) {
        shift.setX(std::max(shift.x(), -w.at.x()));
        shift.setY(std::max(shift.y(), kCaptionHeight - w.at.y()));
    }
    for (const PlacedWindow& w : windows) {
        width = std::max(width, shift.x() + w.at.x() + w.picture.width() + 8);
        height = std::max(height, shift.y() + w.at.y() + w.picture.height() + 8);
    }
    width += shift.x();
    height += shift.y();
    QPixmap canvas(width, height);
    canvas.fill(Qt::darkGray);
    QPainter p(&canvas);
    p.drawPixmap(shift, shot);
    for (const PlacedWindow& w : windows) {
        const QPoint at = shift + w.at;
        const QRect strip(at.x(), at.y() - kCaptionHeight, w.picture.width(), kCaptionHeight);
        p.fillRect(strip, QColor(0, 0, 128));
        p.setPen(Qt::white);
        p.drawText(strip.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, w.caption);
        p.drawPixmap(at, w.picture);
        if (placed != nullptr) {
            placed->push_back({w.caption, w.panel.translated(at)});
        }
    }
    if (menus) {
        p.drawPixmap(shift + settings_at, settings->grab());
        p.drawPixmap(shift + view_at, view->grab());
    }
    return canvas;
}

} // namespace station
