#include "FieldControls.h"

#include "MainException.h"

#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr float kDefaultLength = 36.0f;
constexpr float kDefaultWidth = 27.0f;
constexpr float kDefaultRadius = 5.0f;
constexpr double kDimensionMax = 10000.0;
constexpr int kDimensionDecimals = 1;
constexpr int kEditWidthPx = 50;
constexpr int kThicknessMinPx = 1;
constexpr int kThicknessMaxPx = 5;
constexpr int kThicknessDefaultPx = 2;
constexpr int kTopEdge = 0;
constexpr int kBottomEdge = 1;

// "(x , y) , (x , y)" for the first count points from first on.
QString pointList(const std::vector<QPoint>& points, int first, int count)
{
    QStringList items;
    for (int i = first; i < first + count; ++i)
        items << QStringLiteral("(%1 , %2)").arg(points[i].x()).arg(points[i].y());
    return items.join(QStringLiteral(" , "));
}

} // namespace

FieldControls::FieldControls(VistrelInterface* engine, QWidget* parent)
    : QDialog(parent)
    , engine(engine)
{
    if (!engine) {
        MainException(tr("Could not load the Vistrel library.")).showErrorMessage();
        std::exit(-1);
    }
    cornerPoints.assign(kCornerCount, QPoint(0, 0));
    topPointsLabel = new QLabel(tr("Marked Top Points: "), this);
    bottomPointsLabel = new QLabel(tr("Marked Bottom Points: "), this);
    refreshLabels();

    lengthLabel = new QLabel(tr("Length: "), this);
    widthLabel = new QLabel(tr("Width: "), this);
    radiusLabel = new QLabel(tr("Radius: "), this);
    length = kDefaultLength;
    width = kDefaultWidth;
    radius = kDefaultRadius;
    lengthEdit = createDimensionEdit(length);
    widthEdit = createDimensionEdit(width);
    radiusEdit = createDimensionEdit(radius);

    defaultsButton = createButton(tr("Defaults"), &FieldControls::resetToDefaults);
    clearButton = createButton(tr("Clear"), &FieldControls::clear);
    lineColoursButton = createButton(tr("Line Colors"), &FieldControls::selectFieldLinesColor);
    centreColoursButton = createButton(tr("Center Colors"), &FieldControls::selectCenterLinesColor);
    fieldLinesThicknessBox = createThicknessBox(&FieldControls::setFieldLinesThickness);
    centreLinesThicknessBox = createThicknessBox(&FieldControls::setCenterLinesThickness);

    engine->setFieldLength(length);
    engine->setFieldWidth(width);
    engine->setCentreCircleRadius(radius);
    createLayout();
}

QLineEdit* FieldControls::createDimensionEdit(float value)
{
    auto* edit = new QLineEdit(QString::number(value, 'g', 6), this);
    edit->setValidator(new QDoubleValidator(0.0, kDimensionMax, kDimensionDecimals, edit));
    edit->setMaximumWidth(kEditWidthPx);
    return edit;
}

QPushButton* FieldControls::createButton(const QString& text, void (FieldControls::*slot)())
{
    auto* button = new QPushButton(text, this);
    connect(button, &QPushButton::released, this, slot);
    return button;
}

QSpinBox* FieldControls::createThicknessBox(void (FieldControls::*slot)(int))
{
    auto* box = new QSpinBox(this);
    box->setRange(kThicknessMinPx, kThicknessMaxPx);
    box->setValue(kThicknessDefaultPx);
    connect(box, &QSpinBox::valueChanged, this, slot);
    return box;
}

void FieldControls::createLayout()
{
    auto* pointsGrid = new QGridLayout;
    pointsGrid->addWidget(topPointsLabel, 0, 0);
    pointsGrid->addWidget(bottomPointsLabel, 1, 0);
    auto* pointsRow = new QHBoxLayout;
    pointsRow->addLayout(pointsGrid);
    pointsRow->addStretch();

    auto* dimensionsGrid = new QGridLayout;
    dimensionsGrid->addWidget(lengthLabel, 0, 0);
    dimensionsGrid->addWidget(lengthEdit, 0, 1);
    dimensionsGrid->addWidget(widthLabel, 1, 0);
    dimensionsGrid->addWidget(widthEdit, 1, 1);
    dimensionsGrid->addWidget(radiusLabel, 2, 0);
    dimensionsGrid->addWidget(radiusEdit, 2, 1);
    auto* dimensionsRow = new QHBoxLayout;
    dimensionsRow->addLayout(dimensionsGrid);
    dimensionsRow->addStretch();

    auto* buttonsRow = new QHBoxLayout;
    buttonsRow->addWidget(defaultsButton);
    buttonsRow->addWidget(clearButton);
    buttonsRow->addStretch();

    auto* spacerRow = new QHBoxLayout;
    spacerRow->addItem(new QSpacerItem(20, 10, QSizePolicy::Minimum, QSizePolicy::Minimum));

    auto* captionRow = new QHBoxLayout;
    captionRow->addWidget(new QLabel(tr("Line Display Preferences"), this));
    QHBoxLayout* linesRow = createLinePreferencesRow();

    auto* layout = new QVBoxLayout(this);
    for (QHBoxLayout* row :
        { pointsRow, dimensionsRow, buttonsRow, spacerRow, captionRow, linesRow })
        layout->addLayout(row);
    layout->addStretch();
}

