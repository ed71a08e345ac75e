#include "calibration/FieldControls.h"

#include "calibration/FitReadout.h"
#include "engine/EngineFunctions.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

// Fitted corners farther out than this are clamped.
constexpr double kFarPx = 1e6;

} // namespace

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
    replayPoints();
    // A calibration from landmarks is fitted again through the new lens:
    // its corners and centre move with it.
    if (points.landmarks().size() >= std::size_t(kCornerCount) && cornersComplete()) {
        points.setLandmarks(points.landmarks(), fittedCornersAndCentre());
        replayPoints();
    }
    history.markStep(points);
    overlayChanged();
}

// Where the fit puts the pitch's corners, for the corner labels and markers
// (the engine keeps them exact), and the centre spot, which becomes the game
// centre: on a half, the middle of its halfway line, so that the line and
// circle round the game centre lie on the halfway line and the centre
// circle, not in the middle of the half. Far outside the picture they are
// clamped.
std::array<QPoint, FieldControls::kCornerCount + 1> FieldControls::fittedCornersAndCentre() const
{
    const double w = fieldWidth();
    const double l = fieldLength();
    const double centreX
        = view == PitchLandmarks::View::LeftHalf ? w
        : view == PitchLandmarks::View::RightHalf ? 0.0
                                                  : w / 2;
    const std::pair<double, double> pitchCorners[]
        = { { 0, l }, { w, l }, { 0, 0 }, { w, 0 }, { centreX, l / 2 } };
    std::array<QPoint, kCornerCount + 1> corners;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        double x = 0.0;
        double y = 0.0;
        EngineFunctions::of(engine).pitchToPicture(
            pitchCorners[i].first, pitchCorners[i].second, &x, &y);
        const auto clamped
            = [](double v) { return std::isfinite(v) ? std::clamp(v, -kFarPx, kFarPx) : 0.0; };
        corners[i] = QPoint(int(std::lround(clamped(x))), int(std::lround(clamped(y))));
    }
    return corners;
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
