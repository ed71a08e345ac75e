#include "measuring/MeasurementCommand.h"

#include <QCoreApplication>

MeasurementCommand::MeasurementCommand(
    MeasurementModel* model, Kind kind, int row, const Measurement& measurement)
    : model(model)
    , kind(kind)
    , row(row)
    , measurement(measurement)
{
    setText(kind == Kind::Add ? QCoreApplication::translate("MeasurementCommand", "Measure")
                              : QCoreApplication::translate("MeasurementCommand", "Delete"));
}

void MeasurementCommand::redo()
{
    if (kind == Kind::Add)
        put();
    else
        remove();
}

void MeasurementCommand::undo()
{
    if (kind == Kind::Add)
        remove();
    else
        put();
}

void MeasurementCommand::put() { row = model->add(measurement, row); }

void MeasurementCommand::remove() { measurement = model->take(row); }