QHBoxLayout* FieldControls::createLinePreferencesRow()
{
    auto* linesGrid = new QGridLayout;
    linesGrid->addWidget(new QLabel(tr("Field Lines: "), this), 0, 0);
    linesGrid->addWidget(lineColoursButton, 0, 1);
    linesGrid->addWidget(new QLabel(tr("Width "), this), 0, 2);
    linesGrid->addWidget(fieldLinesThicknessBox, 0, 3);
    linesGrid->addWidget(new QLabel(tr("Game Center: "), this), 1, 0);
    linesGrid->addWidget(centreColoursButton, 1, 1);
    linesGrid->addWidget(new QLabel(tr("Width "), this), 1, 2);
    linesGrid->addWidget(centreLinesThicknessBox, 1, 3);
    auto* linesRow = new QHBoxLayout;
    linesRow->addLayout(linesGrid);
    return linesRow;
}

int FieldControls::fieldLinesThickness() const { return fieldLinesThicknessBox->value(); }

int FieldControls::centreLinesThickness() const { return centreLinesThicknessBox->value(); }

void FieldControls::selectPoint(int x, int y)
{
    if (remaining > 0) {
        const int index = kCornerCount - remaining;
        addFieldPoint(index, x, y);
        cornerPoints[index] = QPoint(x, y);
        --remaining;
        refreshLabels();
        // The fourth corner is also the first game centre.
        if (remaining == 0)
            engine->setGameCentre(x, y);
    } else {
        engine->setGameCentre(x, y);
    }
    refreshFieldLines();
    refreshCentreLines();
    applyDimensions();
}

void FieldControls::resetPoints()
{
    engine->clearFieldPoints();
    fieldLineCopy.clear();
    centreLineCopy.clear();
    remaining = kCornerCount;
    cornerPoints.assign(kCornerCount, QPoint(0, 0));
    refreshLabels();
}

void FieldControls::moveCorner(int index, int x, int y)
{
    // Only corners already given can move; re-adding a corner that was never
    // clicked would calibrate the engine on a (0, 0) placeholder.
    const int given = kCornerCount - remaining;
    if (index < 0 || index >= given)
        return;
    cornerPoints[index] = QPoint(x, y);
    engine->clearFieldPoints();
    fieldLineCopy.clear();
    centreLineCopy.clear();
    for (int i = 0; i < given; ++i)
        addFieldPoint(i, cornerPoints[i].x(), cornerPoints[i].y());
    if (remaining == 0)
        engine->setGameCentre(x, y);
    refreshFieldLines();
    refreshCentreLines();
    refreshLabels();
}

void FieldControls::setDrawFieldLines(bool draw) { engine->setDrawFieldLines(draw); }

void FieldControls::addFieldPoint(int cornerIndex, int x, int y)
{
    engine->addFieldPoint(cornerIndex < 2 ? kTopEdge : kBottomEdge, x, y);
}

void FieldControls::applyDimensions()
{
    // Text that does not convert gives 0, which is what the engine receives.
    length = lengthEdit->text().toFloat();
    width = widthEdit->text().toFloat();
    radius = radiusEdit->text().toFloat();
    engine->setFieldLength(length);
    engine->setFieldWidth(width);
    engine->setCentreCircleRadius(radius);
}

void FieldControls::refreshFieldLines()
{
    // The outline and grid depend only on the corners: fetched once per set.
    if (remaining == 0 && fieldLineCopy.empty())
        fieldLineCopy = engine->getFieldLines();
}

void FieldControls::refreshCentreLines()
{
    if (remaining == 0)
        centreLineCopy = engine->getCentreLines();
}

void FieldControls::refreshLabels()
{
    const int given = kCornerCount - remaining;
    const int top = std::min(given, 2);
    const int bottom = std::max(given - 2, 0);
    topPointsLabel->setText(tr("Marked Top Points: ") + pointList(cornerPoints, 0, top));
    bottomPointsLabel->setText(tr("Marked Bottom Points: ") + pointList(cornerPoints, 2, bottom));
}

void FieldControls::resetToDefaults()
{
    // Shown at once; the engine hears of them with the next point.
    length = kDefaultLength;
    width = kDefaultWidth;
    radius = kDefaultRadius;
    lengthEdit->setText(QStringLiteral("%1").arg(length));
    widthEdit->setText(QStringLiteral("%1").arg(width));
    radiusEdit->setText(QStringLiteral("%1").arg(radius));
}

void FieldControls::clear()
{
    resetPoints();
    emit signalResetPoints();
}

void FieldControls::selectFieldLinesColor() { emit signalSelectFieldLinesColor(); }

void FieldControls::selectCenterLinesColor() { emit signalSelectCenterLinesColor(); }

void FieldControls::setFieldLinesThickness(int thickness)
{
    emit signalSetFieldLinesThickness(thickness);
}

void FieldControls::setCenterLinesThickness(int thickness)
{
    emit signalSetCenterLinesThickness(thickness);
}
