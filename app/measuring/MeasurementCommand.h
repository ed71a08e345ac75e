#pragma once

#include "measuring/MeasurementModel.h"

#include <QUndoCommand>

// Adding or removing one measurement, as a step of the undo history.
class MeasurementCommand : public QUndoCommand
{
public:
    enum class Kind { Add, Remove };

    // For Remove, `measurement` is ignored and taken from `row` when done.
    MeasurementCommand(
        MeasurementModel* model, Kind kind, int row, const Measurement& measurement = {});

    void redo() override;
    void undo() override;

private:
    void put();
    void remove();

    MeasurementModel* model = nullptr;
    Kind kind;
    int row = -1;
    Measurement measurement;
};
