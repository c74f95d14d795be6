#include "form_snapshot.h"

#include "main_form.h"

#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <algorithm>

namespace station {

QPixmap MainFormSnapshot(TMain_Kastrel_Form& form) {
    const QPixmap shot = form.grab();
    QMenuBar* bar = form.menuBar();
    QMenu* settings = form.Menu("Adj_Par_Menu");
    QMenu* view = form.Menu("ViewMenu");
    if (bar == nullptr || settings == nullptr || view == nullptr) {
        return shot;
    }
    for (QMenu* m : {settings, view}) {
        m->ensurePolished();
        m->resize(m->sizeHint());
    }
    const QPoint settings_at =
        bar->mapTo(&form, bar->actionGeometry(settings->menuAction()).bottomLeft());
    // The view menu to the right of the settings menu, so that neither hides the other.
    const QPoint view_at(settings_at.x() + settings->width() + 16, settings_at.y());
    const int width = std::max(shot.width(), view_at.x() + view->width() + 8);
    const int height = std::max({shot.height(), settings_at.y() + settings->height() + 8,
                                 view_at.y() + view->height() + 8});
    QPixmap canvas(width, height);
    canvas.fill(Qt::darkGray);
    QPainter p(&canvas);
    p.drawPixmap(0, 0, shot);
    p.drawPixmap(settings_at, settings->grab());
    p.drawPixmap(view_at, view->grab());
    return canvas;
}

} // namespace station
