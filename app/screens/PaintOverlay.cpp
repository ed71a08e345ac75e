#include "screens/PaintOverlay.h"

#include <QPainter>

PaintOverlay::PaintOverlay(Painter paint, QWidget* parent)
    : QWidget(parent)
    , paintFn(std::move(paint))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void PaintOverlay::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    paintFn(painter);
}
