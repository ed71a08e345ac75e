#pragma once

#include "VistrelInterface.h"

#include "PanelDialog.h"

#include <QPoint>

#include <optional>
#include <vector>

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
class FieldControls : public PanelDialog
{
    Q_OBJECT

public:
    static constexpr int kCornerCount = 4;
    static constexpr float kDimensionMax = 10000.0f;

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
    QString dimensionError() const;
    int fieldLinesThickness() const;
    int centreLinesThickness() const;
    // How far off a click may be, in pixels (one standard deviation).
    double clickSigma() const;

    // Moves one of the corners given so far (the OpenGL screen's drag) and
    // gives the engine the corners again.
    void moveCorner(int index, int x, int y);
    void setDrawFieldLines(bool draw);

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
    void selectPoint(int x, int y);
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
    QLineEdit* createDimensionEdit(float value);
    QPushButton* createButton(const QString& text, void (FieldControls::*slot)());
    QSpinBox* createThicknessBox(void (FieldControls::*slot)(int));
    void createLayout();
    QHBoxLayout* createLinePreferencesRow();
    void addFieldPoint(int cornerIndex, int x, int y);
    void applyDimensions();
    bool acceptDimension(QLineEdit* edit, float& value);
    void dimensionEdited();
    void replayPoints();
    void overlayChanged();
    void refreshFieldLines();
    void refreshCentreLines();
    void refreshLabels();

    std::vector<FieldLine> fieldLineCopy;
    std::vector<FieldLine> centreLineCopy;
    std::vector<QPoint> cornerPoints;
    // The game centres in the order given; the fourth corner is the first.
    std::vector<QPoint> centrePoints;
    int remaining = kCornerCount;
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
    QPushButton* defaultsButton = nullptr;
    QPushButton* clearButton = nullptr;
    QPushButton* lineColoursButton = nullptr;
    QPushButton* centreColoursButton = nullptr;
    QSpinBox* fieldLinesThicknessBox = nullptr;
    QSpinBox* centreLinesThicknessBox = nullptr;
    QDoubleSpinBox* clickSigmaBox = nullptr;
};
