#include "screens/PictureWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QWidget>

PictureWindow::PictureWindow(QWidget* owner)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
    , owner(owner)
{
    // The keyboard focus stays with the widgets, so that the window's
    // shortcuts and the owner's own focus work as before.
    setFlag(Qt::WindowDoesNotAcceptFocus);
}

void PictureWindow::initializeGL()
{
    if (initialize)
        initialize();
}

void PictureWindow::paintGL()
{
    if (paint)
        paint();
}

bool PictureWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        forwardPress(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        // The owner's ancestors get what it ignores, a dropped file too.
        QApplication::sendEvent(owner, event);
        return true;
    default:
        return QOpenGLWindow::event(event);
    }
}

void PictureWindow::forwardPress(QMouseEvent* event)
{
    if (owner->focusPolicy() & Qt::ClickFocus)
        owner->setFocus(Qt::MouseFocusReason);
    QApplication::sendEvent(owner, event);
    if (event->button() == Qt::RightButton && owner->contextMenuPolicy() != Qt::NoContextMenu) {
        QContextMenuEvent menu(QContextMenuEvent::Mouse, event->position().toPoint(),
            event->globalPosition().toPoint(), event->modifiers());
        QApplication::sendEvent(owner, &menu);
    }
}
