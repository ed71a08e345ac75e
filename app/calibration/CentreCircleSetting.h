#pragma once

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;

// The radius of the centre circle painted on the pitch: 9.15 m on a
// full-size pitch, another radius on small-sided and youth pitches, or none
// painted. The calibration fit compares the painted circle with it: only a
// known radius can tell whether the dimensions are right.
class CentreCircleSetting : public QWidget
{
    Q_OBJECT

public:
    static constexpr double kFullSizeM = 9.15;
    static constexpr double kOtherDefaultM = 5.0;
    static constexpr double kMinM = 0.5;
    static constexpr double kMaxM = 50.0;

    explicit CentreCircleSetting(QWidget* parent = nullptr);

    // In metres; 0 when no circle is painted.
    double radiusM() const;
    // 0 for none; kFullSizeM or another radius within kMinM ... kMaxM.
    // Anything else (negative, not finite, out of range) is ignored.
    void setRadiusM(double radiusM);

signals:
    // The user or setRadiusM changed the radius (0: none).
    void radiusChanged(double radiusM);

private:
    enum Choice { FullSize, Other, None };

    void choiceChanged();

    QComboBox* choice = nullptr;
    QDoubleSpinBox* otherBox = nullptr;
    double reported = kFullSizeM;
};
