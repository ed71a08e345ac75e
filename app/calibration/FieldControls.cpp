#include "calibration/FieldControls.h"

#include "engine/EngineFunctions.h"
#include "MainException.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr float kDefaultLength = 36.0f;
constexpr float kDefaultWidth = 27.0f;
constexpr float kDefaultRadius = 5.0f;
// Up to five digits, then up to three decimals after a point or a comma.
constexpr const char* kDimensionPattern = R"(\d{0,5}([.,]\d{0,3})?)";
constexpr int kEditWidthPx = 50;
constexpr int kThicknessMinPx = 1;
constexpr int kThicknessMaxPx = 5;
constexpr int kThicknessDefaultPx = 2;
constexpr double kClickSigmaDefaultPx = 1.0;
constexpr double kClickSigmaMaxPx = 50.0;
constexpr double kClickSigmaStepPx = 0.1;
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
    : PanelDialog(parent)
    , engine(engine)
{
    if (!engine) {
        MainException(tr("Could not load the Vistrel library.")).showErrorMessage();
        std::exit(-1);
    }
    cornerPoints.assign(kCornerCount, QPoint(0, 0));
    clickedPoints = cornerPoints;
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
    errorLabel = new QLabel(this);
    errorLabel->setObjectName(QStringLiteral("dimensionErrorLabel"));
    errorLabel->setStyleSheet(QStringLiteral("color: #c00000"));
    errorLabel->setWordWrap(true);
    errorLabel->hide();
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

    engine->setFieldLength(length);
    engine->setFieldWidth(width);
    engine->setCentreCircleRadius(radius);
    createLayout();
}

