#include "PanelDialog.h"

#include <QKeyEvent>

PanelDialog::PanelDialog(QWidget* parent)
    : QDialog(parent)
{ }

// Nothing to reject: the panel is part of the window, not a question to it.
void PanelDialog::reject() { }

void PanelDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
