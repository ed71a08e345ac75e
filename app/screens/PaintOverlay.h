#pragma once

#include <QWidget>

#include <functional>

// A transparent widget laid over another that lets a callback paint on it;
// mouse events pass through to what lies below.
class PaintOverlay : public QWidget
{
public:
    using Painter = std::function<void(QPainter&)>;

    PaintOverlay(Painter paint, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter paintFn;
};
