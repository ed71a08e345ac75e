#pragma once

#include "calibration/CalibrationFile.h"
#include "calibration/PitchLandmarks.h"

#include <QWidget>

#include <optional>

class FieldControls;
class LandmarkMarks;
class PitchTopView;
class VideoScreenAdapter;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class VistrelInterface;

// Calibration from any painted landmarks: while "Place landmarks" is on, the
// user picks a named landmark in a top view of the pitch and clicks it in
// the picture (snapped to the crossing of painted lines near the click). With
// four or more, in any order, the engine fits the pitch to them and the fit's
// error shows at once. Clicking a placed landmark again replaces it, Remove
// takes it out; each change is one step of the field controls' undo.
class LandmarkPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kNeeded = 4;
    static constexpr double kSnapRadiusPx = 12.0;

    LandmarkPanel(VistrelInterface* engine, FieldControls* field, QWidget* parent = nullptr);

    bool isActive() const;
    void setActive(bool on);
    void choose(const QString& name);
    QString chosen() const;
    // A point clicked on the picture: placed for the chosen landmark while
    // the mode is on (true), left to the corners otherwise (false).
    bool takePoint(int x, int y, bool exact = false);
    void removeChosen();
    // "fit 0.8 px over 5 landmarks", or how many are still needed.
    QString fitText() const;
    // The root-mean-square distance in pixels between where the landmarks
    // were placed and where the fit puts them; none before the fit.
    std::optional<double> fitRmsPx() const;
    PitchLandmarks pitch() const;
    // Whether the typed dimensions are the whole pitch or the half in view.
    void setView(PitchLandmarks::View view);
    // The markers of the placed landmarks, for the screens to draw over
    // the picture; they are the panel's.
    LandmarkMarks* pictureMarks() const { return marks; }
    // Takes the points clicked on the screens while the mode is on, and
    // draws the markers over their picture.
    void attachTo(VideoScreenAdapter* screens);

signals:
    void notice(const QString& text);
    void chosenChanged(const QString& name);

public slots:
    // The dimensions or the points changed (an undo among them).
    void refresh();

private:
    QPointF snapped(int x, int y, bool exact, const QString& name) const;
    void apply(const std::vector<CalibrationData::Landmark>& landmarks);

    VistrelInterface* engine;
    FieldControls* field;
    QCheckBox* activeBox = nullptr;
    QComboBox* viewBox = nullptr;
    PitchTopView* topView = nullptr;
    QLabel* chosenLabel = nullptr;
    QLabel* fitLabel = nullptr;
    QPushButton* removeButton = nullptr;
    LandmarkMarks* marks = nullptr;
};
