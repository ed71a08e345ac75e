#pragma once

#include "calibration/PitchLandmarks.h"

#include <QSet>
#include <QWidget>

// A small top view of the pitch as typed: its painted lines and named
// landmarks, those placed in the picture filled, the chosen one ringed.
// A click picks the landmark nearest to it.
class PitchTopView : public QWidget
{
    Q_OBJECT

public:
    explicit PitchTopView(QWidget* parent = nullptr);

    void setPitch(const PitchLandmarks& pitch);
    void setPlaced(const QSet<QString>& names);
    void setChosen(const QString& name);
    QString chosen() const { return chosenName; }
    // Where a landmark is drawn, in widget pixels.
    QPointF toWidget(const QPointF& pitch) const;

    QSize sizeHint() const override;

signals:
    void picked(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    double scale() const;

    PitchLandmarks landmarks { 0, 0, 0 };
    QSet<QString> placed;
    QString chosenName;
};
