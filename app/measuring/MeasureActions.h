#pragma once

#include <QObject>

#include <memory>

class FieldControls;
class MeasureTool;
class MeasurementModel;
class MeasurementsPanel;
class PitchMeasurer;
class QAction;
class QLabel;
class QPointF;
class QUndoStack;
class VideoScreenAdapter;
class VistrelInterface;

// The measuring parts of the window: the engine's measuring functions, the
// table of measurements, the tool both screens share, the Measurements
// panel and the undo history, with the Measure, Delete Measurement and Undo
// actions and the readout of the pitch position under the mouse.
class MeasureActions : public QObject
{
    Q_OBJECT

public:
    MeasureActions(VistrelInterface* engine, FieldControls* fieldControls,
        VideoScreenAdapter* screens, QObject* parent);
    ~MeasureActions() override;

    MeasurementModel* model() const { return measurements; }
    MeasurementsPanel* panel() const { return measurementsPanel; }
    QLabel* readout() const { return readoutLabel; }
    QAction* measureAction() const { return measure; }
    QAction* deleteAction() const { return deleteMeasurement; }
    QAction* undoAction() const { return undo; }
    bool isMeasuring() const;
    // The measurements belong to the video before; their history goes with them.
    void forgetHistory();

signals:
    void measuringChanged(bool on);
    // The status line may read otherwise (a click needed the corners first).
    void statusChanged();

private:
    void createActions();
    void connectParts();
    bool calibrated() const;
    void setMeasuring(bool on);
    void addMeasurement(const QPointF& from, const QPointF& to);
    void removeRow(int row);
    void undoLast();
    void showPitchPosition(const QPointF& video);
    void applyClickSigma(double sigmaPx);

    VistrelInterface* engine;
    FieldControls* fieldControls;
    std::unique_ptr<PitchMeasurer> measurer;
    MeasurementModel* measurements = nullptr;
    MeasureTool* measureTool = nullptr;
    // The panel lives in a dock of the window, which owns it from then on.
    MeasurementsPanel* measurementsPanel = nullptr;
    // Measurements added and deleted; Ctrl+Z in Measure mode walks it back.
    QUndoStack* history = nullptr;
    QLabel* readoutLabel = nullptr;
    QAction* measure = nullptr;
    QAction* deleteMeasurement = nullptr;
    QAction* undo = nullptr;
};
