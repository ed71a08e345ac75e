#pragma once

#include <QDialog>

// A dialog that lives inside the main window (a dock or the central area)
// rather than as a window of its own. Escape, which would reject a dialog and
// hide it inside its dock for good, is left to the window around it, and a
// reject from anywhere else keeps the panel on screen as well.
class PanelDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PanelDialog(QWidget* parent = nullptr);

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
