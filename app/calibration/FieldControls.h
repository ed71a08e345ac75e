#pragma once

#include "VistrelInterface.h"

#include "PanelDialog.h"
#include "calibration/CalibrationFile.h"
#include "calibration/CentreCircleSetting.h"
#include "calibration/CornerPoints.h"
#include "calibration/DimensionEdits.h"
#include "calibration/PointHistory.h"

#include <QLineF>
#include <QPoint>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QDoubleSpinBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The dialog in which the user describes the pitch. It turns points clicked
// on the video screen into the engine's corner and game-centre calls (the
// first four points are the corners top left, top right, bottom left, bottom
// right; every later one is the game centre), keeps copies of the line lists
// the engine computed from them for the OpenGL screen, and relays the line
// colour and width preferences to that screen. Typed dimensions apply as soon
// as an edit is finished; the last corner or centre point can be undone.
// Corner clicks snap to the crossing of the painted lines near them; once
// calibrated, the controls show how well the projected markings fit the
// painted ones and can propose the dimensions the markings imply.
class FieldControls : public PanelDialog
{
    Q_OBJECT

public:
    static constexpr int kCornerCount = CornerPoints::kCount;
    static constexpr float kDimensionMax = DimensionEdits::kDimensionMax;
    // How far from a click a crossing of painted lines may lie, in video pixels.
    static constexpr double kSnapRadiusPx = 12.0;
    static constexpr double kSizeOfferShare = 0.03;

    // A typed dimension: a number above 0 and at most kDimensionMax, with a
    // decimal point or a decimal comma whatever the system locale; none
    // for anything else.
    static std::optional<float> parseDimension(const QString& text);

    FieldControls(VistrelInterface* engine, QWidget* parent = nullptr);

    int remainingCorners() const { return points.remaining(); }
    bool cornersComplete() const { return points.complete(); }
    std::vector<QPoint> corners() const { return points.corners(); }
    const std::vector<FieldLine>& fieldLines() const { return fieldLineCopy; }
    const std::vector<FieldLine>& centreLines() const { return centreLineCopy; }
    float fieldLength() const { return dimensions->length(); }
    float fieldWidth() const { return dimensions->width(); }
    float centreRadius() const { return dimensions->radius(); }
    // The painted centre circle's radius in metres, 0 for none.
    double centreCircleM() const { return centreCircle->radiusM(); }
    CentreCircleSetting* centreCircleSetting() const { return centreCircle; }
    // The game centre the engine has: the last one given, or the fourth
    // corner; none before four corners.
    std::optional<QPoint> gameCentre() const;
    QString dimensionError() const;
    int fieldLinesThickness() const;
    int centreLinesThickness() const;
    // How far off a click may be, in pixels (one standard deviation).
    double clickSigma() const;
    // For each corner a snap moved: from where it was clicked to where it
    // went; for corners the engine found, a line of no length on each.
    std::vector<QLineF> snapMoves() const;
    // Whether the corners in place were found by the engine, not clicked.
    bool cornersFound() const { return points.found(); }
    // "fit 0.8 px" and the like once calibrated; empty before.
    QString fitText() const { return fit; }
    bool fitIsPoor() const { return fitPoor; }
    const CameraLens& lens() const { return points.lens(); }
    const std::vector<CalibrationData::Landmark>& landmarks() const { return points.landmarks(); }
    // Where the engine's calibration puts the pitch's corners and its centre
    // spot, in video pixels (clamped far outside the picture).
    std::array<QPoint, kCornerCount + 1> fittedCornersAndCentre() const;
    // What the typed dimensions describe: the whole pitch, or the half a
    // camera sees.
    PitchLandmarks::View pitchView() const { return view; }
    void setPitchView(PitchLandmarks::View chosen)
    {
        if (chosen == view)
            return;
        view = chosen;
        emit pitchViewChanged(chosen);
    }

