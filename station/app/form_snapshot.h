// A picture of the main form with its two menus drawn opened below their titles and its shown
// camera windows in their places, for the unattended run's screenshot.
#pragma once

#include <QPixmap>
#include <QRect>
#include <QString>

#include <vector>

class TMain_Kastrel_Form;

namespace station {

// A camera window in the picture: its caption and where its video panel is drawn.
struct SnapshotWindow {
    QString caption;
    QRect panel;
};

// The picture; the camera windows drawn into it go to `windows` when given.
QPixmap MainFormSnapshot(TMain_Kastrel_Form& form, std::vector<SnapshotWindow>* windows = nullptr);

} // namespace station
