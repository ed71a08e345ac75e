#pragma once

#include "VistrelInterface.h"

#include <QDialog>
#include <QPoint>

#include <vector>

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
// colour and width preferences to that screen.
class FieldControls : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kCornerCount = 4;

    FieldControls(VistrelInterface* engine, QWidget* parent = nullptr);

    int remainingCorners() const { return remaining; }
    bool cornersComplete() const { return remaining == 0; }
    std::vector<QPoint> corners() const { return cornerPoints; }
    const std::vector<FieldLine>& fieldLines() const { return fieldLineCopy; }
    const std::vector<FieldLine>& centreLines() const { return centreLineCopy; }
    int fieldLinesThickness() const;
    int centreLinesThickness() const;

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

public slots:
    void selectPoint(int x, int y);
    void resetPoints();

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
    void refreshFieldLines();
    void refreshCentreLines();
    void refreshLabels();

    std::vector<FieldLine> fieldLineCopy;
    std::vector<FieldLine> centreLineCopy;
    std::vector<QPoint> cornerPoints;
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
    QPushButton* defaultsButton = nullptr;
    QPushButton* clearButton = nullptr;
    QPushButton* lineColoursButton = nullptr;
    QPushButton* centreColoursButton = nullptr;
    QSpinBox* fieldLinesThicknessBox = nullptr;
    QSpinBox* centreLinesThicknessBox = nullptr;
};
