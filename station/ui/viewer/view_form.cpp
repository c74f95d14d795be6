#include "view_form.h"

TViewForm::TViewForm(QWidget* parent) : QWidget(parent) {
    setObjectName("ViewForm");
}