QLineEdit* FieldControls::createDimensionEdit(float value)
{
    auto* edit = new QLineEdit(QString::number(value, 'g', 6), this);
    // The pattern keeps letters out; the range is checked when the edit is
    // finished, where a refusal can say why.
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QString::fromLatin1(kDimensionPattern)), edit));
    edit->setMaximumWidth(kEditWidthPx);
    connect(edit, &QLineEdit::editingFinished, this, &FieldControls::dimensionEdited);
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

    auto* sigmaRow = new QHBoxLayout;
    sigmaRow->addWidget(new QLabel(tr("Click accuracy: "), this));
    sigmaRow->addWidget(clickSigmaBox);
    sigmaRow->addStretch();

    auto* buttonsRow = new QHBoxLayout;
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
    errorRow->addWidget(errorLabel);
    for (QHBoxLayout* row : { pointsRow, dimensionsRow, sigmaRow, errorRow, buttonsRow, assistRow,
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
    if (remaining > 0) {
        const int index = kCornerCount - remaining;
        const QPoint corner = snapped(QPoint(x, y), exact);
        addFieldPoint(index, corner.x(), corner.y());
        cornerPoints[index] = corner;
        clickedPoints[index] = QPoint(x, y);
        --remaining;
        refreshLabels();
        // The fourth corner is also the first game centre.
        if (remaining == 0) {
            engine->setGameCentre(corner.x(), corner.y());
            centrePoints.push_back(corner);
        }
    } else {
        engine->setGameCentre(x, y);
        centrePoints.push_back(QPoint(x, y));
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

std::vector<QLineF> FieldControls::snapMoves() const
{
    std::vector<QLineF> moves;
    for (int i = 0; i < kCornerCount - remaining; ++i) {
        if (found || clickedPoints[i] != cornerPoints[i])
            moves.emplace_back(clickedPoints[i], cornerPoints[i]);
    }
    return moves;
}

void FieldControls::resetPoints()
{
    engine->clearFieldPoints();
    fieldLineCopy.clear();
    centreLineCopy.clear();
    remaining = kCornerCount;
    cornerPoints.assign(kCornerCount, QPoint(0, 0));
    clickedPoints = cornerPoints;
    centrePoints.clear();
    found = false;
    stepCentres.reset();
    replacedSets.clear();
    refreshLabels();
    overlayChanged();
}

void FieldControls::setFoundCorners(const std::array<QPoint, kCornerCount>& corners)
{
    replacedSets.push_back(snapshot(false));
    cornerPoints.assign(corners.begin(), corners.end());
    clickedPoints = cornerPoints;
    centrePoints = { corners.back() };
    remaining = 0;
    found = true;
    stepCentres = centrePoints.size();
    applyDimensions();
    replayPoints();
    refreshLabels();
    overlayChanged();
}

void FieldControls::undoLastPoint()
{
    const int given = kCornerCount - remaining;
    // Centres clicked after a step go first, one by one; then the step.
    const std::size_t keptCentres = std::max<std::size_t>(stepCentres.value_or(1), 1);
    if (centrePoints.size() > keptCentres) {
        centrePoints.pop_back();
        engine->setGameCentre(centrePoints.back().x(), centrePoints.back().y());
        refreshCentreLines();
    } else if (stepCentres && !replacedSets.empty()) {
        const Snapshot replaced = replacedSets.back();
        replacedSets.pop_back();
        restore(replaced);
        return;
    } else if (given > 0) {
        // The fourth corner's own centre goes with it.
        centrePoints.clear();
        cornerPoints[given - 1] = QPoint(0, 0);
        clickedPoints[given - 1] = QPoint(0, 0);
        ++remaining;
        replayPoints();
        refreshLabels();
    } else {
        return;
    }
    overlayChanged();
}

void FieldControls::moveCorner(int index, int x, int y)
{
    // Only corners already given can move; re-adding a corner that was never
    // clicked would calibrate the engine on a (0, 0) placeholder.
    const int given = kCornerCount - remaining;
    if (index < 0 || index >= given)
        return;
    cornerPoints[index] = QPoint(x, y);
    clickedPoints[index] = QPoint(x, y);
    engine->clearFieldPoints();
    fieldLineCopy.clear();
    centreLineCopy.clear();
    for (int i = 0; i < given; ++i)
        addFieldPoint(i, cornerPoints[i].x(), cornerPoints[i].y());
    // The moved corner becomes the centre in place of the last one, so that a
    // drag is undone as one step.
    if (remaining == 0) {
        engine->setGameCentre(x, y);
        if (centrePoints.empty())
            centrePoints.push_back(QPoint(x, y));
        else
            centrePoints.back() = QPoint(x, y);
    }
    refreshFieldLines();
    refreshCentreLines();
    refreshLabels();
    overlayChanged();
}

void FieldControls::settleCorner(int index, bool exact)
{
    if (index < 0 || index >= kCornerCount - remaining)
        return;
    const QPoint dropped = cornerPoints[index];
    const QPoint corner = snapped(dropped, exact);
    if (corner == dropped)
        return;
    moveCorner(index, corner.x(), corner.y());
    clickedPoints[index] = dropped;
    overlayChanged();
}

void FieldControls::setDrawFieldLines(bool draw) { engine->setDrawFieldLines(draw); }

std::optional<QPoint> FieldControls::gameCentre() const
{
    if (remaining > 0 || centrePoints.empty())
        return std::nullopt;
    return centrePoints.back();
}

void FieldControls::applyCalibration(const CalibrationData& data)
{
    found = false;
    stepCentres.reset();
    replacedSets.clear();
    const std::pair<QLineEdit*, double> dimensions[]
        = { { lengthEdit, data.length }, { widthEdit, data.width }, { radiusEdit, data.radius } };
    for (const auto& [edit, value] : dimensions) {
        const QString text = QString::number(value, 'g', 6);
        if (parseDimension(text))
            edit->setText(text);
    }
    applyDimensions();
    int given = 0;
    while (given < kCornerCount && data.corners[std::size_t(given)]) {
        cornerPoints[given] = *data.corners[std::size_t(given)];
        ++given;
    }
    std::fill(cornerPoints.begin() + given, cornerPoints.end(), QPoint(0, 0));
    clickedPoints = cornerPoints;
    remaining = kCornerCount - given;
    centrePoints.clear();
    if (remaining == 0) {
        centrePoints.push_back(cornerPoints.back());
        if (data.centre && *data.centre != cornerPoints.back())
            centrePoints.push_back(*data.centre);
    }
    replayPoints();
    refreshLabels();
    overlayChanged();
}

void FieldControls::importCalibration(const CalibrationData& data)
{
    Snapshot before = snapshot(true);
    std::vector<Snapshot> earlier = std::move(replacedSets);
    applyCalibration(data);
    replacedSets = std::move(earlier);
    replacedSets.push_back(std::move(before));
    stepCentres = centrePoints.size();
}

FieldControls::Snapshot FieldControls::snapshot(bool withDimensions) const
{
    Snapshot now { cornerPoints, clickedPoints, centrePoints, remaining, {}, found, stepCentres };
    if (withDimensions)
        now.dimensions = { lengthEdit->text(), widthEdit->text(), radiusEdit->text() };
    return now;
}

void FieldControls::restore(const Snapshot& before)
{
    if (!before.dimensions.isEmpty()) {
        lengthEdit->setText(before.dimensions.value(0));
        widthEdit->setText(before.dimensions.value(1));
        radiusEdit->setText(before.dimensions.value(2));
        applyDimensions();
    }
    cornerPoints = before.corners;
    clickedPoints = before.clicked;
    centrePoints = before.centres;
    remaining = before.remaining;
    found = before.found;
    stepCentres = before.stepCentres;
    replayPoints();
    refreshLabels();
    overlayChanged();
}

void FieldControls::setClickSigma(double sigmaPx)
{
    if (std::isfinite(sigmaPx))
        clickSigmaBox->setValue(sigmaPx);
}

void FieldControls::addFieldPoint(int cornerIndex, int x, int y)
{
    engine->addFieldPoint(cornerIndex < 2 ? kTopEdge : kBottomEdge, x, y);
}

std::optional<float> FieldControls::parseDimension(const QString& text)
{
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value) || value <= 0.0 || value > double(kDimensionMax))
        return std::nullopt;
    return float(value);
}

// Sends the dimensions to the engine; an edit whose text is refused keeps
// the last value it accepted and says why beneath the edits.
void FieldControls::applyDimensions()
{
    QStringList refusals;
    const std::pair<QLineEdit*, float*> edits[]
        = { { lengthEdit, &length }, { widthEdit, &width }, { radiusEdit, &radius } };
    const QString names[] = { tr("Length"), tr("Width"), tr("Radius") };
    for (int i = 0; i < 3; ++i) {
        if (!acceptDimension(edits[i].first, *edits[i].second))
            refusals << tr("%1 must be a number above 0 and at most %2, such as 52.5 or 52,5.")
                            .arg(names[i])
                            .arg(double(kDimensionMax));
    }
    errorLabel->setText(refusals.join(QLatin1Char('\n')));
    errorLabel->setVisible(!refusals.isEmpty());
    engine->setFieldLength(length);
    engine->setFieldWidth(width);
    engine->setCentreCircleRadius(radius);
}

bool FieldControls::acceptDimension(QLineEdit* edit, float& value)
{
    const std::optional<float> parsed = parseDimension(edit->text());
    edit->setStyleSheet(parsed ? QString() : QStringLiteral("background: #ffd0d0"));
    if (parsed)
        value = *parsed;
    return parsed.has_value();
}

QString FieldControls::dimensionError() const
{
    return errorLabel->isHidden() ? QString() : errorLabel->text();
}

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
    const int given = kCornerCount - remaining;
    engine->clearFieldPoints();
    fieldLineCopy.clear();
    centreLineCopy.clear();
    for (int i = 0; i < given; ++i)
        addFieldPoint(i, cornerPoints[i].x(), cornerPoints[i].y());
    if (remaining == 0 && !centrePoints.empty())
        engine->setGameCentre(centrePoints.back().x(), centrePoints.back().y());
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
    // An engine without the check (an older library) shows no readout.
    const EngineFunctions functions = EngineFunctions::of(engine);
    if (remaining > 0 || !functions.canCheckCalibration()) {
        showFit(QString(), false);
        return;
    }
    double meanPx = 0.0;
    if (functions.calibrationFit(&meanPx) != 0) {
        showFit(tr("fit: no markings found"), false);
        return;
    }
    const QString number = QString::number(meanPx, 'f', 1);
    if (meanPx > kFitWarningPx)
        showFit(tr("fit %1 px: check the corners and dimensions").arg(number), true);
    else
        showFit(tr("fit %1 px").arg(number), false);
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
    const QString lengthText = QString::number(estimatedLength, 'f', 1);
    const QString widthText = QString::number(estimatedWidth, 'f', 1);
    const QString question = tr("The markings suggest %1 x %2 m (length x width).\n"
                                "Use these dimensions?")
                                 .arg(lengthText, widthText);
    if (QMessageBox::question(this, title, question) != QMessageBox::Yes)
        return;
    lengthEdit->setText(lengthText);
    widthEdit->setText(widthText);
    dimensionEdited();
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
    lengthEdit->setText(QStringLiteral("%1").arg(kDefaultLength));
    widthEdit->setText(QStringLiteral("%1").arg(kDefaultWidth));
    radiusEdit->setText(QStringLiteral("%1").arg(kDefaultRadius));
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
