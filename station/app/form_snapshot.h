// A picture of the main form with its two menus drawn opened below their titles, for the
// unattended run's screenshot.
#pragma once

#include <QPixmap>

class TMain_Kastrel_Form;

namespace station {

QPixmap MainFormSnapshot(TMain_Kastrel_Form& form);

} // namespace station
