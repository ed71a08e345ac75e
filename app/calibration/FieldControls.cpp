#include "calibration/FieldControls.h"

#include "MainException.h"
#include "calibration/FitReadout.h"
#include "engine/EngineFunctions.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>

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
    if (!engine) {
        MainException(tr("Could not load the Vistrel library.")).showErrorMessage();
        std::exit(-1);
    }
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

double FieldControls::clickSigma() const { return clickSigmaBox->value(); }

int FieldControls::fieldLinesThickness() const { return fieldLinesThicknessBox->value(); }

int FieldControls::centreLinesThickness() const { return centreLinesThicknessBox->value(); }

void FieldControls::selectPoint(int x, int y, bool exact)
{
    if (!points.complete()) {
        const int index = points.given();
        const QPoint corner = snapped(QPoint(x, y), exact);
        CornerPoints::addToEngine(engine, index, corner);
        points.addCorner(corner, QPoint(x, y));
        refreshLabels();
        // The fourth corner is also the first game centre.
        if (points.complete())
            engine->setGameCentre(corner.x(), corner.y());
    } else {
        engine->setGameCentre(x, y);
        points.addCentre(QPoint(x, y));
    }
    refreshFieldLines();
    refreshCentreLines();
    applyDimensions();
    overlayChanged();
}

// The crossing of the painted lines nearest the click, rounded to the pixel
// the engine takes; the click itself when exact, when snapping is off or
// when no two lines cross near it.
QPoint FieldControls::snapped(const QPoint& click, bool exact) const
{
    if (exact || !snapBox->isChecked())
        return click;
    double x = 0.0;
    double y = 0.0;
    if (EngineFunctions::of(engine).snapToLines(click.x(), click.y(), kSnapRadiusPx, &x, &y) != 0)
        return click;
    return QPoint(int(std::lround(x)), int(std::lround(y)));
}

std::vector<QLineF> FieldControls::snapMoves() const { return points.snapMoves(); }

void FieldControls::resetPoints()
{
    engine->clearFieldPoints();
    fieldLineCopy.clear();
    centreLineCopy.clear();
    points.clear();
    history.clearSteps();
    refreshLabels();
    overlayChanged();
}

void FieldControls::setFoundCorners(const std::array<QPoint, kCornerCount>& corners)
{
    history.pushStep(snapshot(false));
    points.setFound(corners);
    history.markStep(points);
    applyDimensions();
    replayPoints();
    refreshLabels();
    overlayChanged();
}

void FieldControls::undoLastPoint()
{
    if (points.dropCentre(history.keptCentres())) {
        const QPoint centre = points.centres().back();
        engine->setGameCentre(centre.x(), centre.y());
        refreshCentreLines();
    } else if (history.canUndoStep(points)) {
        restore(history.popStep());
        return;
    } else if (points.dropCorner()) {
        replayPoints();
        refreshLabels();
    } else {
        return;
    }
    overlayChanged();
}

void FieldControls::moveCorner(int index, int x, int y)
{
    if (!points.moveCorner(index, QPoint(x, y)))
        return;
    fieldLineCopy.clear();
    centreLineCopy.clear();
    points.replay(engine);
    refreshFieldLines();
    refreshCentreLines();
    refreshLabels();
    overlayChanged();
}

void FieldControls::settleCorner(int index, bool exact)
{
    if (index < 0 || index >= points.given())
        return;
    const QPoint dropped = points.corners()[std::size_t(index)];
    const QPoint corner = snapped(dropped, exact);
    if (corner == dropped)
        return;
    moveCorner(index, corner.x(), corner.y());
    points.setClicked(index, dropped);
    overlayChanged();
}

void FieldControls::setDrawFieldLines(bool draw) { engine->setDrawFieldLines(draw); }

std::optional<QPoint> FieldControls::gameCentre() const { return points.gameCentre(); }

void FieldControls::applyCalibration(const CalibrationData& data)
{
    history.clearSteps();
    dimensions->setValues(data.length, data.width, data.radius);
    centreCircle->setRadiusM(data.centreCircleM);
    if (data.view)
        setPitchView(*data.view);
    applyDimensions();
    points.setStored(data);
    replayPoints();
    refreshLabels();
    overlayChanged();
}

void FieldControls::importCalibration(const CalibrationData& data)
{
    PointHistory::Step before = snapshot(true);
    std::vector<PointHistory::Step> earlier = history.takeSteps();
    applyCalibration(data);
    history.giveSteps(std::move(earlier));
    history.pushStep(std::move(before));
    history.markStep(points);
}

PointHistory::Step FieldControls::snapshot(bool withDimensions) const
{
    return history.current(points, withDimensions ? dimensions->texts() : QStringList());
}

void FieldControls::restore(const PointHistory::Step& before)
{
    if (!before.dimensions.isEmpty()) {
        dimensions->setTexts(before.dimensions);
        applyDimensions();
    }
    points = before.points;
    history.restore(before);
    replayPoints();
    refreshLabels();
    overlayChanged();
}

void FieldControls::setLens(const CameraLens& lens, const CameraLens& before)
{
    PointHistory::Step step = snapshot(false);
    step.points.setLens(before);
    history.pushStep(std::move(step));
    points.setLens(lens);
    history.markStep(points);
    replayPoints();
    overlayChanged();
}

