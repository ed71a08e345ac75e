#include "measuring/MeasureActions.h"

#include "calibration/FieldControls.h"
#include "engine/EngineFunctions.h"
#include "engine/PitchMeasurer.h"
#include "measuring/MeasureTool.h"
#include "measuring/MeasurementCommand.h"
#include "measuring/MeasurementModel.h"
#include "measuring/MeasurementsPanel.h"
#include "screens/VideoScreenAdapter.h"
#include "window/Actions.h"

#include "VistrelInterface.h"

#include <QAction>
#include <QLabel>
#include <QUndoStack>

MeasureActions::MeasureActions(VistrelInterface* engine, FieldControls* fieldControls,
    VideoScreenAdapter* screens, QObject* parent)
    : QObject(parent)
    , engine(engine)
    , fieldControls(fieldControls)
{
    VistrelInterface* const forEngine = engine;
    measurer = std::make_unique<PitchMeasurer>(
        engine, [forEngine](const char* name) { return EngineFunctions::symbol(forEngine, name); });
    measurements = new MeasurementModel(measurer.get(), this);
    measurements->setObjectName(QStringLiteral("measurementModel"));
    measureTool = new MeasureTool(
        measurements, [this] { return calibrated(); }, this);
    screens->setMeasureTool(measureTool);
    measurementsPanel = new MeasurementsPanel(measurements);
    history = new QUndoStack(this);
    readoutLabel = new QLabel;
    readoutLabel->setObjectName(QStringLiteral("pitchReadout"));
    applyClickSigma(fieldControls->clickSigma());
    createActions();
    connectParts();
}

MeasureActions::~MeasureActions() = default;

void MeasureActions::createActions()
{
    undo = makeAction(this, tr("&Undo"), QString(),
        tr("Take back the last corner or centre point; in Measure mode the last measurement "
           "added or deleted"),
        nullptr, "undoPointAction");
    undo->setShortcut(QKeySequence::Undo);
    connect(undo, &QAction::triggered, this, &MeasureActions::undoLast);

    measure = makeAction(this, tr("&Measure"), QString(),
        tr("Measure distances: click two points or drag from one to the other"), nullptr,
        "measureAction");
    measure->setShortcut(QKeySequence(Qt::Key_M));
    measure->setCheckable(true);
    connect(measure, &QAction::toggled, this, &MeasureActions::setMeasuring);

    deleteMeasurement = makeAction(this, tr("&Delete Measurement"), QString(),
        tr("Delete the selected measurement"), nullptr, "deleteMeasurementAction");
    deleteMeasurement->setShortcut(QKeySequence::Delete);
    connect(deleteMeasurement, &QAction::triggered, this,
        [this] { removeRow(measurementsPanel->selectedRow()); });
}

void MeasureActions::connectParts()
{
    connect(measureTool, &MeasureTool::measured, this, &MeasureActions::addMeasurement);
    connect(measureTool, &MeasureTool::notCalibrated, this, &MeasureActions::statusChanged);
    connect(measureTool, &MeasureTool::cursorMoved, this, &MeasureActions::showPitchPosition);
    connect(measureTool, &MeasureTool::cursorLeft, readoutLabel, &QLabel::clear);
    connect(measurementsPanel, &MeasurementsPanel::selectionChanged, measureTool,
        &MeasureTool::setSelectedRow);
    connect(measurementsPanel, &MeasurementsPanel::deleteRequested, this,
        &MeasureActions::removeRow);
    connect(fieldControls, &FieldControls::signalOverlayChanged, measurements,
        &MeasurementModel::recalculate);
    connect(fieldControls, &FieldControls::clickSigmaChanged, this,
        &MeasureActions::applyClickSigma);
}

bool MeasureActions::isMeasuring() const { return measure->isChecked(); }

void MeasureActions::forgetHistory() { history->clear(); }

bool MeasureActions::calibrated() const
{
    return fieldControls->cornersComplete() && measurer->available();
}

void MeasureActions::setMeasuring(bool on)
{
    measureTool->setActive(on);
    emit measuringChanged(on);
}

// Kept with the frame on screen when it was measured and the engine's
// position then.
void MeasureActions::addMeasurement(const QPointF& from, const QPointF& to)
{
    Measurement measurement;
    measurement.frame = EngineFunctions::of(engine).frameIndex();
    measurement.timeMs = engine->getPosition();
    measurement.from = from;
    measurement.to = to;
    history->push(new MeasurementCommand(
        measurements, MeasurementCommand::Kind::Add, measurements->rowCount(), measurement));
    measurementsPanel->selectRow(measurements->rowCount() - 1);
}

void MeasureActions::removeRow(int row)
{
    if (row < 0 || row >= measurements->rowCount())
        return;
    history->push(new MeasurementCommand(measurements, MeasurementCommand::Kind::Remove, row));
}

// One key, two histories: in Measure mode the measurements', otherwise the
// corner and centre points'.
void MeasureActions::undoLast()
{
    if (isMeasuring())
        history->undo();
    else
        fieldControls->undoLastPoint();
}

void MeasureActions::showPitchPosition(const QPointF& video)
{
    if (!calibrated()) {
        readoutLabel->clear();
        return;
    }
    const std::optional<QPointF> pitch = measurer->toPitch(video);
    readoutLabel->setText(pitch
            ? tr("x %1 m  y %2 m").arg(pitch->x(), 0, 'f', 2).arg(pitch->y(), 0, 'f', 2)
            : tr("Off the pitch plane"));
}

void MeasureActions::applyClickSigma(double sigmaPx)
{
    measurer->setClickSigma(sigmaPx);
    measurementsPanel->showClickSigma(measurer->clickSigma());
    measurements->recalculate();
}