    // Moves one of the corners given so far (the OpenGL screen's drag) and
    // gives the engine the corners again.
    void moveCorner(int index, int x, int y);
    // Snaps a corner that was dragged into place, unless exact.
    void settleCorner(int index, bool exact);
    // Makes these the four corners at once, in click order, with the game
    // centre on the pitch's centre. One undoLastPoint() brings back all the
    // points given before.
    void setFoundCorners(const std::array<QPoint, kCornerCount>& corners);
    void setDrawFieldLines(bool draw);
    // Takes the dimensions, corners and centre of a stored calibration as if
    // typed and clicked (never snapped); a dimension that is not valid keeps
    // the current one. Undo takes the points back one by one.
    void applyCalibration(const CalibrationData& data);
    // As applyCalibration, as one step that the next undo takes back whole
    // (the points and dimensions before it return).
    void importCalibration(const CalibrationData& data);
    // Finite values only; the box keeps them within its range.
    void setClickSigma(double sigmaPx);
    // Makes lens the camera's, the points taken through it, as one step
    // that the next undo takes back (the lens before it returns).
    void setLens(const CameraLens& lens, const CameraLens& before);
    // Makes these the landmarks given, with the corners and pitch centre
    // they imply when they calibrate, as one undo step.
    void setLandmarks(const std::vector<CalibrationData::Landmark>& landmarks,
        const std::optional<std::array<QPoint, kCornerCount + 1>>& cornersAndCentre);
    // Places an action's button among the calibration buttons.
    void addButton(QAction* action);

signals:
    void signalResetPoints();
    void signalSelectFieldLinesColor();
    void signalSelectCenterLinesColor();
    void signalSetFieldLinesThickness(int thickness);
    void signalSetCenterLinesThickness(int thickness);
    // The corners, the centre or the dimensions changed: the line copies
    // are renewed and the engine's overlay is new.
    void signalOverlayChanged();
    void clickSigmaChanged(double sigmaPx);
    void pitchViewChanged(PitchLandmarks::View view);

public slots:
    // A click on the picture; exact points are never snapped.
    void selectPoint(int x, int y, bool exact = false);
    // Compares the calibration with the current frame again (after a step
    // or a seek; never per played frame, it takes milliseconds).
    void refreshFit();
    // Proposes the dimensions the painted markings imply.
    void checkDimensions();
    // After a found pitch: offers the size the markings imply at once, when
    // it differs from the typed one by more than kSizeOfferShare; silent
    // otherwise, and where no marking is found.
    void offerMarkedSize();
    void resetPoints();
    // Takes back the last centre point or, with none of its own, the last
    // corner.
    void undoLastPoint();

private slots:
    void resetToDefaults();
    void clear();
    void selectFieldLinesColor();
    void selectCenterLinesColor();
    void setFieldLinesThickness(int thickness);
    void setCenterLinesThickness(int thickness);

private:
    QPushButton* createButton(const QString& text, void (FieldControls::*slot)());
    QSpinBox* createThicknessBox(void (FieldControls::*slot)(int));
    void createLayout();
    QHBoxLayout* createLinePreferencesRow();
    QPoint snapped(const QPoint& click, bool exact) const;
    void showFit(const QString& text, bool poor);
    void proposeDimensions(
        const QString& title, const QString& question, double length, double width);
    void applyDimensions();
    void dimensionEdited();
    void replayPoints();
    void overlayChanged();
    void refreshFieldLines();
    void refreshCentreLines();
    void refreshLabels();
    PointHistory::Step snapshot(bool withDimensions) const;
    void restore(const PointHistory::Step& before);

    std::vector<FieldLine> fieldLineCopy;
    std::vector<FieldLine> centreLineCopy;
    CornerPoints points;
    PointHistory history;
    QLabel* topPointsLabel = nullptr;
    QLabel* bottomPointsLabel = nullptr;
    VistrelInterface* engine = nullptr;
    DimensionEdits* dimensions = nullptr;
    CentreCircleSetting* centreCircle = nullptr;
    QLabel* fitLabel = nullptr;
    QString fit;
    bool fitPoor = false;
    QCheckBox* snapBox = nullptr;
    QPushButton* checkButton = nullptr;
    QPushButton* defaultsButton = nullptr;
    QPushButton* clearButton = nullptr;
    QHBoxLayout* buttonsRow = nullptr;
    QPushButton* lineColoursButton = nullptr;
    QPushButton* centreColoursButton = nullptr;
    QSpinBox* fieldLinesThicknessBox = nullptr;
    QSpinBox* centreLinesThicknessBox = nullptr;
    QDoubleSpinBox* clickSigmaBox = nullptr;
    PitchLandmarks::View view = PitchLandmarks::View::Whole;
};
