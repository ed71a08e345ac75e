#pragma once

#include "calibration/CalibrationFile.h"

#include <vector>

class FieldControls;
class MeasurementModel;
class VistrelInterface;
struct Measurement;

// Moves a stored calibration between the calibration file and a running
// program: into an engine through its slots (for a host without the field
// controls, such as a command line), and out of the program's state.
class EngineCalibration
{
public:
    // Gives the engine the dimensions, then the lens, then the corners (the
    // landmarks instead where four or more are stored) in click order (top
    // left, top right, bottom left, bottom right; none after the first
    // missing one), then the game centre (the fourth corner when none is
    // stored, as a fourth click does) and the click sigma. The dimensions go
    // first: the engine takes the pitch's proportions when points are given.
    // False when a value was refused (a point, a dimension, a click sigma
    // outside 0 ... 50 px) or the engine lacks the click-sigma function;
    // what could be applied is applied.
    static bool apply(VistrelInterface* engine, const CalibrationData& data);

    // The facts the file keeps about the engine's open video.
    static CalibrationData::VideoFacts videoFacts(VistrelInterface* engine, const QString& path);

    // The program's calibration of the video described by `video`: points
    // from the field controls (the engine does not report the corners it was
    // given), click sigma and dimensions as they accepted them, and the
    // measurements' picture points.
    static CalibrationData read(const CalibrationData::VideoFacts& video,
        const FieldControls& field, const MeasurementModel& measurements);

    // Stored measurements as rows of the table, timed from the frame rate the
    // way the engine times a frame.
    static std::vector<Measurement> measurementsOf(const CalibrationData& data);
};
