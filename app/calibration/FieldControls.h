#pragma once

#include "VistrelInterface.h"

#include "calibration/CalibrationFile.h"
#include "PanelDialog.h"

#include <QLineF>
#include <QPoint>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

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
    static constexpr int kCornerCount = 4;
    static constexpr float kDimensionMax = 10000.0f;
    // How far from a click a crossing of painted lines may lie, in video pixels.
    static constexpr double kSnapRadiusPx = 12.0;
    // A mean distance above this between projected and painted markings is
    // worth a warning.
    static constexpr double kFitWarningPx = 3.0;

    // A typed dimension: a number above 0 and at most kDimensionMax, with a
    // decimal point or a decimal comma whatever the system locale; none
    // for anything else.
    static std::optional<float> parseDimension(const QString& text);

    FieldControls(VistrelInterface* engine, QWidget* parent = nullptr);

    int remainingCorners() const { return remaining; }
    bool cornersComplete() const { return remaining == 0; }
    std::vector<QPoint> corners() const { return cornerPoints; }
    const std::vector<FieldLine>& fieldLines() const { return fieldLineCopy; }
    const std::vector<FieldLine>& centreLines() const { return centreLineCopy; }
    float fieldLength() const { return length; }
    float fieldWidth() const { return width; }
    float centreRadius() const { return radius; }
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
    bool cornersFound() const { return found; }
    // "fit 0.8 px" and the like once calibrated; empty before.
    QString fitText() const { return fit; }
    bool fitIsPoor() const { return fitPoor; }

    // Moves one of the corners given so far (the OpenGL screen's drag) and
    // gives the engine the corners again.
    void moveCorner(int index, int x, int y);
    // Snaps a corner that was dragged into place, unless exact.
    void settleCorner(int index, bool exact);
    // Makes these the four corners at once, in click order, the last one
    // also the game centre. One undoLastPoint() brings back all the points
    // given before.
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

public slots:
    // A click on the picture; exact points are never snapped.
    void selectPoint(int x, int y, bool exact = false);
    // Compares the calibration with the current frame again (after a step
    // or a seek; never per played frame, it takes milliseconds).
    void refreshFit();
    // Proposes the dimensions the painted markings imply.
    void checkDimensions();
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
    // The points, and the dimension texts where a step replaced them too.
    struct Snapshot
    {
        std::vector<QPoint> corners;
        std::vector<QPoint> clicked;
        std::vector<QPoint> centres;
        int remaining = kCornerCount;
        QStringList dimensions; // empty: left as they are on restoring
        bool found = false;
        std::optional<std::size_t> stepCentres;
    };

    QLineEdit* createDimensionEdit(float value);
    QPushButton* createButton(const QString& text, void (FieldControls::*slot)());
    QSpinBox* createThicknessBox(void (FieldControls::*slot)(int));
    void createLayout();
    QHBoxLayout* createLinePreferencesRow();
    void addFieldPoint(int cornerIndex, int x, int y);
    QPoint snapped(const QPoint& click, bool exact) const;
    void showFit(const QString& text, bool poor);
    void applyDimensions();
    bool acceptDimension(QLineEdit* edit, float& value);
    void dimensionEdited();
    void replayPoints();
    void overlayChanged();
    void refreshFieldLines();
    void refreshCentreLines();
    void refreshLabels();
    Snapshot snapshot(bool withDimensions) const;
    void restore(const Snapshot& before);

    std::vector<FieldLine> fieldLineCopy;
    std::vector<FieldLine> centreLineCopy;
    std::vector<QPoint> cornerPoints;
    // Where each corner was clicked, before snapping.
    std::vector<QPoint> clickedPoints;
    // The game centres in the order given; the fourth corner is the first.
    std::vector<QPoint> centrePoints;
    int remaining = kCornerCount;
    // The corners came from the engine's search, not from clicks.
    bool found = false;
    // The calibrations a found pitch or an import replaced, the latest last;
    // each comes back in one undo.
    std::vector<Snapshot> replacedSets;
    // Set while the corners in place came in one such step: the number of
    // centres that came with them, undone only with the step.
    std::optional<std::size_t> stepCentres;
    QLabel* topPointsLabel = nullptr;
    QLabel* bottomPointsLabel = nullptr;
    VistrelInterface* engine = nullptr;
    float length = 0.0f;
    float width = 0.0f;
    float radius = 0.0f;
    QLineEdit* lengthEdit = nullptr;
    QLineEdit* widthEdit = nullptr;
    QLineEdit* radiusEdit = nullptr;
    QLabel* lengthLabel = nullptr;
    QLabel* widthLabel = nullptr;
    QLabel* radiusLabel = nullptr;
    QLabel* errorLabel = nullptr;
    QLabel* fitLabel = nullptr;
    QString fit;
    bool fitPoor = false;
    QCheckBox* snapBox = nullptr;
    QPushButton* checkButton = nullptr;
    QPushButton* defaultsButton = nullptr;
    QPushButton* clearButton = nullptr;
    QPushButton* lineColoursButton = nullptr;
    QPushButton* centreColoursButton = nullptr;
    QSpinBox* fieldLinesThicknessBox = nullptr;
    QSpinBox* centreLinesThicknessBox = nullptr;
    QDoubleSpinBox* clickSigmaBox = nullptr;
};
