#include "calibration/FieldControls.h"

#include "MainException.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

// The calibration panel's widgets, their connections and their layout.

namespace {

constexpr int kThicknessMinPx = 1;
constexpr int kThicknessMaxPx = 5;
constexpr int kThicknessDefaultPx = 2;
constexpr double kClickSigmaDefaultPx = 1.0;
constexpr double kClickSigmaMaxPx = 50.0;
constexpr double kClickSigmaStepPx = 0.1;

} // namespace

FieldControls::FieldControls(VistrelInterface* engine, QWidget* parent)
    : PanelDialog(parent)
    , engine(engine)
{
    if (!engine)
        MainException::endForMissingEngine();
    topPointsLabel = new QLabel(tr("Marked Top Points: "), this);
    bottomPointsLabel = new QLabel(tr("Marked Bottom Points: "), this);
    refreshLabels();

    dimensions = new DimensionEdits(this);
    connect(dimensions, &DimensionEdits::edited, this, &FieldControls::dimensionEdited);
    centreCircle = new CentreCircleSetting(this);
    connect(centreCircle, &CentreCircleSetting::radiusChanged, this, &FieldControls::refreshFit);
    fitLabel = new QLabel(this);
    fitLabel->setObjectName(QStringLiteral("fitLabel"));
    fitLabel->setWordWrap(true);
    fitLabel->hide();
    snapBox = new QCheckBox(tr("Snap to lines"), this);
    snapBox->setChecked(true);
    snapBox->setToolTip(tr("Corners go to the crossing of the painted lines near the click. "
                           "Hold Alt to place a corner exactly where you click."));

    defaultsButton = createButton(tr("Defaults"), &FieldControls::resetToDefaults);
    clearButton = createButton(tr("Clear"), &FieldControls::clear);
    checkButton = createButton(tr("Check dimensions"), &FieldControls::checkDimensions);
    lineColoursButton = createButton(tr("Line Colors"), &FieldControls::selectFieldLinesColor);
    centreColoursButton = createButton(tr("Center Colors"), &FieldControls::selectCenterLinesColor);
    fieldLinesThicknessBox = createThicknessBox(&FieldControls::setFieldLinesThickness);
    centreLinesThicknessBox = createThicknessBox(&FieldControls::setCenterLinesThickness);
    clickSigmaBox = new QDoubleSpinBox(this);
    clickSigmaBox->setObjectName(QStringLiteral("clickSigmaBox"));
    clickSigmaBox->setRange(0.0, kClickSigmaMaxPx);
    clickSigmaBox->setDecimals(1);
    clickSigmaBox->setSingleStep(kClickSigmaStepPx);
    clickSigmaBox->setSuffix(tr(" px"));
    clickSigmaBox->setValue(kClickSigmaDefaultPx);
    clickSigmaBox->setToolTip(tr("How far off a click may be (one standard deviation); "
                                 "the measurements' uncertainties assume it"));
    connect(clickSigmaBox, &QDoubleSpinBox::valueChanged, this, &FieldControls::clickSigmaChanged);

    dimensions->sendTo(engine);
    createLayout();
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

    auto* dimensionsRow = new QHBoxLayout;
    dimensionsRow->addLayout(dimensions->createGrid());
    dimensionsRow->addStretch();

    auto* circleRow = new QHBoxLayout;
    circleRow->addWidget(centreCircle);

    auto* sigmaRow = new QHBoxLayout;
    sigmaRow->addWidget(new QLabel(tr("Click accuracy: "), this));
    sigmaRow->addWidget(clickSigmaBox);
    sigmaRow->addStretch();

    buttonsRow = new QHBoxLayout;
    buttonsRow->addWidget(defaultsButton);
    buttonsRow->addWidget(clearButton);
    buttonsRow->addWidget(checkButton);
    buttonsRow->addStretch();

    auto* assistRow = new QHBoxLayout;
    assistRow->addWidget(snapBox);
    assistRow->addStretch();
    auto* fitRow = new QHBoxLayout;
    fitRow->addWidget(fitLabel);

    auto* spacerRow = new QHBoxLayout;
    spacerRow->addItem(new QSpacerItem(20, 10, QSizePolicy::Minimum, QSizePolicy::Minimum));

    auto* captionRow = new QHBoxLayout;
    captionRow->addWidget(new QLabel(tr("Line Display Preferences"), this));
    QHBoxLayout* linesRow = createLinePreferencesRow();

    auto* layout = new QVBoxLayout(this);
    auto* errorRow = new QHBoxLayout;
    errorRow->addWidget(dimensions->errorLabel());
    for (QHBoxLayout* row : { pointsRow, dimensionsRow, circleRow, sigmaRow, errorRow, buttonsRow, assistRow,
             fitRow, spacerRow, captionRow, linesRow })
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