void FieldControls::setLandmarks(const std::vector<CalibrationData::Landmark>& landmarks,
    const std::optional<std::array<QPoint, kCornerCount + 1>>& cornersAndCentre)
{
    history.pushStep(snapshot(false));
    points.setLandmarks(landmarks, cornersAndCentre);
    history.markStep(points);
    replayPoints();
    refreshLabels();
    overlayChanged();
}

void FieldControls::addButton(QAction* action)
{
    auto* button = new QToolButton(this);
    button->setDefaultAction(action);
    buttonsRow->insertWidget(buttonsRow->count() - 1, button);
}

void FieldControls::setClickSigma(double sigmaPx)
{
    if (std::isfinite(sigmaPx))
        clickSigmaBox->setValue(sigmaPx);
}

std::optional<float> FieldControls::parseDimension(const QString& text)
{
    return DimensionEdits::parse(text);
}

// Sends the dimensions to the engine; an edit whose text is refused keeps
// the last value it accepted and says why beneath the edits.
void FieldControls::applyDimensions()
{
    dimensions->accept();
    dimensions->sendTo(engine);
}

QString FieldControls::dimensionError() const { return dimensions->error(); }

// The pitch's proportions are taken when the points are cleared, so new
// dimensions reach the overlay by giving the points again.
void FieldControls::dimensionEdited()
{
    applyDimensions();
    replayPoints();
    overlayChanged();
}

void FieldControls::replayPoints()
{
    fieldLineCopy.clear();
    centreLineCopy.clear();
    points.replay(engine);
    refreshFieldLines();
    refreshCentreLines();
}

void FieldControls::overlayChanged()
{
    refreshFit();
    emit signalOverlayChanged();
}

void FieldControls::refreshFit()
{
    const FitReadout::Reading reading = points.complete()
        ? FitReadout::read(EngineFunctions::of(engine), centreCircleM(), fieldLength(),
            fieldWidth(), points.landmarks())
        : FitReadout::Reading {};
    showFit(reading.text, reading.poor);
}

void FieldControls::showFit(const QString& text, bool poor)
{
    fit = text;
    fitPoor = poor;
    fitLabel->setText(text);
    fitLabel->setStyleSheet(poor ? QStringLiteral("color: #c00000") : QString());
    fitLabel->setVisible(!text.isEmpty());
}

// The estimate takes tens of milliseconds on a large frame: short enough to
// wait for on this thread, behind a busy cursor.
void FieldControls::checkDimensions()
{
    const QString title = tr("Check dimensions");
    if (!cornersComplete()) {
        QMessageBox::information(this, title, tr("Click the four corners first."));
        return;
    }
    double estimatedLength = 0.0;
    double estimatedWidth = 0.0;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int result
        = EngineFunctions::of(engine).estimateDimensions(&estimatedLength, &estimatedWidth);
    QGuiApplication::restoreOverrideCursor();
    if (result != 0) {
        QMessageBox::information(this, title,
            tr("No painted markings were found on this frame to check the dimensions with."));
        return;
    }
    proposeDimensions(title,
        tr("The markings suggest %1 x %2 m (length x width).\nUse these dimensions?"),
        estimatedLength, estimatedWidth);
}

void FieldControls::offerMarkedSize()
{
    double estimatedLength = 0.0;
    double estimatedWidth = 0.0;
    if (!cornersComplete()
        || EngineFunctions::of(engine).estimateDimensions(&estimatedLength, &estimatedWidth) != 0)
        return;
    const auto near = [](double estimate, float typed) {
        return std::abs(estimate / double(typed) - 1.0) <= kSizeOfferShare;
    };
    if (near(estimatedLength, fieldLength()) && near(estimatedWidth, fieldWidth()))
        return;
    proposeDimensions(tr("Find pitch"), tr("The markings suggest %1 x %2 m. Use these?"),
        estimatedLength, estimatedWidth);
}

// Asks question (the length and width fill %1 and %2) and applies the
// dimensions as if typed when the answer is yes.
void FieldControls::proposeDimensions(
    const QString& title, const QString& question, double length, double width)
{
    const QString lengthText = QString::number(length, 'f', 1);
    const QString widthText = QString::number(width, 'f', 1);
    if (QMessageBox::question(this, title, question.arg(lengthText, widthText)) != QMessageBox::Yes)
        return;
    dimensions->setTexts({ lengthText, widthText, dimensions->texts().value(2) });
    dimensionEdited();
}

void FieldControls::refreshFieldLines()
{
    // The outline and grid depend only on the corners: fetched once per set.
    if (points.complete() && fieldLineCopy.empty())
        fieldLineCopy = engine->getFieldLines();
}

void FieldControls::refreshCentreLines()
{
    if (points.complete())
        centreLineCopy = engine->getCentreLines();
}

void FieldControls::refreshLabels()
{
    topPointsLabel->setText(tr("Marked Top Points: ") + points.edgeText(true));
    bottomPointsLabel->setText(tr("Marked Bottom Points: ") + points.edgeText(false));
}

void FieldControls::resetToDefaults()
{
    dimensions->setDefaults();
    dimensionEdited();
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
