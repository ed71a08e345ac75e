#pragma once

#include <QOpenGLWindow>

#include <functional>

// A native OpenGL window that shows the picture inside a widget, its owner.
// A window of its own is drawn straight to the screen, where a QOpenGLWidget
// is composed with the whole main window on every frame, which with software
// OpenGL costs several times the drawing itself. The owner draws through
// the two callbacks; the window's mouse and drag events go to the owner as
// if they had reached it, and a right click opens the owner's context menu.
class PictureWindow : public QOpenGLWindow
{
    Q_OBJECT

public:
    explicit PictureWindow(QWidget* owner);

    std::function<void()> initialize;
    std::function<void()> paint;

protected:
    void initializeGL() override;
    void paintGL() override;
    bool event(QEvent* event) override;

private:
    void forwardPress(QMouseEvent* event);

    QWidget* owner;
};
