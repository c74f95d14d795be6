// The recording viewer `TViewForm`: created at start, alive for the whole run, shown by the
// main form's review command. Its navigation and playback come with the viewer itself.
#pragma once

#include <QWidget>

class TViewForm : public QWidget {
public:
    explicit TViewForm(QWidget* parent = nullptr);
};
