#pragma once

#include <QSlider>

// A seek bar: a left click moves the handle straight to the clicked position
// and reports it as a release, so the owner seeks at once. Everything else is
// the standard slider handling.
class ProgressSlider : public QSlider
{
    Q_OBJECT

public:
    explicit ProgressSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    int valueAt(const QPoint& position) const;
};
