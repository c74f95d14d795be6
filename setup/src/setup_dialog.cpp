#include "setup_dialog.h"

#include "texts.h"

#include <windows.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <string>

namespace setup {

QString from_cp1251(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::u16string wide(static_cast<std::size_t>(size), u'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
    return QString::fromUtf16(wide.data(), n);
}

namespace {

void fill(QComboBox* list, const std::vector<std::string>& items, int selection) {
    const QSignalBlocker block(list);
    bool same = list->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < list->count(); ++i) {
        same = list->itemText(i) == from_cp1251(items[i]);
    }
    if (!same) {
        list->clear();
        for (const std::string& item : items) {
            list->addItem(from_cp1251(item));
        }
    }
    list->setCurrentIndex(selection);
}

} // namespace

SetupDialog::SetupDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(from_cp1251(text::kDialogCaption));
    setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));

    status_ = new QLabel(this);
    status_->setObjectName("status1001");
    status_->setAlignment(Qt::AlignCenter);
    status_->setFrameStyle(QFrame::Box | QFrame::Plain);
    status_->setMinimumWidth(420);
    status_->setWordWrap(true);
    install_ = new QPushButton(from_cp1251(text::kButtonInstall), this);
    install_->setObjectName("button1000");
    install_->setDefault(true);
    remove_ = new QPushButton(from_cp1251(text::kButtonRemove), this);
    remove_->setObjectName("button1004");
    exit_ = new QPushButton(from_cp1251(text::kButtonExit), this);
    exit_->setObjectName("button2");
    first_ = new QComboBox(this);
    first_->setObjectName("list1005");
    count_ = new QComboBox(this);
    count_->setObjectName("list1006");
    check_ = new QCheckBox(from_cp1251(text::kCheckRemoveDevices), this);
    check_->setObjectName("check1007");

    auto* layout = new QGridLayout(this);
    layout->addWidget(status_, 0, 0, 1, 3);
    layout->addWidget(new QLabel(from_cp1251(text::kLabelFirstSlot), this), 1, 0);
    layout->addWidget(first_, 2, 0);
    layout->addWidget(new QLabel(from_cp1251(text::kLabelDeviceCount), this), 1, 1);
    layout->addWidget(count_, 2, 1);
    layout->addWidget(check_, 2, 2);
    layout->addWidget(install_, 3, 0);
    layout->addWidget(remove_, 3, 1);
    layout->addWidget(exit_, 3, 2);

    model_.on_changed = [this] { refresh(); };
    connect(install_, &QPushButton::clicked, this, [this] { model_.OnInstall(); });
    connect(remove_, &QPushButton::clicked, this, [this] { model_.OnRemove(); });
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(count_, &QComboBox::currentIndexChanged, this,
            [this](int index) { model_.OnDeviceCountChange(index); });
    connect(first_, &QComboBox::currentIndexChanged, this,
            [this](int index) { model_.OnFirstIndexChange(index); });
    connect(check_, &QCheckBox::toggled, this,
            [this](bool ticked) { model_.set_remove_devices(ticked); });
    refresh();
}

void SetupDialog::refresh() {
    status_->setText(from_cp1251(model_.status()));
    fill(first_, model_.first_slot_items(), model_.first_slot_selection());
    fill(count_, model_.device_count_items(), model_.device_count_selection());
    {
        const QSignalBlocker block(check_);
        check_->setEnabled(model_.remove_devices_enabled());
        check_->setChecked(model_.remove_devices_ticked());
    }
    install_->setEnabled(model_.button_enabled(Button::Install));
    remove_->setEnabled(model_.button_enabled(Button::Remove));
    exit_->setEnabled(model_.button_enabled(Button::Exit));
    // The operations block this thread: show each status at once.
    if (isVisible()) {
        status_->repaint();
    }
}

void SetupDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        model_.OnInitDialog();
        if (!model_.focus_allowed()) {
            setFocus();
        }
    }
}

void SetupDialog::done(int result) {
    model_.OnClose();
    QDialog::done(result);
}

} // namespace setup
